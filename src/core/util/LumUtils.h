#pragma once
// Integer to text in radix 2, 8, 10 or 16, and 16-bit word helpers.
#include <cstdint>
#include <string>

namespace kelvra {

// "" for a radix other than 16, 10, 8, 2. Radix 10 writes "-" before the padded digits of a
// negative value; the other radices take the value as unsigned 64-bit.
std::string IToS(int64_t value, int32_t width, int32_t radix);
// Decimal: "-" in front of IToS of the absolute value padded to `width`.
std::string i2s(int64_t value, int32_t width);
inline uint16_t HiWord(uint32_t v) { return static_cast<uint16_t>(v >> 16); }
inline uint16_t LoWord(uint32_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
// Unsigned quotient with its remainder; a divisor of 0 gives 0 and the dividend as remainder.
uint64_t Div64(uint64_t dividend, uint64_t divisor, uint64_t &remainder);
inline int64_t iif_i(bool condition, int64_t a, int64_t b) { return condition ? a : b; }

} // namespace kelvra
