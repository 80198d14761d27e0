#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/tracks/TrackDump.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumDates.h"

namespace kelvra {
namespace {

const TDateTime kDumpDay = 45356.0; // 05.03.2024

std::unique_ptr<TTrackPointInfo> Pt(int uid, double objSeconds) {
  auto p = std::make_unique<TTrackPointInfo>(uid, 9);
  p->sys_dt = p->obj_dt = p->gps_dt = kDumpDay + objSeconds / 86400;
  p->lat = 58 + uid * 0.001;
  p->lon = 56;
  return p;
}

// A full point: every column has a value.
std::unique_ptr<TTrackPointInfo> Full() {
  auto p = Pt(17, 12 * 3600 + 5 * 60 + 9);
  p->gps_dt = 0;
  p->src = 2;
  p->alt = 151.6;
  p->acc = 4.4;
  p->speed = 36.5;
  p->angle = 270;
  p->bat = 88;
  p->IsParking = true;
  p->ParkingDuration = 750;
  p->sensors.emplace_back(1, "temp", "21.5");
  p->sensors.emplace_back(2, "door", "open");
  return p;
}

TEST(TrackDumpTest, CellTexts) {
  const auto p = Full();
  const std::vector<std::string> expected = {
      "17", "05.03.2024 12:05:09", "05.03.2024 12:05:09", "WiFi", "58.017000", "56.000000",
      "151.60", "4.40", "36.50", "270.00", "88", "12.5m", "temp=21.5,door=open"};
  for (int c = 0; c < DumpColumnCount; ++c)
    EXPECT_EQ(DumpCellText(*p, c), expected[c]) << DumpColumnTitles[c];

  TTrackPointInfo empty;
  EXPECT_EQ(DumpCellText(empty, dcSysTime), "NaN");
  EXPECT_EQ(DumpCellText(empty, dcGpsTime), "");
  EXPECT_EQ(DumpCellText(empty, dcLat), "NaN");
  EXPECT_EQ(DumpCellText(empty, dcAlt), "NaN");
  EXPECT_EQ(DumpCellText(empty, dcParking), "");
  EXPECT_EQ(DumpCellText(empty, dcSensors), "");
  EXPECT_EQ(DumpCellText(empty, 99), "x");
  EXPECT_EQ(ParkingText(3600), "60.0m");
  EXPECT_EQ(ParkingText(5400), "1.5h");
}

TEST(TrackDumpTest, SortPutsUnsetFirstAndReverses) {
  TTrackPointList pts;
  pts.push_back(Pt(3, 30));
  pts.push_back(Pt(1, 10));
  pts.push_back(Pt(2, 20));
  pts[0]->speed = 5;
  pts[2]->speed = 1;
  pts[1]->obj_dt = 0; // not set
  pts[0]->gps_dt = pts[1]->gps_dt = 0;
  pts[0]->src = 2;
  pts[1]->src = 0;
  EXPECT_EQ(DumpSortOrder(pts, dcUid, false), (std::vector<int>{1, 2, 0}));
  EXPECT_EQ(DumpSortOrder(pts, dcUid, true), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(DumpSortOrder(pts, dcObjTime, false), (std::vector<int>{1, 2, 0}));
  EXPECT_EQ(DumpSortOrder(pts, dcSpeed, false), (std::vector<int>{1, 2, 0}));
  EXPECT_EQ(DumpSortOrder(pts, dcSpeed, true), (std::vector<int>{0, 2, 1}));
  // Neither has a GPS time: the position source decides; a GPS time sorts after both.
  EXPECT_EQ(DumpSortOrder(pts, dcGpsTime, false), (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(DumpSortOrder(pts, dcBat, false), (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(DumpSortable(dcBearing));
}

// The sort reads its keys once; its order must stay the one DumpCompare defines, with ties kept
// in point order, unset values, NaN and equal values mixed in every sortable column.
TEST(TrackDumpTest, SortOrderIsStableSortByDumpCompare) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double numbers[] = {nan, 2.5, -1, 0, 2.5, -0.0, 7};
  const double dates[] = {0, nan, 45000.5, 45000.25, 45000.5};
  TTrackPointList pts;
  for (int i = 0; i < 40; ++i) {
    auto p = std::make_unique<TTrackPointInfo>((i * 7) % 11, 1);
    p->lat = numbers[i % 7];
    p->lon = numbers[(i + 3) % 7];
    p->alt = numbers[(i * 3) % 7];
    p->acc = numbers[(i * 5) % 7];
    p->speed = numbers[(i + i / 7) % 7];
    p->sys_dt = dates[i % 5];
    p->obj_dt = dates[(i + 2) % 5];
    p->gps_dt = dates[(i * 3) % 5];
    p->src = i % 3;
    pts.push_back(std::move(p));
  }
  for (int column = 0; column < DumpColumnCount; ++column) {
    if (!DumpSortable(column)) continue;
    for (const bool descending : {false, true}) {
      std::vector<int> expected(pts.size());
      for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<int>(i);
      std::stable_sort(expected.begin(), expected.end(), [&](int x, int y) {
        const int c = DumpCompare(*pts[x], *pts[y], column);
        return descending ? c > 0 : c < 0;
      });
      EXPECT_EQ(DumpSortOrder(pts, column, descending), expected)
          << "column " << column << (descending ? " descending" : "");
    }
  }
}

struct TSummaryCase {
  const char *name;
  int column;
  const char *label;
  const char *value;
};

void PrintTo(const TSummaryCase &c, std::ostream *os) { *os << c.name; }

class DumpSummaryTest : public ::testing::TestWithParam<TSummaryCase> {};

TEST_P(DumpSummaryTest, FromFirstAndLastSelected) {
  auto a = Pt(1, 0), mid = Pt(2, 100), b = Pt(3, 90061);
  a->alt = 100;
  b->alt = 92.5;
  a->speed = 10;
  b->speed = 21;
  a->bat = 90;
  b->bat = 75;
  a->lat = 58;
  b->lat = 58.001;
  b->lon = 56;
  const std::vector<const TTrackPointInfo *> sel = {a.get(), mid.get(), b.get()};
  const TDumpSummary s = DumpSummary(sel, GetParam().column);
  EXPECT_EQ(s.LabelKey, GetParam().label);
  EXPECT_EQ(s.Value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, DumpSummaryTest,
    ::testing::Values(TSummaryCase{"objTime", dcObjTime, "duration", "1 day 01:01:01"},
                      TSummaryCase{"distance", dcLat, "distance", "111.38 m"},
                      TSummaryCase{"altitude", dcAlt, "altitude", "-7.50 m"},
                      // The middle row has no speed and does not count.
                      TSummaryCase{"avgSpeed", dcSpeed, "avg_speed", "15.50 km/h"},
                      TSummaryCase{"battery", dcBat, "delta", "-15"},
                      TSummaryCase{"other", dcSensors, "", ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TrackDumpTest, DurationsAndOneRow) {
  EXPECT_EQ(DaysDuration(3 * 86400 + 7), "3 days 00:00:07");
  EXPECT_EQ(DaysDuration(59), "00:00:59");
  EXPECT_EQ(DaysDuration(-90061), "-1 day 01:01:01");
  auto p = Pt(1, 0);
  EXPECT_EQ(DumpSummary({p.get()}, dcObjTime).LabelKey, "");
}

TEST(TrackDumpTest, CopyTexts) {
  auto a = Pt(1, 0), b = Pt(2, 60);
  const std::string cellsA = "1;05.03.2024 00:00:00;05.03.2024 00:00:00;05.03.2024 00:00:00;"
                             "58.001000;56.000000;NaN;NaN;NaN;NaN;-1;;;";
  EXPECT_EQ(DumpCopyRows({a.get()}), cellsA);
  const std::string two = DumpCopyRows({a.get(), b.get()});
  EXPECT_EQ(two.substr(0, two.find("\r\n")),
            "uid;sys_time;obj_time;gps_time;lat;lon;alt;acc;speed;bearing;bat;P;sensors;");
  EXPECT_EQ(two.substr(two.find("\r\n") + 2, cellsA.size() + 2), cellsA + "\r\n");
  EXPECT_TRUE(two.ends_with(";\r\n"));
  EXPECT_EQ(DumpCopyColumn({a.get()}, dcLon), "58.001000,56.000000");
  EXPECT_EQ(DumpCopyColumn({a.get(), b.get()}, dcUid), "1\r\n2\r\n");
}

TEST(TrackDumpTest, ChartValuesAndSeries) {
  TTrackPointList pts;
  pts.push_back(Pt(1, 0));
  pts.push_back(Pt(2, 60));
  pts.push_back(Pt(3, 120));
  pts[1]->alt = 120; // the first point has no altitude
  pts[2]->alt = 150;
  pts[0]->sensors.emplace_back(1, "event", "x");
  pts[0]->sensors.emplace_back(2, "temp", "20,5");
  pts[1]->sensors.emplace_back(3, "fuel", "abc");
  pts[2]->sensors.emplace_back(2, "temp", "22");
  const auto values = DumpChartValues(pts, [](const std::string &sign) {
    return sign == "temp" ? std::string("Temperature") : std::string();
  });
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0].Key, "battery");
  EXPECT_EQ(values[1].Key, "altitude");
  EXPECT_EQ(values[2].Text, "temp | Temperature");
  EXPECT_EQ(values[3].Text, "fuel");

  // Chart point 0 comes from track point 1: a click opens the right point.
  const auto alt = ChartSeries(pts, "altitude");
  ASSERT_EQ(alt.size(), 2u);
  EXPECT_EQ(alt[0].PointIndex, 1);
  EXPECT_EQ(alt[0].Y, 120);
  EXPECT_DOUBLE_EQ(ChartAxisMax("altitude", alt), 180);
  const auto temp = ChartSeries(pts, "temp | Temperature");
  ASSERT_EQ(temp.size(), 2u);
  EXPECT_EQ(temp[0].Y, 20.5);
  EXPECT_EQ(temp[1].PointIndex, 2);
  EXPECT_TRUE(ChartSeries(pts, "fuel").empty());
  EXPECT_TRUE(ChartSeries(pts, "battery").empty()); // bat -1: no value
  EXPECT_EQ(ChartAxisMax("battery", {}), 100);
  EXPECT_EQ(ChartLabel(kDumpDay + 0.5, true), "12:00");
  EXPECT_EQ(ChartLabel(kDumpDay + 0.5, false), "05.03 12:00");
}

// An imported track has no device time: its points are charted at their GPS time, in time
// order whatever the order of the list, and each chart point still leads to its own track point.
TEST(TrackDumpTest, ChartTakesTheTimeThePointHas) {
  TTrackPointList pts;
  for (const double s : {120.0, 0.0, 60.0, 180.0}) {
    pts.push_back(Pt(static_cast<int>(s), s));
    pts.back()->alt = 100 + s;
  }
  pts[0]->obj_dt = 0;                    // imported: GPS time only
  pts[1]->obj_dt = std::nan("");         // unreadable device time
  pts[3]->obj_dt = pts[3]->gps_dt = 0;   // no time at all: not charted
  const auto alt = ChartSeries(pts, "altitude");
  ASSERT_EQ(alt.size(), 3u);
  EXPECT_DOUBLE_EQ(alt[0].X, kDumpDay);
  EXPECT_EQ(alt[0].PointIndex, 1);
  EXPECT_EQ(alt[1].PointIndex, 2);
  EXPECT_EQ(alt[2].PointIndex, 0);
  EXPECT_DOUBLE_EQ(alt[2].X, kDumpDay + 120.0 / 86400);
  EXPECT_EQ(PointTime(*pts[3]), 0);
  // Nor does its information window show a service time of day zero.
  pts[0]->sys_dt = 0;
  for (const TInfoRow &r : TrackPointInfoRows(*pts[0], 9, nullptr))
    EXPECT_NE(r.Key, "sys_time") << r.Value;
}

TEST(TrackDumpTest, ThinningKeepsExtremesInOrder) {
  std::vector<TChartPoint> s;
  for (int i = 0; i < 1000; ++i)
    s.push_back({double(i), i == 500 ? 1000.0 : double(i % 7), i});
  const auto thin = ThinSeries(s, 10);
  EXPECT_LE(thin.size(), 20u);
  bool peak = false;
  for (size_t i = 0; i < thin.size(); ++i) {
    if (thin[i].Y == 1000) peak = true;
    if (i > 0) {
      EXPECT_LT(thin[i - 1].PointIndex, thin[i].PointIndex);
    }
  }
  EXPECT_TRUE(peak);
  EXPECT_EQ(ThinSeries(s, 600).size(), s.size());
}

// The chart a window gets from the worker: thinned once for any screen, its peak and its
// lowest point kept, the axis sized by the whole series (not by what thinning left).
TEST(TrackDumpTest, ChartDataKeepsExtremesAndTheWholeAxis) {
  TTrackPointList pts;
  const int n = 5 * TChartData::kChartColumns;
  for (int i = 0; i < n; ++i) {
    pts.push_back(Pt(i + 1, i));
    pts.back()->alt = i == n / 3 ? 900 : i == n / 2 ? -50 : 100 + i % 11;
  }
  const TChartData d = ChartData(pts, "altitude");
  EXPECT_LE(d.Points.size(), size_t(2 * TChartData::kChartColumns));
  EXPECT_DOUBLE_EQ(d.AxisMax, ChartAxisMax("altitude", ChartSeries(pts, "altitude")));
  bool peak = false, low = false;
  for (size_t i = 0; i < d.Points.size(); ++i) {
    peak |= d.Points[i].Y == 900 && d.Points[i].PointIndex == n / 3;
    low |= d.Points[i].Y == -50;
    if (i > 0) EXPECT_LT(d.Points[i - 1].X, d.Points[i].X);
  }
  EXPECT_TRUE(peak);
  EXPECT_TRUE(low);
  EXPECT_TRUE(ChartData(pts, "fuel").Points.empty());
}

TEST(TrackDumpTest, InfoRows) {
  TGeoTrack track("42");
  track.SetSign("Car");
  TTrackPointList pts;
  pts.push_back(Pt(1, 0));
  pts.push_back(Pt(2, 3909)); // 01:05:09
  pts.push_back(std::make_unique<TTrackPointInfo>(3, 9));
  pts[1]->osm_id = "A";
  track.Assign(std::move(pts));
  std::map<std::string, std::string> rows;
  std::vector<std::string> keys;
  for (const auto &r : TrackInfoRows(track)) {
    rows[r.Key] = r.Value;
    keys.push_back(r.Key);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"object_id", "sign", "points", "gps_points", "distance",
                                            "duration", "avg_speed", "nw_coords", "se_coords",
                                            "center_point", "size", "addr_points"}));
  EXPECT_EQ(rows["gps_points"], "2");
  EXPECT_EQ(rows["distance"], "0.111 km");
  EXPECT_EQ(rows["duration"], "01:05:09");
  EXPECT_EQ(rows["avg_speed"], "0.10 km/h");
  EXPECT_EQ(rows["nw_coords"], "58.0020,56.0000");

  auto p = Full();
  p->osm_id = "A";
  auto addr = [](const std::string &id) { return id == "A" ? std::string("Lenina street 1, a long address") : std::string(); };
  std::vector<std::string> pk;
  for (const auto &r : TrackPointInfoRows(*p, 9, addr))
    pk.push_back(r.Key + "=" + r.Value);
  EXPECT_EQ(pk, (std::vector<std::string>{
                    "uid=17", "bat=88", "sys_time=05.03.2024 12:05:09", "obj_time=05.03.2024 12:05:09",
                    "crd_src=WiFi", "lat_lon=58.017000,56.000000", "alt=151.60 m", "acc=4.40 m",
                    "park_dur=0:12:30", "osm_id=A", "address=Lenina street 1, a long address",
                    "temp=21.5", "door=open"}));
  const auto user = TrackPointInfoRows(*p, 5, addr);
  EXPECT_EQ(user.front().Key, "bat");
  EXPECT_EQ(InfoRowLines(user[user.size() - 3]), 2); // 31 characters
  EXPECT_TRUE(user.back().Sensor);
}

TEST(TrackDumpTest, PathRowsAndExport) {
  TGeoTrack track("1");
  track.SetSign("Path");
  TTrackPointList pts;
  const char *ids[] = {"A", "A", "", "B", "A"};
  for (int i = 0; i < 5; ++i) {
    pts.push_back(Pt(i + 1, i * 60));
    pts.back()->osm_id = ids[i];
  }
  track.Assign(std::move(pts));
  const std::vector<int> rows = TrackPathRows(track);
  EXPECT_EQ(rows, (std::vector<int>{0, 3, 4}));
  auto addr = [](const std::string &id) { return "street " + id; };
  EXPECT_EQ(TrackPathText(track, rows, addr, 1),
            "05.03.2024 00:00:00\tstreet A\r\n05.03.2024 00:03:00\tstreet B\r\n"
            "05.03.2024 00:04:00\tstreet A\r\n");
  const std::string csv = TrackPathText(track, rows, addr, 2);
  EXPECT_TRUE(csv.starts_with("Time;Address\r\n05.03.2024 00:00:00;street A\r\n"));

  const auto dir = std::filesystem::temp_directory_path() / "kelvra_track_path";
  std::filesystem::create_directories(dir);
  std::string fn = (dir / "path.dat").string();
  const int n = ExportTrackPath(fn, csv, 2);
  EXPECT_EQ(std::filesystem::path(fn).filename(), "path.csv");
  std::ifstream f(fn, std::ios::binary);
  std::stringstream got;
  got << f.rdbuf();
  EXPECT_EQ(got.str(), "\xEF\xBB\xBF" + csv);
  EXPECT_EQ(n, static_cast<int>(got.str().size()));
  std::string none;
  EXPECT_EQ(ExportTrackPath(none, csv, 1), -1);
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kelvra
