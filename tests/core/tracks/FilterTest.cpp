#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/tracks/FilterSettings.h"
#include "core/util/LumSmallUtils.h"
#include "core/tracks/GeoTrack.h"
#include "core/tracks/KalmanFilter.h"
#include "core/tracks/MedianFilter.h"
#include "core/util/LumIniFiles.h"

namespace kelvra {
namespace {


struct TMedianCase {
  const char *name;
  int size;
  std::vector<double> in;
  std::vector<double> out;
};

void PrintTo(const TMedianCase &c, std::ostream *os) { *os << c.name; }

class MedianTest : public ::testing::TestWithParam<TMedianCase> {};

TEST_P(MedianTest, PassesThroughWhileFillingThenMedian) {
  TMedian m(GetParam().size);
  std::vector<double> got;
  for (double v : GetParam().in)
    got.push_back(m.Append(v));
  EXPECT_EQ(got, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, MedianTest,
    ::testing::Values(TMedianCase{"odd3", 3, {1, 2, 10, 3}, {1, 2, 2, 3}},
                      TMedianCase{"even4", 4, {1, 2, 3, 10}, {1, 2, 3, 2.5}},
                      // The ring wraps: the oldest value leaves the window.
                      TMedianCase{"wraps3", 3, {5, 1, 9, 100, 100}, {5, 1, 5, 9, 100}},
                      TMedianCase{"one", 1, {4, 7}, {4, 7}},
                      TMedianCase{"full16", 16,
                                  {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17},
                                  {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 8.5, 9.5}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MedianTest, RefusesSizesOutsideTheWindow) {
  const std::vector<std::pair<int, const char *>> cases = {
      {17, "Size too large [17], max=16"}, {0, "Size too small [0], min=1"}};
  for (const auto &[size, msg] : cases) {
    try {
      TMedianFilter f(size);
      ADD_FAILURE() << "size " << size << " accepted";
    } catch (const std::runtime_error &e) {
      EXPECT_STREQ(e.what(), msg);
    }
  }
  EXPECT_EQ(TMedianFilter(6).Sign(), "median-6");
}

TEST(KalmanTest, FirstAndSecondEstimates) {
  TKalman k(0.001, 0.2);
  EXPECT_DOUBLE_EQ(k.Kalman(58.0), 58.0);
  EXPECT_DOUBLE_EQ(k.err_estimate, 0.0005);
  EXPECT_NEAR(k.Kalman(58.3), 58.0 + 0.3 / 3, 1e-12);
  // (1 - 1/3) * 0.0005 + |58 - 58.1| * 0.2
  EXPECT_NEAR(k.err_estimate, 0.0005 * 2 / 3 + 0.1 * 0.2, 1e-12);

  TKalman defaults(kNaN, kNaN);
  EXPECT_EQ(defaults.err_measure, TKalman::DEF_ERR_MEASURE);
  EXPECT_EQ(defaults.q_measure, TKalman::DEF_Q_MEASURE);
  EXPECT_EQ(TKalmanFilter(kNaN, kNaN).Sign(), "kalman-0.0010-0.20");
}

std::unique_ptr<TTrackPointInfo> Pt(int uid, double lat, double lon) {
  auto p = std::make_unique<TTrackPointInfo>(uid, 7);
  p->lat = lat;
  p->lon = lon;
  p->obj_dt = p->sys_dt = p->gps_dt = 45356.5 + uid / 1440.0;
  p->speed = 40 + uid;
  p->alt = 100 + uid;
  p->sensors.emplace_back(1, "bat", std::to_string(uid));
  return p;
}

TEST(FilterTrackTest, PointWithoutPositionRepeatsThePreviousOutput) {
  TGeoTrack src("7");
  src.SetSign("Car");
  TTrackPointList pts;
  pts.push_back(Pt(1, 58.0, 56.0));
  pts.push_back(Pt(2, 58.3, 56.3));
  pts.push_back(Pt(3, 0, 56.6)); // latitude 0: no position
  pts.push_back(Pt(4, kNaN, kNaN));
  pts.push_back(Pt(5, 58.9, 56.9));
  src.Assign(std::move(pts));

  TKalmanFilter filter(0.001, 0.2);
  auto track = FilterTrack(src, filter, 2);
  ASSERT_TRUE(track);
  EXPECT_EQ(track->Sign(), "Car-kalman-0.0010-0.20");
  EXPECT_EQ(track->Style().Sign, "Green");
  ASSERT_EQ(track->Points().size(), 5u);
  const auto &out = track->Points();
  EXPECT_DOUBLE_EQ(out[0]->lat, 58.0);
  EXPECT_NEAR(out[1]->lat, 58.1, 1e-12);
  EXPECT_NEAR(out[1]->lon, 56.1, 1e-12);
  for (int i : {2, 3}) {
    EXPECT_EQ(out[i]->uid, 2) << i;
    EXPECT_EQ(out[i]->lat, out[1]->lat) << i;
    EXPECT_EQ(out[i]->speed, 42) << i;
  }
  // Every other field is the input point's, sensors included.
  EXPECT_EQ(out[4]->uid, 5);
  EXPECT_EQ(out[4]->alt, 105);
  EXPECT_EQ(out[4]->obj_dt, src.Points()[4]->obj_dt);
  ASSERT_EQ(out[4]->sensors.size(), 1u);
  EXPECT_EQ(out[4]->sensors[0].val, "5");
  EXPECT_GT(out[4]->lat, out[1]->lat);
  EXPECT_LT(out[4]->lat, 58.9);
  EXPECT_EQ(track->Info().PointsCount, 5);
  // The source is left alone.
  EXPECT_EQ(src.Points()[1]->lat, 58.3);
}

// Every step reports in order and reaches its whole (the bar moves through the parking and the
// statistics too), and a cancel at any step, at its start or once it has begun, gives no track.
TEST(FilterTrackTest, StepsReportInOrderAndCancelAtAnyGivesNoTrack) {
  TGeoTrack src("7");
  TTrackPointList pts;
  for (int i = 1; i <= 3; ++i)
    pts.push_back(Pt(i, 58 + i * 1e-3, 56));
  src.Assign(std::move(pts));
  TMedianFilter filter(3);
  struct TSeen {
    TFilterStage stage;
    size_t last, total;
  };
  std::vector<TSeen> seen;
  ASSERT_TRUE(FilterTrack(src, filter, 0, [&seen](TFilterStage stage, size_t done, size_t total) {
    if (seen.empty() || seen.back().stage != stage) seen.push_back({stage, done, total});
    EXPECT_GE(done, seen.back().last);
    seen.back().last = done;
    return true;
  }));
  ASSERT_EQ(seen.size(), 3u);
  const TFilterStage order[] = {TFilterStage::Filtering, TFilterStage::Parking,
                                TFilterStage::Statistics};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(seen[i].stage, order[i]) << i;
    EXPECT_EQ(seen[i].last, seen[i].total) << i;
    EXPECT_EQ(seen[i].total, 3u) << i;
  }
  for (TFilterStage stop : order)
    for (bool atStart : {true, false}) {
      int calls = 0;
      const auto track = FilterTrack(src, filter, 0, [&](TFilterStage stage, size_t done, size_t) {
        ++calls;
        return !(stage == stop && (atStart ? done == 0 : done > 0));
      });
      EXPECT_EQ(track, nullptr) << int(stop) << " " << atStart;
      EXPECT_GT(calls, 0);
    }
}

struct TCheckCase {
  const char *name;
  TFilterSettings settings;
  TFilterField field;
  const char *message;
  const char *sign; // of the filter made when the check passes
};

void PrintTo(const TCheckCase &c, std::ostream *os) { *os << c.name; }

class FilterSettingsTest : public ::testing::TestWithParam<TCheckCase> {};

TEST_P(FilterSettingsTest, CheckAndCreate) {
  const TCheckCase &c = GetParam();
  const TFilterCheck check = CheckFilterSettings(c.settings);
  EXPECT_EQ(check.Field, c.field);
  EXPECT_EQ(check.Message, c.message);
  if (check.Field == TFilterField::None) {
    EXPECT_EQ(CreateFilter(c.settings)->Sign(), c.sign);
  }
}

TFilterSettings Median(const char *size) { return {0, size, "0.001", "0.2"}; }
TFilterSettings Kalman(const char *err, const char *speed) { return {1, "3", err, speed}; }

INSTANTIATE_TEST_SUITE_P(
    Tracks, FilterSettingsTest,
    ::testing::Values(
        TCheckCase{"median3", Median("3"), TFilterField::None, "", "median-3"},
        TCheckCase{"median16", Median("16"), TFilterField::None, "", "median-16"},
        TCheckCase{"median2", Median("2"), TFilterField::Size, "Window size too small", ""},
        TCheckCase{"medianText", Median("ab"), TFilterField::Size, "Window size too small", ""},
        TCheckCase{"median17", Median("17"), TFilterField::Size,
                   "Window size too large [17], max=16", ""},
        TCheckCase{"kalmanComma", Kalman("0,002", "0,5"), TFilterField::None, "",
                   "kalman-0.0020-0.50"},
        TCheckCase{"kalmanZeroError", Kalman("0", "0.2"), TFilterField::Error,
                   "Error too small [0.00]", ""},
        TCheckCase{"kalmanNegativeError", Kalman("-0.5", "0.2"), TFilterField::Error,
                   "Error too small [-0.50]", ""},
        TCheckCase{"kalmanSlow", Kalman("0.001", "0.001"), TFilterField::Speed,
                   "Speed too small [0.00]", ""},
        TCheckCase{"kalmanFast", Kalman("0.001", "1.5"), TFilterField::Speed,
                   "Speed too large [1.50]", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FilterSettingsTest, UnknownPageAndSettingsFile) {
  TFilterSettings s;
  s.Filter = 2;
  EXPECT_THROW(CheckFilterSettings(s), std::runtime_error);
  EXPECT_THROW(CreateFilter(s), std::runtime_error);

  const auto dir = std::filesystem::temp_directory_path() / "kelvra_filter_settings";
  std::filesystem::create_directories(dir);
  const std::string fn = (dir / "s.ini").string();
  {
    TLumIniFile ini(fn);
    TFilterSettings fresh;
    fresh.Load(ini);
    EXPECT_EQ(fresh.Filter, 0);
    EXPECT_EQ(fresh.Size, "3");
    EXPECT_EQ(fresh.Error, "0.001");
    EXPECT_EQ(fresh.Speed, "0.2");
    TFilterSettings typed{1, "17", "0,01", "0.5"};
    typed.Save(ini);
  }
  TLumIniFile ini(fn);
  TFilterSettings back;
  back.Load(ini);
  EXPECT_EQ(back.Filter, 1);
  EXPECT_EQ(back.Size, "17");
  EXPECT_EQ(back.Error, "0,01");
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kelvra
