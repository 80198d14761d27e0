#include "core/util/LumUtils.h"

namespace kelvra {

std::string IToS(int64_t value, int32_t width, int32_t radix) {
  if (radix != 16 && radix != 10 && radix != 8 && radix != 2) return "";
  static const char *digits = "0123456789ABCDEF";
  const bool neg = radix == 10 && value < 0;
  uint64_t v = static_cast<uint64_t>(value);
  if (neg) v = ~v + 1;
  std::string r;
  do {
    r.insert(r.begin(), digits[v % static_cast<uint64_t>(radix)]);
    v /= static_cast<uint64_t>(radix);
  } while (v);
  if (width > 0 && r.size() < static_cast<size_t>(width)) r.insert(0, width - r.size(), '0');
  return neg ? "-" + r : r;
}

std::string i2s(int64_t value, int32_t width) { return IToS(value, width, 10); }

uint64_t Div64(uint64_t dividend, uint64_t divisor, uint64_t &remainder) {
  if (divisor == 0) {
    remainder = dividend;
    return 0;
  }
  remainder = dividend % divisor;
  return dividend / divisor;
}

} // namespace kelvra
