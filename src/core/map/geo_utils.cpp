#include "core/map/geo_utils.h"

#include "core/util/LumSmallUtils.h"

#include <cmath>
#include <numbers>

namespace kelvra {

double ToRadians(double x) { return x * std::numbers::pi / 180; }

double ToDegrees(double x) { return x * 180 / std::numbers::pi; }

std::string FormatDistance(double distance) {
  if (std::isnan(distance)) return "NaN";
  if (distance < 1000) return f2s(distance, 0) + " m";
  return f2s(distance / 1000, 2) + " km";
}

double DistanceBetween(double Lat1, double Lon1, double Lat2, double Lon2) {
  if (std::isnan(Lat1) || std::isnan(Lon1) || std::isnan(Lat2) || std::isnan(Lon2)) return 0;
  constexpr double a = 6378137.0;
  constexpr double b = 6356752.3142;
  constexpr double f = (a - b) / a;
  constexpr double aSqMinusBSqOverBSq = (a * a - b * b) / (b * b);
  Lat1 = ToRadians(Lat1);
  Lon1 = ToRadians(Lon1);
  Lat2 = ToRadians(Lat2);
  Lon2 = ToRadians(Lon2);

  const double LL = Lon2 - Lon1;
  const double U1 = std::atan((1 - f) * std::tan(Lat1));
  const double U2 = std::atan((1 - f) * std::tan(Lat2));
  const double cosU1 = std::cos(U1), cosU2 = std::cos(U2);
  const double sinU1 = std::sin(U1), sinU2 = std::sin(U2);
  const double cosU1cosU2 = cosU1 * cosU2;
  const double sinU1sinU2 = sinU1 * sinU2;

  double lambda = LL;
  double sigma = 0, deltaSigma = 0, AA = 0;
  for (int iter = 1; iter <= 20; ++iter) {
    const double lambdaOrig = lambda;
    const double t1 = cosU2 * std::sin(lambda);
    const double t2 = cosU1 * sinU2 - sinU1 * cosU2 * std::cos(lambda);
    const double sinSigma = std::sqrt(t1 * t1 + t2 * t2);
    const double cosSigma = sinU1sinU2 + cosU1cosU2 * std::cos(lambda);
    sigma = std::atan2(sinSigma, cosSigma);
    const double sinAlpha = sinSigma == 0 ? 0 : cosU1cosU2 * std::sin(lambda) / sinSigma;
    const double cosSqAlpha = 1 - sinAlpha * sinAlpha;
    const double cos2SM = cosSqAlpha == 0 ? 0 : cosSigma - 2 * sinU1sinU2 / cosSqAlpha;
    const double uSquared = cosSqAlpha * aSqMinusBSqOverBSq;
    AA = 1 + uSquared / 16384 * (4096 + uSquared * (-768 + uSquared * (320 - 175 * uSquared)));
    const double BB = uSquared / 1024 * (256 + uSquared * (-128 + uSquared * (74 - 47 * uSquared)));
    const double CC = f / 16 * cosSqAlpha * (4 + f * (4 - 3 * cosSqAlpha));
    const double cos2SMSq = cos2SM * cos2SM;
    deltaSigma =
        BB * sinSigma *
        (cos2SM + BB / 4 *
                      (cosSigma * (-1 + 2 * cos2SMSq) -
                       BB / 6 * cos2SM * (-3 + 4 * sinSigma * sinSigma) * (-3 + 4 * cos2SMSq)));
    lambda = LL + (1 - CC) * f * sinAlpha *
                      (sigma + CC * sinSigma * (cos2SM + CC * cosSigma * (-1 + 2 * cos2SMSq)));
    const double delta = std::fabs(lambda) >= 1e-12 ? (lambda - lambdaOrig) / lambda : 0;
    if (std::fabs(delta) < 1e-12) break;
  }
  return b * AA * (sigma - deltaSigma);
}

} // namespace kelvra
