#include "core/model/SensorSign.h"

#include <array>
#include <atomic>
#include <deque>
#include <mutex>
#include <unordered_map>

namespace kelvra {

namespace {

// The codes by id, readable without a lock: blocks of pointers that are only ever added, each
// published once it is complete. Interning takes the lock.
class TSignPool {
public:
  static TSignPool &Instance() {
    static TSignPool *pool = new TSignPool; // never destroyed: codes outlive every static point
    return *pool;
  }

  std::uint32_t Intern(std::string_view aText) {
    std::lock_guard<std::mutex> lock(fLock);
    if (auto it = fIds.find(aText); it != fIds.end()) return it->second;
    const std::uint32_t id = std::uint32_t(fNames.size());
    if (id >= kBlockCount * kBlockSize) return kOverflowId;
    const std::string &name = fNames.emplace_back(aText);
    auto *block = fBlocks[id / kBlockSize].load(std::memory_order_relaxed);
    if (!block) {
      block = new std::atomic<const std::string *>[kBlockSize] {};
      fBlocks[id / kBlockSize].store(block, std::memory_order_release);
    }
    block[id % kBlockSize].store(&name, std::memory_order_release);
    fIds.emplace(std::string_view(name), id);
    return id;
  }

  const std::string &Name(std::uint32_t aId) const {
    if (aId == kOverflowId) return fOverflow;
    const auto *block = fBlocks[aId / kBlockSize].load(std::memory_order_acquire);
    return *block[aId % kBlockSize].load(std::memory_order_acquire);
  }

private:
  static constexpr std::uint32_t kBlockSize = 1024;
  static constexpr std::uint32_t kBlockCount = 4096;
  static constexpr std::uint32_t kOverflowId = 0xFFFFFFFFu;

  TSignPool() { Intern(std::string_view()); } // id 0: the empty code

  std::mutex fLock;
  std::deque<std::string> fNames; // stable addresses
  std::unordered_map<std::string_view, std::uint32_t> fIds;
  std::atomic<std::atomic<const std::string *> *> fBlocks[kBlockCount] = {};
  // More distinct codes than the pool holds (millions, only from a hostile service) all read as
  // this text instead of growing the pool without bound.
  const std::string fOverflow = "?";
};

// The codes this thread met last: a track repeats a few codes point after point, and finding
// them here spares the pool's lock and hash.
std::uint32_t InternRecent(std::string_view aText) {
  struct TRecent {
    std::string Text;
    std::uint32_t Id = 0;
  };
  thread_local std::array<TRecent, 8> recent;
  thread_local std::size_t next = 0;
  for (const TRecent &r : recent)
    if (r.Id != 0 && r.Text == aText) return r.Id;
  TRecent &slot = recent[next];
  next = (next + 1) % recent.size();
  slot.Text.assign(aText);
  slot.Id = TSignPool::Instance().Intern(aText);
  return slot.Id;
}

} // namespace

TSensorSign::TSensorSign(std::string_view aText) : fId(aText.empty() ? 0 : InternRecent(aText)) {}

const std::string &TSensorSign::str() const { return TSignPool::Instance().Name(fId); }

} // namespace kelvra
