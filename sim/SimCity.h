#pragma once
// The demo city that the objects drive in and the tiles show: a street grid with major roads and
// the avenues of the demo routes, a river, parks and woods, and building blocks between the
// streets. It is the same in every run (it does not depend on the seed). Coordinates are
// (latitude, longitude) pairs in degrees.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelvra::sim {

using TLatLon = std::pair<double, double>;

enum class TRoadClass { Minor, Major, Primary };
enum class TAreaKind { Residential, Park, Wood, Water };

struct TCityRoad {
  std::vector<TLatLon> points;
  TRoadClass cls = TRoadClass::Minor;
  std::string name;
};

struct TCityArea {
  std::vector<TLatLon> ring; // closed implicitly
  TAreaKind kind = TAreaKind::Park;
};

// A building: a rectangle by its south-west and north-east corners.
struct TCityBuilding {
  TLatLon sw, ne;
};

// The loops the demo objects drive; the city has an avenue along every leg.
enum TDemoRoute { kVanRoute, kCourierRoute, kWatchRoute, kBikeRoute, kTaxiRoute, kDemoRoutes };

class TSimCity {
public:
  // Places of the demo world.
  static constexpr TLatLon kCenter{57.998649, 56.27574};
  static constexpr TLatLon kHome{58.0105, 56.2480};
  static constexpr TLatLon kWarehouse{58.0052, 56.3003};
  static constexpr TLatLon kPark{57.9903, 56.2950};
  static constexpr TLatLon kSouth{57.9850, 56.2600};
  std::vector<TLatLon> demoRoutes[kDemoRoutes];

  // The city, built on first use; safe to call from any thread.
  static const TSimCity &Get();

  // The extent of the city: outside it the land is plain.
  double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
  bool Inside(double lat, double lon) const {
    return lat >= minLat && lat <= maxLat && lon >= minLon && lon <= maxLon;
  }

  std::vector<TCityArea> areas; // residential first, then woods, parks and water
  std::vector<TCityRoad> roads; // minor first, then major and primary
  std::vector<TLatLon> river;   // centre line
  double riverWidthM = 0;

  // The street graph the fleet drives on: grid crossings and the roads between them.
  std::vector<TLatLon> nodes;
  std::vector<std::vector<int>> links;

  // The buildings of the blocks that touch the given box.
  std::vector<TCityBuilding> BuildingsIn(double minLat, double minLon, double maxLat,
                                         double maxLon) const;
  bool InArea(TAreaKind kind, double lat, double lon) const;

  // The street grid: row lines of constant latitude, column lines of constant longitude.
  static constexpr double kRowStep = 0.0020; // about 222 m
  static constexpr double kColStep = 0.0036; // about 212 m at this latitude
  int rows = 0, cols = 0;

private:
  TSimCity();
};

bool PointInRing(const std::vector<TLatLon> &ring, double lat, double lon);

} // namespace kelvra::sim
