#pragma once
// Helpers the parts of kelvra-sim's world share (one world, several files).

#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimUtil.h"
#include "sim/SimWorld.h"

namespace kelvra::sim {

inline json DateOrNull(int64_t t) { return t > 0 ? json(FormatUtc(t)) : json(nullptr); }

// Condition of a trap on a value: numbers compare as numbers, other texts only for equality,
// inequality and containment.
inline bool ConditionHolds(const std::string &value, int cond, const std::string &limit) {
  double x, v;
  bool numeric = ToDouble(value, x) && ToDouble(limit, v);
  switch (cond) {
  case 1:
    return numeric && x > v;
  case 2:
    return numeric && x < v;
  case 3:
    return numeric ? x == v : value == limit;
  case 4:
    return numeric ? x != v : value != limit;
  case 5:
    return numeric && x >= v;
  case 6:
    return numeric && x <= v;
  case 7:
    return value.find(limit) != std::string::npos;
  default:
    return false;
  }
}

inline std::string Lower(std::string s) {
  for (char &c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

} // namespace kelvra::sim
