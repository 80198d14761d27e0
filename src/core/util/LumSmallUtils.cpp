#include "core/util/LumSmallUtils.h"
#include "core/util/TextFileWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <iconv.h>
#include <limits>

#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

// One converter per thread: iconv descriptors keep state and are not shareable.
class TCp1251Decoder {
public:
  TCp1251Decoder() : fCd(iconv_open("UTF-8", "CP1251")) {}
  ~TCp1251Decoder() {
    if (fCd != reinterpret_cast<iconv_t>(-1)) iconv_close(fCd);
  }
  TCp1251Decoder(const TCp1251Decoder &) = delete;
  TCp1251Decoder &operator=(const TCp1251Decoder &) = delete;

  void Append(std::string_view in, std::string &out) {
    if (fCd == reinterpret_cast<iconv_t>(-1)) {
      for (size_t i = 0; i < in.size(); ++i)
        AppendUtf8(out, 0xFFFD);
      return;
    }
    iconv(fCd, nullptr, nullptr, nullptr, nullptr);
    char *src = const_cast<char *>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
      char *dst = buf;
      size_t dstLeft = sizeof buf;
      const size_t rc = iconv(fCd, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, dst - buf);
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        // A byte the code page leaves undefined: keep a visible mark instead of losing the rest.
        AppendUtf8(out, 0xFFFD);
        ++src;
        --srcLeft;
      }
    }
  }

private:
  iconv_t fCd;
};

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// Parses unsigned digits of the radix into `v`; false on overflow or no digits.
bool ParseDigits(std::string_view s, int radix, uint64_t limit, uint64_t &v) {
  if (s.empty()) return false;
  v = 0;
  for (char c : s) {
    if (!IsDigit(c, radix)) return false;
    const uint64_t d = static_cast<uint64_t>(HexChar(c));
    if (v > (limit - d) / static_cast<uint64_t>(radix)) return false;
    v = v * radix + d;
  }
  return true;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceLength(bytes, i);
    if (!n) return false;
    i += n;
  }
  return true;
}

std::string AnsiToUtf8(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  // One decision for the whole text: in Windows-1251 a capital letter followed by "ё", "»",
  // "—" or a no-break space happens to be a valid UTF-8 pair, so keeping such runs as UTF-8
  // would garble ordinary Russian text ("Фёдор" read as "Ըдор").
  std::string out;
  out.reserve(bytes.size() * 2);
  thread_local TCp1251Decoder decoder;
  decoder.Append(bytes, out);
  return out;
}

std::string Utf8Valid(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + 8);
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceLength(bytes, i);
    if (n) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      AppendUtf8(out, 0xFFFD);
      ++i;
    }
  }
  return out;
}

std::string PAnsiCharToString(const char *bytes) {
  return bytes ? AnsiToUtf8(std::string_view(bytes)) : std::string();
}

std::string StringToAnsiString(const std::string &text) { return text; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool IsDigit(char c, int32_t radix) {
  switch (radix) {
  case 2:
    return c == '0' || c == '1';
  case 8:
    return c >= '0' && c <= '7';
  case 10:
    return c >= '0' && c <= '9';
  case 16:
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  default:
    return false;
  }
}

bool IsNumber(const std::string &text, int32_t radix) {
  if (text.empty()) return false;
  for (char c : text)
    if (!IsDigit(c, radix)) return false;
  return true;
}

std::string FirstWord(const std::string &text, const std::string &separator) {
  if (separator.empty()) return "";
  const size_t p = text.find(separator);
  return p == std::string::npos ? std::string() : text.substr(0, p);
}

std::string i2s(int64_t value) { return i2s(value, 0, 'd'); }

std::string i2s(int64_t value, int32_t width, char radix) {
  const char r = Lower(radix);
  const uint64_t bits = static_cast<uint64_t>(value);
  std::string digits;
  switch (r) {
  case 'b':
    return i2b(value, width);
  case 'd':
  case 'u': {
    const uint64_t mag = value < 0 ? ~bits + 1 : bits;
    digits = std::to_string(mag);
    const size_t w = width < 1 ? 0 : static_cast<size_t>(width) - (value < 0 ? 1 : 0);
    if (digits.size() < w) digits.insert(0, w - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
  }
  case 'x':
  case 'h': {
    static const char *hex = "0123456789ABCDEF";
    uint64_t v = bits;
    do {
      digits.insert(digits.begin(), hex[v & 15]);
      v >>= 4;
    } while (v);
    if (width > 0 && digits.size() < static_cast<size_t>(width))
      digits.insert(0, width - digits.size(), '0');
    if (radix == 'x' || radix == 'h') digits = LowerCase(digits);
    return digits;
  }
  default: {
    const std::string c(1, radix);
    throw EConvertError("i2s(" + std::to_string(value) + "," +
                        (width < 1 ? std::string() : std::to_string(width)) + ",'" + c +
                        "'): Unsupported radix char ['" + c + "']");
  }
  }
}

std::string i2b(int64_t value, int32_t width) {
  uint64_t v = static_cast<uint64_t>(value);
  std::string r;
  while (v) {
    r.insert(r.begin(), static_cast<char>('0' + (v & 1)));
    v >>= 1;
  }
  if (width > 0 && r.size() < static_cast<size_t>(width)) r.insert(0, width - r.size(), '0');
  return r;
}

std::string i2h(int64_t value, int32_t width) { return i2s(value, width, 'X'); }

std::string f2s(double value, int32_t decimals) {
  std::string text;
  AppendFixed(text, value, decimals);
  return text;
}

void AppendFixed(std::string &aOut, double aValue, int aDecimals) {
  if (std::isnan(aValue)) {
    aOut += "NaN";
    return;
  }
  if (aDecimals <= 0) aDecimals = 2;
  aDecimals = std::min(aDecimals, 60);
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, aValue, std::chars_format::fixed, aDecimals);
  if (res.ec == std::errc()) aOut.append(buf, res.ptr);
}

void AppendInt(std::string &aOut, int64_t aValue) {
  char buf[24];
  aOut.append(buf, std::to_chars(buf, buf + sizeof buf, aValue).ptr);
}

std::string ts2s(TDateTime dt, const std::string &pattern) {
  return std::isnan(dt) ? "NaN" : FormatDateTime(pattern, dt);
}

TDateTime s2ts(const std::string &text) {
  // Hours ":" minutes [":" seconds ["." milliseconds]], blanks around.
  const std::string s = Trim(text);
  size_t i = 0;
  int32_t parts[4] = {0, 0, 0, 0};
  int n = 0;
  while (n < 4) {
    const size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < 4)
      ++i;
    if (i == start) return 0;
    parts[n++] = static_cast<int32_t>(s2i(s.substr(start, i - start), 0));
    if (i == s.size()) break;
    const char sep = s[i];
    if ((sep == ':' && n < 3) || (sep == '.' && n == 3)) {
      ++i;
      continue;
    }
    return 0;
  }
  if (n < 2 || i != s.size()) return 0;
  TDateTime t = 0;
  return TryEncodeTime(parts[0], parts[1], parts[2], parts[3], t) ? t : 0;
}

int64_t str2i(const std::string &text) {
  if (text.starts_with("x")) return h2i(text.substr(1));
  if (text.starts_with("0x")) return h2i(text.substr(2));
  return s2i(text, 0);
}

int64_t s2i(const std::string &text, int64_t def) {
  std::string_view s(text);
  while (!s.empty() && IsSpace(s.front()))
    s.remove_prefix(1);
  bool neg = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    neg = s.front() == '-';
    s.remove_prefix(1);
  }
  uint64_t v = 0;
  if (!s.empty() && (s.front() == '$' || s.front() == 'x' || s.front() == 'X' ||
                     (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')))) {
    s.remove_prefix(s.front() == '0' ? 2 : 1);
    // Hexadecimal carries the 64 bits as they are ("$FFFFFFFFFFFFFFFF" is -1).
    if (!ParseDigits(s, 16, std::numeric_limits<uint64_t>::max(), v)) return def;
    return static_cast<int64_t>(neg ? ~v + 1 : v);
  }
  const uint64_t limit = neg ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1;
  if (!ParseDigits(s, 10, limit, v)) return def;
  return neg ? static_cast<int64_t>(~v + 1) : static_cast<int64_t>(v);
}

double s2f(const std::string &text, double def) {
  std::string s = Trim(text);
  for (char &c : s)
    if (c == ',') c = '.';
  std::string_view v(s);
  bool neg = false;
  if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
    neg = v.front() == '-';
    v.remove_prefix(1);
  }
  // Only plain decimal notation: no "inf", "nan" or hexadecimal.
  if (v.empty() || !((v.front() >= '0' && v.front() <= '9') || v.front() == '.')) return def;
  double r = 0;
  const auto res = std::from_chars(v.data(), v.data() + v.size(), r, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != v.data() + v.size()) return def;
  return neg ? -r : r;
}

int32_t HexChar(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

uint8_t h2b(const std::string &text) {
  if (text.empty()) return 0;
  if (text.size() == 1) return static_cast<uint8_t>(HexChar(text[0]));
  return static_cast<uint8_t>(HexChar(text[0]) * 16 + HexChar(text[1]));
}

int64_t h2i(const std::string &text) {
  std::string_view s(text);
  if (s.starts_with("0x"))
    s.remove_prefix(2);
  else if (s.starts_with("x"))
    s.remove_prefix(1);
  uint64_t v = 0;
  for (char c : s)
    v = v * 16 + static_cast<uint64_t>(HexChar(c));
  return static_cast<int64_t>(v);
}

uint32_t web2color(const std::string &text, uint32_t def) {
  std::string s = text;
  if (s.starts_with("#")) s.erase(0, 1);
  const auto part = [&](size_t at) { return at < s.size() ? s.substr(at, 2) : std::string(); };
  const auto v = static_cast<uint32_t>(h2i(part(4) + part(2) + part(0)));
  return v == 0 ? def : v;
}

std::string color2web(uint32_t color) {
  // Only the RGB bytes: a system colour (0xFF0000nn) has no web form.
  const std::string s = i2h(color & 0xFFFFFF, 6);
  return "#" + s.substr(4, 2) + s.substr(2, 2) + s.substr(0, 2);
}

int32_t cmp(int32_t a, int32_t b) { return a > b ? 1 : a < b ? -1 : 0; }

int32_t cmp(double a, double b) {
  const bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return na && nb ? 0 : na ? -1 : 1;
  return a > b ? 1 : a < b ? -1 : 0;
}

int32_t cmp(const std::string &a, const std::string &b) {
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i])
    ++i;
  if (i == n) return a.size() > b.size() ? 1 : a.size() < b.size() ? -1 : 0;
  // UTF-8 byte order is code point order; UTF-16 differs only where a code point above U+FFFF
  // (a surrogate pair, 0xD800..) meets one in U+E000..U+FFFF. Compare the code points there.
  size_t j = i;
  while (j > 0 && (static_cast<unsigned char>(a[j]) & 0xC0) == 0x80)
    --j;
  const auto unit = [j](const std::string &s) -> uint32_t {
    const size_t len = Utf8SequenceLength(s, j);
    const auto b0 = static_cast<unsigned char>(s[j]);
    if (len <= 1) return b0;
    uint32_t cp = b0 & (0x7F >> len);
    for (size_t k = 1; k < len; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[j + k]) & 0x3F);
    return cp;
  };
  const uint32_t ca = unit(a), cb = unit(b);
  const auto key = [](uint32_t cp) { return cp >= 0x10000 ? 0xD800 + ((cp - 0x10000) >> 10) : cp; };
  const uint32_t ka = key(ca), kb = key(cb);
  if (ka != kb) return ka > kb ? 1 : -1;
  return ca > cb   ? 1
         : ca < cb ? -1
                   : (static_cast<unsigned char>(a[i]) > static_cast<unsigned char>(b[i]) ? 1 : -1);
}

} // namespace kelvra
