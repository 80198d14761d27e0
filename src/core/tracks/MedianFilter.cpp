#include "core/tracks/MedianFilter.h"
#include "core/util/LumSmallUtils.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace kelvra {


TMedian::TMedian(int32_t aSize) : mSize(aSize) {
  if (aSize > MaxSize)
    throw std::runtime_error("Size too large [" + std::to_string(aSize) +
                             "], max=" + std::to_string(MaxSize));
  // A window of none would divide by zero when the pointer wraps.
  if (aSize < 1)
    throw std::runtime_error("Size too small [" + std::to_string(aSize) + "], min=1");
  Clear();
}

void TMedian::Clear() {
  mBuf.fill(kNaN);
  mPtr = 0;
}

double TMedian::Append(double aValue) {
  mBuf[mPtr] = aValue;
  mPtr = (mPtr + 1) % mSize;
  return Median();
}

double TMedian::Median() const {
  for (int32_t i = 0; i < mSize; ++i)
    if (std::isnan(mBuf[i])) return i == 0 ? kNaN : mBuf[i - 1];
  std::array<double, MaxSize> sorted = mBuf;
  std::sort(sorted.begin(), sorted.begin() + mSize);
  const int32_t mid = mSize / 2;
  return mSize % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
}

TMedianFilter::TMedianFilter(int32_t aSize) : mLat(aSize), mLon(aSize) {
  mSign = "median-" + std::to_string(aSize);
}

void TMedianFilter::FilterLatLon(double &lat, double &lon) {
  lat = mLat.Append(lat);
  lon = mLon.Append(lon);
}

} // namespace kelvra
