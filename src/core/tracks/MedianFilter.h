#pragma once
// A sliding median over the last few positions, one window per coordinate.

#include <array>
#include <cstdint>

#include "core/tracks/LocationFilter.h"

namespace kelvra {

class TMedian {
public:
  static constexpr int32_t MaxSize = 16;

  // Throws std::runtime_error "Size too large [%d], max=16" above 16, and
  // "Size too small [%d], min=1" below 1.
  explicit TMedian(int32_t aSize);

  void Clear();
  // Stores the value in the ring and returns the median of the window.
  double Append(double aValue);
  // While the window fills this is the latest value; then the middle of the sorted
  // window (the mean of the two middle values for an even size).
  double Median() const;
  int32_t Size() const { return mSize; }

private:
  int32_t mSize;
  std::array<double, MaxSize> mBuf;
  int32_t mPtr = 0;
};

class TMedianFilter : public TLocationFilter {
public:
  explicit TMedianFilter(int32_t aSize);

protected:
  void FilterLatLon(double &lat, double &lon) override;

private:
  TMedian mLat;
  TMedian mLon;
};

} // namespace kelvra
