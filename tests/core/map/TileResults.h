#pragma once
// Collects what the download queue reports on its worker threads.
#include "core/map/NetworkRequest.h"
#include "core/map/NetworkRequestRTL.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvra::test {

struct TResult {
  TTile tile;
  std::shared_ptr<const TMemoryStream> stream; // null when the download failed
  std::string error;
  std::thread::id thread;
  THttpReplyInfo reply;
};

class TResults {
public:
  TGotTileCallbackBgThr Callback() {
    return [this](const TTile &Tile, std::unique_ptr<TMemoryStream> Ms, const std::string &Error) {
      Add(Tile, std::move(Ms), Error, THttpReplyInfo{});
    };
  }
  // The same, keeping each reply's status and caching headers.
  TGotTileReplyCallbackBgThr ReplyCallback() {
    return [this](const TTile &Tile, std::unique_ptr<TMemoryStream> Ms, const std::string &Error,
                  const THttpReplyInfo &Reply) { Add(Tile, std::move(Ms), Error, Reply); };
  }
  // Waits until this many results have come in all; gives up (and the test
  // fails on the count) only if the queue is broken, so a fault cannot hang
  // the run.
  std::vector<TResult> WaitFor(std::size_t Count) {
    std::unique_lock lock(fMutex);
    fCv.wait_for(lock, std::chrono::seconds(60), [&] { return fResults.size() >= Count; });
    EXPECT_GE(fResults.size(), Count);
    fResults.resize(std::max(fResults.size(), Count));
    return fResults;
  }
  std::size_t Count() {
    std::lock_guard lock(fMutex);
    return fResults.size();
  }

private:
  void Add(const TTile &Tile, std::unique_ptr<TMemoryStream> Ms, const std::string &Error,
           const THttpReplyInfo &Reply) {
    {
      std::lock_guard lock(fMutex);
      fResults.push_back(TResult{Tile, std::move(Ms), Error, std::this_thread::get_id(), Reply});
    }
    fCv.notify_all();
  }

  std::mutex fMutex;
  std::condition_variable fCv;
  std::vector<TResult> fResults;
};

// The real request, keeping the error text of every call.
class TRecordedRequests {
public:
  TBlockingNetworkRequestFunc Func() {
    return [this](const THttpRequestProps &p, TMemoryStream &s, std::string &e) {
      const bool ok = NetworkRequest(p, s, e);
      std::lock_guard lock(fMutex);
      fErrors.push_back(e);
      return ok;
    };
  }
  std::vector<std::string> Errors() {
    std::lock_guard lock(fMutex);
    return fErrors;
  }

private:
  std::mutex fMutex;
  std::vector<std::string> fErrors;
};

} // namespace kelvra::test
