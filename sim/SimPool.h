#pragma once
// The worker pool of the service's HTTP server. At most `limit` workers serve requests at once;
// a worker that waits on purpose (a hanging or slow reply, injected latency) parks itself, and
// while it is parked another worker takes its place, so any number of such replies leaves the
// service answering. Parked workers end when their reply ends or the server stops.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <httplib.h>

namespace kelvra::sim {

class TSimPool : public httplib::TaskQueue {
public:
  explicit TSimPool(size_t limit);
  ~TSimPool() override;
  void enqueue(std::function<void()> fn) override;
  void shutdown() override;

  // Parks the calling worker until the returned guard is destroyed; nothing when the caller is
  // not a worker of a pool.
  class TPark {
  public:
    explicit TPark(TSimPool *pool) : fPool(pool) {}
    ~TPark();
    TPark(const TPark &) = delete;
    TPark &operator=(const TPark &) = delete;

  private:
    TSimPool *fPool; // not owned
  };
  static std::shared_ptr<TPark> ParkCurrent();

private:
  void Work();
  void SpawnIfNeeded(); // with fMutex held

  size_t fLimit;
  std::mutex fMutex;
  std::condition_variable fCv;
  std::deque<std::function<void()>> fJobs;
  std::vector<std::thread> fThreads;
  size_t fIdle = 0, fParked = 0;
  bool fShutdown = false;
};

} // namespace kelvra::sim
