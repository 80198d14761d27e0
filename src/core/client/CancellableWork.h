#pragma once
// Work of several exchanges that one Cancel ends together: a worker under the busy window that
// checks its own cancel flag and then starts the next exchange (the next batch of places, the
// request after the sign-in). Without it, a Cancel that lands between the check and the start of
// that exchange is forgotten, since TLumHttpClient::Abort does nothing between exchanges, and the
// exchange runs to its end or its time-out.

namespace kelvra {

class TLumHttpClient;

class TCancellableWork {
public:
  // Made before the worker starts, on the thread that calls Abort, and ended after the worker has
  // ended. While it lives, an Abort of the client ends the exchange running and every later one,
  // also one that had not started when the Abort came. Works of one client nest: an inner one
  // keeps the outer one's Cancel.
  explicit TCancellableWork(TLumHttpClient &aClient);
  ~TCancellableWork();
  TCancellableWork(const TCancellableWork &) = delete;
  TCancellableWork &operator=(const TCancellableWork &) = delete;

  // For the client: an Abort came during an open work of aClient (and marks it so).
  static bool Cancelled(const TLumHttpClient &aClient);
  static void MarkCancelled(const TLumHttpClient &aClient);

private:
  TLumHttpClient &fClient; // not owned; outlives the work
};

} // namespace kelvra
