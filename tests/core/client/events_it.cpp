// Events against kelvra-sim: a period's list, absent and empty arrays,
// acceptance.
#include <cmath>
#include <string>

#include "SimClientFixture.h"

namespace kelvra::test {
namespace {

class EventsIt : public TSimClientTest {};

TEST_F(EventsIt, ListForAPeriod) {
  const int n = fClient->GetEvents(Dt(kStart - 86400), Dt(kStart));
  ASSERT_GT(n, 0) << fClient->GetErrorMessage();
  EXPECT_EQ(static_cast<int>(fClient->EventList().size()), n);
  EXPECT_EQ(fClient->EventListDt1(), Dt(kStart - 86400));
  EXPECT_EQ(fClient->EventListDt2(), Dt(kStart));
  EXPECT_GT(fClient->EventListUpdated(), 0);
  EXPECT_EQ(LastRequest().query, "from=2024-03-04T21:00:00Z&to=2024-03-05T21:00:00Z");
  for (const auto &ev : fClient->EventList()) {
    EXPECT_GT(ev->uid, 0);
    EXPECT_GT(ev->trap_id, 0);
  }
}

TEST_F(EventsIt, EmptyArrayIsZeroAbsentArrayIsFailure) {
  EXPECT_EQ(fClient->GetEvents(Dt(kStart - 400 * 86400), Dt(kStart - 399 * 86400)), 0);
  // A reply that is an object without the array.
  fSim->AddFault(TFaultRule{"/api/v1/user/events", "", 0, 200});
  EXPECT_EQ(fClient->GetEvents(Dt(kStart - 86400), Dt(kStart)), -1);
  EXPECT_NE(fLog.find("\r  X: malformed reply: Events"), std::string::npos);
  EXPECT_TRUE(fClient->EventList().empty());
}

TEST_F(EventsIt, AcceptWithACyrillicMessage) {
  ASSERT_GT(fClient->GetEvents(Dt(kStart - 86400), Dt(kStart)), 0);
  int64_t uid = 0;
  for (const auto &ev : fClient->EventList())
    if (std::isnan(ev->accept_dt)) uid = ev->uid;
  ASSERT_GT(uid, 0);
  const std::string msg =
      "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xBD\xD1\x8F\xD1\x82\xD0\xBE, ok"; // "Принято,
                                                                      // ok"
  EXPECT_TRUE(fClient->AcceptEvent(static_cast<int>(uid), msg)) << fClient->GetErrorMessage();
  EXPECT_EQ(LastRequest().body, "msg=%D0%9F%D1%80%D0%B8%D0%BD%D1%8F%D1%82%D0%BE%2C+ok");
  fSim->WithWorld([&](sim::TSimWorld &w) {
    sim::TSimEvent *e = w.FindEvent(uid);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->accept_msg, msg);
    EXPECT_NE(e->accept_dt, 0);
  });
  EXPECT_FALSE(fClient->AcceptEvent(static_cast<int>(uid), msg));
  EXPECT_EQ(fClient->GetErrorMessage(), "the event is already accepted [409]");
}

} // namespace
} // namespace kelvra::test
