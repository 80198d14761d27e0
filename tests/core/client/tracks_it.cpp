// Tracks and trips against kelvra-sim.
#include <set>
#include <string>

#include "SimClientFixture.h"

namespace kelvra::test {
namespace {

class TracksIt : public TSimClientTest {
protected:
  void SetUp() override {
    TSimClientTest::SetUp();
    ASSERT_GT(fClient->GetObjects(), 0) << fClient->GetErrorMessage();
    fMover = DemoObject([](const sim::TSimObject &o) { return o.track.size() > 10; });
    ASSERT_GT(fMover, 0);
  }
  int fMover = 0;
};

TEST_F(TracksIt, TrackWithAndWithoutSensors) {
  const int n = fClient->GetTrack(fMover, Dt(kStart - 86400), Dt(kStart), 0, 0);
  ASSERT_GT(n, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(LastRequest().query, "from=2024-03-04T21:00:00Z&to=2024-03-05T21:00:00Z");
  ASSERT_EQ(static_cast<int>(fClient->TrackList().size()), n);
  size_t sensors = 0;
  for (const auto &tp : fClient->TrackList()) {
    EXPECT_EQ(tp->obj_id, fMover);
    sensors += tp->sensors.size();
  }
  EXPECT_EQ(sensors, 0u);
  // The points live in the track list; the parsed reply is not kept beside them.
  EXPECT_FALSE(fClient->HasResultData());

  EXPECT_EQ(fClient->GetTrack(fMover, Dt(kStart - 86400), Dt(kStart), 1, 0), n);
  EXPECT_EQ(LastRequest().query, "from=2024-03-04T21:00:00Z&to=2024-03-05T21:00:00Z&mode=1");
  for (const auto &tp : fClient->TrackList())
    sensors += tp->sensors.size();
  EXPECT_GT(sensors, 0u);

  // A failure keeps the previous track.
  EXPECT_EQ(fClient->GetTrack(999999, Dt(kStart - 86400), Dt(kStart), 0, 0), -1);
  EXPECT_EQ(static_cast<int>(fClient->TrackList().size()), n);
}

TEST_F(TracksIt, TripsWithTheirPointsAndNoContent) {
  // Starting twice is refused; stopping ends the trip.
  EXPECT_TRUE(fClient->StartTrip(fMover, ""));
  const std::string body = LastRequest().body;
  EXPECT_EQ(body.rfind("name=trip_20", 0), 0u) << body;
  EXPECT_EQ(body.size(), std::string("name=trip_2024_03_05_21_04").size()) << body;
  EXPECT_FALSE(fClient->StartTrip(fMover, "second"));
  EXPECT_EQ(fClient->ResultCode(), 409);
  fSim->Advance(15 * 60);
  EXPECT_TRUE(fClient->StopTrip(fMover));
  EXPECT_FALSE(fClient->StopTrip(fMover));

  const int n = fClient->GetTrips(Dt(kStart - 86400), Dt(kStart + 3600));
  ASSERT_GT(n, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(static_cast<int>(fClient->TripList().size()), n);
  bool sawPoints = false;
  for (const auto &ti : fClient->TripList()) {
    EXPECT_TRUE(fClient->FindObject(ti->obj_id));
    for (size_t k = 1; k < ti->points.size(); ++k) {
      EXPECT_LE(ti->points[k - 1]->obj_dt, ti->points[k]->obj_dt);
      sawPoints = true;
    }
  }
  EXPECT_TRUE(sawPoints);

  // No trips in the period: 204, and the list is empty.
  EXPECT_EQ(fClient->GetTrips(Dt(kStart - 400 * 86400), Dt(kStart - 399 * 86400)), 0);
  EXPECT_EQ(fClient->ResultCode(), 204);
  EXPECT_TRUE(fClient->TripList().empty());
}

TEST_F(TracksIt, TripsOfUnknownObjectsAreSkipped) {
  const int all = fClient->GetTrips(Dt(kStart - 86400), Dt(kStart));
  ASSERT_GT(all, 0);
  const int objUid = fClient->TripList().front()->obj_id;
  int ofThatObject = 0;
  for (const auto &ti : fClient->TripList())
    ofThatObject += ti->obj_id == objUid;
  // Forget that object in the client: its trips are no longer kept.
  TKelvraClientEnv env;
  env.HomeDir = fHome.Path();
  TKelvraClient fresh(fSim->BaseUrl(), fSim->DemoToken(), "0", env);
  EXPECT_EQ(fresh.GetTrips(Dt(kStart - 86400), Dt(kStart)), 0);
  ASSERT_GT(fresh.GetObjects(), 0);
  EXPECT_EQ(fresh.GetTrips(Dt(kStart - 86400), Dt(kStart)), all);
  EXPECT_GT(ofThatObject, 0);
}

// Days of history: the days before the simulated one are made by the service when asked for,
// and every point of them reaches the track list (their ids are 32-bit, as the service's are).
class HistoryIt : public TSimClientTest {
protected:
  void ShapeWorld(TSimOptions &o) override {
    o.fleet = 2;
    o.historyDays = 4;
  }
};

TEST_F(HistoryIt, EveryPointOfTheMadeDaysIsRead) {
  ASSERT_GT(fClient->GetObjects(), 0) << fClient->GetErrorMessage();
  const int fleet = sim::TSimWorld::kFirstFleetUid;
  const int64_t from = kStart - 4 * 86400, to = kStart;
  const size_t sent = fSim->WithWorld([&](sim::TSimWorld &w) {
    size_t n = 0;
    w.ForEachPoint(*w.FindObject(fleet), from, to, false, [&n](const sim::TSimPoint &) { ++n; });
    return n;
  });
  ASSERT_GT(sent, 0u);
  EXPECT_EQ(fClient->GetTrack(fleet, Dt(from), Dt(to)), static_cast<int>(sent));
  std::set<int64_t> days;
  for (const auto &tp : fClient->TrackList())
    days.insert(static_cast<int64_t>(tp->obj_dt));
  EXPECT_GE(days.size(), 4u); // three made days and the simulated one
}

} // namespace
} // namespace kelvra::test
