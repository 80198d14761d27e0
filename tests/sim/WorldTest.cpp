// The demo world shows every state a window can paint from the first object list on: message
// ages, the fix sources, trips in every status, a general trap with its events, photos of both
// formats and shapes, a "vector" sensor, parked headings, a track with GPS trouble and Wi-Fi
// along the routes.
#include <cstddef>
#include <cstdio>
#include <map>
#include <set>

// jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
#include <png.h>

#include "SimFixture.h"

namespace kelvra::simtest {
namespace {

using World = SimTest;

// Width and height of a PNG or JPEG; false when the bytes are neither.
bool ImageSize(const std::string &bytes, int &w, int &h) {
  if (bytes.compare(0, 4, "\x89PNG") == 0) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) return false;
    w = static_cast<int>(img.width);
    h = static_cast<int>(img.height);
    png_image_free(&img);
    return true;
  }
  if (bytes.compare(0, 3, "\xFF\xD8\xFF") != 0) return false;
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
  bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
  w = static_cast<int>(cinfo.image_width);
  h = static_cast<int>(cinfo.image_height);
  jpeg_destroy_decompress(&cinfo);
  return ok;
}

TEST_F(World, FirstObjectListHasEveryState) {
  auto j = Api().Get("/user/objects").Json();
  const int64_t now = fSim->Now();
  auto &list = j["objects"];
  std::set<std::string> ages; // the colour classes of the age box
  std::set<int> sources, tripStatuses;
  std::set<std::string> sensorSigns, photoTypes;
  bool alarms = false, portrait = false, landscape = false;
  for (auto &o : list) {
    if (o["is_deleted"] == true) continue;
    int64_t t = 0;
    ASSERT_TRUE(sim::ParseUtc(o["sys_dt"], t)) << o["uid"];
    int64_t minutes = (now - t) / 60;
    ages.insert(minutes < 30 ? "green" : minutes < 60 ? "blue" : minutes < 1440 ? "grey" : "none");
    if (minutes >= 120 && minutes <= 1200) ages.insert("2-20 hours");
    sources.insert(o["crd_src"].get<int>());
    if (o["trip_id"].get<int>() > 0) tripStatuses.insert(o["trip_status"].get<int>());
    for (auto &s : o["sensors"])
      sensorSigns.insert(s["sign"]);
    alarms = alarms || !o["alarms"].empty();
    if (o["has_image"] == true) {
      THttpReply img = Api().Get("/object/" + std::to_string(o["uid"].get<int>()) + "/img");
      ASSERT_EQ(img.status, 200);
      photoTypes.insert(img.contentType);
      int w = 0, h = 0;
      ASSERT_TRUE(ImageSize(img.body, w, h)) << img.contentType;
      portrait = portrait || h > w;
      landscape = landscape || w > h;
    }
  }
  EXPECT_TRUE(ages.count("green") && ages.count("blue") && ages.count("2-20 hours"));
  EXPECT_EQ(sources, (std::set<int>{0, 1, 2, 3}));
  EXPECT_EQ(tripStatuses, (std::set<int>{0, 1, 2}));
  EXPECT_TRUE(sensorSigns.count("vector"));
  EXPECT_TRUE(alarms);
  EXPECT_EQ(photoTypes, (std::set<std::string>{"image/png", "image/jpeg"}));
  EXPECT_TRUE(portrait && landscape);
}

TEST_F(World, GeneralTrapRaisesEventsForSeveralObjects) {
  auto traps = Api().Get("/user/traps").Json();
  int general = 0;
  for (auto &t : traps)
    if (t["obj_id"] == 0) general = t["uid"];
  ASSERT_GT(general, 0);
  int64_t now = fSim->Now();
  auto events = Api().Get("/user/events", Period(now - 86400, now)).Json();
  std::set<int> objects;
  for (auto &e : events)
    if (e["trap_id"] == general) objects.insert(e["obj_id"].get<int>());
  EXPECT_FALSE(objects.empty());
  EXPECT_EQ(objects.count(0), 0u); // an event always names the object it happened to

  // a general trap can be made through the service too, but not on a sensor
  EXPECT_EQ(Api().Post("/trap", "obj_id=0&target_type_id=4&condition_id=2&val=15&").status, 200);
  EXPECT_EQ(Api().Post("/trap", "obj_id=0&target_type_id=2&target_id=1&condition_id=1&val=1&")
                .status,
            400);
}

TEST_F(World, TripsInEveryStatus) {
  int64_t now = fSim->Now();
  auto trips = Api().Get("/user/trips", Period(now - 2 * 86400, now)).Json();
  std::map<int, nlohmann::json> byStatus;
  for (auto &t : trips)
    byStatus[t["status"]] = t;
  ASSERT_EQ(byStatus.size(), 3u);
  EXPECT_TRUE(byStatus[0]["start_dt"].is_null());
  EXPECT_TRUE(byStatus[0]["points"].empty());
  EXPECT_TRUE(byStatus[2]["stop_dt"].is_string());

  // starting the object's planned trip starts that very trip
  int planned = byStatus[0]["uid"], obj = byStatus[0]["obj_id"];
  THttpReply s = Api().Put("/object/" + std::to_string(obj) + "/starttrip", "name=Tyres");
  ASSERT_EQ(s.status, 200);
  EXPECT_EQ(s.Json()["uid"], planned);
  EXPECT_EQ(s.Json()["status"], 1);
}

TEST_F(World, ParkedPointsKeepTheirHeading) {
  int64_t now = fSim->Now();
  for (int obj : {101, 102}) {
    auto track = Api().Get("/object/" + std::to_string(obj) + "/track", Period(now - 86400, now))
                     .Json();
    int parked = 0, headed = 0;
    for (auto &p : track)
      if (p["speed"] == 0) {
        ++parked;
        headed += p["angle"] != 0;
      }
    ASSERT_GT(parked, 5) << obj;
    EXPECT_GT(headed, parked / 2) << obj;
  }
}

TEST_F(World, PoorGpsTrackHasJumpsLatePointsAndATunnel) {
  int64_t now = fSim->Now();
  auto track = Api().Get("/object/109/track", Period(now - 86400, now)).Json();
  ASSERT_GT(track.size(), 100u);
  int jumps = 0, outliers = 0, late = 0;
  int64_t longestGapWhileMoving = 0;
  for (size_t k = 1; k + 1 < track.size(); ++k) {
    auto &a = track[k - 1], &b = track[k], &c = track[k + 1];
    double ab = sim::DistanceM(a["lat"], a["lon"], b["lat"], b["lon"]);
    double ac = sim::DistanceM(a["lat"], a["lon"], c["lat"], c["lon"]);
    if (ab > 1500 && ac < 1000)
      ++outliers;
    else if (ab > 180 && ac < 150)
      ++jumps;
    int64_t ta = 0, tb = 0;
    sim::ParseUtc(a["obj_dt"], ta);
    sim::ParseUtc(b["obj_dt"], tb);
    if (tb < ta) ++late;
    if (a["speed"] > 0 && b["speed"] > 0)
      longestGapWhileMoving = std::max(longestGapWhileMoving, tb - ta);
  }
  EXPECT_GT(jumps, 3);
  EXPECT_GT(outliers, 0);
  EXPECT_GT(late, 0);
  EXPECT_GT(longestGapWhileMoving, 40); // the tunnel: no fix while driving through it
}

TEST_F(World, WifiAlongTheRoutes) {
  // Every point of the van's last day has an access point within 300 metres.
  std::vector<sim::TSimWifi> aps;
  std::vector<std::pair<double, double>> points;
  fSim->WithWorld([&](sim::TSimWorld &w) {
    aps = w.fWifi;
    for (auto &p : w.FindObject(101)->track)
      points.push_back({p.lat, p.lon});
  });
  ASSERT_GT(points.size(), 100u);
  int far = 0;
  for (auto &p : points) {
    double best = 1e9;
    for (auto &ap : aps)
      best = std::min(best, sim::DistanceM(p.first, p.second, ap.lat, ap.lon));
    far += best > 300;
  }
  EXPECT_EQ(far, 0);
}

} // namespace
} // namespace kelvra::simtest
