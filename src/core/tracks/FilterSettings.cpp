#include "core/tracks/FilterSettings.h"

#include <algorithm>
#include <stdexcept>

#include "core/tracks/KalmanFilter.h"
#include "core/tracks/MedianFilter.h"
#include "core/util/LumIniFiles.h"
#include "core/util/LumSmallUtils.h"

namespace kelvra {

namespace {
const char *const kSection = "Filter";

std::runtime_error UnknownFilter(int page) {
  return std::runtime_error("Unknow filter [" + std::to_string(page) + "]");
}
} // namespace

void TFilterSettings::Load(const TLumIniFile &ini) {
  const TFilterSettings def;
  Filter = static_cast<int>(ini.ReadInteger(kSection, "Filter", def.Filter));
  Size = ini.ReadString(kSection, "Size", def.Size);
  Error = ini.ReadString(kSection, "Error", def.Error);
  Speed = ini.ReadString(kSection, "Speed", def.Speed);
}

void TFilterSettings::Save(TLumIniFile &ini) const {
  ini.WriteInteger(kSection, "Filter", Filter);
  ini.WriteString(kSection, "Size", Size);
  ini.WriteString(kSection, "Error", Error);
  ini.WriteString(kSection, "Speed", Speed);
}

TFilterCheck CheckFilterSettings(const TFilterSettings &s) {
  if (s.Filter == 0) {
    const int64_t size = s2i(s.Size, 0);
    if (size < 3) return {TFilterField::Size, "Window size too small"};
    if (size > TMedian::MaxSize)
      return {TFilterField::Size, "Window size too large [" + std::to_string(size) +
                                      "], max=" + std::to_string(TMedian::MaxSize)};
    return {};
  }
  if (s.Filter == 1) {
    const double err = s2f(s.Error, 0);
    // A negative error is as meaningless as none: the gain would leave 0..1.
    if (!(err > 0)) return {TFilterField::Error, "Error too small [" + f2s(err, 2) + "]"};
    const double speed = s2f(s.Speed, 0);
    if (speed < 0.01) return {TFilterField::Speed, "Speed too small [" + f2s(speed, 2) + "]"};
    if (speed > 1) return {TFilterField::Speed, "Speed too large [" + f2s(speed, 2) + "]"};
    return {};
  }
  throw UnknownFilter(s.Filter);
}

std::unique_ptr<TLocationFilter> CreateFilter(const TFilterSettings &s) {
  if (s.Filter == 0) {
    // Out-of-range sizes stay out of range instead of wrapping into a valid one.
    const int64_t size = std::clamp<int64_t>(s2i(s.Size, 0), -1, TMedian::MaxSize + 1);
    return std::make_unique<TMedianFilter>(static_cast<int32_t>(size));
  }
  if (s.Filter == 1) return std::make_unique<TKalmanFilter>(s2f(s.Error, 0), s2f(s.Speed, 0));
  throw UnknownFilter(s.Filter);
}

} // namespace kelvra
