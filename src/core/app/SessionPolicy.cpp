#include "core/app/SessionPolicy.h"

#include <algorithm>

namespace kelvra {

TFailureKind ClassifyFailure(int resultCode, bool cancelled) {
  if (cancelled && resultCode == 0) return TFailureKind::Cancelled;
  if (resultCode == 401 || resultCode == 403) return TFailureKind::SignInAgain;
  if (resultCode == 408 || resultCode == 429) return TFailureKind::Passing;
  // -1: nothing was sent (no server address, no token): trying again changes nothing.
  if (resultCode < 0) return TFailureKind::Error;
  if (resultCode >= 400 && resultCode < 500) return TFailureKind::Error;
  return TFailureKind::Passing; // 0 (no reply), 200 not read, 5xx
}

void TSessionHealth::Succeeded() {
  fFailures = 0;
  fSince = 0;
  fNextTry = 0;
}

int TSessionHealth::Failed(std::time_t aNow, int aRetryAfter) {
  if (fFailures == 0) fSince = aNow;
  ++fFailures;
  int pause = kFirstPause;
  for (int i = 1; i < fFailures && pause < fPeriod; ++i)
    pause *= 2;
  pause = std::min(pause, fPeriod);
  pause = std::max(pause, aRetryAfter);
  fNextTry = aNow + pause;
  return pause;
}

int TSessionHealth::SecondsToNextTry(std::time_t aNow) const {
  if (Online() || fNextTry <= aNow) return 0;
  return static_cast<int>(fNextTry - aNow);
}

} // namespace kelvra
