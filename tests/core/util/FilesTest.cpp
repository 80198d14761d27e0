// Text, configuration and log files, raw blocks and the atomic save.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "core/util/LumFiles.h"
#include "core/util/LumHash.h"
#include "core/util/LumIniFiles.h"
#include "core/util/LumRe.h"
#include "core/util/LumStrings.h"
#include "core/util/TextFileWriter.h"
#include "support/TempDir.h"
#include "support/TestText.h"

namespace kelvra {
namespace {

using test::kBom;

namespace fs = std::filesystem;

class FilesTest : public testing::Test {
protected:
  std::string Put(const std::string &name, const std::string &bytes) {
    return fTemp.Write(name, bytes);
  }
  static std::string Bytes(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }

  test::TTempDir fTemp{"kelvra-util"};
  const std::string fDir = fTemp.Path();
};

const std::string kPrivet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"; // UTF-8
const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";

TEST_F(FilesTest, ReadAsStringEncodingsAndLimits) {
  const struct {
    const char *name;
    std::string bytes;
    bool forceUtf8;
    int64_t maxSize, offset;
    std::string want;
  } cases[] = {
      {"BomOnly", kBom, false, 0, 0, ""},
      {"BomUtf8", kBom + kPrivet, false, 0, 0, kPrivet},
      {"Utf8WithoutBom", kPrivet, false, 0, 0, kPrivet},
      {"Cp1251", kPrivet1251, false, 0, 0, kPrivet},
      // "Фё" in Windows-1251 is a valid UTF-8 pair; the rest of the file decides.
      {"Cp1251PairThatLooksLikeUtf8", "\xD4\xB8\xE4\xEE\xF0", false, 0, 0, "Фёдор"},
      // A read that starts and stops inside characters still sees UTF-8.
      {"Utf8CutAtBothEdges", kPrivet, false, 4, 1, "\xD1\x80"},
      {"BomWithStrayByte", kBom + "a\xFF" + "b", false, 0, 0,
       "a\xEF\xBF\xBD"
       "b"},
      {"OffsetAfterBom", kBom + "abcdef", false, 0, 2, "cdef"},
      {"MaxSize", "abcdef", false, 3, 1, "bcd"},
      {"ForcedUtf8CutInsideCharacter", kPrivet, true, 5, 0, "\xD0\x9F\xD1\x80"},
      {"OffsetPastEnd", "abc", false, 0, 5, ""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ReadAsString(Put("f.txt", c.bytes), c.forceUtf8, c.maxSize, c.offset), c.want)
        << c.name;
  EXPECT_EQ(ReadAsString(fDir + "missing.txt"), "");
  EXPECT_EQ(ReadAsString(fDir), "");
}

TEST_F(FilesTest, ReadConfigKeepsTrimmedLinesAndDropsComments) {
  const std::string f = Put("a.conf", "  a = 1 \r\n\r\n# c\n// c\n; c\nb=2\rkey");
  EXPECT_EQ(ReadConfig(f), "a = 1\rb=2\rkey\r");
  EXPECT_EQ(ReadConfig(fDir + "none.conf"), "");
}

TEST_F(FilesTest, ReadConfigIncludeForms) {
  Put("other.conf", "x=1\n");
  const struct {
    const char *line;
    bool include;
    std::string want;
  } cases[] = {{"#include other.conf", true, "x=1\r"},  {"#INCLUDE=other.conf", true, "x=1\r"},
               {"#include\tother.conf", true, "x=1\r"}, {"#include  = other.conf", true, "x=1\r"},
               {"#include other.conf", false, ""},      {"#include", true, ""},
               {"#include missing.conf", true, ""}};
  for (const auto &c : cases)
    EXPECT_EQ(ReadConfig(Put("main.conf", std::string("a=0\n") + c.line + "\nb=2\n"), c.include),
              "a=0\r" + c.want + "b=2\r")
        << c.line;
  // A name with a separator is used as written; one without is beside the including file.
  EXPECT_EQ(ReadConfig(Put("abs.conf", "#include " + fDir + "other.conf")), "x=1\r");
  fs::create_directory(fDir + "sub");
  Put("sub/inner.conf", "#include other.conf\n");
  Put("sub/other.conf", "y=2\n");
  EXPECT_EQ(ReadConfig(Put("nested.conf", "#include " + fDir + "sub/inner.conf")), "y=2\r");
}

TEST_F(FilesTest, ReadConfigStopsIncludeCycles) {
  Put("self.conf", "s=1\n#include self.conf\ns=2\n");
  EXPECT_EQ(ReadConfig(fDir + "self.conf"), "s=1\rs=2\r");
  Put("a.conf", "a=1\n#include b.conf\na=2\n");
  Put("b.conf", "b=1\n#include a.conf\nb=2\n");
  EXPECT_EQ(ReadConfig(fDir + "a.conf"), "a=1\rb=1\rb=2\ra=2\r");
  // The same file twice, not inside itself, is not a cycle.
  Put("leaf.conf", "l=1\n");
  Put("twice.conf", "#include leaf.conf\n#include leaf.conf\n");
  EXPECT_EQ(ReadConfig(fDir + "twice.conf"), "l=1\rl=1\r");
}

TEST_F(FilesTest, HashLoadsAConfigurationFile) {
  Put("inc.conf", "server = https://x\n");
  TLumHash h(Put("app.conf", "#include inc.conf\nlang en\nname = a b\nlist = {\n 1\n}\n"));
  EXPECT_EQ(h.AsText("=", "|"), "server=https://x|lang=en|name=a b|list={\r1\r}");
}

TEST_F(FilesTest, WriteStringCodesAndMarks) {
  const std::string f = fDir + "w.txt";
  EXPECT_EQ(WriteString("", "x"), -1);
  EXPECT_EQ(WriteString(fDir + "no/such/dir.txt", "x"), -2);
  EXPECT_EQ(WriteString(f, kPrivet, true, true), 15);
  EXPECT_EQ(WriteString(f, "a", false, true), 1); // appending never writes the mark
  EXPECT_EQ(Bytes(f), kBom + kPrivet + "a");
  EXPECT_EQ(WriteString(f, kPrivet, true, false), 12); // "ANSI" is UTF-8 without the mark
  EXPECT_EQ(Bytes(f), kPrivet);
  EXPECT_EQ(ReadAsString(f), kPrivet);
}

TEST_F(FilesTest, WriteLogStampsEveryLine) {
  const std::string f = fDir + "log.txt";
  const std::string written = WriteLog(f, "\rabc\r\ndef", "T");
  EXPECT_EQ(Bytes(f), written);
  const TLumRe line("^\r\n\\d{8} \\d{6} \\[T\\] abc\r\n\\d{8} \\d{6} \\[T\\] def$");
  EXPECT_TRUE(line.Match(written)) << written;
  EXPECT_TRUE(TLumRe("^x\r\n\\d{8} \\d{6} y$").Match(WriteLog(f, "x\ry")));
}

TEST_F(FilesTest, LogRotateTrimsOnlyTenKibPastTheMaximum) {
  const int64_t max = 262144;
  std::string line = std::string(98, 'x') + "\r\n";
  for (const int64_t size : {int64_t(272383), int64_t(272384)}) {
    std::string data;
    for (int i = 0; data.size() + line.size() <= static_cast<size_t>(size); ++i)
      data += std::to_string(i % 10) + line.substr(1);
    data += std::string(size - data.size() - 5, 'z') + "\r\nend";
    ASSERT_EQ(static_cast<int64_t>(data.size()), size);
    const std::string f = Put("big.log", data);
    const bool trimmed = LogRotate(f, max);
    EXPECT_EQ(trimmed, size == 272384) << size;
    const std::string after = Bytes(f);
    if (!trimmed) {
      EXPECT_EQ(after, data);
      continue;
    }
    // The line that straddles the cut is kept whole.
    EXPECT_GE(static_cast<int64_t>(after.size()), max);
    EXPECT_LT(static_cast<int64_t>(after.size()), max + 100);
    EXPECT_TRUE(data.ends_with(after)); // the newest lines, from the start of a line
    EXPECT_EQ(data[data.size() - after.size() - 1], '\n');
  }
  EXPECT_FALSE(LogRotate(fDir + "missing.log", 10));
  EXPECT_TRUE(FindFiles(fDir, "*.XXXXXX").empty());
}

TEST_F(FilesTest, ReadTailStrings) {
  std::string text;
  for (int i = 1; i <= 3000; ++i)
    text += "line" + std::to_string(i) + "\r\n";
  const std::string f = Put("tail.txt", kBom + text);
  EXPECT_EQ(ReadTailStrings(f, 3), "line2998\rline2999\rline3000\r");
  // Reaching back over several blocks.
  const std::string many = ReadTailStrings(f, 1000);
  EXPECT_TRUE(many.starts_with("line2001\r")) << many.substr(0, 20);
  EXPECT_EQ(TLumStringList(many).Count(), 1000);
  EXPECT_EQ(TLumStringList(ReadTailStrings(f, 0)).Count(), 3000);
  EXPECT_EQ(ReadTailStrings(Put("short.txt", "a\nb"), 5), "a\rb");
  EXPECT_EQ(ReadTailStrings(Put("cp.txt", "x\n" + kPrivet1251 + "\n"), 1), kPrivet + "\r");
  EXPECT_EQ(ReadTailStrings(fDir + "missing"), "");
}

TEST(Paths, NormalizeDirName) {
  const struct {
    const char *dir, *base, *want;
  } cases[] = {{"c:/data//logs", "", "c:/data/logs/"},
               {"c:\\data\\\\logs\\", "", "c:/data/logs/"},
               {"\\\\server\\share", "", "//server/share/"},
               {"//server//share", "", "//server/share/"},
               {"x", "", ""},
               {"  ", "", ""},
               {" /tmp ", "", "/tmp/"},
               {"./logs", "/home/u/", "/home/u/logs/"},
               {".\\logs", "/home/u/", "/home/u/logs/"},
               {"./logs", "", "./logs/"}};
  for (const auto &c : cases)
    EXPECT_EQ(NormalizeDirName(c.dir, c.base), c.want) << c.dir;
}

TEST(Paths, PlainFileNameStaysInItsFolder) {
  const struct {
    const char *name, *want;
  } cases[] = {{"Car \"Niva\"-05.03.2024 21:04", "Car \"Niva\"-05.03.2024 21:04"},
               {"../../.bashrc", "_______bashrc"},
               {"/etc/passwd", "_etc_passwd"},
               {"a\\b", "a_b"},
               {".hidden", "_hidden"},
               {"line\nbreak\ttab", "line_break_tab"},
               {"\xD0\x9C\xD0\xB0\xD1\x88\xD0\xB8\xD0\xBD\xD0\xB0.v2", "\xD0\x9C\xD0\xB0\xD1\x88\xD0\xB8\xD0\xBD\xD0\xB0.v2"},
               {"", ""}};
  for (const auto &c : cases)
    EXPECT_EQ(PlainFileName(c.name), c.want) << c.name;
}

TEST_F(FilesTest, FindFilesListsOneDirectory) {
  Put("a.txt", "1");
  Put("B.TXT", "2");
  Put("c.log", "3");
  fs::create_directory(fDir + "sub");
  Put("sub/d.txt", "4");
  const auto sorted = [](const std::string &s) {
    TLumStringList l(s);
    l.Sort();
    return l.Join(",");
  };
  EXPECT_EQ(sorted(FindFiles(fDir, "*.txt")), "B.TXT,a.txt");
  EXPECT_EQ(sorted(FindFiles(fDir, "*.*")), ".,..,B.TXT,a.txt,c.log,sub");
  EXPECT_EQ(FindFiles(fDir, "c.*", true), fDir + "c.log");
  EXPECT_EQ(FindFiles(fDir, "*.none"), "");
  EXPECT_EQ(FindFiles(fDir + "missing", "*"), "");
  EXPECT_NE(FindFiles(fDir, "*").find("\r\n"), std::string::npos);
}

TEST_F(FilesTest, BlocksAndSizes) {
  const std::string f = fDir + "b.bin";
  EXPECT_EQ(FileSize(f), -1);
  EXPECT_EQ(WriteBuffer(f, "abcdef", 6, 0), 6);
  EXPECT_EQ(WriteBuffer(f, "XY", 2, -2), 2); // from the end, without truncating
  EXPECT_EQ(WriteBuffer(f, "Q", 1, 0), 1);
  EXPECT_EQ(Bytes(f), "QbcdXY");
  EXPECT_EQ(FileSize(f), 6);
  char buf[8] = {};
  EXPECT_EQ(ReadBuffer(f, buf, 8, -3), 3);
  EXPECT_EQ(std::string(buf, 3), "dXY");
  EXPECT_EQ(ReadBuffer(fDir + "missing", buf, 8, 0), 0);
  EXPECT_EQ(WriteBuffer(fDir + "no/dir", "a", 1, 0), -1);
  EXPECT_EQ(FileSize(fDir), -1);
  EXPECT_TRUE(DirExists(fDir));
  EXPECT_FALSE(DirExists(f));
  EXPECT_TRUE(FileExists(f));
}

TEST_F(FilesTest, AtomicSaveReplacesWholeFiles) {
  const std::string f = Put("s.ini", "old content");
  chmod(f.c_str(), 0600);
  EXPECT_TRUE(WriteFileAtomic(f, "new"));
  EXPECT_EQ(Bytes(f), "new");
  struct stat st {};
  ASSERT_EQ(stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u); // the file keeps its permissions
  EXPECT_TRUE(WriteFileAtomic(fDir + "fresh.txt", ""));
  EXPECT_EQ(FileSize(fDir + "fresh.txt"), 0);
  // When the rename cannot happen the old content stays and no temporary file is left.
  fs::create_directory(fDir + "taken");
  Put("taken/x", "1");
  EXPECT_FALSE(WriteFileAtomic(fDir + "taken", "data"));
  EXPECT_FALSE(WriteFileAtomic(fDir + "no/dir/file", "data"));
  EXPECT_EQ(Bytes(fDir + "taken/x"), "1");
  for (const auto &e : fs::directory_iterator(fDir))
    EXPECT_EQ(e.path().string().find(".XXXXXX"), std::string::npos) << e.path();
  size_t count = 0;
  for ([[maybe_unused]] const auto &e : fs::directory_iterator(fDir))
    ++count;
  EXPECT_EQ(count, 3u); // s.ini, fresh.txt, taken
}

// A long text goes out in blocks as it is made; the name shows nothing until the whole text is
// there, and a writer given up (an export that failed half-way) leaves the old file and nothing
// else.
TEST_F(FilesTest, TextWrittenInBlocksAppearsWhole) {
  const std::string f = Put("track.gpx", "old export");
  std::string expected;
  {
    TTextFileWriter writer(f);
    ASSERT_TRUE(writer.Ok());
    for (int row = 0; row < 200000; ++row) {
      std::string &out = writer.Out();
      const std::size_t from = out.size();
      out += "<row n=\"";
      AppendInt(out, row);
      out += "\" x=\"";
      AppendFixed(out, row / 7.0, 6);
      out += "\"/>\r\n";
      expected.append(out, from);
      writer.Wrote();
      if (row == 150000) {
        EXPECT_EQ(Bytes(f), "old export"); // blocks out, the name untouched
      }
    }
    writer.Append(std::string(TTextFileWriter::kBlock + 3, 'z')); // a piece larger than a block
    expected += std::string(TTextFileWriter::kBlock + 3, 'z');
    EXPECT_EQ(writer.Size(), int64_t(expected.size()));
    ASSERT_TRUE(writer.Commit());
  }
  EXPECT_GT(expected.size(), 4 * TTextFileWriter::kBlock);
  EXPECT_EQ(Bytes(f), expected);
  {
    TTextFileWriter abandoned(f);
    abandoned.Append(std::string(3 * TTextFileWriter::kBlock, 'y'));
  }
  EXPECT_EQ(Bytes(f), expected);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto &e : fs::directory_iterator(fDir))
    ++files;
  EXPECT_EQ(files, 1u);
}

// Restores the process's umask when the test ends.
class TUmask {
public:
  explicit TUmask(mode_t aMask) : fOld(::umask(aMask)) {}
  ~TUmask() { ::umask(fOld); }

private:
  mode_t fOld;
};

mode_t ModeOf(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 01000;
}

TEST_F(FilesTest, AtomicSaveModes) {
  struct TCase {
    const char *name;
    mode_t umask;
    int existing; // mode of the file before the save; -1: no file yet
    int mode;     // asked for; kKeepFileMode: none
    mode_t expected;
  };
  const TCase cases[] = {
      {"NewFileFollowsUmask022", 022, -1, kKeepFileMode, 0644},
      {"NewFileFollowsUmask077", 077, -1, kKeepFileMode, 0600},
      {"NewFileFollowsUmask002", 002, -1, kKeepFileMode, 0664},
      {"ExistingModeKept", 022, 0640, kKeepFileMode, 0640},
      {"SecretNewFile", 0, -1, 0600, 0600},
      {"SecretOverReadableFile", 022, 0644, 0600, 0600},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string f = fDir + c.name;
    if (c.existing >= 0) {
      Put(c.name, "old");
      ::chmod(f.c_str(), static_cast<mode_t>(c.existing));
    }
    TUmask mask(c.umask);
    ASSERT_TRUE(WriteFileAtomic(f, "new", c.mode));
    EXPECT_EQ(Bytes(f), "new");
    EXPECT_EQ(ModeOf(f), c.expected);
  }
}

TEST_F(FilesTest, SecretsAndLogsAreCreatedForTheUserOnly) {
  TUmask mask(022);
  const std::string log = fDir + "run.log";
  WriteLog(log, "\rstarted");
  EXPECT_EQ(ModeOf(log), 0600u);
  // A private folder and the folders on the way to it.
  ASSERT_TRUE(CreatePrivateDir(fDir + "a/b/"));
  EXPECT_EQ(ModeOf(fDir + "a"), 0700u);
  EXPECT_EQ(ModeOf(fDir + "a/b"), 0700u);
  EXPECT_TRUE(CreatePrivateDir(fDir + "a/b")); // already there
  // The settings file holds the token: 0600 whatever mode it had.
  const std::string ini = Put("KelvraMonitor.ini", "[Main]\n");
  ::chmod(ini.c_str(), 0644);
  TLumIniFile settings(ini);
  settings.WriteString("Login", "Token", "secret");
  EXPECT_EQ(ModeOf(ini), 0600u);
}

TEST_F(FilesTest, FilesReadWholeHaveASizeCap) {
  const std::string f = Put("photo.jpg", std::string(5000, 'x'));
  std::string bytes;
  EXPECT_EQ(ReadFileBytes(f, bytes, 5000), "");
  EXPECT_EQ(bytes.size(), 5000u);
  EXPECT_EQ(ReadFileBytes(f, bytes, 4999), "file too large (5000 bytes, at most 4999)");
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(ReadFileBytes(fDir + "missing", bytes), "cannot open");
  EXPECT_EQ(ReadFileBytes(fDir, bytes), "not a file");
}

TEST_F(FilesTest, StringListLoadsLegacyText) {
  TLumStringList l;
  EXPECT_EQ(l.LoadFromFile(fDir + "missing"), -1);
  EXPECT_EQ(l.LoadFromFile(Put("l.txt", "a\r\n" + kPrivet1251 + "\r\n")), 2);
  EXPECT_EQ(l[1], kPrivet);
  EXPECT_EQ(l.FileName(), fDir + "l.txt");
  EXPECT_EQ(l.LoadFromFile(), 2); // an empty name means the remembered one
}

} // namespace
} // namespace kelvra
