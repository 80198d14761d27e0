#pragma once
// What the object list's search field and filter buttons keep: a typed text found in the
// object's name, id, phone-like fields or last address, and the states "with alarms", "moving"
// and "offline more than an hour".

#include <functional>
#include <string>

#include "core/util/LumDates.h"
#include "core/util/SearchText.h"
#include "core/util/TimeZones.h"

namespace kelvra {

class TObjectInfo;

// The searchable texts of an object, folded (SearchFold) and one per line: name, id, uid,
// phone, IMEI, the address the service gave, and the address of the last point's place when
// `lastAddress` knows it.
std::string ObjectSearchText(const TObjectInfo &oi,
                             const std::function<std::string(const std::string &osmId)> &lastAddress);
// The digits of the phone and the IMEI, one per line.
std::string ObjectPhoneDigits(const TObjectInfo &oi);

// An alarm counts as open until it is accepted.
bool HasOpenAlarms(const TObjectInfo &oi);
int OpenAlarmCount(const TObjectInfo &oi);

// Seconds since the last message; a negative value when there is none. `now` and the message's
// time are on `clock` (the client's display clock): the seconds are the real ones between them,
// whatever daylight saving did in between.
double MessageAgeSeconds(const TObjectInfo &oi, TDateTime now, const TDisplayZone &clock = {});
inline constexpr double kOfflineSeconds = 3600;
inline constexpr double kMovingFreshSeconds = 30 * 60;
// No message for more than an hour (or none at all).
bool IsOffline(const TObjectInfo &oi, TDateTime now, const TDisplayZone &clock = {});
// The last message reports a speed of at least 3 km/h and is less than half an hour old (the
// green age mark): an old report of speed says nothing about now.
bool IsMoving(const TObjectInfo &oi, TDateTime now, const TDisplayZone &clock = {});

struct TObjectFilter {
  TSearchQuery query;
  bool withAlarms = false;
  bool moving = false;
  bool offline = false;

  bool Empty() const { return query.Empty() && !withAlarms && !moving && !offline; }
  // Every condition that is set must hold. `folded` and `digits` are ObjectSearchText and
  // ObjectPhoneDigits of the object (callers keep them between keystrokes).
  bool Accepts(const TObjectInfo &oi, const std::string &folded, const std::string &digits,
               TDateTime now, const TDisplayZone &clock = {}) const;
};

} // namespace kelvra
