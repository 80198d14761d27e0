// INI text look-ups, the settings file and the byte ring.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "core/util/LumFiles.h"
#include "core/util/LumIniFiles.h"
#include "core/util/LumQueue.h"
#include "support/TempDir.h"

namespace kelvra {
namespace {

const std::string kIni = "; top\r\n[Main]\r\nLang=en\r\n; c\r\n\r\n  Width = 5 \r\n[Login]\r\n"
                         "user=bob\r\nToken=abc=def\r\n";

TEST(Ini, FindSectionReturnsTrimmedLinesWithIndices) {
  const TLumStringList lines(kIni);
  int32_t first = -5, last = -5;
  EXPECT_EQ(FindSection(lines, " main ", first, last), "Lang=en\r; c\r\rWidth = 5\r");
  EXPECT_EQ(first, 2);
  EXPECT_EQ(last, 5);
  EXPECT_EQ(FindSection(lines, "[LOGIN]", first, last), "user=bob\rToken=abc=def\r");
  EXPECT_EQ(first, 7);
  EXPECT_EQ(last, 8);
  EXPECT_EQ(FindSection(lines, "none", first, last), "");
  EXPECT_EQ(first, 0);
}

TEST(Ini, GetIniSectionFillsTheTable) {
  TLumHash h;
  EXPECT_EQ(GetIniSection(kIni, "Login", &h), "user=bob\rToken=abc=def\r");
  EXPECT_EQ(h.AsText("=", "|"), "user=bob|Token=abc=def");
  h.Clear();
  GetIniSection(kIni, "Main", &h);
  EXPECT_EQ(h.AsText("=", "|"), "Lang=en|Width=5");
  EXPECT_EQ(GetIniSection(kIni, "Login"), "user=bob\rToken=abc=def\r");
}

TEST(Ini, GetIniItemUsesTheEarliestSeparator) {
  const struct {
    const char *text, *key, *want;
  } cases[] = {{"LANG=en", "lang", "en"},
               {"lang = en", "lang", "= en"},
               {"; lang=xx\nlang\tde", "lang", "de"},
               {"#lang=xx", "#lang", "xx"}, // "#" is no comment here
               {"lang", "lang", "def"},
               {"other=1", "lang", "def"}};
  for (const auto &c : cases)
    EXPECT_EQ(GetIniItem(c.text, c.key, "def", "= \t"), c.want) << c.text;
}

class IniFileTest : public testing::Test {
protected:
  std::string Bytes() const { return ReadAsString(fName); }

  test::TTempDir fTemp{"kelvra-ini"};
  const std::string fDir = fTemp.Path();
  const std::string fName = fDir + "KelvraMonitor.ini";
};

TEST_F(IniFileTest, MissingFileReadsEmptyAndIsNotCreatedByReading) {
  TLumIniFile ini(fName);
  EXPECT_FALSE(ini.SectionExists("Main"));
  EXPECT_EQ(ini.ReadString("Main", "Left", "d"), "d");
  EXPECT_EQ(ini.ReadInteger("Main", "Left", 7), 7);
  EXPECT_TRUE(ini.ReadBool("Main", "x", true));
  EXPECT_DOUBLE_EQ(ini.ReadDateTime("Period", "From", 5), 5);
  EXPECT_TRUE(ini.UpdateFile());
  EXPECT_FALSE(FileExists(fName));
}

TEST_F(IniFileTest, WritesAtOnceAndMatchesWithoutCase) {
  {
    TLumIniFile ini(fName);
    ini.WriteString("Login", "Token", "abc");
    EXPECT_EQ(Bytes(), "[Login]\nToken=abc\n"); // saved by the write itself
    ini.WriteInteger("main", "Width", 640);
    ini.WriteString("MAIN", "width", "800");
    ini.WriteBool("Main", "Max", true);
    ini.WriteFloat("Filter", "Error", 0.001);
    ini.WriteDateTime("Period", "From", EncodeDateTime(2024, 1, 31, 8, 5, 9));
    EXPECT_FALSE(ini.Modified());
  }
  EXPECT_EQ(Bytes(), "[Login]\nToken=abc\n\n[main]\nWidth=800\nMax=1\n\n[Filter]\nError=0.001\n\n"
                     "[Period]\nFrom=31.01.2024 08:05:09\n");
  TLumIniFile again(fName);
  EXPECT_EQ(again.ReadInteger("MAIN", "WIDTH"), 800);
  EXPECT_TRUE(again.ReadBool("main", "max"));
  EXPECT_DOUBLE_EQ(again.ReadFloat("filter", "error"), 0.001);
  EXPECT_DOUBLE_EQ(again.ReadDateTime("period", "from"), EncodeDateTime(2024, 1, 31, 8, 5, 9));
  EXPECT_EQ(again.ReadSections(), (std::vector<std::string>{"Login", "main", "Filter", "Period"}));
  EXPECT_EQ(again.ReadSection("Main"), (std::vector<std::string>{"Width", "Max"}));
}

TEST_F(IniFileTest, KeepsCommentsAndReadsForeignFiles) {
  std::ofstream(fName, std::ios::binary)
      << "; written by hand\r\n[Main]\r\n# note\r\n  Language = ru \r\n\r\n[Config]\r\n"
         "server=https://a\r\nlang=\r\n[main]\r\nLeft=3\r\n";
  TLumIniFile ini(fName);
  EXPECT_EQ(ini.ReadString("Main", "language"), "ru");
  EXPECT_EQ(ini.ReadString("Main", "Left"), "3"); // a repeated section joins the first
  TLumHash config;
  EXPECT_EQ(ini.ReadSectionValues("Config", config), 2);
  EXPECT_EQ(config.AsText("=", "|"), "server=https://a|lang=");
  EXPECT_TRUE(ini.ValueExists("config", "LANG"));
  ini.WriteString("Main", "Top", "1");
  EXPECT_EQ(Bytes(), "; written by hand\n\n[Main]\n# note\nLanguage=ru\nLeft=3\nTop=1\n\n[Config]\n"
                     "server=https://a\nlang=\n");
}

TEST_F(IniFileTest, DeletesAndRefusesWhatWouldBreakTheFile) {
  TLumIniFile ini(fName);
  ini.WriteString("A", "k", "line1\r\nline2");
  EXPECT_EQ(ini.ReadString("a", "K"), "line1  line2");
  ini.WriteString("A", "bad=key", "x");
  ini.WriteString("A", "[x", "x");
  ini.WriteString("B]", "k", "x");
  ini.WriteString("", "k", "x");
  ini.WriteString("A", " ", "x");
  EXPECT_EQ(ini.ReadSection("A"), (std::vector<std::string>{"k"}));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"A"}));
  ini.WriteString("B", "k", "v");
  ini.DeleteKey("a", "K");
  EXPECT_FALSE(ini.ValueExists("A", "k"));
  ini.EraseSection("b");
  EXPECT_FALSE(ini.SectionExists("B"));
  EXPECT_EQ(TLumIniFile(fName).Text(), "[A]\n");
}

TEST_F(IniFileTest, WithoutAutoSaveWritesOnUpdateOrAtTheEnd) {
  {
    TLumIniFile ini(fName);
    ini.SetAutoSave(false);
    ini.WriteString("Main", "Left", "1");
    EXPECT_FALSE(FileExists(fName));
    EXPECT_TRUE(ini.UpdateFile());
    EXPECT_EQ(Bytes(), "[Main]\nLeft=1\n");
    ini.WriteString("Main", "Left", "2");
    EXPECT_TRUE(ini.Modified());
  }
  EXPECT_EQ(Bytes(), "[Main]\nLeft=2\n");
  TLumIniFile ini(fName);
  ini.SetAutoSave(false);
  ini.WriteString("Main", "Left", "3");
  ini.Reload(); // drops the unsaved change
  EXPECT_EQ(ini.ReadString("Main", "Left"), "2");
  // A settings file that cannot be written reports it and keeps the change for a later try.
  TLumIniFile lost(fDir + "no/dir/x.ini");
  lost.SetAutoSave(false);
  lost.WriteString("S", "k", "v");
  EXPECT_FALSE(lost.UpdateFile());
  EXPECT_TRUE(lost.Modified());
}

// A save that fails is told once ("Settings could not be saved: <reason>") until a save works
// again; the changes stay for the next try and the old file stays whole.
TEST_F(IniFileTest, FailedSavesAreToldOncePerRun) {
  std::ofstream(fName, std::ios::binary) << "[Main]\nLeft=1\n";
  TLumIniFile ini(fName);
  std::vector<std::string> told;
  ini.SetOnSaveError([&](const std::string &text) { told.push_back(text); });
  // The file's place taken by a folder of the same name: the rename over it fails.
  const std::string moved = fName + ".aside";
  std::filesystem::rename(fName, moved);
  std::filesystem::create_directory(fName);
  ini.WriteString("Main", "Left", "2");
  ini.WriteString("Main", "Top", "3");
  EXPECT_FALSE(ini.UpdateFile());
  EXPECT_EQ(told, std::vector<std::string>{"Settings could not be saved: Is a directory"});
  EXPECT_EQ(ini.LastError(), "Is a directory");
  EXPECT_TRUE(ini.Modified());
  std::filesystem::remove(fName);
  std::filesystem::rename(moved, fName);
  EXPECT_TRUE(ini.UpdateFile()); // the space came back: the kept changes are saved
  EXPECT_EQ(Bytes(), "[Main]\nLeft=2\nTop=3\n");
  EXPECT_EQ(told.size(), 1u);
  // A later failure is a new one and is told again.
  std::filesystem::rename(fName, moved);
  std::filesystem::create_directory(fName);
  ini.WriteString("Main", "Left", "4");
  EXPECT_EQ(told.size(), 2u);
  std::filesystem::remove(fName);
  std::filesystem::rename(moved, fName);
  ini.SetOnSaveError(nullptr);
}

// A settings file of many sections loads in time proportional to its size: the work per
// section is compared between sizes, never to a clock. A scan of the sections read so far for
// each header (what this guards against) makes the work per section grow with the count.
TEST_F(IniFileTest, ManySectionsLoadInLinearTime) {
  auto cpuSeconds = [] {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  };
  // Per section, the least of several loads (the least is the one least disturbed).
  auto costPerSection = [&](int sections) {
    std::string text;
    for (int i = 0; i < sections; ++i)
      text += "[Section" + std::to_string(i) + "]\nkey=" + std::to_string(i) + "\n";
    std::ofstream(fName, std::ios::binary | std::ios::trunc) << text;
    TLumIniFile ini(fName);
    EXPECT_EQ(ini.ReadSections().size(), static_cast<size_t>(sections));
    EXPECT_EQ(ini.ReadInteger("SECTION" + std::to_string(sections - 1), "KEY"), sections - 1);
    double best = 1e9, spent = 0;
    for (int run = 0; run < 5 && (run < 2 || spent < 1.0); ++run) {
      const double start = cpuSeconds();
      ini.Reload();
      const double took = cpuSeconds() - start;
      spent += took;
      best = std::min(best, took);
    }
    return best / sections;
  };
  const int sizes[] = {3125, 25000, 200000};
  double previous = 0;
  for (int n : sizes) {
    const double cost = costPerSection(n);
    // Eight times the sections: a linear load costs about the same per section (memory and
    // hashing add a little), a quadratic one eight times as much.
    if (previous > 0) {
      ASSERT_LT(cost / previous, 3.0) << n << " sections";
    }
    previous = cost;
  }
}

// ---------------------------------------------------------------------------------------------

TEST(Queue, HoldsExactlyItsCapacity) {
  TLumQueue q(8192);
  EXPECT_EQ(q.Size(), 8192);
  for (int i = 0; i < 8192; ++i)
    q.Put(static_cast<uint8_t>(i));
  EXPECT_EQ(q.Space(), 0);
  try {
    q.Put(1);
    ADD_FAILURE();
  } catch (const ELumQueueError &e) {
    EXPECT_STREQ(e.what(), "TLumQueueError. Queue is full.");
  }
  EXPECT_EQ(q.Count(), 8192);
}

TEST(Queue, GetPeekAndWrapAround) {
  TLumQueue q(4);
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(q.PutBuf(abc, 3), 3);
  EXPECT_EQ(q.Get(), 'a');
  EXPECT_EQ(q.Get(), 'b');
  EXPECT_EQ(q.Count(), 1);
  EXPECT_EQ(q.Peek(0), 'c');
  EXPECT_EQ(q.PutBuf(abc, 3), 3); // wraps around the end of the ring
  EXPECT_EQ(q.Count(), 4);
  EXPECT_EQ(q.Peek(3), 'c');
  EXPECT_THROW(q.Peek(4), ELumQueueError);
  EXPECT_EQ(q.GetText(), "cabc");
  EXPECT_EQ(q.Count(), 0);
  try {
    q.Get();
    ADD_FAILURE();
  } catch (const ELumQueueError &e) {
    EXPECT_STREQ(e.what(), "TLumQueueError. Queue is empty.");
  }
  try {
    q.Peek(0);
    ADD_FAILURE();
  } catch (const ELumQueueError &e) {
    EXPECT_STREQ(e.what(), "TLumQueueError.Peek: Index more then data count.");
  }
  q.Put('x');
  q.Clear();
  EXPECT_EQ(q.Count(), 0);
  EXPECT_EQ(q.Space(), 4);
}

// The bytes taken out are decided as a whole: UTF-8 when all of them are, else Windows-1251.
TEST(Queue, TextIsUtf8OrLegacyAsAWhole) {
  const struct {
    std::string bytes, text;
  } cases[] = {{"\xD0\x9F\xD0\x9F", "ПП"}, {"\xCF\xF0", "Пр"}, {"\xD0\x9F\xCF", "РџП"}};
  for (const auto &c : cases) {
    TLumQueue q(16);
    q.PutBuf(reinterpret_cast<const uint8_t *>(c.bytes.data()),
             static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(q.GetText(), c.text);
  }
}

} // namespace
} // namespace kelvra
