#pragma once
// The past of the world's objects before their simulation starts, made on demand. A day of an
// object's past is a pure function of the seed, the object and the day: any period can be asked
// for in any order and gets the same points, and nothing of it is kept. Every made day ends with
// the object back at its home (the first node of its route, a vehicle's depot), where the
// simulation finds it when it takes over, so a track runs on across the seam.
//
// The past of an object is [Begin(), o.historyEnd); days are counted back from o.historyEnd, so
// a "day" here is 86,400 seconds ending a whole number of days before it.
#include <cstdint>
#include <functional>
#include <vector>

namespace kelvra::sim {

struct TSimObject;
struct TSimPoint;

class TSimHistory {
public:
  TSimHistory() = default;
  // begin: where the past of every object starts (nothing before it is made).
  TSimHistory(uint32_t seed, int64_t begin) : fSeed(seed), fBegin(begin) {}

  int64_t Begin() const { return fBegin; }
  static constexpr int64_t kDay = 86400;
  // The first point id of the made days; the simulation's own ids stay below it.
  static constexpr int64_t kMadeUidBase = int64_t(1) << 30;

  // Whether o has a made past (objects that stand idle or were deleted have none).
  static bool Has(const TSimObject &o);

  // The points o sent in [dayEnd - kDay, dayEnd), in the order received (sys_dt). dayEnd must be
  // a whole number of days from o.historyEnd; days after it serve objects whose whole life is
  // made this way (the 1 Hz tracker).
  void MakeDay(const TSimObject &o, int64_t dayEnd, std::vector<TSimPoint> &out) const;

  // Hands over the points of o's past whose device time (reception time with byReception) lies
  // in [from, to], in the order received; each day is made once and dropped after it was handed
  // over. fn must not keep the reference.
  using TVisitor = std::function<void(const TSimPoint &)>;
  void Visit(const TSimObject &o, int64_t from, int64_t to, bool byReception,
             const TVisitor &fn) const;

private:
  uint32_t fSeed = 1;
  int64_t fBegin = 0;
};

} // namespace kelvra::sim
