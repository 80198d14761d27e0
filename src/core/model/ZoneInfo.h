#pragma once
// A geozone: a circle or a polygon that traps can watch, with the values
// derived from its geometry (bounding rectangle, perimeter, area).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/map/SlippyMapUtils.h"
#include "core/model/RecordRef.h"
#include "core/util/LumDates.h"

namespace kelvra {

constexpr int kZoneCircle = 1;
constexpr int kZonePolygon = 2;

class TZoneGeom {
public:
  TGeoPoint center; // NaN coordinates when unknown
  double radius;    // metres; NaN when unknown
  std::vector<TGeoPoint> nodes;

  TZoneGeom();

  bool HasCenter() const;
  void Assign(const TZoneGeom &geom);
  // Compact geometry JSON; throws std::runtime_error for a type other than circle or polygon.
  std::string ToJsonString(int type_id) const;
  // Reads the service's geometry text (an array text means polygon nodes). Parts that
  // are missing or malformed leave the centre/radius NaN or the nodes empty; never throws.
  void ReadJsonString(const std::string &text, int type_id);
};

class TZoneInfo {
public:
  int uid = 0;
  int type_id = 0;
  int user_id = 0;
  std::string name;
  std::string desc;
  TZoneGeom geom;
  uint32_t color = 0;
  TDateTime del_dt = 0;
  bool visible = false;
  bool edited = false;
  double perimeter = 0;
  double area = 0; // true area on the ellipsoid, shown to the user, never sent
  TGeoRect rect;
  TRecordLife life; // for those who hold the record across a modal window (TRecordRef)

  TZoneInfo(int aUid = 0, int aType = 0);
  TZoneInfo(const TZoneInfo &zi);
  TZoneInfo &operator=(const TZoneInfo &zi);

  void Assign(const TZoneInfo &zi);
  bool HasRect() const;
  void UpdateRect();
  // The point lies inside the circle (geodesic distance to the centre up to the radius) or the
  // polygon (even-odd rule on latitude and longitude, enough for zones of a city's size); false
  // for a zone without usable geometry or a point without coordinates.
  bool Contains(double lat, double lon) const;
  // Form body for creating and changing the zone; throws like TZoneGeom::ToJsonString.
  std::string ToUrlString() const;
  nlohmann::json ToJson() const;
};

using TZoneList = std::vector<std::unique_ptr<TZoneInfo>>;

} // namespace kelvra
