#pragma once
// printf-like formatting of texts that come from translation files and log calls. The format
// is data, not code, so a bad one must never crash: too few arguments or an argument of the
// wrong kind gives the text back unformatted.

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace kelvra {

// One argument: a text, an integer or a number.
class TFmtArg {
public:
  TFmtArg(const char *s) : fValue(std::string(s ? s : "")) {}
  TFmtArg(std::string s) : fValue(std::move(s)) {}
  TFmtArg(std::string_view s) : fValue(std::string(s)) {}
  template <typename T,
            std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
  TFmtArg(T v) : fValue(int64_t(v)) {}
  TFmtArg(bool v) : fValue(std::string(v ? "true" : "false")) {}
  TFmtArg(double v) : fValue(v) {}
  TFmtArg(float v) : fValue(double(v)) {}

  const std::variant<std::string, int64_t, double> &Value() const { return fValue; }

private:
  std::variant<std::string, int64_t, double> fValue;
};

using TFmtArgs = std::vector<TFmtArg>;

// Placeholders: "%" [flags "-" "0" "+" " "] [width] ["." precision] type, where type is
//   s  text (a number is written as text too; precision = at most that many characters)
//   d  integer ("%.3d" pads with zeros); u the same
//   x  X  hexadecimal integer
//   f  fixed-point number, 2 decimals unless a precision is given (an integer is accepted)
//   e  g  n  scientific, general, fixed with the precision (n as f)
//   %% a percent sign
// Returns the text unchanged when an argument is missing, of the wrong kind, or the
// placeholder is unknown; *ok (when given) tells which happened.
std::string Format(const std::string &fmt, const TFmtArgs &args, bool *ok = nullptr);

} // namespace kelvra
