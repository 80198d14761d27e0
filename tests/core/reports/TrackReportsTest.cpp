// Trips, stops, the daily summary and the report tables, on hand-made tracks whose answers are
// known: the parking search of the tracks marks the stays, as it does for a requested track.
#include "core/map/geo_utils.h"
#include "core/model/EventInfo.h"
#include "core/reports/ReportTable.h"
#include "core/reports/TrackReports.h"
#include "core/tracks/GeoTrack.h"
#include "support/TempDir.h"
#include "support/TestText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace kelvra;
using kelvra::test::Shell;

namespace {

const TDateTime kReportDay = 46365; // 9 Dec 2026
constexpr double kMin = 1.0 / 1440;
constexpr double kLat = 58.0, kLon = 56.25;
constexpr double kStep = 0.01; // degrees of latitude per minute of driving (about 67 km/h)

class TTrackMaker {
public:
  // Messages every `every` minutes from t1 to t2 (inclusive) at one place, not moving.
  void Stay(TDateTime t1, TDateTime t2, double lat, double lon = kLon, double every = 2) {
    for (TDateTime t = t1; t <= t2 + 1e-9; t += every * kMin) Add(t, lat, lon, 0);
  }
  // One message a minute, kStep further north each, from t1 (exclusive) for `minutes`.
  double Drive(TDateTime t1, int minutes, double lat, double lon = kLon) {
    for (int k = 1; k <= minutes; ++k) {
      lat += kStep;
      Add(t1 + k * kMin, lat, lon, 67);
    }
    return lat;
  }
  void Add(TDateTime t, double lat, double lon, double speed) {
    auto p = std::make_unique<TTrackPointInfo>(int(fPoints.size()) + 1, 7);
    p->obj_dt = p->gps_dt = p->sys_dt = t;
    p->lat = lat;
    p->lon = lon;
    p->speed = speed;
    p->acc = 10;
    fPoints.push_back(std::move(p));
  }
  TGeoTrack Track() {
    TGeoTrack t("7");
    t.Assign(std::move(fPoints));
    t.MarkParking();
    t.UpdateInfo();
    return t;
  }

private:
  TTrackPointList fPoints;
};

TGeoPoint At(double lat, double lon) { return TGeoPoint{lon, lat}; }

// Metres of `minutes` of driving north from lat.
double DriveMetres(double lat, int minutes) {
  return DistanceBetween(lat, kLon, lat + minutes * kStep, kLon);
}

// The value stored with a formula of the sheet; NaN when the formula is not there.
double FormulaValue(const std::string &sheet, const std::string &formula) {
  const std::string f = "<f>" + formula + "</f><v>";
  const size_t at = sheet.find(f);
  return at == std::string::npos ? NAN : std::strtod(sheet.c_str() + at + f.size(), nullptr);
}

std::string ReadFile(const std::string &fn) {
  std::ifstream f(fn, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

} // namespace

TEST(TrackReportsTest, TripAcrossMidnightIsOneTripSharedBetweenTheDays) {
  TTrackMaker m;
  const TDateTime t0 = kReportDay + 23.0 / 24; // 23:00
  m.Stay(t0, t0 + 40 * kMin, kLat);
  const double b = m.Drive(t0 + 40 * kMin, 39, kLat);
  m.Stay(t0 + 80 * kMin, t0 + 120 * kMin, b + kStep); // arrives 00:20, stays till 01:00
  const TGeoTrack track = m.Track();
  TReportBuilder rb(kReportDay, kReportDay + 2);
  rb.AddTrack(7, "Car", track);

  ASSERT_EQ(rb.Trips().size(), 1u);
  const TTripRow &trip = rb.Trips()[0];
  EXPECT_NEAR(trip.start_dt, t0 + 40 * kMin, 1e-9);
  EXPECT_NEAR(trip.end_dt, t0 + 80 * kMin, 1e-9);
  EXPECT_NEAR(trip.duration, 2400, 1e-3);
  const double metres = DriveMetres(kLat, 40);
  EXPECT_NEAR(trip.distance, metres, metres * 0.002);
  EXPECT_NEAR(trip.AvgSpeed(), metres / 2400 * 3.6, 0.2);
  EXPECT_EQ(trip.max_speed, 67);

  ASSERT_EQ(rb.Stops().size(), 2u);
  // The first stop goes on before the track begins; the last one after it ends.
  EXPECT_NEAR(rb.Stops()[0].arrival, t0, 1e-9);
  EXPECT_TRUE(rb.Stops()[0].openStart);
  EXPECT_NEAR(rb.Stops()[0].Duration(), 2400, 1e-3);
  EXPECT_NEAR(rb.Stops()[1].arrival, t0 + 80 * kMin, 1e-9);
  EXPECT_TRUE(rb.Stops()[1].openEnd);
  EXPECT_NEAR(rb.Stops()[1].Duration(), 2400, 1e-3);
  EXPECT_NEAR(rb.Stops()[1].place.lat, b + kStep, 1e-9);

  const auto days = rb.Summary();
  ASSERT_EQ(days.size(), 2u);
  for (const TSummaryRow &d : days) {
    SCOPED_TRACE(dt2s(d.day));
    EXPECT_NEAR(d.driving, 1200, 1e-3); // 23:40-24:00 and 00:00-00:20
    EXPECT_NEAR(d.stopped, 2400, 1e-3);
    EXPECT_NEAR(d.distance, metres / 2, metres * 0.002);
    EXPECT_EQ(d.stops, 1);
    EXPECT_EQ(d.max_speed, 67);
  }
  EXPECT_EQ(days[0].day, kReportDay);
  EXPECT_EQ(days[1].day, kReportDay + 1);
}

TEST(TrackReportsTest, StopAtThePeriodsEdgeAndAShortHaltThatIsNoStop) {
  TTrackMaker m;
  const TDateTime t0 = kReportDay + 8.0 / 24;
  m.Stay(t0, t0 + 30 * kMin, kLat);                   // parked when the data begins
  const double b = m.Drive(t0 + 30 * kMin, 10, kLat); // 08:31-08:40
  m.Stay(t0 + 41 * kMin, t0 + 44 * kMin, b, kLon, 1); // a halt of three minutes
  const TGeoTrack track = m.Track();
  // The period begins ten minutes into the stay: the summary counts what lies inside it.
  TReportBuilder rb(t0 + 10 * kMin, kReportDay + 1);
  rb.AddTrack(7, "Car", track);

  ASSERT_EQ(rb.Stops().size(), 1u);
  const TStopRow &s = rb.Stops()[0];
  EXPECT_TRUE(s.openStart);
  EXPECT_FALSE(s.openEnd);
  EXPECT_NEAR(s.arrival, t0, 1e-9);
  EXPECT_NEAR(s.departure, t0 + 30 * kMin, 1e-9);
  EXPECT_NEAR(s.Duration(), 1800, 1e-3);

  ASSERT_EQ(rb.Trips().size(), 1u);
  EXPECT_NEAR(rb.Trips()[0].start_dt, t0 + 30 * kMin, 1e-9);
  EXPECT_NEAR(rb.Trips()[0].end_dt, t0 + 44 * kMin, 1e-9); // the halt is part of the trip

  const auto days = rb.Summary();
  ASSERT_EQ(days.size(), 1u);
  EXPECT_NEAR(days[0].stopped, 1200, 1e-3); // 08:10-08:30
  EXPECT_EQ(days[0].stops, 1);
  EXPECT_NEAR(days[0].driving, 14 * 60, 1e-3);
}

TEST(TrackReportsTest, GapEndsTheTripAndCountsNeitherAsDrivingNorAsAStop) {
  TTrackMaker m;
  const TDateTime t0 = kReportDay + 10.0 / 24;
  m.Add(t0, kLat, kLon, 60);
  double lat = m.Drive(t0, 10, kLat);
  // Silent for an hour; meanwhile the car went 5 km further.
  lat += 0.045;
  m.Add(t0 + 70 * kMin, lat, kLon, 60);
  m.Drive(t0 + 70 * kMin, 10, lat);
  const TGeoTrack track = m.Track();
  TReportBuilder rb(kReportDay, kReportDay + 1);
  rb.AddTrack(7, "Car", track);

  ASSERT_EQ(rb.Trips().size(), 2u);
  EXPECT_TRUE(rb.Stops().empty());
  EXPECT_NEAR(rb.Trips()[0].end_dt, t0 + 10 * kMin, 1e-9);
  EXPECT_NEAR(rb.Trips()[1].start_dt, t0 + 70 * kMin, 1e-9);
  const auto days = rb.Summary();
  ASSERT_EQ(days.size(), 1u);
  EXPECT_NEAR(days[0].driving, 1200, 1e-3);
  EXPECT_NEAR(days[0].stopped, 0, 1e-9);
  const double driven = DriveMetres(kLat, 10) + DriveMetres(lat, 10);
  EXPECT_NEAR(days[0].distance, driven, driven * 0.002);
  EXPECT_NEAR(rb.Trips()[0].distance + rb.Trips()[1].distance, days[0].distance, 1e-6);
}

TEST(TrackReportsTest, ZoneVisitAcrossDaysAndEventsPerDay) {
  TZoneInfo yard(1, kZoneCircle);
  yard.name = "Yard";
  yard.geom.center = At(kLat, kLon);
  yard.geom.radius = 300;
  yard.UpdateRect();
  TZoneInfo road(2, kZonePolygon); // a band the car drives through, about 3 minutes long
  road.name = "Road";
  road.geom.nodes = {At(kLat + 0.025, kLon - 0.01), At(kLat + 0.025, kLon + 0.01),
                     At(kLat + 0.055, kLon + 0.01), At(kLat + 0.055, kLon - 0.01)};
  road.UpdateRect();
  TZoneInfo elsewhere(3, kZoneCircle);
  elsewhere.name = "Elsewhere";
  elsewhere.geom.center = At(kLat - 1, kLon);
  elsewhere.geom.radius = 1000;
  elsewhere.UpdateRect();

  TTrackMaker m;
  const TDateTime t0 = kReportDay + 22.0 / 24;
  m.Stay(t0, t0 + 240 * kMin, kLat, kLon, 5); // 22:00 to 02:00 in the yard
  m.Drive(t0 + 240 * kMin, 10, kLat);         // leaves at 02:01
  const TGeoTrack track = m.Track();
  TReportBuilder rb(kReportDay, kReportDay + 2, {yard, road, elsewhere});
  rb.AddTrack(7, "Car", track);

  TEventInfo alarm(1, 7), late(2, 7), outside(3, 7);
  alarm.h_obj_dt = t0 + 30 * kMin;
  late.h_obj_dt = kReportDay + 1 + 1.0 / 24;
  outside.h_obj_dt = kReportDay + 3; // after the period
  for (const TEventInfo *e : {&alarm, &late, &outside}) rb.AddEvent(*e, "Car", "Speed > 60");
  EXPECT_EQ(rb.Events().size(), 2u);

  const auto days = rb.Summary();
  ASSERT_EQ(days.size(), 2u);
  // Inside from 22:00 till the first message outside (02:01).
  EXPECT_NEAR(days[0].zoneSeconds[0], 7200, 1e-3);
  EXPECT_NEAR(days[1].zoneSeconds[0], 7200 + 60, 1e-3);
  // Messages at 02:04, 02:05 and 02:06 lie in the band (latitudes +0.03 to +0.05).
  EXPECT_NEAR(days[1].zoneSeconds[1], 180, 1e-3);
  EXPECT_EQ(days[0].zoneSeconds[2] + days[1].zoneSeconds[2], 0);
  EXPECT_EQ(days[0].alarms, 1);
  EXPECT_EQ(days[1].alarms, 1);

  // The summary table has a column for each zone someone was in, and totals.
  const TReportTable t = MakeReportTable(TReportKind::Summary, rb, "Car");
  ASSERT_EQ(t.columns.size(), 10u);
  EXPECT_EQ(t.columns[8].title, "Yard");
  EXPECT_EQ(t.columns[9].title, "Road");
  const auto tot = t.Totals();
  EXPECT_EQ(tot[0].text, "Total (2)");
  EXPECT_NEAR(tot[8].num, 14460, 1e-3);
  EXPECT_EQ(t.CellText(tot[8], 8), "04:01:00");
  EXPECT_EQ(tot[7].num, 2);
  EXPECT_EQ(t.CellText(t.rows[0][1], 1), "09.12.2026");
}

TEST(TrackReportsTest, ZoneContainsPoint) {
  TZoneInfo l(1, kZonePolygon); // an L: the square 0..2 x 0..2 without its corner 1..2 x 1..2
  l.geom.nodes = {At(0, 0), At(0, 2), At(1, 2), At(1, 1), At(2, 1), At(2, 0)};
  TZoneInfo c(2, kZoneCircle);
  c.geom.center = At(kLat, kLon);
  c.geom.radius = 100;
  struct TCase {
    const char *name;
    const TZoneInfo *zone;
    double lat, lon;
    bool inside;
  } cases[] = {
      {"polygon inside", &l, 0.5, 0.5, true},       {"polygon arm", &l, 1.5, 0.5, true},
      {"polygon notch", &l, 1.5, 1.5, false},       {"polygon outside", &l, 3, 3, false},
      {"circle centre", &c, kLat, kLon, true},       {"circle 90 m", &c, kLat + 0.0008, kLon, true},
      {"circle 111 m", &c, kLat + 0.001, kLon, false}, {"no coordinates", &c, NAN, kLon, false},
  };
  for (const TCase &k : cases) EXPECT_EQ(k.zone->Contains(k.lat, k.lon), k.inside) << k.name;
  TZoneInfo line(3, kZonePolygon);
  line.geom.nodes = {At(0, 0), At(1, 1)};
  EXPECT_FALSE(line.Contains(0.5, 0.5));
}

TEST(TrackReportsTest, XlsxAndCsvHoldTypedCellsAndTotals) {
  TTrackMaker m;
  const TDateTime t0 = kReportDay + 8.0 / 24;
  m.Stay(t0, t0 + 10 * kMin, kLat);
  const double b = m.Drive(t0 + 10 * kMin, 20, kLat);
  m.Stay(t0 + 31 * kMin, t0 + 51 * kMin, b + kStep);
  const double c = m.Drive(t0 + 51 * kMin, 5, b + kStep);
  m.Stay(t0 + 57 * kMin, t0 + 71 * kMin, c + kStep);
  const TGeoTrack track = m.Track();
  TReportBuilder rb(kReportDay, kReportDay + 1);
  rb.AddTrack(7, "Car; \"blue\"", track);
  TReportTable t = MakeReportTable(TReportKind::Trips, rb, "Car", {},
                                   [](const std::string &id) { return id == "p1" ? "Main St" : ""; });
  ASSERT_EQ(t.rows.size(), 2u);
  const auto tot = t.Totals();
  EXPECT_NEAR(tot[5].num, t.rows[0][5].num + t.rows[1][5].num, 1e-9);
  EXPECT_NEAR(tot[6].num, 21 * 60 + 6 * 60, 1e-3);
  EXPECT_EQ(tot[8].num, 67);

  test::TTempDir dir;
  const std::string fn = dir.Path() + "trips.xlsx";
  ASSERT_EQ(WriteReportXlsx(fn, t), "");
  const std::string sheet = Shell("unzip -p '" + fn + "' xl/worksheets/sheet1.xml");
  const std::string strings = Shell("unzip -p '" + fn + "' xl/sharedStrings.xml");
  const std::string styles = Shell("unzip -p '" + fn + "' xl/styles.xml");
  ASSERT_FALSE(sheet.empty()) << "unzip could not read the workbook";
  // Caption, header, two trips, totals: five rows.
  EXPECT_NE(sheet.find("<row r=\"5\""), std::string::npos);
  EXPECT_EQ(sheet.find("<row r=\"6\""), std::string::npos);
  EXPECT_NE(strings.find("Car; "), std::string::npos) << strings;
  EXPECT_NE(strings.find("Total (2)"), std::string::npos);
  // The start is a number cell (a date serial) with a date format, not a text.
  std::ostringstream start;
  start.precision(15);
  start << "<c r=\"B3\" s=\"";
  const size_t b3 = sheet.find(start.str());
  ASSERT_NE(b3, std::string::npos);
  const std::string cellB3 = sheet.substr(b3, sheet.find("</c>", b3) - b3);
  EXPECT_EQ(cellB3.find("t=\"s\""), std::string::npos) << cellB3;
  EXPECT_NE(cellB3.find("<v>46365.34"), std::string::npos) << cellB3;
  EXPECT_NE(styles.find("dd.mm.yyyy hh:mm:ss"), std::string::npos);
  EXPECT_NE(styles.find("[h]:mm:ss"), std::string::npos);
  // Totals are formulas over the rows with their values.
  EXPECT_NE(sheet.find("<f>SUM(F3:F4)</f>"), std::string::npos);
  EXPECT_NEAR(FormulaValue(sheet, "SUM(G3:G4)"), 27.0 / 1440, 1e-9); // 27 minutes in days
  EXPECT_EQ(FormulaValue(sheet, "MAX(I3:I4)"), 67);
  EXPECT_NE(sheet.find("<pane ySplit=\"2\""), std::string::npos); // header frozen
  EXPECT_NE(sheet.find("<cols>"), std::string::npos);
  EXPECT_NE(WriteReportXlsx(dir.Path() + "no/such/dir/t.xlsx", t), "");

  const std::string csvName = dir.Path() + "trips.csv";
  ASSERT_EQ(WriteReportCsv(csvName, t), "");
  const std::string csv = ReadFile(csvName);
  EXPECT_EQ(csv.rfind("\xEF\xBB\xBF" "Object;Start;Start place;End;End place;Distance, km;", 0), 0u);
  EXPECT_NE(csv.find("\r\n\"Car; \"\"blue\"\"\";09.12.2026 08:10:00;"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\nTotal (2);;;;;"), std::string::npos) << csv;
  EXPECT_NE(csv.find(";00:27:00;;67.0\r\n"), std::string::npos) << csv;
}

// Distances and speeds follow the display units: the values, and the titles that name the unit
// (where a translation puts it).
TEST(TrackReportsTest, DistancesAndSpeedsFollowTheDisplayUnits) {
  TTrackMaker m;
  const TDateTime t0 = kReportDay + 8.0 / 24;
  m.Stay(t0, t0 + 10 * kMin, kLat);
  const double b = m.Drive(t0 + 10 * kMin, 20, kLat);
  m.Stay(t0 + 31 * kMin, t0 + 51 * kMin, b + kStep);
  const TGeoTrack track = m.Track();
  TReportBuilder rb(kReportDay, kReportDay + 1);
  rb.AddTrack(7, "Car", track);
  ASSERT_EQ(rb.Trips().size(), 1u);
  const double metres = rb.Trips()[0].distance;
  ASSERT_GT(metres, 20000);

  const struct {
    TUnitSystem system;
    std::string distanceUnit, speedUnit;
    double metresPerUnit, maxSpeed; // 67 km/h in the speed unit
  } cases[] = {{TUnitSystem::Metric, "km", "km/h", 1000, 67},
               {TUnitSystem::Imperial, "mi", "mph", 1609.344, 41.6318},
               {TUnitSystem::Nautical, "NM", "kn", 1852, 36.1771}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.distanceUnit);
    TDisplayUnits units;
    units.system = c.system;
    const TReportTable trips = MakeReportTable(TReportKind::Trips, rb, "Car", {}, {}, units);
    EXPECT_EQ(trips.columns[5].title, "Distance, " + c.distanceUnit);
    EXPECT_EQ(trips.columns[7].title, "Average speed, " + c.speedUnit);
    EXPECT_EQ(trips.columns[8].title, "Maximum speed, " + c.speedUnit);
    EXPECT_NEAR(trips.rows[0][5].num, metres / c.metresPerUnit, 1e-9);
    EXPECT_NEAR(trips.rows[0][8].num, c.maxSpeed, 1e-3);
    EXPECT_NEAR(trips.Totals()[5].num, metres / c.metresPerUnit, 1e-9);
    EXPECT_NEAR(trips.rows[0][7].num, rb.Trips()[0].AvgSpeed() * c.maxSpeed / 67, 1e-3);
    const TReportTable summary = MakeReportTable(TReportKind::Summary, rb, "Car", {}, {}, units);
    EXPECT_EQ(summary.columns[2].title, "Distance, " + c.distanceUnit);
    EXPECT_EQ(summary.columns[6].title, "Maximum speed, " + c.speedUnit);
    EXPECT_NEAR(summary.rows[0][2].num, rb.Summary()[0].distance / c.metresPerUnit, 1e-9);
    EXPECT_NEAR(summary.rows[0][6].num, c.maxSpeed, 1e-3);
  }
  // A translated title puts the unit where its language wants it.
  TDisplayUnits imperial;
  imperial.system = TUnitSystem::Imperial;
  const TReportTable t = MakeReportTable(
      TReportKind::Trips, rb, "Car",
      [](const std::string &key, const std::string &def) {
        return key == "col_distance" ? std::string("Пробег (%s)") : def;
      },
      {}, imperial);
  EXPECT_EQ(t.columns[5].title, "Пробег (mi)");
}

// A stop that goes on before the period's first message keeps its mark in the workbook: the cell
// stays a date, and its format shows the mark before it, as the window and the CSV do.
TEST(TrackReportsTest, TheWorkbookKeepsTheMarkOfAnOpenStop) {
  TTrackMaker m;
  const TDateTime t0 = kReportDay + 8.0 / 24;
  m.Stay(t0, t0 + 30 * kMin, kLat);
  m.Drive(t0 + 30 * kMin, 10, kLat);
  const TGeoTrack track = m.Track();
  TReportBuilder rb(kReportDay, kReportDay + 1);
  rb.AddTrack(7, "Car", track);
  const TReportTable t = MakeReportTable(TReportKind::Stops, rb, "Car");
  ASSERT_EQ(t.rows.size(), 1u);
  const std::string mark = "\xE2\x80\xA6"; // "…"
  EXPECT_EQ(t.CellText(t.rows[0][2], 2), mark + "09.12.2026 08:00:00");

  test::TTempDir dir;
  const std::string fn = dir.Path() + "stops.xlsx";
  ASSERT_EQ(WriteReportXlsx(fn, t), "");
  EXPECT_FALSE(std::ifstream(fn + ".tmp").good()); // nothing left beside it
  const std::string sheet = Shell("unzip -p '" + fn + "' xl/worksheets/sheet1.xml");
  const std::string styles = Shell("unzip -p '" + fn + "' xl/styles.xml");
  ASSERT_FALSE(sheet.empty()) << "unzip could not read the workbook";
  // The arrival (C3) is a number cell whose format carries the mark as a literal.
  const size_t c3 = sheet.find("<c r=\"C3\"");
  ASSERT_NE(c3, std::string::npos) << sheet;
  const std::string cell = sheet.substr(c3, sheet.find("</c>", c3) - c3);
  EXPECT_EQ(cell.find("t=\"s\""), std::string::npos) << cell;
  EXPECT_NE(cell.find("<v>46365.33"), std::string::npos) << cell;
  const size_t styleAt = cell.find("s=\"");
  ASSERT_NE(styleAt, std::string::npos) << cell;
  const int xf = std::atoi(cell.c_str() + styleAt + 3);
  // The cell's style is the xf of that index in cellXfs; its numFmtId names the marked format.
  const size_t xfs = styles.find("<cellXfs");
  ASSERT_NE(xfs, std::string::npos);
  size_t at = styles.find("<xf ", xfs);
  for (int k = 0; k < xf && at != std::string::npos; ++k) at = styles.find("<xf ", at + 1);
  ASSERT_NE(at, std::string::npos);
  const size_t idAt = styles.find("numFmtId=\"", at);
  const std::string id = styles.substr(idAt + 10, styles.find('"', idAt + 10) - idAt - 10);
  const std::string format = "<numFmt numFmtId=\"" + id + "\" formatCode=\"";
  const size_t f = styles.find(format);
  ASSERT_NE(f, std::string::npos) << styles;
  const std::string code = styles.substr(f + format.size(), styles.find("\"/>", f) - f - format.size());
  EXPECT_EQ(code, "&quot;" + mark + "&quot;dd.mm.yyyy hh:mm:ss");
  // The departure has no mark: the plain date format.
  EXPECT_NE(styles.find("formatCode=\"dd.mm.yyyy hh:mm:ss\""), std::string::npos);
}
