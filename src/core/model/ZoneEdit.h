#pragma once
// What the zone panel and the zone editor decide about a zone, apart from their windows: the
// new zone at the map centre, the shape a zone gets when it is opened for editing, type
// switching, typed centre and radius, node insertion and removal, the units of perimeter and
// area, and the batching of change notifications.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/model/ZoneInfo.h"
#include "core/util/DisplayUnits.h"
#include "core/util/LumHash.h"

namespace kelvra {

// "Zone_" + latitude + "_" + longitude, 4 decimals each, "." as decimal point.
std::string NewZoneName(double lat, double lon);
// A blue circle of 100 m around the point, uid 0, named by NewZoneName.
std::unique_ptr<TZoneInfo> NewZone(const TGeoPoint &center);
// Before editing: a zone without a centre takes mapCenter; a circle without a radius gets
// 100 m; a polygon with fewer than 3 nodes gets nodes 100 m from its centre at 0, 120 and
// 240 degrees (only as many as it lacks). The rectangle is recomputed.
void PrepareZoneForEdit(TZoneInfo &zi, const TGeoPoint &mapCenter);

// Latitude "," longitude, 4 decimals each ("NaN" for a missing coordinate).
std::string LatLonText(const TGeoPoint &p);
// The same point in the program's coordinate form (DisplayUnits), four decimals as degrees.
std::string ShownLatLon(const TGeoPoint &p);

// Switches the type; false (nothing changed) for the same type, an unknown type or a zone
// without a centre. A circle takes half the diagonal of the rectangle as its radius; a polygon
// gets nodes at the radius north, east, south and west of the centre until it has four.
bool SetZoneType(TZoneInfo &zi, int type);
// A typed centre in any coordinate form (TDisplayUnits::ParseLatLon): false when it is not a
// position or the centre moves less than 1e-4 degrees. The centre is rounded to 6 decimals; a
// polygon moves its nodes with it.
bool SetZoneCenter(TZoneInfo &zi, const std::string &text);
// The centre as the service takes it: decimal degrees, "lat,lon", 6 decimals.
std::string ZoneCenterValue(const TZoneInfo &zi);
// A typed radius in the program's short unit (metres, feet for imperial): false when unreadable
// or below 5 m; kept in metres, rounded to 2 decimals.
bool SetZoneRadius(TZoneInfo &zi, const std::string &text);
// The radius in the program's short unit, 2 decimals, for the radius field.
std::string ShownRadius(const TZoneInfo &zi);
// A node at the midpoint of node i and the node before it (the last one for i = 0), inserted
// before i; false for a row that does not exist.
bool InsertZoneNode(TZoneInfo &zi, int i);
// Removes node i while the polygon keeps at least 3 nodes.
bool DeleteZoneNode(TZoneInfo &zi, int i);

// The perimeter and the area in the program's units, each with its symbol (see
// TDisplayUnits::Length and Area: metres up to 1000 m, kilometres above, and so on).
using TMeasure = TDisplayUnits::TMeasure;
TMeasure PerimeterMeasure(double metres);
TMeasure AreaMeasure(double squareMetres);

// The rectangle around every visible zone that has one; false when there is none.
bool VisibleZonesRect(const TZoneList &zones, TGeoRect &rect);

// Changes waiting to be reported: one per key, with its last value, handed out only when the
// last change is more than delayMs old (so typing reports a field once).
class TZoneUpdateQueue {
public:
  explicit TZoneUpdateQueue(int64_t delayMs = 1000) : fDelay(delayMs) {}
  void Put(const std::string &key, const std::string &value, int64_t nowMs);
  bool Pending() const { return fHash.Count() > 0; }
  bool Due(int64_t nowMs) const { return Pending() && nowMs - fLast > fDelay; }
  // The pending pairs in the order their keys first came; the queue is empty afterwards.
  std::vector<std::pair<std::string, std::string>> Take();
  void Clear() { fHash.Clear(); }

private:
  int64_t fDelay;
  int64_t fLast = 0;
  TLumHash fHash;
};

} // namespace kelvra
