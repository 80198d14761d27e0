#include "core/tracks/KalmanFilter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/util/LumSmallUtils.h"

namespace kelvra {


TKalman::TKalman(double aErrMeasure, double aQMeasure)
    : q_measure(std::isnan(aQMeasure) ? DEF_Q_MEASURE : aQMeasure),
      err_measure(std::isnan(aErrMeasure) ? DEF_ERR_MEASURE : aErrMeasure),
      err_estimate(err_measure), last_estimate(kNaN) {}

double TKalman::Kalman(double aMeasurement) {
  if (std::isnan(last_estimate)) last_estimate = aMeasurement;
  const double gain = err_estimate / (err_estimate + err_measure);
  const double estimate = last_estimate + gain * (aMeasurement - last_estimate);
  err_estimate = (1 - gain) * err_estimate + std::fabs(last_estimate - estimate) * q_measure;
  last_estimate = estimate;
  return estimate;
}

TKalmanFilter::TKalmanFilter(double aErrMeasure, double aQMeasure)
    : mLat(aErrMeasure, aQMeasure), mLon(aErrMeasure, aQMeasure) {
  mSign = "kalman-" + f2s(mLat.err_measure, 4) + "-" + f2s(mLat.q_measure, 2);
}

void TKalmanFilter::FilterLatLon(double &lat, double &lon) {
  lat = mLat.Kalman(lat);
  lon = mLon.Kalman(lon);
}

} // namespace kelvra
