// Track points, events and objects: predicates, ordering, copies and the trail of an object.
#include "core/model/EventInfo.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TrackPointInfo.h"
#include "core/util/LumDates.h"
#include "core/util/LumSmallUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace kelvra {
namespace {

constexpr double Minute = 1.0 / 1440;

std::unique_ptr<TTrackPointInfo> Point(double aLat, double aLon, TDateTime aSysDt = 0) {
  auto p = std::make_unique<TTrackPointInfo>(0, 1);
  p->lat = aLat;
  p->lon = aLon;
  p->sys_dt = aSysDt;
  return p;
}

TEST(TrackPointTest, FreshPointHasNoValues) {
  TTrackPointInfo p(3, 4);
  EXPECT_EQ(p.uid, 3);
  EXPECT_EQ(p.obj_id, 4);
  EXPECT_EQ(p.bat, -1);
  EXPECT_EQ(p.src, -1);
  EXPECT_FALSE(p.HasLatLon() || p.HasSpeed() || p.HasBearing() || p.HasAltitude() ||
               p.HasAccuracy() || p.HasSource());
}

TEST(TrackPointTest, CoordinatesAndDistance) {
  struct TCase {
    double lat, lon;
    bool has;
  };
  const TCase cases[] = {
      {58, 56, true}, {0, 56, false}, {58, 0, false}, {58, kNaN, false}, {kNaN, 56, false}};
  const auto origin = Point(58, 56);
  for (const TCase &c : cases) {
    const auto p = Point(c.lat, c.lon);
    EXPECT_EQ(p->HasLatLon(), c.has) << c.lat << "," << c.lon;
    EXPECT_EQ(std::isnan(p->DistanceTo(*origin)), !c.has);
    EXPECT_EQ(std::isnan(origin->DistanceTo(c.lat, c.lon)), std::isnan(c.lat) || std::isnan(c.lon));
  }
  // One degree of latitude is about 111 km.
  EXPECT_NEAR(origin->DistanceTo(59, 56), 111.5e3, 1e3);
}

TEST(TrackPointTest, SourceNames) {
  const std::pair<int, const char *> cases[] = {{-1, ""},    {0, "GNSS"},  {1, "Cell"},
                                                {2, "WiFi"}, {3, "Place"}, {7, "Unknown[7]"}};
  for (const auto &[src, name] : cases) {
    TTrackPointInfo p;
    p.src = src;
    EXPECT_EQ(p.SrcName(), name);
  }
}

TEST(TrackPointTest, CompareByObjectThenTimes) {
  auto make = [](int aObjId, double aObjDt, double aGpsDt, double aSysDt) {
    TTrackPointInfo p(0, aObjId);
    p.obj_dt = aObjDt;
    p.gps_dt = aGpsDt;
    p.sys_dt = aSysDt;
    return p;
  };
  struct TCase {
    const char *name;
    TTrackPointInfo a, b;
    int expected;
  };
  const TCase cases[] = {
      {"LowerObjectFirstWhateverItsTime", make(1, 9, 9, 9), make(2, 1, 1, 1), -1},
      {"NaNDeviceTimeFirst", make(1, kNaN, 5, 5), make(1, 1, 1, 1), -1},
      {"TwoNaNsEqualThenFixTime", make(1, kNaN, 2, 0), make(1, kNaN, 1, 0), 1},
      {"ServiceTimeLast", make(1, 1, 1, 3), make(1, 1, 1, 2), 1},
      {"Equal", make(1, 1, 1, 1), make(1, 1, 1, 1), 0},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(c.a.Compare(c.b), c.expected) << c.name;
}

TEST(TrackPointTest, CopyCarriesSensorsAndEventFlagButNotScreenPoint) {
  TTrackPointInfo p(5, 6);
  p.MapPoint = {10, 20};
  p.sensors.emplace_back(1, "event", "1");
  TTrackPointInfo copy(p);
  EXPECT_EQ(copy.uid, 5);
  EXPECT_EQ(copy.obj_id, 6);
  EXPECT_TRUE(copy.HasEvent);
  ASSERT_EQ(copy.sensors.size(), 1u);
  EXPECT_EQ(copy.sensors[0].sign, "event");
  EXPECT_EQ(copy.MapPoint.x, 0);
}

// Every point refers to its sensor's code in one program-wide pool: equal texts must be one code,
// from any thread, and read back unchanged.
TEST(TrackPointTest, SensorCodesAreKeptOnceAndReadBack) {
  const TSensorSign temp("temp");
  EXPECT_EQ(temp, TSensorSign(std::string("te") + "mp"));
  EXPECT_EQ(&temp.str(), &TSensorSign("temp").str());
  EXPECT_EQ(temp, "temp");
  EXPECT_FALSE(temp == "Temp"); // codes are case-sensitive
  EXPECT_FALSE(temp == TSensorSign("temp2"));
  EXPECT_TRUE(TSensorSign().empty());
  EXPECT_EQ(TSensorSign(""), TSensorSign());
  EXPECT_EQ(TSensorSign().str(), "");

  // Threads meeting the same codes in different orders agree on them.
  constexpr int kCodes = 300;
  std::vector<std::vector<TSensorSign>> seen(4, std::vector<TSensorSign>(kCodes));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &seen] {
      for (int k = 0; k < kCodes; ++k) {
        const int i = t % 2 ? kCodes - 1 - k : (k * 7 + t) % kCodes;
        seen[t][i] = TSensorSign("code-" + std::to_string(i));
      }
    });
  for (auto &th : threads)
    th.join();
  for (int i = 0; i < kCodes; ++i) {
    EXPECT_EQ(seen[0][i].str(), "code-" + std::to_string(i));
    for (int t = 1; t < 4; ++t)
      EXPECT_EQ(seen[t][i], seen[0][i]);
  }
}

TEST(EventTest, SignFallsBackFromDeviceToFixToServiceTime) {
  const TDateTime t1 = EncodeDateTime(2024, 3, 5, 10, 0, 0);
  const TDateTime t2 = EncodeDateTime(2024, 3, 5, 11, 0, 0);
  const TDateTime t3 = EncodeDateTime(2024, 3, 5, 12, 0, 0);
  TEventInfo ev(1, 2);
  ev.h_obj_dt = t1;
  ev.h_gps_dt = t2;
  ev.h_sys_dt = t3;
  EXPECT_EQ(ev.Sign(), "event 05.03.2024 10:00:00");
  ev.h_obj_dt = kNaN;
  EXPECT_EQ(ev.Sign(), "event 05.03.2024 11:00:00");
  ev.h_gps_dt = kNaN;
  EXPECT_EQ(ev.Sign(), "event 05.03.2024 12:00:00");
}

// The object as a refresh delivers it.
std::unique_ptr<TObjectInfo> Incoming(double aLat, double aLon, TDateTime aSysDt) {
  auto oi = std::make_unique<TObjectInfo>(11, "dev-11");
  oi->name = "fresh";
  oi->track_color = 0x00FF00;
  oi->trip_id = 99;
  oi->trip_status = 3;
  oi->last_point->lat = aLat;
  oi->last_point->lon = aLon;
  oi->last_point->sys_dt = aSysDt;
  oi->sensors.push_back(std::make_unique<TSensorInfo>(4));
  oi->alarms.push_back(std::make_unique<TEventInfo>(8, 11));
  return oi;
}

TEST(ObjectAssignTest, TrailKeepsTheLastHalfHourAndGainsTheNewPosition) {
  const TDateTime now = EncodeDateTime(2024, 3, 5, 12, 0, 0);
  TObjectInfo cached(11, "dev-11");
  cached.tail.push_back(Point(58, 56, now - 31 * Minute));
  cached.tail.push_back(Point(58.1, 56, now - 29 * Minute));
  cached.tail.push_back(Point(58.2, 56, kNaN));
  cached.tail.push_back(Point(58.3, 56, now - 10 * Minute));
  // What the map and the parking search left on the points: the new position must carry none of
  // it, whichever forgotten point its record comes from.
  for (const auto &p : cached.tail) {
    p->MapPoint = {40, 50};
    p->IsParking = true;
    p->ParkingDuration = 600;
    p->sensors.emplace_back(3, "event", "1");
    p->HasEvent = true;
  }
  auto incoming = Incoming(58.4, 56.1, now);
  incoming->last_point->osm_id = "W7";
  incoming->last_point->sensors.emplace_back(1, "temp", "21");
  cached.Assign(*incoming, now);
  ASSERT_EQ(cached.tail.size(), 3u);
  EXPECT_DOUBLE_EQ(cached.tail[0]->lat, 58.1);
  EXPECT_DOUBLE_EQ(cached.tail[1]->lat, 58.3);
  EXPECT_EQ(cached.tail[1]->MapPoint.x, 40); // kept points stay as they were
  const TTrackPointInfo &added = *cached.tail[2];
  EXPECT_DOUBLE_EQ(added.lat, 58.4);
  EXPECT_EQ(added.osm_id, "W7");
  EXPECT_EQ(added.MapPoint.x, 0);
  EXPECT_EQ(added.MapPoint.y, 0);
  EXPECT_FALSE(added.IsParking);
  EXPECT_EQ(added.ParkingDuration, 0);
  EXPECT_FALSE(added.HasEvent);
  ASSERT_EQ(added.sensors.size(), 1u);
  EXPECT_EQ(added.sensors[0].val, "21");
  EXPECT_DOUBLE_EQ(cached.last_point->lat, 58.4);
}

TEST(ObjectAssignTest, WithoutPositionTheTrailDoesNotGrow) {
  const TDateTime now = EncodeDateTime(2024, 3, 5, 12, 0, 0);
  TObjectInfo cached(11, "dev-11");
  cached.tail.push_back(Point(58, 56, now - Minute));
  cached.Assign(*Incoming(kNaN, kNaN, now), now);
  EXPECT_EQ(cached.tail.size(), 1u);
  EXPECT_FALSE(cached.HasLatLon());
}

TEST(ObjectAssignTest, TripPhotoAndIconStay) {
  TObjectInfo cached(11, "dev-11");
  cached.trip_id = 5;
  cached.trip_status = 1;
  cached.photo = std::make_unique<TBitmap32>(2, 2);
  cached.icon = std::make_unique<TBitmap32>(1, 1);
  TBitmap32 *photo = cached.photo.get();
  cached.Assign(*Incoming(58, 56, 0), 0);
  EXPECT_EQ(cached.trip_id, 5);
  EXPECT_EQ(cached.trip_status, 1);
  EXPECT_EQ(cached.photo.get(), photo);
  EXPECT_NE(cached.icon, nullptr);
  EXPECT_EQ(cached.name, "fresh");
  EXPECT_EQ(cached.track_color, 0x00FF00u);
  ASSERT_EQ(cached.sensors.size(), 1u);
  ASSERT_EQ(cached.alarms.size(), 1u);
  EXPECT_EQ(cached.alarms[0]->uid, 8);
  cached.ClearPhoto();
  EXPECT_EQ(cached.photo, nullptr);
  EXPECT_EQ(cached.icon, nullptr);
  cached.ClearPhoto(); // nothing left to free twice
}

TEST(ObjectAssignTest, CopyHasOwnListsAndStartsItsTrailWithThePosition) {
  auto src = Incoming(58, 56, NowLocal());
  TObjectInfo copy(*src);
  EXPECT_EQ(copy.uid, 11);
  EXPECT_EQ(copy.id, "dev-11");
  EXPECT_EQ(copy.trip_id, 0);
  ASSERT_EQ(copy.sensors.size(), 1u);
  EXPECT_NE(copy.sensors[0].get(), src->sensors[0].get());
  EXPECT_NE(copy.last_point.get(), src->last_point.get());
  EXPECT_EQ(copy.tail.size(), 1u);
}

} // namespace
} // namespace kelvra
