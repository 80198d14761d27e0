#pragma once
// The session's rules for a service that restarts, expires tokens, answers slowly or not at all:
// what a failed request means, how long to wait before the next try, and what the status bar says.

#include <ctime>
#include <string>

namespace kelvra {

// What a failed request of the session (sign-in, object load and refresh, events) means.
enum class TFailureKind {
  Passing,     // no reply, a time-out, a server error, 408, 429, or a reply that was not the
               // JSON asked for: the list stays and the request is tried again after a pause
  SignInAgain, // 401, 403: the token is no longer taken
  Error,       // any other refusal (4xx): shown to the user, the session goes on
  Cancelled,   // the user gave up waiting: no fault of the service, nothing to count or show
};
// resultCode is the client's: 0 when no reply came, -1 when nothing was sent, else the status;
// cancelled: the user cancelled the wait (the client's Cancelled()).
TFailureKind ClassifyFailure(int resultCode, bool cancelled = false);

// Whether the service answers, since when it does not, and when the next try is due.
class TSessionHealth {
public:
  static constexpr int kFirstPause = 5; // seconds

  // aUpdatePeriod: the seconds between refreshes, the longest pause between tries.
  explicit TSessionHealth(int aUpdatePeriod = 60) { SetUpdatePeriod(aUpdatePeriod); }
  void SetUpdatePeriod(int aSeconds) { fPeriod = aSeconds > 0 ? aSeconds : 60; }
  int UpdatePeriod() const { return fPeriod; }

  // A request got through.
  void Succeeded();
  // A passing fault at aNow; aRetryAfter > 0 when the reply asked for that pause. Returns the
  // pause before the next try: 5 s, doubled with each fault in a row up to the update period,
  // never shorter than what the service asked for.
  int Failed(std::time_t aNow, int aRetryAfter = 0);

  bool Online() const { return fFailures == 0; }
  int Failures() const { return fFailures; }
  // The first fault of the present run of faults; 0 when online.
  std::time_t Since() const { return fSince; }
  // When the next try is due; 0 when online.
  std::time_t NextTry() const { return fNextTry; }
  // Whole seconds until the next try (0 when due or online).
  int SecondsToNextTry(std::time_t aNow) const;

private:
  int fPeriod = 60;
  int fFailures = 0;
  std::time_t fSince = 0;
  std::time_t fNextTry = 0;
};

} // namespace kelvra
