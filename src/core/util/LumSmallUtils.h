#pragma once
// Conversions between numbers, colours, times and text, and small helpers. Numbers are
// written with "." and read with "." or ","; conversions from text never throw.
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/util/LumDates.h"

namespace kelvra {

// "No value" for every measured quantity (a coordinate, a speed, a radius).
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Raised only by i2s for an unknown radix character.
class EConvertError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Legacy text, decided once for the whole text: valid UTF-8 as a whole stays UTF-8, anything
// else is Windows-1251 from the first byte to the last.
bool IsValidUtf8(std::string_view bytes);
std::string AnsiToUtf8(std::string_view bytes);
// Text that is UTF-8 by its mark or by the caller's word: every byte that is not part of a
// valid sequence becomes U+FFFD.
std::string Utf8Valid(std::string_view bytes);
std::string PAnsiCharToString(const char *bytes);
// Writing "ANSI" writes UTF-8 (no mark), so nothing is lost to a code page.
std::string StringToAnsiString(const std::string &text);

char Lower(char c);
bool IsDigit(char c, int32_t radix = 10);
bool IsNumber(const std::string &text, int32_t radix = 10);
std::string FirstWord(const std::string &text, const std::string &separator);

// Radix character b, d, u, x, h (either case; lower-case x and h give lower-case digits).
// Throws EConvertError for any other radix character.
std::string i2s(int64_t value);
std::string i2s(int64_t value, int32_t width, char radix);
std::string i2b(int64_t value, int32_t width = 0);
std::string i2h(int64_t value, int32_t width = 0);
// Fixed point with `decimals` digits (2 when decimals <= 0), "." always; "NaN" for NaN.
std::string f2s(double value, int32_t decimals = 2);
// "NaN" for NaN, else the date-time formatted with the pattern.
std::string ts2s(TDateTime dt, const std::string &pattern);
// A time of day "h:n", "h:n:s" or "h:n:s.z"; 0 when the text is not a time.
TDateTime s2ts(const std::string &text);
int64_t str2i(const std::string &text);
int64_t s2i(const std::string &text, int64_t def = 0);
double s2f(const std::string &text, double def = 0);
int32_t HexChar(char c);
uint8_t h2b(const std::string &text);
int64_t h2i(const std::string &text);

// Colours are 0x00BBGGRR; text is "#RRGGBB". 0xFF0000nn names system colour nn.
uint32_t web2color(const std::string &text, uint32_t def);
std::string color2web(uint32_t color);

template <class T> T iif(bool condition, T ifTrue, T ifFalse) {
  return condition ? ifTrue : ifFalse;
}
inline std::string iif(bool condition, const char *ifTrue, const char *ifFalse) {
  return condition ? ifTrue : ifFalse;
}
inline int32_t min(int32_t a, int32_t b) { return a < b ? a : b; }
inline int32_t max(int32_t a, int32_t b) { return a > b ? a : b; }
int32_t cmp(int32_t a, int32_t b);
// NaN sorts below every number; two NaNs are equal.
int32_t cmp(double a, double b);
// Ordinal order of UTF-16 code units (what the original platform sorted by).
int32_t cmp(const std::string &a, const std::string &b);
inline bool bitAnd(int64_t a, int64_t b) { return (a & b) != 0; }

} // namespace kelvra
