// The session's rules: what each failed request means, the pauses between tries, and the
// Retry-After a busy service sends.
#include <gtest/gtest.h>

#include "core/app/SessionPolicy.h"
#include "core/client/LumHttp.h"

namespace kelvra {
namespace {

struct TStatusCase {
  const char *name;
  int code;
  TFailureKind kind;
  bool cancelled = false; // the user cancelled the wait
};

class FailureKindTest : public ::testing::TestWithParam<TStatusCase> {};

TEST_P(FailureKindTest, OnePolicyForEveryRequest) {
  EXPECT_EQ(ClassifyFailure(GetParam().code, GetParam().cancelled), GetParam().kind)
      << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FailureKindTest,
    ::testing::Values(TStatusCase{"NoReply", 0, TFailureKind::Passing},
                      TStatusCase{"CancelledByUser", 0, TFailureKind::Cancelled, true},
                      // A cancel that came after the reply was in changes nothing.
                      TStatusCase{"CancelTooLateForAnOk", 200, TFailureKind::Passing, true},
                      TStatusCase{"CancelTooLateForARefusal", 401, TFailureKind::SignInAgain, true},
                      TStatusCase{"ReplyNotRead", 200, TFailureKind::Passing},
                      TStatusCase{"NothingSent", -1, TFailureKind::Error},
                      TStatusCase{"BadRequest", 400, TFailureKind::Error},
                      TStatusCase{"Unauthorized", 401, TFailureKind::SignInAgain},
                      TStatusCase{"Forbidden", 403, TFailureKind::SignInAgain},
                      TStatusCase{"NotFound", 404, TFailureKind::Error},
                      TStatusCase{"NotAcceptable", 406, TFailureKind::Error},
                      TStatusCase{"RequestTimeout", 408, TFailureKind::Passing},
                      TStatusCase{"Conflict", 409, TFailureKind::Error},
                      TStatusCase{"TooManyRequests", 429, TFailureKind::Passing},
                      TStatusCase{"LastOf4xx", 499, TFailureKind::Error},
                      TStatusCase{"ServerError", 500, TFailureKind::Passing},
                      TStatusCase{"BadGateway", 502, TFailureKind::Passing},
                      TStatusCase{"Unavailable", 503, TFailureKind::Passing},
                      TStatusCase{"GatewayTimeout", 504, TFailureKind::Passing},
                      TStatusCase{"Unassigned5xx", 599, TFailureKind::Passing}),
    [](const ::testing::TestParamInfo<TStatusCase> &i) { return std::string(i.param.name); });

TEST(SessionHealthTest, PausesGrowUpToTheUpdatePeriodAndResetOnSuccess) {
  TSessionHealth h(60);
  EXPECT_TRUE(h.Online());
  const std::time_t t0 = 1'700'000'000;
  const int expected[] = {5, 10, 20, 40, 60, 60, 60};
  std::time_t now = t0;
  for (int want : expected) {
    EXPECT_EQ(h.Failed(now), want);
    EXPECT_FALSE(h.Online());
    EXPECT_EQ(h.Since(), t0); // the first fault of the run
    EXPECT_EQ(h.NextTry(), now + want);
    EXPECT_EQ(h.SecondsToNextTry(now + 1), want - 1);
    now += want;
  }
  h.Succeeded();
  EXPECT_TRUE(h.Online());
  EXPECT_EQ(h.Since(), 0);
  EXPECT_EQ(h.SecondsToNextTry(now), 0);
  // A new run of faults starts from the first pause and its own time.
  EXPECT_EQ(h.Failed(now + 100), 5);
  EXPECT_EQ(h.Since(), now + 100);
}

TEST(SessionHealthTest, ShortUpdatePeriodCapsTheFirstPauseToo) {
  TSessionHealth h(3);
  EXPECT_EQ(h.Failed(1000), 3);
  EXPECT_EQ(h.Failed(1003), 3);
}

TEST(SessionHealthTest, RetryAfterIsHonouredEvenBeyondThePeriod) {
  TSessionHealth h(60);
  EXPECT_EQ(h.Failed(1000, 30), 30);  // longer than the first pause
  EXPECT_EQ(h.Failed(1030, 2), 10);   // shorter: the growing pause wins
  EXPECT_EQ(h.Failed(1040, 120), 120); // longer than the period: the service said so
}

TEST(RetryAfterTest, SecondsAndDates) {
  const std::time_t now = 784111777; // Sun, 06 Nov 1994 08:49:37 GMT
  struct {
    const char *text;
    int seconds;
  } cases[] = {
      {"120", 120},
      {" 7 ", 7},
      {"0", 0},
      {"", 0},
      {"soon", 0},
      {"-5", 0},
      {"99999999999", 86400},
      {"Sun, 06 Nov 1994 08:50:37 GMT", 60},
      {"Sun, 06 Nov 1994 08:49:00 GMT", 0}, // already past
      {"Sun, 06 Foo 1994 08:50:37 GMT", 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ParseRetryAfter(c.text, now), c.seconds) << c.text;
}

} // namespace
} // namespace kelvra
