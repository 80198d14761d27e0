// The client's display clock in a zone with daylight saving: what it reads from replies, what it
// asks for, and a track across the autumn change from reply to export.
#include "core/client/client.h"
#include "core/tracks/PeriodButtons.h"
#include "core/tracks/TrackExport.h"
#include "core/tracks/TrackRequest.h"
#include "core/util/LumDates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace kelvra {
namespace {

std::string Shown(TDateTime dt) { return dt2s(dt, "dd.mm.yyyy hh:nn:ss"); }

struct TBerlinClient : ::testing::Test {
  TBerlinClient() : client("", "token", "0.125") {
    client.SetLogCallback([this](const std::string &aText) { log += aText; });
    EXPECT_TRUE(client.SetDisplayZone("Europe/Berlin"));
  }
  TKelvraClient client;
  std::string log;
};

TEST_F(TBerlinClient, TheSettingChoosesTheClock) {
  EXPECT_EQ(client.DisplayZone().Name(), "Europe/Berlin");
  EXPECT_TRUE(client.SetDisplayZone("system"));
  EXPECT_EQ(client.DisplayZone().Name(), "system");
  EXPECT_TRUE(client.SetDisplayZone(" account "));
  EXPECT_EQ(client.DisplayZone().Name(), "UTC+03:00");
  // A name that is no zone keeps the account's offset and says so.
  EXPECT_FALSE(client.SetDisplayZone("Europe/Atlantis"));
  EXPECT_EQ(client.DisplayZone().Name(), "UTC+03:00");
  EXPECT_NE(log.find("unknown time zone \"Europe/Atlantis\""), std::string::npos) << log;
  EXPECT_FALSE(client.SetDisplayZone("../../etc/passwd"));
}

TEST_F(TBerlinClient, EachMomentWithItsOwnOffset) {
  const TJsonReply r = ParseJsonReply(
      R"({"winter":"2026-01-15T12:00:00Z","summer":"2026-07-15T12:00:00Z",)"
      R"("beforeSpring":"2026-03-29T00:59:59Z","afterSpring":"2026-03-29T01:00:00Z"})");
  EXPECT_EQ(Shown(client.GetJvDt(r.Root(), "winter")), "15.01.2026 13:00:00");
  EXPECT_EQ(Shown(client.GetJvDt(r.Root(), "summer")), "15.07.2026 14:00:00");
  EXPECT_EQ(Shown(client.GetJvDt(r.Root(), "beforeSpring")), "29.03.2026 01:59:59");
  EXPECT_EQ(Shown(client.GetJvDt(r.Root(), "afterSpring")), "29.03.2026 03:00:00");
  // Requests stay UTC: the way back gives the service's own text.
  EXPECT_EQ(client.DtToService(client.GetJvDt(r.Root(), "summer")), "2026-07-15T12:00:00Z");
  EXPECT_EQ(client.DtToService(client.GetJvDt(r.Root(), "afterSpring")), "2026-03-29T01:00:00Z");
}

// "Today" pressed on the day the clocks go forward: a day of 23 hours is asked for.
TEST_F(TBerlinClient, TodayOnTheDayOfTheChange) {
  const TDateTime now = client.FromService(EncodeDateTime(2026, 3, 29, 10, 0));
  int today = -1;
  for (int b = 0; b < PeriodButtonCount; ++b)
    if (std::string(PeriodButtonCaptions[b]) == "Today") today = b;
  ASSERT_GE(today, 0);
  const TPeriod p = QuickPeriod(today, now);
  EXPECT_EQ(Shown(p.Dt1), "29.03.2026 00:00:00");
  EXPECT_EQ(client.DtToService(p.Dt1), "2026-03-28T23:00:00Z");
  EXPECT_EQ(client.DtToService(p.Dt2), "2026-03-29T21:59:59Z");
  // On the autumn day, 25 hours.
  const TPeriod autumn = QuickPeriod(today, client.FromService(EncodeDateTime(2026, 10, 25, 10, 0)));
  EXPECT_EQ(client.DtToService(autumn.Dt1), "2026-10-24T22:00:00Z");
  EXPECT_EQ(client.DtToService(autumn.Dt2), "2026-10-25T22:59:59Z");
}

// A drive from 01:30 summer time to 03:30 winter time: three hours, the hour from 02:00 to 03:00
// shown twice, and every exported time its own true UTC moment.
TEST_F(TBerlinClient, ATrackAcrossTheAutumnChange) {
  std::ostringstream json;
  json << "[";
  for (int i = 0; i <= 6; ++i) {
    const TDateTime utc = EncodeDateTime(2026, 10, 24, 23, 30) + i * 30 / 1440.0;
    json << (i ? "," : "") << R"({"uid":)" << i + 1 << R"(,"obj_id":5,"gps_dt":")"
         << dt2webutc(utc, 0) << R"(","sys_dt":")" << dt2webutc(utc, 0) << R"(","obj_dt":")"
         << dt2webutc(utc, 0) << R"(","lat":)" << 58 + i * 0.05 << R"(,"lon":56,"speed":60})";
  }
  json << "]";
  const TJsonReply reply = ParseJsonReply(json.str());
  TTrackPointList points;
  for (TJsonVal el : reply.Root().Elements()) points.push_back(client.ParseTrackPoint(el));
  ASSERT_EQ(points.size(), 7u);
  std::vector<std::string> shown;
  for (const auto &p : points) shown.push_back(dt2s(p->gps_dt, "hh:nn"));
  EXPECT_EQ(shown, (std::vector<std::string>{"01:30", "02:00", "02:30", "02:00", "02:30", "03:00", "03:30"}));

  TTrackRequestParams params;
  params.objId = "5";
  params.sign = "night";
  params.markParking = false;
  params.clock = client.DisplayZone();
  const auto track = BuildRequestedTrack(points, params, {});
  ASSERT_TRUE(track);
  EXPECT_EQ(track->Info().GpsDuration, 3 * 3600);
  EXPECT_EQ(track->Info().ObjDuration, 3 * 3600);

  const std::string kml = TrackKml(*track);
  std::vector<std::string> whens;
  for (size_t at = kml.find("<when>"); at != std::string::npos; at = kml.find("<when>", at + 1))
    whens.push_back(kml.substr(at + 6, 20));
  EXPECT_EQ(whens, (std::vector<std::string>{"2026-10-24T23:30:00Z", "2026-10-25T00:00:00Z",
                                             "2026-10-25T00:30:00Z", "2026-10-25T01:00:00Z",
                                             "2026-10-25T01:30:00Z", "2026-10-25T02:00:00Z",
                                             "2026-10-25T02:30:00Z"}));
}

} // namespace
} // namespace kelvra
