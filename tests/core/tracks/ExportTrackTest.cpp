#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "core/tracks/GeoTrack.h"

namespace kelvra {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// CTest names the data folder; run by hand, the folder is found beside this source file.
fs::path GoldenDir() {
  const char *d = std::getenv("KELVRA_TEST_DATA");
  const fs::path data = d ? fs::path(d) : fs::path(__FILE__).parent_path() / ".." / ".." / "data";
  return data / "tracks";
}

class ExportTrackTest : public ::testing::Test {
protected:
  fs::path dir;
  TGeoTrack track{"5"};

  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kelvra_export_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    // Three points: a full one, one with a sensor event holding XML specials, one without fix.
    TTrackPointList pts;
    auto p1 = std::make_unique<TTrackPointInfo>(101, 5);
    p1->sys_dt = 45356.5; // 05.03.2024 12:00:00
    p1->obj_dt = 45356.5 - 1.0 / 1440;
    p1->gps_dt = 45356.5 - 2.0 / 1440;
    p1->src = 0;
    p1->lat = 57.998649;
    p1->lon = 56.27574;
    p1->alt = 151.6;
    p1->acc = 4.4;
    p1->speed = 36.5;
    p1->angle = 270;
    p1->bat = 87;
    p1->sensors.emplace_back(1, "stepCounter", "1200");
    p1->sensors.emplace_back(2, "heartRate", "72");
    pts.push_back(std::move(p1));
    auto p2 = std::make_unique<TTrackPointInfo>(102, 5);
    p2->sys_dt = p2->obj_dt = p2->gps_dt = 45356.75; // 05.03.2024 18:00:00
    p2->src = 2;
    p2->lat = -33.5;
    p2->lon = -70.25;
    p2->acc = 25;
    p2->bat = 50;
    p2->sensors.emplace_back(3, "event", "door <open> & \"alarm\"");
    pts.push_back(std::move(p2));
    auto p3 = std::make_unique<TTrackPointInfo>(103, 5);
    p3->sys_dt = 45357.0;
    pts.push_back(std::move(p3));
    track.Assign(std::move(pts));
    track.SetSign("Track <5> & 'co'");
  }
  void TearDown() override { fs::remove_all(dir); }
};

struct TFormatCase {
  const char *name;
  int fmt;
  const char *golden;
};

void PrintTo(const TFormatCase &c, std::ostream *os) { *os << c.name; }

class ExportTrackFormatTest : public ExportTrackTest,
                              public ::testing::WithParamInterface<TFormatCase> {};

TEST_P(ExportTrackFormatTest, MatchesGoldenFile) {
  std::string fn = (dir / "track").string();
  const int written = track.ExportTrack(fn, GetParam().fmt);
  EXPECT_EQ(fs::path(fn).filename().string(), std::string("track.") + GetParam().name);
  const std::string got = ReadFile(fn);
  EXPECT_EQ(written, static_cast<int>(got.size()));
  const std::string expected = ReadFile(GoldenDir() / GetParam().golden);
  ASSERT_FALSE(expected.empty()) << "golden file missing";
  EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(Tracks, ExportTrackFormatTest,
                         ::testing::Values(TFormatCase{"csv", 1, "small.csv"},
                                           TFormatCase{"gpx", 2, "small.gpx"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ExportTrackTest, NamesAndFailures) {
  std::string fn = (dir / "keep.txt").string();
  EXPECT_GT(track.ExportTrack(fn, 1), 0);
  EXPECT_EQ(fs::path(fn).filename(), "keep.txt");

  std::string empty;
  EXPECT_EQ(track.ExportTrack(empty, 1), -1);

  std::string bad = (dir / "x").string();
  try {
    track.ExportTrack(bad, 3);
    ADD_FAILURE() << "no error for format 3";
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "Export track: unsupported format [3]");
  }
  EXPECT_FALSE(fs::exists(bad));

  std::string missingDir = (dir / "no" / "such" / "t.csv").string();
  EXPECT_LT(track.ExportTrack(missingDir, 1), 0);
}

TEST_F(ExportTrackTest, FailedExportLeavesNoHalfFile) {
  // A name taken by a folder with something in it cannot be replaced.
  fs::create_directories(dir / "busy.gpx" / "inside");
  std::string fn = (dir / "busy.gpx").string();
  EXPECT_LT(track.ExportTrack(fn, 2), 0);
  EXPECT_TRUE(fs::is_directory(dir / "busy.gpx"));
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"busy.gpx"});

  // An export over an older file replaces it whole.
  std::string again = (dir / "t.csv").string();
  ASSERT_GT(track.ExportTrack(again, 2), 0);
  const int size = track.ExportTrack(again, 1);
  EXPECT_EQ(size, static_cast<int>(fs::file_size(again)));
}

} // namespace
} // namespace kelvra
