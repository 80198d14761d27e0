// What the object and trip windows show and send, and the framing of a photo.

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/model/ObjectInfo.h"
#include "core/util/LumSmallUtils.h"
#include "core/model/ObjectRows.h"
#include "core/model/PhotoFrame.h"
#include "core/model/TripInfo.h"
#include "core/util/LumDates.h"

namespace kelvra {
namespace {


std::vector<std::string> Keys(const std::vector<TInfoRow> &rows) {
  std::vector<std::string> k;
  for (const TInfoRow &r : rows)
    k.push_back(r.Key);
  return k;
}

bool HasKey(const std::vector<TInfoRow> &rows, const std::string &key) {
  for (const TInfoRow &r : rows)
    if (r.Key == key) return true;
  return false;
}

TEST(TripNames, SuggestedNameCarriesMinutesAndATrailingUnderscore) {
  EXPECT_EQ(SuggestedTripName(EncodeDateTime(2024, 3, 1, 14, 5, 59)), "trip_2024_03_01_14:05_");
}

TEST(TripState, OnlyNewOrActiveTripsAreRunning) {
  TObjectInfo oi(5);
  EXPECT_FALSE(HasActiveTrip(oi)); // no trip at all
  oi.trip_id = 7;
  for (int status : {0, 1})
    EXPECT_TRUE(HasActiveTrip((oi.trip_status = status, oi))) << status;
  oi.trip_status = 2; // finished: the start dialog opens again
  EXPECT_FALSE(HasActiveTrip(oi));
}

struct TTripCellCase {
  const char *name;
  double start, stop;
  const char *length;
};
void PrintTo(const TTripCellCase &c, std::ostream *os) { *os << c.name; }

class TripCells : public ::testing::TestWithParam<TTripCellCase> {};

TEST_P(TripCells, LengthColumn) {
  const TTripCellCase &c = GetParam();
  TTripInfo ti(1, 2);
  ti.name = "Morning";
  ti.status = 2;
  ti.start_dt = c.start;
  ti.stop_dt = c.stop;
  const auto cells = TripTreeCells(ti);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(cells[0], "Morning");
  EXPECT_EQ(cells[1], "complete");
  EXPECT_EQ(cells[3], c.length);
}

const double kStart = EncodeDateTime(2026, 12, 9, 8, 0, 0);
INSTANTIATE_TEST_SUITE_P(
    Trips, TripCells,
    ::testing::Values(TTripCellCase{"hour_and_five", kStart, kStart + (3600 + 300) / 86400.0, "01:05"},
                      TTripCellCase{"no_stop", kStart, kNaN, ""},
                      TTripCellCase{"stop_is_start", kStart, kStart, ""},
                      TTripCellCase{"a_day_and_more", kStart, kStart + 1.5, "36:00"}),
    [](const auto &i) { return std::string(i.param.name); });

TEST(TripCellsStart, StartIsShownToTheMinuteAndNaNIsEmpty) {
  TTripInfo ti(1, 2);
  ti.start_dt = EncodeDateTime(2026, 12, 9, 8, 7, 30);
  EXPECT_EQ(TripTreeCells(ti)[2], "09.12.2026 08:07");
  ti.start_dt = kNaN;
  EXPECT_EQ(TripTreeCells(ti)[2], "");
}

TEST(ShowTrack, ArgumentsOnlyForATripWithPeriodAndDistance) {
  TTripInfo ti(301, 101);
  ti.name = "Morning delivery";
  ti.start_dt = EncodeDateTime(2026, 12, 8, 16, 0, 0);
  ti.distance = 12500;
  EXPECT_TRUE(ShowTrackArgs(ti).empty()); // no stop: nothing to show
  ti.stop_dt = EncodeDateTime(2026, 12, 8, 19, 0, 0);
  const std::vector<std::string> want = {"name", "Morning delivery", "obj_id", "101",
                                         "dt1", "2026-12-08T16:00:00Z", "dt2",
                                         "2026-12-08T19:00:00Z", "mode", "1"};
  EXPECT_EQ(ShowTrackArgs(ti), want);
  ti.distance = 0;
  EXPECT_TRUE(ShowTrackArgs(ti).empty());
}

TEST(TripDetails, TokenOnlyWhenPublicAndTheDistanceRowCarriesTheButton) {
  TTripInfo ti(301, 101);
  ti.name = "Morning";
  ti.start_dt = kStart;
  ti.stop_dt = kNaN; // not stopped: an empty cell, never "NaN"
  ti.distance = 1234;
  ti.token = "a3f9";
  auto rows = TripInfoRows(ti, 0);
  EXPECT_EQ(Keys(rows), (std::vector<std::string>{"name", "status", "start_time", "stop_time",
                                                  "points_count", "distance"}));
  EXPECT_EQ(rows[3].Value, "");
  EXPECT_TRUE(rows[5].Flags & irButton);
  ti.is_public = true;
  ti.max_speed = 41.256;
  rows = TripInfoRows(ti, 9);
  EXPECT_EQ(rows.front().Key, "uid");
  EXPECT_EQ(rows.back().Key, "token");
  EXPECT_EQ(rows.back().Value, "a3f9");
  EXPECT_TRUE(HasKey(rows, "max_speed"));
}

TEST(ObjectInfo, RowsWithoutPositionAndWithOldOrVectorSensors) {
  const TDateTime now = EncodeDateTime(2026, 12, 9, 12, 0, 0);
  TObjectInfo oi(103, "8600");
  oi.name = "Watch";
  oi.last_point->sys_dt = now - 0.01;
  oi.last_point->obj_dt = kNaN;
  oi.last_point->bat = 64;
  auto addSensor = [&](const char *sign, const char *name, const char *unit, double age) {
    auto s = std::make_unique<TSensorInfo>(static_cast<int>(oi.sensors.size()) + 1);
    s->sign = sign;
    s->name = name;
    s->unitv = unit;
    s->val = "72";
    s->sys_dt = now - age;
    s->obj_dt = now - age;
    oi.sensors.push_back(std::move(s));
  };
  addSensor("hr", "Heart rate", "bpm", 0.1);
  addSensor("steps", "", "", 2);            // two days old: left out
  addSensor("vector", "Acceleration", "", 0); // never shown
  addSensor("temp", "", "", kNaN);          // age unknown: shown by its sign
  const auto rows = ObjectInfoRows(oi, 0, now);
  std::vector<TInfoRow> plain;
  for (const auto &r : rows)
    plain.push_back(r.Row);
  EXPECT_EQ(Keys(plain), (std::vector<std::string>{"id", "name", "type", "model", "version",
                                                   "battery", "sys_time", "obj_time",
                                                   "Heart rate, bpm", "temp"}));
  EXPECT_FALSE(HasKey(plain, "lat_lon"));
  EXPECT_EQ(plain[7].Value, ""); // the NaN object time
  EXPECT_EQ(plain[5].Value, "64");
  EXPECT_EQ(rows[8].Sensor, oi.sensors[0].get());
  EXPECT_EQ(rows[0].Sensor, nullptr);

  oi.last_point->lat = 57.998649;
  oi.last_point->lon = 56.27574;
  oi.address = "улица Ленина, 50, Пермь, Пермский край";
  oi.is_deleted = true;
  oi.del_dt = now - 1;
  const auto full = ObjectInfoRows(oi, 9, now);
  std::vector<TInfoRow> fp;
  for (const auto &r : full)
    fp.push_back(r.Row);
  EXPECT_EQ(fp[0].Key, "uid");
  EXPECT_TRUE(HasKey(fp, "hw_info"));
  EXPECT_TRUE(HasKey(fp, "deleted"));
  const auto ll = std::find_if(fp.begin(), fp.end(), [](auto &r) { return r.Key == "lat_lon"; });
  ASSERT_NE(ll, fp.end());
  EXPECT_EQ(ll->Value, "57.998649,56.275740");
  const auto ad = std::find_if(fp.begin(), fp.end(), [](auto &r) { return r.Key == "address"; });
  ASSERT_NE(ad, fp.end());
  EXPECT_EQ(InfoRowLines(*ad), 2); // 38 characters: two lines
}

TEST(ObjectEdits, OnlyLitFieldsAreSentTrimmed) {
  TObjectEdits e;
  EXPECT_EQ(ObjectChangeTable(e).Count(), 0);
  e.name = true;
  e.nameText = "  New name ";
  e.idText = "ignored";
  const TLumHash one = ObjectChangeTable(e);
  ASSERT_EQ(one.Count(), 1);
  EXPECT_EQ(one.GetKey(0), "name");
  EXPECT_EQ(one.GetVal("name"), "New name");
  e.color = true;
  e.trackColor = 0x00FF8000; // blue 255, green 128, red 0
  e.users = true;
  e.usersText = " alice ";
  const TLumHash all = ObjectChangeTable(e);
  EXPECT_EQ(all.GetVal("track_color"), "#0080FF");
  EXPECT_EQ(all.GetVal("users_list"), "alice");
  TObjectInfo oi(1, "x");
  ApplyObjectEdits(e, oi);
  EXPECT_EQ(oi.name, "New name");
  EXPECT_EQ(oi.id, "x"); // its lamp is off
  EXPECT_EQ(oi.track_color, 0x00FF8000u);
}

// --- photo framing ---------------------------------------------------------------------------

TEST(PhotoFrame, LandscapeFillsTheWidthAndCannotZoomOutBelowIt) {
  // 800 x 400 in a 400 x 400 viewport: the width decides (0.5), the box is as high as the
  // viewport, and both grow by 8.
  const TPhotoBox b = ScalePhotoBox(800, 400, 400, 400, 0.1);
  EXPECT_DOUBLE_EQ(b.Scale, 0.5);
  EXPECT_EQ(b.Width, 408);
  EXPECT_EQ(b.Height, 408);
  const TPhotoBox z = ScalePhotoBox(800, 400, 400, 400, 1.0);
  EXPECT_DOUBLE_EQ(z.Scale, 1.0);
  EXPECT_EQ(z.Width, 800);
  EXPECT_EQ(z.Height, 400);
  // Lower than the viewport at 0.55 and 0.9: the box stays as high as the viewport, the picture
  // is zoomed (a wheel step from the smallest scale zooms a landscape picture in).
  for (double x : {0.55, 0.9}) {
    const TPhotoBox low = ScalePhotoBox(800, 400, 400, 400, x);
    EXPECT_DOUBLE_EQ(low.Scale, x);
    EXPECT_EQ(low.Width, int(std::nearbyint(800 * x)) + 8);
    EXPECT_EQ(low.Height, 408);
  }
  const TPhotoBox p = ScalePhotoBox(400, 800, 400, 400, 1.25);
  EXPECT_EQ(p.Width, 500);
  EXPECT_EQ(p.Height, 1000);
}

TEST(PhotoFrame, SquareUnderTheMiddleOfTheView) {
  // Zoomed twice into 1000 x 800, scrolled to (100, 60): a 200-pixel square at (50, 30).
  const TPhotoSquare s = PhotoSquare(1000, 800, 2000, 1600, 400, 400, -100, -60);
  EXPECT_EQ(s.Side, 200);
  EXPECT_EQ(s.Left, 50);
  EXPECT_EQ(s.Top, 30);
  // A landscape picture shown whole (box 408 x 408, drawn 408 x 204 in its middle): the square
  // is as high as the picture and taken from its middle, not from its left edge.
  const TPhotoBox b = ScalePhotoBox(1200, 600, 400, 400, 0);
  const TPhotoSquare whole = PhotoSquare(1200, 600, b.Width, b.Height, 400, 400, -4, -4);
  EXPECT_EQ(whole.Side, 600);
  EXPECT_EQ(whole.Top, 0);
  EXPECT_EQ(whole.Left, 300);
  // Never outside the picture, however far the box was scrolled.
  const TPhotoSquare far = PhotoSquare(1000, 800, 1000, 800, 400, 400, -900, -700);
  EXPECT_EQ(far.Left + far.Side, 1000);
  EXPECT_EQ(far.Top + far.Side, 800);
}

} // namespace
} // namespace kelvra
