#pragma once
// A sensor's short code ("ign", "temp", "event") as a track point holds it. A long track repeats
// the same few codes on every point, so each distinct code is kept once for the whole program and
// a point refers to it with four bytes instead of a string of its own.
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra {

class TSensorSign {
public:
  TSensorSign() = default; // the empty code
  explicit TSensorSign(std::string_view aText);
  TSensorSign &operator=(std::string_view aText) { return *this = TSensorSign(aText); }

  // The code's text; valid for the life of the program.
  const std::string &str() const;
  bool empty() const { return fId == 0; }

  friend bool operator==(TSensorSign a, TSensorSign b) { return a.fId == b.fId; }
  friend bool operator==(TSensorSign a, std::string_view b) { return a.str() == b; }

private:
  std::uint32_t fId = 0; // 0 is the empty code
};

} // namespace kelvra
