#include "sim/SimPool.h"

namespace kelvra::sim {

namespace {
thread_local TSimPool *tCurrentPool = nullptr;
}

TSimPool::TSimPool(size_t limit) : fLimit(limit < 1 ? 1 : limit) {}

TSimPool::~TSimPool() { shutdown(); }

void TSimPool::SpawnIfNeeded() {
  // Workers are started on demand, so an idle service holds few threads.
  if (fIdle >= fJobs.size() || fThreads.size() - fParked >= fLimit) return;
  fThreads.emplace_back([this] { Work(); });
}

void TSimPool::enqueue(std::function<void()> fn) {
  std::lock_guard<std::mutex> lock(fMutex);
  fJobs.push_back(std::move(fn));
  SpawnIfNeeded();
  fCv.notify_one();
}

void TSimPool::shutdown() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fShutdown = true;
  }
  fCv.notify_all();
  // Joined outside the lock: a worker that ends its job needs it. New workers may be spawned by
  // a parking worker meanwhile, so join until none is left.
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(fMutex);
      if (fThreads.empty()) break;
      threads.swap(fThreads);
    }
    for (auto &t : threads)
      if (t.joinable()) t.join();
    threads.clear();
  }
}

void TSimPool::Work() {
  tCurrentPool = this;
  std::unique_lock<std::mutex> lock(fMutex);
  for (;;) {
    ++fIdle;
    fCv.wait(lock, [this] { return !fJobs.empty() || fShutdown; });
    --fIdle;
    if (fJobs.empty()) break; // shut down with nothing left to do
    auto fn = std::move(fJobs.front());
    fJobs.pop_front();
    lock.unlock();
    fn();
    lock.lock();
  }
}

TSimPool::TPark::~TPark() {
  if (!fPool) return;
  std::lock_guard<std::mutex> lock(fPool->fMutex);
  --fPool->fParked;
}

std::shared_ptr<TSimPool::TPark> TSimPool::ParkCurrent() {
  TSimPool *pool = tCurrentPool;
  if (pool) {
    std::lock_guard<std::mutex> lock(pool->fMutex);
    ++pool->fParked;
    pool->SpawnIfNeeded();
  }
  return std::make_shared<TPark>(pool);
}

} // namespace kelvra::sim
