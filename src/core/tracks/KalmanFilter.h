#pragma once
// A one-dimensional Kalman filter, run on latitude and longitude separately (in degrees).

#include "core/tracks/LocationFilter.h"

namespace kelvra {

class TKalman {
public:
  static constexpr double DEF_Q_MEASURE = 0.2;
  static constexpr double DEF_ERR_MEASURE = 0.001;

  // A NaN argument takes the class default.
  TKalman(double aErrMeasure, double aQMeasure);
  // Takes one measurement and returns the new estimate.
  double Kalman(double aMeasurement);

  double q_measure;
  double err_measure;
  double err_estimate;
  double last_estimate;
};

class TKalmanFilter : public TLocationFilter {
public:
  // The sign is "kalman-<error, 4 decimals>-<speed, 2 decimals>".
  TKalmanFilter(double aErrMeasure, double aQMeasure);

protected:
  void FilterLatLon(double &lat, double &lon) override;

private:
  TKalman mLat;
  TKalman mLon;
};

} // namespace kelvra
