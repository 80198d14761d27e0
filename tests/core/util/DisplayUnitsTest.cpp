// Every quantity the windows show, in the three unit systems, and the coordinate forms.
#include "core/map/SlippyMapUtils.h"
#include "core/map/geo_utils.h"
#include "core/model/ObjectRows.h"
#include "core/model/ZoneEdit.h"
#include "core/model/TripInfo.h"
#include "core/tracks/GeoTrack.h"
#include "core/tracks/TrackDump.h"
#include "core/util/DisplayUnits.h"
#include "core/util/LumDates.h"
#include "core/util/LumSmallUtils.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace kelvra {
namespace {

// Restores the program's units whatever a test set.
struct TUnitsScope {
  explicit TUnitsScope(const TDisplayUnits &u) { SetDisplayUnits(u); }
  ~TUnitsScope() { SetDisplayUnits(TDisplayUnits()); }
};

std::unique_ptr<TTrackPointInfo> TimedPoint(int uid, double seconds, double lat, double lon) {
  auto p = std::make_unique<TTrackPointInfo>(uid, 9);
  p->sys_dt = p->obj_dt = p->gps_dt = EncodeDateTime(2026, 7, 1, 10) + seconds / 86400;
  p->lat = lat;
  p->lon = lon;
  p->alt = 151.6;
  p->acc = 4.4;
  p->speed = 36.5;
  p->angle = 90;
  return p;
}

// What each window shows of one track, point, selection, trip and map scale, by row key.
std::map<std::string, std::string> ShownQuantities() {
  std::map<std::string, std::string> shown;
  TGeoTrack track("7");
  TTrackPointList pts;
  pts.push_back(TimedPoint(1, 0, 58.0, 56.0));
  pts.push_back(TimedPoint(2, 600, 58.09, 56.0)); // 10 km north in 10 minutes: 60 km/h
  pts.back()->alt = 120.1;
  pts.push_back(TimedPoint(3, 1200, 58.0, 56.0)); // and back (the first point opens no rectangle)
  track.Assign(std::move(pts));
  for (const TInfoRow &r : TrackInfoRows(track))
    if (r.Key != "sign" && r.Key != "object_id" && r.Key != "points" && r.Key != "duration")
      shown["track." + r.Key] = r.Value;
  for (const TInfoRow &r : TrackPointInfoRows(*track.Points()[0], 0, {}))
    if (r.Key == "lat_lon" || r.Key == "alt" || r.Key == "acc" || r.Key == "speed")
      shown["point." + r.Key] = r.Value;
  const std::vector<const TTrackPointInfo *> sel = {track.Points()[0].get(), track.Points()[1].get()};
  for (int column : {dcLat, dcAlt, dcSpeed}) {
    const TDumpSummary s = DumpSummary(sel, column);
    shown["dump." + s.LabelKey] = s.Value;
  }
  TTripInfo trip(1, 7);
  trip.distance = 12345.678;
  trip.max_speed = 90;
  for (const TInfoRow &r : TripInfoRows(trip, 0))
    if (r.Key == "distance" || r.Key == "max_speed") shown["trip." + r.Key] = r.Value;
  shown["short"] = FormatDistance(250);
  // The raw dump's cells, column titles and chart.
  const TTrackPointInfo &first = *track.Points()[0];
  for (int column : {dcAlt, dcAcc, dcSpeed}) {
    const std::string title = DumpColumnHeader(column, DumpColumnTitles[size_t(column)]);
    shown["dump.cell." + title] = DumpCellText(first, column);
  }
  shown["dump.chart.altitude"] = f2s(ShownChartValue(first, "altitude"), 2) + " " + ChartUnit("altitude");
  // A zone's perimeter, area and radius field.
  for (double m : {250.0, 20000.0}) {
    const TMeasure per = PerimeterMeasure(m);
    shown["zone.perimeter" + std::to_string(int(m))] = f2s(per.value, 2) + " " + per.unit;
  }
  for (double m2 : {10000.0, 2500000.0}) {
    const TMeasure area = AreaMeasure(m2);
    shown["zone.area" + std::to_string(int(m2))] = f2s(area.value, 2) + " " + area.unit;
  }
  TZoneInfo zone(1, kZoneCircle);
  zone.geom.radius = 152.4;
  shown["zone.radius"] = ShownRadius(zone);
  for (int zoom : {9, 13, 14, 18}) {
    std::uint32_t px = 0;
    std::string text;
    GetScaleBarParams(zoom, DisplayUnits(), px, text);
    shown["scale" + std::to_string(zoom)] = text + " / " + std::to_string(px) + " px";
  }
  return shown;
}

struct TSystemCase {
  const char *name;
  const char *units;
  std::map<std::string, std::string> expected;
};
void PrintTo(const TSystemCase &c, std::ostream *os) { *os << c.name; }

class ShownQuantitiesTest : public ::testing::TestWithParam<TSystemCase> {};

TEST_P(ShownQuantitiesTest, InEveryWindow) {
  const TSystemCase &c = GetParam();
  TUnitsScope scope(TDisplayUnits::FromSettings(c.units, "deg"));
  const auto shown = ShownQuantities();
  for (const auto &[key, text] : c.expected) {
    const auto it = shown.find(key);
    ASSERT_NE(it, shown.end()) << key;
    EXPECT_EQ(it->second, text) << key;
  }
  EXPECT_EQ(shown.size(), c.expected.size());
}

// 10024.06 m there and back in 1200 s; altitudes 151.6 and 120.1 m; accuracy 4.4 m; speeds 36.5 km/h.
INSTANTIATE_TEST_SUITE_P(
    Units, ShownQuantitiesTest,
    ::testing::Values(
        TSystemCase{"metric", "metric",
                    {{"track.distance", "20.048 km"},
                     {"track.avg_speed", "60.14 km/h"},
                     {"track.nw_coords", "58.0900,56.0000"},
                     {"track.se_coords", "58.0000,56.0000"},
                     {"track.center_point", "58.0450,56.0000"},
                     {"track.size", "0.00x10024.06 m"},
                     {"point.lat_lon", "58.000000,56.000000"},
                     {"point.alt", "151.60 m"},
                     {"point.acc", "4.40 m"},
                     {"point.speed", "36.50 km/h"},
                     {"dump.distance", "10024.06 m"},
                     {"dump.altitude", "-31.50 m"},
                     {"dump.avg_speed", "36.50 km/h"},
                     {"trip.distance", "12.35 km"},
                     {"trip.max_speed", "90.00 km/h"},
                     {"short", "250.00 m"},
                     {"dump.cell.alt, m", "151.60"},
                     {"dump.cell.acc, m", "4.40"},
                     {"dump.cell.speed, km/h", "36.50"},
                     {"dump.chart.altitude", "151.60 m"},
                     {"zone.perimeter250", "250.00 m"},
                     {"zone.perimeter20000", "20.00 km"},
                     {"zone.area10000", "10000.00 m\u00B2"},
                     {"zone.area2500000", "2.50 km\u00B2"},
                     {"zone.radius", "152.40"},
                     {"scale9", "30 km / 98 px"},
                     {"scale13", "1 km / 52 px"},
                     {"scale14", "500 m / 52 px"},
                     {"scale18", "50 m / 84 px"}}},
        TSystemCase{"imperial", "imperial",
                    {{"track.distance", "12.457 mi"},
                     {"track.avg_speed", "37.37 mph"},
                     {"track.nw_coords", "58.0900,56.0000"},
                     {"track.se_coords", "58.0000,56.0000"},
                     {"track.center_point", "58.0450,56.0000"},
                     {"track.size", "0.00x32887.34 ft"},
                     {"point.lat_lon", "58.000000,56.000000"},
                     {"point.alt", "497.38 ft"},
                     {"point.acc", "14.44 ft"},
                     {"point.speed", "22.68 mph"},
                     {"dump.distance", "32887.34 ft"},
                     {"dump.altitude", "-103.35 ft"},
                     {"dump.avg_speed", "22.68 mph"},
                     {"trip.distance", "7.67 mi"},
                     {"trip.max_speed", "55.92 mph"},
                     {"short", "820 ft"},
                     {"dump.cell.alt, ft", "497.38"},
                     {"dump.cell.acc, ft", "14.44"},
                     {"dump.cell.speed, mph", "22.68"},
                     {"dump.chart.altitude", "497.38 ft"},
                     {"zone.perimeter250", "820.21 ft"},
                     {"zone.perimeter20000", "12.43 mi"},
                     {"zone.area10000", "107639.10 ft\u00B2"},
                     {"zone.area2500000", "0.97 mi\u00B2"},
                     {"zone.radius", "500.00"},
                     {"scale9", "10 mi / 53 px"},
                     {"scale13", "1 mi / 84 px"},
                     {"scale14", "2000 ft / 64 px"},
                     {"scale18", "100 ft / 51 px"}}},
        TSystemCase{"nautical", "nautical",
                    {{"track.distance", "10.825 NM"},
                     {"track.avg_speed", "32.48 kn"},
                     {"track.nw_coords", "58.0900,56.0000"},
                     {"track.se_coords", "58.0000,56.0000"},
                     {"track.center_point", "58.0450,56.0000"},
                     {"track.size", "0.00x10024.06 m"},
                     {"point.lat_lon", "58.000000,56.000000"},
                     {"point.alt", "151.60 m"},
                     {"point.acc", "4.40 m"},
                     {"point.speed", "19.71 kn"},
                     {"dump.distance", "10024.06 m"},
                     {"dump.altitude", "-31.50 m"},
                     {"dump.avg_speed", "19.71 kn"},
                     {"trip.distance", "6.67 NM"},
                     {"trip.max_speed", "48.60 kn"},
                     {"short", "0.13 NM"},
                     {"dump.cell.alt, m", "151.60"},
                     {"dump.cell.acc, m", "4.40"},
                     {"dump.cell.speed, kn", "19.71"},
                     {"dump.chart.altitude", "151.60 m"},
                     {"zone.perimeter250", "0.13 NM"},
                     {"zone.perimeter20000", "10.80 NM"},
                     {"zone.area10000", "10000.00 m\u00B2"},
                     {"zone.area2500000", "0.73 NM\u00B2"},
                     {"zone.radius", "152.40"},
                     {"scale9", "10 NM / 61 px"},
                     {"scale13", "1 NM / 97 px"},
                     {"scale14", "500 m / 52 px"},
                     {"scale18", "50 m / 84 px"}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DisplayUnits, CoordinateForms) {
  struct TCase {
    const char *name;
    const char *format;
    double lat, lon;
    const char *text;
  } cases[] = {
      {"degrees", "deg", 57.998649, 56.27574, "57.998649,56.275740"},
      {"degreesMinutes", "dm", 57.998649, 56.27574, "57°59.919'N 56°16.544'E"},
      {"degreesMinutesSeconds", "dms", 57.998649, 56.27574, "57°59'55.1\"N 56°16'32.7\"E"},
      {"southWest", "dm", -33.8688, -151.2093, "33°52.128'S 151°12.558'W"},
      {"southWestSeconds", "dms", -33.8688, -151.2093, "33°52'07.7\"S 151°12'33.5\"W"},
      // Rounding that reaches 60 carries into the next minute or degree.
      {"minuteCarries", "dm", 10.9999999, 0, "11°00.000'N 0°00.000'E"},
      {"secondCarries", "dms", 10.99999, 20.5, "11°00'00.0\"N 20°30'00.0\"E"},
      {"nanStaysNaN", "dms", std::nan(""), 1, "NaN 1°00'00.0\"E"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(TDisplayUnits::FromSettings("", c.format).LatLon(c.lat, c.lon), c.text) << c.name;
  // The dump's coordinate cells and its copied column follow the form.
  TUnitsScope scope(TDisplayUnits::FromSettings("", "dm"));
  TTrackPointInfo tp(1, 9);
  tp.lat = 57.998649;
  tp.lon = -56.27574;
  EXPECT_EQ(DumpCellText(tp, dcLat), "57°59.919'N");
  EXPECT_EQ(DumpCellText(tp, dcLon), "56°16.544'W");
  EXPECT_EQ(DumpCopyColumn({&tp}, dcLon), "57°59.919'N 56°16.544'W");
  // Unknown settings are the defaults.
  const TDisplayUnits odd = TDisplayUnits::FromSettings("furlongs", "grads");
  EXPECT_EQ(odd.system, TUnitSystem::Metric);
  EXPECT_EQ(odd.coords, TCoordFormat::Degrees);
}

// A CSV export names a unit that is not metric in its column titles; GPX keeps its own.
TEST(DisplayUnits, ExportHeaders) {
  test::TTempDir dir;
  TGeoTrack track("7");
  TTrackPointList pts;
  pts.push_back(TimedPoint(1, 0, 58.0, 56.0));
  track.Assign(std::move(pts));
  auto read = [](const std::string &fn) {
    std::ifstream in(fn, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  struct TCase {
    const char *units, *header, *row, *dumpTitles;
  } cases[] = {
      {"metric", "lat;lon;alt;accuracy;speed;angle", "58.000000;56.000000;151.60;4.40;36.50;90.00",
       ";alt;acc;speed;bearing;"},
      {"imperial", "lat;lon;alt_ft;accuracy_ft;speed_mph;angle", "58.000000;56.000000;497.38;14.44;22.68;90.00",
       ";alt_ft;acc_ft;speed_mph;bearing;"},
      {"nautical", "lat;lon;alt_m;accuracy_m;speed_kn;angle", "58.000000;56.000000;151.60;4.40;19.71;90.00",
       ";alt_m;acc_m;speed_kn;bearing;"},
  };
  for (const auto &c : cases) {
    TUnitsScope scope(TDisplayUnits::FromSettings(c.units, "dms"));
    std::string csv = dir.Path() + "/" + c.units + ".csv", gpx = dir.Path() + "/" + c.units + ".gpx";
    ASSERT_GT(track.ExportTrack(csv, 1), 0);
    ASSERT_GT(track.ExportTrack(gpx, 2), 0);
    const std::string text = read(csv);
    EXPECT_NE(text.find(c.header), std::string::npos) << c.units << "\n" << text;
    EXPECT_NE(text.find(c.row), std::string::npos) << c.units << "\n" << text;
    // Rows copied from the dump title their columns the same way.
    const TTrackPointInfo *p = track.Points()[0].get();
    EXPECT_NE(DumpCopyRows({p, p}).find(c.dumpTitles), std::string::npos) << c.units;
    const std::string g = read(gpx);
    EXPECT_NE(g.find("<trkpt lat=\"58.000000\" lon=\"56.000000\"><time>2026-07-01T10:00:00Z</time><ele>151.60"),
              std::string::npos)
        << c.units << "\n" << g;
  }
}

// A position typed in any form reads back, whatever form the program shows; the letters also in
// the translation's symbols.
TEST(DisplayUnits, TypedPositions) {
  TDisplayUnits ru;
  ru.symbols.north = "\u0421", ru.symbols.south = "\u042E", ru.symbols.east = "\u0412", ru.symbols.west = "\u0417";
  struct TCase {
    const char *text;
    bool ok;
    double lat, lon;
  } cases[] = {
      {"57.998649,56.27574", true, 57.998649, 56.27574},
      {" 57.5 , 56.5 ", true, 57.5, 56.5},
      {"57.998649 56.27574", true, 57.998649, 56.27574},
      {"-33.8688,-151.2093", true, -33.8688, -151.2093},
      {"57°59.919'N 56°16.544'E", true, 57 + 59.919 / 60, 56 + 16.544 / 60},
      {"57°59'55.1\"N, 56°16'32.7\"E", true, 57 + 59 / 60.0 + 55.1 / 3600, 56 + 16 / 60.0 + 32.7 / 3600},
      {"N57°59.919' E56°16.544'", true, 57 + 59.919 / 60, 56 + 16.544 / 60},
      {"57 59.919 N 56 16.544 E", true, 57 + 59.919 / 60, 56 + 16.544 / 60},
      {"33°52.128'S 151°12.558'W", true, -(33 + 52.128 / 60), -(151 + 12.558 / 60)},
      {"-33 52.128, -151 12.558", true, -(33 + 52.128 / 60), -(151 + 12.558 / 60)},
      {"56°16.544'E 57°59.919'N", true, 57 + 59.919 / 60, 56 + 16.544 / 60}, // longitude first
      {"57.5n 56.5w", true, 57.5, -56.5},
      {"57°59.919'\u0421 56°16.544'\u0417", true, 57 + 59.919 / 60, -(56 + 16.544 / 60)},
      {"57\u00B059\u203255.1\u2033N 56\u00B016\u203232.7\u2033E", true, 57 + 59 / 60.0 + 55.1 / 3600,
       56 + 16 / 60.0 + 32.7 / 3600},
      {"57.1", false, 0, 0},
      {"", false, 0, 0},
      {"abc,56.1", false, 0, 0},
      {"91,56", false, 0, 0},
      {"57,181", false, 0, 0},
      {"57°60.0'N 56°E", false, 0, 0},       // 60 minutes
      {"57°30'60\"N 56°E", false, 0, 0},     // 60 seconds
      {"57°N 58°N", false, 0, 0},            // two latitudes
      {"-57°S 56°E", false, 0, 0},           // south twice
      {"57 30 20 10, 56", false, 0, 0},      // four numbers
      {"57.5 30, 56", false, 0, 0},          // a fraction of a degree before minutes
      {"57,56,58", false, 0, 0},
      {"N, 57 56", false, 0, 0},
      {"57 -30, 56", false, 0, 0},           // a sign before minutes
      {"57.5 56.5 58.5", false, 0, 0},
      {"57.5N 56.5X", false, 0, 0},
  };
  for (const TCase &c : cases) {
    double lat = -1, lon = -1;
    ASSERT_EQ(ru.ParseLatLon(c.text, lat, lon), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_NEAR(lat, c.lat, 1e-9) << c.text;
    EXPECT_NEAR(lon, c.lon, 1e-9) << c.text;
  }
  // What each form shows reads back to within its last digit.
  for (const char *form : {"deg", "dm", "dms"})
    for (const auto &[lat, lon] : {std::pair{57.998649, 56.27574}, {-33.8688, -151.2093}, {0.0, 0.0}, {-89.9999, 179.9999}}) {
      const TDisplayUnits u = TDisplayUnits::FromSettings("", form);
      double a = 0, o = 0;
      ASSERT_TRUE(u.ParseLatLon(u.LatLon(lat, lon), a, o)) << form << " " << u.LatLon(lat, lon);
      EXPECT_NEAR(a, lat, 2e-5) << form;
      EXPECT_NEAR(o, lon, 2e-5) << form;
    }
}

} // namespace
} // namespace kelvra
