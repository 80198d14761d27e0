#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <atomic>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>

#include "core/tracks/AddressCache.h"

namespace kelvra {
namespace {

namespace fs = std::filesystem;

class AddressCacheTest : public ::testing::Test {
protected:
  fs::path dir;
  std::string file;
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kelvra_addr_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    file = (dir / "KelvraMonitor.address").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string ReadAll() const {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void WriteAll(const std::string &text) const { std::ofstream(file, std::ios::binary) << text; }
};

TEST_F(AddressCacheTest, SavedLineOfAnEntryReadTwice) {
  {
    TAddressCache cache(file);
    cache.SetAddress("12345", "Main street 1");
    EXPECT_EQ(cache.GetAddress("12345"), "Main street 1");
    EXPECT_EQ(cache.GetAddress("12345"), "Main street 1");
    EXPECT_EQ(cache.GetAddress("999"), "");
    EXPECT_EQ(cache.Save(), 1);
  }
  const std::string text = ReadAll();
  EXPECT_TRUE(std::regex_match(
      text, std::regex(R"(12345;2;\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d;Main street 1;\r\n)")))
      << text;
}

TEST_F(AddressCacheTest, LastReadKeepsItsDateAcrossReloads) {
  WriteAll("N1;3;05.03.2024 21:04:09;Main street 1;\r\n");
  {
    TAddressCache cache(file);
    cache.SetAddress("W2", "Side street 2"); // something to save
    EXPECT_EQ(cache.Save(), 2);
  }
  EXPECT_NE(ReadAll().find("N1;3;05.03.2024 21:04:09;Main street 1;"), std::string::npos)
      << ReadAll();
  TAddressCacheItem item("N1;3;05.03.2024 21:04:09;Main street 1;");
  EXPECT_NEAR(item.LastRead, 45356.0 + (21 * 3600 + 4 * 60 + 9) / 86400.0, 1e-9);
}

// A line of the file (written by this program or edited by hand) comes back from a save exactly
// as it was: the count, the last-read date and the address.
class AddressCacheLine : public ::testing::TestWithParam<std::string> {};

TEST_P(AddressCacheLine, SurvivesASave) {
  const TAddressCacheItem item(GetParam());
  EXPECT_EQ(item.ToCsvString(), GetParam());
  EXPECT_EQ(TAddressCacheItem(item.ToCsvString()).ToCsvString(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Lines, AddressCacheLine,
                         ::testing::Values("N1;3;05.03.2024 21:04:09;Main street 1;",
                                           "W7;0;30.12.1899 00:00:00;Never read;",
                                           "N2;2;29.12.1899 06:00:00;Day before the zero day;",
                                           "N3;1;05.02.1012 21:04:08;Year before 1900;",
                                           "N4;12;31.12.9999 23:59:59;Last day;"));

TEST_F(AddressCacheTest, FailedSaveIsLogged) {
  const std::string unwritable = (dir / "missing" / "KelvraMonitor.address").string();
  std::string log;
  {
    TAddressCache cache(unwritable);
    cache.SetLogCallback([&log](const std::string &aLine) { log += aLine; });
    cache.SetAddress("N1", "Main street 1");
    EXPECT_EQ(cache.Save(), -1);
    EXPECT_NE(log.find("address cache not saved [" + unwritable), std::string::npos) << log;
    log.clear();
  } // the save at the end is reported too
  EXPECT_NE(log.find("address cache not saved"), std::string::npos) << log;
}

TEST_F(AddressCacheTest, RoundTripLosesNothing) {
  {
    TAddressCache cache(file);
    EXPECT_EQ(cache.Count(), 0);
    cache.SetAddress("N1", "Lenina 5; office 3");
    cache.SetAddress("N2", "Two\r\nlines\tand tab");
    cache.SetAddress("N3", "\xD0\x9F\xD0\xB5\xD1\x80\xD0\xBC\xD1\x8C, Komsomolsky 1;");
    cache.SetAddress("W4", "to be removed");
    cache.SetAddress("W4", "");
    cache.SetAddress("", "no id");
    cache.SetAddress("bad;id", "unwritable id");
    EXPECT_EQ(cache.Count(), 3);
  } // saved on destruction
  TAddressCache back(file);
  EXPECT_EQ(back.Count(), 3);
  EXPECT_EQ(back.GetAddress("N1"), "Lenina 5; office 3");
  EXPECT_EQ(back.GetAddress("N2"), "Twolinesand tab");
  EXPECT_EQ(back.GetAddress("N3"), "\xD0\x9F\xD0\xB5\xD1\x80\xD0\xBC\xD1\x8C, Komsomolsky 1;");
  EXPECT_EQ(back.GetAddress("W4"), "");
  for (const auto &entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename(), "KelvraMonitor.address") << "temporary file left behind";
}

TEST_F(AddressCacheTest, LoadSkipsBadLinesAndKeepsFirstDuplicate) {
  WriteAll("\xEF\xBB\xBF"
           "A1;3;05.03.2024 21:04:09;First;\r\n"
           "A2;1;05.03.2024 21:04:09\r\n"      // three parts only
           ";1;05.03.2024 21:04:09;No id;\r\n" // empty id
           "A1;0;;Second;\r\n"                 // duplicate
           "A3;x;;Legacy line without end\n"
           "\r\n"
           "A4;0;;;\r\n"); // empty address: read, then not saved
  TAddressCache cache(file);
  EXPECT_EQ(cache.Count(), 3);
  EXPECT_EQ(cache.GetAddress("A1"), "First");
  EXPECT_EQ(cache.GetAddress("A3"), "Legacy line without end");
  EXPECT_EQ(cache.Save(), 2);
  EXPECT_EQ(ReadAll().find("A2"), std::string::npos);
}

TEST_F(AddressCacheTest, MissingAndUnnamedFiles) {
  TAddressCache cache(file);
  EXPECT_EQ(cache.Load(), -1);
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_THROW(TAddressCache(""), std::runtime_error);
  TAddressCache unwritable((dir / "missing" / "x.address").string());
  unwritable.SetAddress("1", "a");
  EXPECT_LT(unwritable.Save(), 0);
}

// A track built on a worker fills the cache while the window reads it (the search filter, an info
// window) and a save may run: nothing is lost or torn, and what came during a save is saved later.
TEST_F(AddressCacheTest, FilledOnOneThreadWhileOthersReadAndSave) {
  constexpr int kIds = 20000;
  auto id = [](int i) { return "N" + std::to_string(i); };
  auto address = [](int i) { return "Street " + std::to_string(i) + ", Perm"; };
  {
    TAddressCache cache(file);
    std::atomic<bool> filled{false};
    std::atomic<int> torn{0};
    std::thread writer([&] {
      for (int i = 0; i < kIds; ++i)
        cache.SetAddress(id(i), address(i));
      filled = true;
    });
    std::thread reader([&] {
      // Reads ids the writer is adding right now: an address is either absent or whole.
      for (int round = 0; !filled || round < 2; ++round)
        for (int i = 0; i < kIds; i += 7) {
          const std::string got = cache.GetAddress(id(i));
          if (!got.empty() && got != address(i)) ++torn;
          if (cache.Count() > kIds) ++torn;
        }
    });
    int saves = 0;
    while (!filled || saves < 2) {
      EXPECT_GE(cache.Save(), 0);
      ++saves;
    }
    writer.join();
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(cache.Count(), kIds);
  } // the last entries (and the reads) are saved here
  TAddressCache reloaded(file);
  ASSERT_EQ(reloaded.Count(), kIds);
  for (int i = 0; i < kIds; i += 997)
    EXPECT_EQ(reloaded.GetAddress(id(i)), address(i));
}

} // namespace
} // namespace kelvra
