#include "core/util/LumFormat.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

std::string NumberText(double v, int precision, char type) {
  char conv[16];
  std::snprintf(conv, sizeof conv, "%%.%d%c", precision, type);
  char buf[512];
  std::snprintf(buf, sizeof buf, conv, v);
  return buf;
}

struct TPlaceholder {
  bool left = false, zero = false, plus = false, space = false;
  int width = -1;
  int precision = -1;
  char type = 0;
};

// Pads to the width in characters; zeros go after a sign.
std::string Pad(std::string s, const TPlaceholder &sp) {
  size_t len = size_t(Utf8Length(s));
  if (sp.width < 0 || len >= size_t(sp.width)) return s;
  size_t fill = size_t(sp.width) - len;
  if (sp.left) return s + std::string(fill, ' ');
  if (sp.zero && sp.type != 's') {
    size_t signLen = (!s.empty() && (s[0] == '-' || s[0] == '+' || s[0] == ' ')) ? 1 : 0;
    return s.substr(0, signLen) + std::string(fill, '0') + s.substr(signLen);
  }
  return std::string(fill, ' ') + s;
}

bool FormatOne(const TPlaceholder &sp, const TFmtArg &arg, std::string &out) {
  const auto &v = arg.Value();
  const std::string *str = std::get_if<std::string>(&v);
  const int64_t *i = std::get_if<int64_t>(&v);
  const double *d = std::get_if<double>(&v);
  std::string s;
  switch (sp.type) {
  case 's':
    if (str)
      s = *str;
    else if (i)
      s = std::to_string(*i);
    else
      s = NumberText(*d, 15, 'g');
    if (sp.precision >= 0) s = Utf8Copy(s, 0, sp.precision);
    break;
  case 'd':
  case 'u': {
    if (!i) return false;
    uint64_t mag = *i < 0 ? uint64_t(0) - uint64_t(*i) : uint64_t(*i);
    std::string digits = std::to_string(mag);
    if (sp.precision > 0 && digits.size() < size_t(sp.precision))
      digits.insert(0, size_t(sp.precision) - digits.size(), '0');
    s = (*i < 0 ? "-" : (sp.plus ? "+" : (sp.space ? " " : ""))) + digits;
    break;
  }
  case 'x':
  case 'X': {
    if (!i) return false;
    char buf[32];
    std::snprintf(buf, sizeof buf, sp.type == 'x' ? "%" PRIx64 : "%" PRIX64, uint64_t(*i));
    s = buf;
    if (sp.precision > 0 && s.size() < size_t(sp.precision))
      s.insert(0, size_t(sp.precision) - s.size(), '0');
    break;
  }
  case 'f':
  case 'n':
  case 'e':
  case 'g': {
    double x;
    if (d)
      x = *d;
    else if (i)
      x = double(*i);
    else
      return false;
    if (std::isnan(x)) {
      s = "NaN";
      break;
    }
    int prec = sp.precision >= 0 ? std::min(sp.precision, 100) : (sp.type == 'g' ? 15 : 2);
    s = NumberText(x, prec, sp.type == 'n' ? 'f' : sp.type);
    if (x >= 0 && sp.plus)
      s = "+" + s;
    else if (x >= 0 && sp.space)
      s = " " + s;
    break;
  }
  default:
    return false;
  }
  out += Pad(std::move(s), sp);
  return true;
}

} // namespace

std::string Format(const std::string &fmt, const TFmtArgs &args, bool *ok) {
  std::string out;
  out.reserve(fmt.size() + 16);
  size_t next = 0;
  auto fail = [&]() {
    if (ok) *ok = false;
    return fmt;
  };
  for (size_t p = 0; p < fmt.size(); ++p) {
    char c = fmt[p];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++p >= fmt.size()) return fail();
    if (fmt[p] == '%') {
      out += '%';
      continue;
    }
    TPlaceholder sp;
    for (; p < fmt.size(); ++p) {
      char f = fmt[p];
      if (f == '-')
        sp.left = true;
      else if (f == '0')
        sp.zero = true;
      else if (f == '+')
        sp.plus = true;
      else if (f == ' ')
        sp.space = true;
      else
        break;
    }
    auto readNumber = [&](int &n) {
      if (p < fmt.size() && fmt[p] == '*') {
        // The width or precision comes from the arguments.
        if (next >= args.size()) return false;
        const int64_t *v = std::get_if<int64_t>(&args[next++].Value());
        if (!v) return false;
        n = int(std::clamp<int64_t>(*v, 0, 1000));
        ++p;
        return true;
      }
      int v = -1;
      while (p < fmt.size() && fmt[p] >= '0' && fmt[p] <= '9') {
        v = (v < 0 ? 0 : v) * 10 + (fmt[p] - '0');
        if (v > 1000) v = 1000; // a silly width must not eat memory
        ++p;
      }
      n = v;
      return true;
    };
    if (!readNumber(sp.width)) return fail();
    if (p < fmt.size() && fmt[p] == '.') {
      ++p;
      if (!readNumber(sp.precision)) return fail();
      if (sp.precision < 0) sp.precision = 0;
    }
    if (p >= fmt.size()) return fail();
    sp.type = fmt[p];
    if (sp.type >= 'A' && sp.type <= 'Z' && sp.type != 'X') sp.type = char(sp.type - 'A' + 'a');
    if (next >= args.size()) return fail();
    if (!FormatOne(sp, args[next++], out)) return fail();
  }
  if (ok) *ok = true;
  return out;
}

} // namespace kelvra
