#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/tracks/TrackFileParser.h"
#include "core/util/LumDates.h"

namespace kelvra {
namespace {

namespace fs = std::filesystem;

TColumnMap Columns(std::initializer_list<int> c) {
  TColumnMap m;
  m.fill(-1);
  int i = 0;
  for (int v : c)
    m[i++] = v;
  return m;
}

struct TSplitCase {
  const char *name;
  const char *line;
  const char *sep;
  std::vector<std::string> fields;
};

void PrintTo(const TSplitCase &c, std::ostream *os) { *os << c.name; }

class SplitFieldsTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(SplitFieldsTest, Splits) {
  std::vector<std::string_view> out;
  SplitFields(GetParam().line, GetParam().sep, out);
  EXPECT_EQ(std::vector<std::string>(out.begin(), out.end()), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, SplitFieldsTest,
    ::testing::Values(TSplitCase{"plain", "a;b;c", ";", {"a", "b", "c"}},
                      TSplitCase{"emptyBetween", "a;;c", ";", {"a", "", "c"}},
                      TSplitCase{"emptyFirst", ";b", ";", {"", "b"}},
                      TSplitCase{"noneAfterLast", "a;b;", ";", {"a", "b"}},
                      TSplitCase{"quotesDoNotProtect", "\"a;b\";c", ";", {"\"a", "b\"", "c"}},
                      TSplitCase{"longSeparatorAnyCase", "1xSx2XsX3", "xsx", {"1", "2", "3"}},
                      TSplitCase{"emptySeparator", "a;b", "", {"a;b"}}),
    [](const auto &info) { return std::string(info.param.name); });

struct TGuessCase {
  const char *name;
  std::vector<std::string> headers;
  TColumnMap expected;
};

void PrintTo(const TGuessCase &c, std::ostream *os) { *os << c.name; }

class GuessColumnsTest : public ::testing::TestWithParam<TGuessCase> {};

TEST_P(GuessColumnsTest, Guesses) { EXPECT_EQ(GuessColumns(GetParam().headers), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Tracks, GuessColumnsTest,
    ::testing::Values(
        TGuessCase{"timeLatLonSpeed", {"time", "lat", "lon", "speed"}, Columns({0, 1, 2, -1, -1, 3, -1})},
        TGuessCase{"latitudeFirstLongNames",
                   {"Latitude_deg", "LONGITUDE", "T", "alt", "accuracy", "bearing"},
                   Columns({2, 0, 1, 3, 4, -1, 5})},
        // The first match wins; an empty title is no match.
        TGuessCase{"firstWinsEmptySkipped", {"", "id", "ti", "time"}, Columns({2, -1, -1, -1, -1, -1, -1})},
        TGuessCase{"nothing", {"x", "y"}, Columns({})}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TrackFileParserTest, BuildsTheTrackFromGuessedColumns) {
  TTrackFileParser p;
  EXPECT_EQ(p.LoadFromText("\xEF\xBB\xBF  time;lat;lon;speed \r\n\r\n"
                           "1700000000;56,1;58.2;12.5\n"
                           "1700000060;56.2;58.3;12\r"
                           "2023-11-14 22:15:00;56.3;58.4;x\n"),
            4);
  std::string err;
  ASSERT_TRUE(p.Parse(err));
  EXPECT_EQ(p.Headers(), (std::vector<std::string>{"time", "lat", "lon", "speed"}));
  EXPECT_EQ(p.RowCount(), 3);
  EXPECT_EQ(p.Field(0, 1), "56,1");
  const TColumnMap cols = GuessColumns(p.Headers());
  TTrackBuild b = p.MakeTrack(cols, "imported", 3, 1);
  ASSERT_TRUE(b.Track) << b.Error;
  const TGeoTrack &t = *b.Track;
  EXPECT_EQ(t.Sign(), "imported");
  EXPECT_EQ(t.Layer(), 3);
  EXPECT_EQ(t.Style().Sign, "Blue");
  ASSERT_EQ(t.Points().size(), 3u);
  const auto &p0 = *t.Points()[0];
  EXPECT_EQ(p0.gps_dt, UnixToDateTime(1700000000, true));
  EXPECT_DOUBLE_EQ(p0.lat, 56.1);
  EXPECT_DOUBLE_EQ(p0.lon, 58.2);
  EXPECT_DOUBLE_EQ(p0.speed, 12.5);
  EXPECT_TRUE(std::isnan(p0.alt)); // not assigned: left as a new point has it
  EXPECT_EQ(t.Points()[1]->speed, 12);
  EXPECT_EQ(t.Points()[2]->speed, 0);
  EXPECT_EQ(t.Points()[2]->gps_dt, EncodeDateTime(2023, 11, 14, 22, 15));
  EXPECT_EQ(t.Info().PointsCount, 3);
  EXPECT_GT(t.Info().Distance, 0);
  EXPECT_EQ(TrackBuildLog(t).substr(0, 38), "\r  == 3 track points\rTrack info:\r  dis");
}

TEST(TrackFileParserTest, ChangedSeparatorResplits) {
  TTrackFileParser p;
  p.LoadFromText("lat,lon,time\n56.5,58.5,1700000000\n");
  std::string err;
  ASSERT_TRUE(p.Parse(err));
  EXPECT_EQ(p.Headers().size(), 1u);
  p.SetSeparator("  ,  ");
  EXPECT_EQ(p.Separator(), ",");
  ASSERT_TRUE(p.Parse(err));
  EXPECT_EQ(p.Headers().size(), 3u);
  EXPECT_EQ(p.RowFields(0), (std::vector<std::string>{"56.5", "58.5", "1700000000"}));
  TTrackBuild b = p.MakeTrack(GuessColumns(p.Headers()), "s", 0, 0);
  ASSERT_TRUE(b.Track);
  EXPECT_EQ(b.Track->Points()[0]->lat, 56.5);
  p.SetSeparator("123456789");
  EXPECT_EQ(p.Separator(), "12345678");
}

struct TFailCase {
  const char *name;
  const char *text;
  TColumnMap columns;
  int row;
  const char *error;
  const char *detail;
};

void PrintTo(const TFailCase &c, std::ostream *os) { *os << c.name; }

class TrackFileFailTest : public ::testing::TestWithParam<TFailCase> {};

TEST_P(TrackFileFailTest, FailsWholeWithRowAndReason) {
  const TFailCase &c = GetParam();
  TTrackFileParser p;
  p.LoadFromText(c.text);
  std::string err;
  p.Parse(err);
  bool progressed = false;
  TTrackBuild b = p.MakeTrack(c.columns, "s", 0, 0, [&](TImportStage, size_t, size_t) {
    progressed = true;
    return true;
  });
  EXPECT_EQ(b.Track, nullptr);
  EXPECT_EQ(b.Row, c.row);
  EXPECT_EQ(b.Error, c.error);
  EXPECT_EQ(b.Detail, c.detail);
  EXPECT_FALSE(b.Cancelled);
}

const TColumnMap kTimeLatLon = Columns({0, 1, 2});

INSTANTIATE_TEST_SUITE_P(
    Tracks, TrackFileFailTest,
    ::testing::Values(
        TFailCase{"emptyTime", "t;lat;lon\n1700000000;56;58\n;56;58\n", kTimeLatLon, 2, "no data",
                  "time \"\""},
        TFailCase{"badTime", "t;lat;lon\n1700000000;56;58\nnoon;56;58\n", kTimeLatLon, 2,
                  "no data", "time \"noon\""},
        TFailCase{"zeroLatitude", "t;lat;lon\n1700000000;0;58\n", kTimeLatLon, 1, "no data",
                  "latitude \"0\""},
        TFailCase{"brokenRow", "t;lat;lon\n1700000000;56;58\n1700000001;56\n", kTimeLatLon, 2,
                  "no data", "longitude \"\""},
        TFailCase{"headerOnly", "t;lat;lon\n", kTimeLatLon, 0, "No data", ""},
        TFailCase{"nothing", "", kTimeLatLon, 0, "No data", ""},
        TFailCase{"noLongitudeColumn", "t;lat;x\n1700000000;56;58\n", Columns({0, 1, -1}), 0,
                  "no column for Longitude", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TrackFileParserTest, CancelKeepsNothing) {
  TTrackFileParser p;
  p.LoadFromText("t;lat;lon\n1700000000;56;58\n");
  TTrackBuild b =
      p.MakeTrack(kTimeLatLon, "s", 0, 0, [](TImportStage, size_t, size_t) { return false; });
  EXPECT_TRUE(b.Cancelled);
  EXPECT_EQ(b.Track, nullptr);
}

// A big file goes through every stage in order, each reporting as it goes up to its whole; stopped
// at any report of any stage, the import keeps nothing (no lines, no track) and says so.
TEST(TrackFileParserTest, BigImportReportsEveryStageAndStopsAtAnyOfThem) {
  const fs::path dir = fs::temp_directory_path() / ("kelvra_track_stages_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "big.csv").string();
  constexpr int kRows = 300000; // more than one piece of the read, several reports per stage
  {
    std::ofstream f(file, std::ios::binary);
    f << "time;lat;lon;speed\n";
    for (int r = 0; r < kRows; ++r)
      f << 1700000000 + r << ";" << 57.9 + r * 1e-6 << ";" << 56.2 + r * 1e-6 << ";" << r % 90
        << "\n";
  }
  struct TReport {
    TImportStage stage;
    size_t done, total;
  };
  auto run = [&](TTrackFileParser &p, const TImportProgress &progress) {
    const int loaded = p.LoadFromFile(file, progress);
    if (loaded < 0) return TTrackBuild{};
    std::string err;
    EXPECT_TRUE(p.Parse(err));
    return p.MakeTrack(GuessColumns(p.Headers()), "big", 0, 0, progress);
  };

  std::vector<TReport> reports;
  TTrackFileParser whole;
  TTrackBuild b = run(whole, [&](TImportStage st, size_t done, size_t total) {
    reports.push_back({st, done, total});
    return true;
  });
  ASSERT_NE(b.Track, nullptr);
  EXPECT_EQ(b.Track->Points().size(), size_t(kRows));
  EXPECT_EQ(b.Track->Info().PointsCount, kRows);
  EXPECT_GT(b.Track->Info().Distance, 0);
  // Each stage: in order, at least three reports, never going back, ending at its whole.
  const TImportStage order[] = {TImportStage::Reading, TImportStage::Lines, TImportStage::Building,
                                TImportStage::Statistics};
  size_t at = 0;
  for (TImportStage st : order) {
    size_t n = 0, last = 0, total = 0;
    for (; at < reports.size() && reports[at].stage == st; ++at, ++n) {
      EXPECT_GE(reports[at].done, last) << int(st);
      last = reports[at].done;
      total = reports[at].total;
    }
    EXPECT_GE(n, 3u) << "stage " << int(st);
    EXPECT_GT(total, 0u) << int(st);
    EXPECT_EQ(last, total) << "stage " << int(st);
  }
  EXPECT_EQ(at, reports.size()); // nothing after the last stage, nothing out of order

  // Stopped at the first, a middle and the last report of the whole run, and at each stage's
  // second report: never a track, never lines kept by a stopped load.
  std::vector<size_t> stops = {0, reports.size() / 2, reports.size() - 1};
  for (TImportStage st : order)
    for (size_t i = 0, seen = 0; i < reports.size(); ++i)
      if (reports[i].stage == st && ++seen == 2) stops.push_back(i);
  for (size_t stop : stops) {
    SCOPED_TRACE("stopped at report " + std::to_string(stop) + " of stage " +
                 std::to_string(int(reports[stop].stage)));
    TTrackFileParser p;
    size_t seen = 0;
    const TTrackBuild cut = run(p, [&](TImportStage, size_t, size_t) { return seen++ != stop; });
    EXPECT_EQ(cut.Track, nullptr);
    const TImportStage st = reports[stop].stage;
    if (st == TImportStage::Reading || st == TImportStage::Lines) {
      EXPECT_EQ(p.LineCount(), 0);
      EXPECT_EQ(p.LoadError(), "cancelled");
    } else {
      EXPECT_TRUE(cut.Cancelled);
      EXPECT_EQ(cut.Error, "cancelled");
    }
  }
  fs::remove_all(dir);
}

TEST(TrackFileParserTest, FilesThatCannotBeImported) {
  const fs::path dir = fs::temp_directory_path() / "kelvra_track_parser";
  fs::create_directories(dir);
  const std::string bin = (dir / "x.bin").string();
  {
    std::ofstream f(bin, std::ios::binary);
    f.write("t;lat\n\0\x01\x02", 9);
  }
  TTrackFileParser p;
  EXPECT_EQ(p.LoadFromFile(bin), -2);
  EXPECT_EQ(p.LoadError(), "not a text file");
  EXPECT_EQ(p.LineCount(), 0);
  EXPECT_EQ(p.LoadFromFile((dir / "missing.csv").string()), -1);
  EXPECT_EQ(p.LoadError(), "cannot read the file");
  EXPECT_EQ(p.LoadFromFile(dir.string()), -1);
  std::string err;
  EXPECT_FALSE(p.Parse(err));
  EXPECT_EQ(err, "No data");

  // A legacy single-byte file: the Cyrillic title reads as text.
  const std::string ansi = (dir / "a.csv").string();
  {
    std::ofstream f(ansi, std::ios::binary);
    f << "\xc2\xf0\xe5\xec\xff;lat;lon\r\n1700000000;56;58\r\n";
  }
  EXPECT_EQ(p.LoadFromFile(ansi), 2);
  ASSERT_TRUE(p.Parse(err));
  EXPECT_EQ(p.Headers()[0], "Время");
  fs::remove_all(dir);
}

// Bytes this process has asked the kernel to read so far ("rchar" of /proc/self/io).
long long BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return -1;
}

// A file is refused by its size before any of it is read: a 2 GB sparse file costs nothing.
TEST(TrackFileParserTest, HugeFileIsRefusedByItsSizeUnread) {
  const fs::path dir = fs::temp_directory_path() / ("kelvra_track_huge_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string huge = (dir / "huge.csv").string();
  {
    std::ofstream f(huge, std::ios::binary);
    f << "time;lat;lon\n";
  }
  fs::resize_file(huge, 2ll << 30);
  TTrackFileParser p;
  const long long before = BytesRead();
  ASSERT_GE(before, 0);
  EXPECT_EQ(p.LoadFromFile(huge), -1);
  EXPECT_LT(BytesRead() - before, 1 << 20);
  EXPECT_EQ(p.LoadError(), "file too large (2147483648 bytes, at most 268435456)");
  EXPECT_EQ(p.LineCount(), 0);
  fs::remove_all(dir);
}

// Lines and header fields have bounds, so that no window is asked to show a megabyte at once.
TEST(TrackFileParserTest, OverlongLinesAreRefusedAndOverlongHeadersCut) {
  const struct {
    const char *name;
    std::string text;
    int loaded;
    std::string loadError;
    size_t columns, firstHeaderChars;
    std::string note;
  } cases[] = {
      {"10 MB first line", std::string(10 << 20, 'x') + "\n1;2;3\n", -3,
       "line 1 is longer than 1 MB", 0, 0, ""},
      {"long line after the header", "t;lat;lon\n" + std::string((1 << 20) + 1, '7'), -3,
       "line 2 is longer than 1 MB", 0, 0, ""},
      {"line of exactly 1 MB", std::string(1 << 20, 'y') + "\n1\n", 2, "", 1, 1000,
       "1 header fields cut to 1000 characters"},
      {"long header field", std::string(5000, 'h') + ";lat;lon\n1;2;3\n", 2, "", 3, 1000,
       "1 header fields cut to 1000 characters"},
      // Cut at a character, not inside one: 1000 two-byte letters are 2000 bytes.
      {"long Cyrillic header", [] {
         std::string h;
         for (int i = 0; i < 1500; ++i) h += "\xD0\xB4";
         return h + ";lat\n1;2\n";
       }(), 2, "", 2, 1000, "1 header fields cut to 1000 characters"},
      {"too many columns", [] {
         std::string h = "t";
         for (int i = 0; i < 2500; ++i) h += ";c" + std::to_string(i);
         return h + "\n1\n";
       }(), 2, "", 1000, 1, "1501 columns after the first 1000 left out"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TTrackFileParser p;
    EXPECT_EQ(p.LoadFromText(c.text), c.loaded);
    EXPECT_EQ(p.LoadError(), c.loadError);
    std::string err;
    if (c.loaded < 0) {
      EXPECT_EQ(p.LineCount(), 0);
      EXPECT_FALSE(p.Parse(err));
      continue;
    }
    ASSERT_TRUE(p.Parse(err));
    ASSERT_EQ(p.Headers().size(), c.columns);
    const std::string &h = p.Headers()[0];
    const size_t chars = static_cast<size_t>(
        std::count_if(h.begin(), h.end(), [](char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; }));
    EXPECT_EQ(chars, c.firstHeaderChars);
    EXPECT_EQ(p.ParseNote(), c.note);
    EXPECT_LE(p.Field(0, 0).size(), TTrackFileParser::MaxFieldChars * 4);
  }
}

} // namespace
} // namespace kelvra
