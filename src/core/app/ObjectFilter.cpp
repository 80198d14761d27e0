#include "core/app/ObjectFilter.h"
#include "core/util/LumDates.h"
#include "core/tracks/GeoTrack.h"

#include <algorithm>
#include <cmath>

#include "core/model/ObjectInfo.h"

namespace kelvra {


std::string ObjectSearchText(const TObjectInfo &oi,
                             const std::function<std::string(const std::string &)> &lastAddress) {
  std::string s = oi.name;
  for (const std::string *f : {&oi.id, &oi.phone, &oi.imei, &oi.address}) {
    s += '\n';
    s += *f;
  }
  if (oi.uid > 0) s += '\n' + std::to_string(oi.uid);
  if (lastAddress && oi.last_point && !oi.last_point->osm_id.empty())
    s += '\n' + lastAddress(oi.last_point->osm_id);
  return SearchFold(s);
}

std::string ObjectPhoneDigits(const TObjectInfo &oi) {
  return DigitsOf(oi.phone) + '\n' + DigitsOf(oi.imei);
}

int OpenAlarmCount(const TObjectInfo &oi) {
  int n = 0;
  for (const auto &ei : oi.alarms)
    if (ei && !DtDefined(ei->accept_dt)) ++n;
  return n;
}

bool HasOpenAlarms(const TObjectInfo &oi) { return OpenAlarmCount(oi) > 0; }

double MessageAgeSeconds(const TObjectInfo &oi, TDateTime now, const TDisplayZone &clock) {
  if (!oi.last_point || !DtDefined(oi.last_point->sys_dt)) return -1;
  // To the millisecond: day fractions do not hold whole seconds exactly.
  return std::max(0.0, std::round(clock.SecondsBetween(oi.last_point->sys_dt, now) * 1000.0) / 1000.0);
}

bool IsOffline(const TObjectInfo &oi, TDateTime now, const TDisplayZone &clock) {
  const double age = MessageAgeSeconds(oi, now, clock);
  return age < 0 || age > kOfflineSeconds;
}

bool IsMoving(const TObjectInfo &oi, TDateTime now, const TDisplayZone &clock) {
  const double age = MessageAgeSeconds(oi, now, clock);
  return age >= 0 && age < kMovingFreshSeconds && oi.last_point->speed >= kMovingSpeed;
}

bool TObjectFilter::Accepts(const TObjectInfo &oi, const std::string &folded,
                            const std::string &digits, TDateTime now,
                            const TDisplayZone &clock) const {
  if (withAlarms && !HasOpenAlarms(oi)) return false;
  if (moving && !IsMoving(oi, now, clock)) return false;
  if (offline && !IsOffline(oi, now, clock)) return false;
  return query.Matches(folded, digits);
}

} // namespace kelvra
