#pragma once
// What the "Filter Track" dialog holds and decides, apart from its window: the fields as
// typed, kept in section "Filter" of the settings file, their check and the filter they make.

#include <memory>
#include <string>

#include "core/tracks/LocationFilter.h"

namespace kelvra {

class TLumIniFile;

struct TFilterSettings {
  int Filter = 0; // the open page: 0 median, 1 Kalman
  std::string Size = "3";
  std::string Error = "0.001";
  std::string Speed = "0.2";

  void Load(const TLumIniFile &ini);
  void Save(TLumIniFile &ini) const;
};

enum class TFilterField { None, Size, Error, Speed };

// The refused field and the message for the user; Field None when the settings pass.
struct TFilterCheck {
  TFilterField Field = TFilterField::None;
  std::string Message;
};

// Refuses what would fail later: a window below 3 or above 16, a measurement error of 0 or
// less, a speed outside 0.01 to 1. Throws std::runtime_error "Unknow filter [n]" for another page.
TFilterCheck CheckFilterSettings(const TFilterSettings &s);
// The filter of the open page; throws like CheckFilterSettings and TMedian.
std::unique_ptr<TLocationFilter> CreateFilter(const TFilterSettings &s);

} // namespace kelvra
