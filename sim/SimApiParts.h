#pragma once
// What the handlers of the substitute service's operations share: reading ids, colours, flags
// and periods from a request and finding the records a user may see or change; and the handlers
// of zones, traps and events, which live in SimApiAlarms.cpp.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "sim/SimApi.h"

namespace kelvra::sim::api {

using R = TApiReply;

// A JSON array of points written one by one: a track of a million points is never held as a
// document.
class TPointArray {
public:
  explicit TPointArray(bool sensors) : fSensors(sensors) { fText = "["; }
  void Add(const TSimPoint &p) {
    if (fText.size() > 1) fText += ',';
    TSimWorld::AppendPointJson(fText, p, fSensors);
  }
  TApiReply Reply() {
    TApiReply r;
    r.body = std::move(fText);
    r.body += ']';
    return r;
  }

private:
  bool fSensors;
  std::string fText;
};

int64_t PathId(const TApiRequest &r, size_t i = 0);
int PathUid(const TApiRequest &r);
bool ValidColor(const std::string &c);
std::string UpperColor(std::string c);
bool ReadBool(const std::string &s, bool &v);
bool ReadPeriod(const TApiRequest &r, int64_t &from, int64_t &to, R &err);
TSimObject *VisibleObject(TSimWorld &w, const TApiRequest &r, R &err);
TSimObject *OwnObject(TSimWorld &w, const TApiRequest &r, R &err);
std::set<int> VisibleUids(TSimWorld &w, const TSimUser &u);

// Zones, traps and events.
R GetZones(TSimWorld &w, TApiRequest &r);
R CreateZone(TSimWorld &w, TApiRequest &r);
R UpdateZone(TSimWorld &w, TApiRequest &r);
R DeleteZone(TSimWorld &w, TApiRequest &r);
R ZoneHistory(TSimWorld &w, TApiRequest &r);
R GetTraps(TSimWorld &w, TApiRequest &r);
R GetTrap(TSimWorld &w, TApiRequest &r);
R CreateTrap(TSimWorld &w, TApiRequest &r);
R UpdateTrap(TSimWorld &w, TApiRequest &r);
R DeleteTrap(TSimWorld &w, TApiRequest &r);
R GetEvents(TSimWorld &w, TApiRequest &r);
R AcceptEvent(TSimWorld &w, TApiRequest &r);

} // namespace kelvra::sim::api
