// KML of a track: the moving points as one gx:Track, the parking stops as point placemarks,
// escaping, UTC times, the stop copy MarkParking inserts, the file write and the format choice.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "core/tracks/GeoTrack.h"
#include "core/tracks/TrackExport.h"

namespace kelvra {
namespace {

namespace fs = std::filesystem;

size_t Count(const std::string &s, const std::string &what) {
  size_t n = 0;
  for (size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + what.size()))
    ++n;
  return n;
}

std::unique_ptr<TTrackPointInfo> Point(int uid, TDateTime dt, double lat, double lon, double alt) {
  auto p = std::make_unique<TTrackPointInfo>(uid, 5);
  p->sys_dt = p->obj_dt = p->gps_dt = dt;
  p->lat = lat;
  p->lon = lon;
  p->alt = alt;
  return p;
}

// Three messages, the middle one the start of a 15-minute stop at a known place.
TGeoTrack ThreePointTrack() {
  TGeoTrack t("5");
  TTrackPointList pts;
  pts.push_back(Point(1, 45356.5, 57.99, 56.27, 151.5)); // 05.03.2024 12:00:00
  auto stop = Point(2, 45356.5 + 10.0 / 1440, 57.995, 56.275, 152);
  stop->IsParking = true;
  stop->ParkingDuration = 900;
  stop->osm_id = "W42";
  pts.push_back(std::move(stop));
  pts.push_back(Point(3, 45356.5 + 30.0 / 1440, 58.0, 56.28, 153));
  t.Assign(std::move(pts));
  t.SetSign("Van & <Co> \"A\"");
  return t;
}

TKmlOptions Addresses() {
  TKmlOptions o;
  o.address = [](const std::string &id) { return id == "W42" ? std::string("Lenina 1 & 2") : ""; };
  return o;
}

TEST(TrackKml, OnePlacemarkWithATrackAndOneStop) {
  const std::string kml = TrackKml(ThreePointTrack(), Addresses());
  EXPECT_EQ(kml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
  EXPECT_NE(kml.find("xmlns=\"http://www.opengis.net/kml/2.2\""), std::string::npos);
  EXPECT_NE(kml.find("xmlns:gx=\"http://www.google.com/kml/ext/2.2\""), std::string::npos);
  EXPECT_EQ(Count(kml, "<gx:Track>"), 1u);
  EXPECT_EQ(Count(kml, "<gx:coord>"), 3u);
  EXPECT_EQ(Count(kml, "<when>"), 3u);
  EXPECT_EQ(Count(kml, "<Point>"), 1u);
  EXPECT_EQ(Count(kml, "<Placemark>"), 2u);
  // The sign names the document and the track, escaped.
  EXPECT_EQ(Count(kml, "<name>Van &amp; &lt;Co&gt; &quot;A&quot;</name>"), 2u);
  EXPECT_NE(kml.find("<gx:coord>56.270000 57.990000 151.5</gx:coord>"), std::string::npos);
  EXPECT_NE(kml.find("<altitudeMode>absolute</altitudeMode>"), std::string::npos);
  // The stop: place, duration, address and time span.
  EXPECT_NE(kml.find("<address>Lenina 1 &amp; 2</address>"), std::string::npos);
  EXPECT_NE(kml.find("Duration: 15m 0s"), std::string::npos);
  EXPECT_NE(kml.find("<TimeSpan><begin>2024-03-05T12:10:00Z</begin><end>2024-03-05T12:25:00Z</end>"),
            std::string::npos);
  EXPECT_NE(kml.find("<Point><coordinates>56.275000,57.995000</coordinates></Point>"),
            std::string::npos);
  // Every <when> comes before the first coordinate, as gx:Track wants them.
  EXPECT_LT(kml.rfind("<when>"), kml.find("<gx:coord>"));
}

TEST(TrackKml, TimesAreUtcAndMissingAltitudeClampsToGround) {
  TGeoTrack t = ThreePointTrack();
  t.Points()[1]->alt = TTrackPointInfo::NaN;
  t.SetClock(TDisplayZone::Fixed(5.0 / 24)); // display time is UTC+5
  TKmlOptions o;
  const std::string kml = TrackKml(t, o);
  EXPECT_NE(kml.find("<when>2024-03-05T07:00:00Z</when>"), std::string::npos);
  EXPECT_NE(kml.find("<altitudeMode>clampToGround</altitudeMode>"), std::string::npos);
  EXPECT_NE(kml.find("<gx:coord>56.270000 57.990000 0</gx:coord>"), std::string::npos);
  // Without an address the stop says only its duration.
  EXPECT_EQ(kml.find("<address>"), std::string::npos);
}

TEST(TrackKml, PointsWithoutFixOrTimeAndTheStopCopyAreLeftOut) {
  TGeoTrack t("5");
  TTrackPointList pts;
  pts.push_back(Point(1, 45356.5, 57.99, 56.27, 100));
  pts.push_back(Point(2, 45356.51, TTrackPointInfo::NaN, TTrackPointInfo::NaN, 100));
  pts.push_back(Point(3, 0, 57.99, 56.27, 100));
  // A stay the way MarkParking leaves it: a copy of the stay's first point at the stay's centre,
  // then the stay's own points.
  for (int i = 0; i < 4; ++i) {
    auto p = Point(10 + i, 45356.6 + i * 3.0 / 1440, 58.0 + i * 1e-5, 56.3, 100);
    p->IsParking = true;
    p->ParkingDuration = 540;
    if (i == 0) {
      auto copy = std::make_unique<TTrackPointInfo>(*p);
      copy->lat = 58.000015;
      pts.push_back(std::move(copy));
    }
    pts.push_back(std::move(p));
  }
  t.Assign(std::move(pts));
  const std::string kml = TrackKml(t);
  EXPECT_EQ(Count(kml, "<gx:coord>"), 5u);
  EXPECT_EQ(Count(kml, "<when>"), 5u);
  EXPECT_EQ(Count(kml, "<Point>"), 1u);
  EXPECT_NE(kml.find("<coordinates>56.300000,58.000015</coordinates>"), std::string::npos);
  EXPECT_NE(kml.find("Duration: 9m 0s"), std::string::npos);
}

TEST(TrackKml, EmptyTrackIsStillADocument) {
  const std::string kml = TrackKml(TGeoTrack("1"));
  EXPECT_EQ(Count(kml, "<gx:coord>"), 0u);
  EXPECT_NE(kml.find("</gx:Track>\r\n</Placemark>"), std::string::npos);
  EXPECT_EQ(kml.find("<Folder>"), std::string::npos);
  EXPECT_NE(kml.find("</kml>"), std::string::npos);
}

TEST(TrackKml, InvalidUtf8AndControlCharactersNeverBreakTheXml) {
  TGeoTrack t = ThreePointTrack();
  t.SetSign("bad\xFF\x01name");
  const std::string kml = TrackKml(t);
  EXPECT_NE(kml.find("<name>bad\xEF\xBF\xBDname</name>"), std::string::npos);
}

class TrackKmlFileTest : public testing::Test {
protected:
  fs::path dir = fs::temp_directory_path() /
                 ("kelvra_kml_" + std::to_string(getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
};

TEST_F(TrackKmlFileTest, WritesAtomicallyAndAddsTheExtension) {
  const TGeoTrack t = ThreePointTrack();
  std::string empty;
  EXPECT_EQ(ExportTrackKml(t, empty), -1);
  std::string fn = (dir / "van").string();
  const int n = ExportTrackKml(t, fn, Addresses());
  EXPECT_EQ(fn, (dir / "van.kml").string());
  ASSERT_GT(n, 0);
  std::ifstream in(fn, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), TrackKml(t, Addresses()));
  EXPECT_EQ(static_cast<int>(fs::file_size(fn)), n);

  // A name taken by a busy folder cannot be replaced, and nothing is left beside it.
  fs::create_directories(dir / "busy.kml" / "inside");
  std::string busy = (dir / "busy.kml").string();
  EXPECT_EQ(ExportTrackKml(t, busy), -2);
  size_t entries = 0;
  for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir))
    ++entries;
  EXPECT_EQ(entries, 2u); // van.kml and the folder
}

struct TKmlFormatCase {
  const char *name;
  const char *file;
  const char *filter;
  TTrackFileFormat format;
};

class TrackFileFormatTest : public testing::TestWithParam<TKmlFormatCase> {};

TEST_P(TrackFileFormatTest, ExtensionFirstThenTheChosenFilter) {
  EXPECT_EQ(TrackFileFormatOf(GetParam().file, GetParam().filter), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrackFileFormatTest,
    testing::Values(TKmlFormatCase{"KmlByExtension", "/t/a.KML", "CSV (*.csv)", TTrackFileFormat::Kml},
                    TKmlFormatCase{"GpxByExtension", "/t/a.gpx", "", TTrackFileFormat::Gpx},
                    TKmlFormatCase{"CsvByExtension", "/t/a.csv", "KML (*.kml)", TTrackFileFormat::Csv},
                    TKmlFormatCase{"KmlByFilter", "/t/a", "KML (*.kml)", TTrackFileFormat::Kml},
                    TKmlFormatCase{"GpxByFilter", "/t/a.txt", "GPX (*.gpx)", TTrackFileFormat::Gpx},
                    TKmlFormatCase{"CsvWithoutAnything", "/t/a", "", TTrackFileFormat::Csv}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TrackFileFilter, OffersEveryFormat) {
  EXPECT_EQ(TrackFileFilter(), "CSV (*.csv);;GPX (*.gpx);;KML (*.kml)");
}

} // namespace
} // namespace kelvra
