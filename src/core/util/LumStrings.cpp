#include "core/util/LumStrings.h"

#include <algorithm>

#include "core/util/LumFiles.h"
#include "core/util/LumSmallUtils.h"

namespace kelvra {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// Length of the valid UTF-8 sequence starting at s[i], or 0 when none starts there.
size_t Utf8SeqLen(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  size_t n;
  uint32_t min;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, min = 0x80, cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, min = 0x800, cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, min = 0x10000, cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// Byte offset of code point `cp` (clamped to the end).
size_t Utf8Offset(std::string_view s, int64_t cp) {
  size_t i = 0;
  while (cp > 0 && i < s.size()) {
    const size_t n = Utf8SeqLen(s, i);
    i += n ? n : 1;
    --cp;
  }
  return i;
}

} // namespace

size_t Utf8SequenceLength(std::string_view s, size_t i) { return Utf8SeqLen(s, i); }

void AppendUtf8(std::string &out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

std::string TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i]))
    ++i;
  return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1]))
    --n;
  return std::string(s.substr(0, n));
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char &c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char &c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsText(std::string_view prefix, std::string_view s) {
  return s.size() >= prefix.size() && SameText(prefix, s.substr(0, prefix.size()));
}

int64_t Utf8Length(std::string_view s) {
  int64_t n = 0;
  for (size_t i = 0; i < s.size(); ++n) {
    const size_t k = Utf8SeqLen(s, i);
    i += k ? k : 1;
  }
  return n;
}

std::string Utf8Copy(std::string_view s, int64_t from, int64_t count) {
  if (from < 0) from = 0;
  if (count <= 0) return "";
  const size_t a = Utf8Offset(s, from);
  const size_t b = a + Utf8Offset(s.substr(a), count);
  return std::string(s.substr(a, b - a));
}

// ---------------------------------------------------------------------------------------------
// TLumStringList

TLumStringList::TLumStringList(const std::string &text) { AddText(text); }

void TLumStringList::Clear() {
  fList.clear();
  fIterator = 0;
  fTag = 0;
}

int32_t TLumStringList::Add(const std::string &s) {
  fList.push_back(s);
  return Count();
}

int32_t TLumStringList::AddText(const std::string &text) {
  if (text.empty()) return 0;
  std::vector<std::string> pieces;
  std::string cur;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      pieces.push_back(std::move(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  // A break at the very end leaves no empty piece after it.
  if (!cur.empty() || (text.back() != '\r' && text.back() != '\n')) pieces.push_back(cur);
  for (size_t k = 0; k < pieces.size(); ++k) {
    if (k == 0 && !fList.empty())
      fList.back() += pieces[0];
    else
      fList.push_back(std::move(pieces[k]));
  }
  return static_cast<int32_t>(pieces.size());
}

void TLumStringList::Insert(int32_t index, const std::string &s) {
  index = std::clamp(index, 0, Count());
  fList.insert(fList.begin() + index, TrimRight(s));
}

void TLumStringList::Delete(int32_t index) {
  if (index >= 0 && index < Count()) fList.erase(fList.begin() + index);
}

void TLumStringList::Delete(const std::string &s) { Delete(IndexOf(s)); }

void TLumStringList::DeleteEmpty(bool trimFirst) {
  if (trimFirst) TrimAll();
  std::erase_if(fList, [](const std::string &s) { return Trim(s).empty(); });
}

void TLumStringList::TrimAll() {
  for (auto &s : fList)
    s = Trim(s);
}

std::string TLumStringList::Pop() {
  if (fList.empty()) return "";
  std::string r = std::move(fList.back());
  fList.pop_back();
  return r;
}

std::string TLumStringList::Shift() {
  if (fList.empty()) return "";
  std::string r = std::move(fList.front());
  fList.erase(fList.begin());
  return r;
}

std::string TLumStringList::First(int32_t n) const { return Join("\r", 0, n - 1); }

std::string TLumStringList::Last(int32_t n) const { return Join("\r", Count() - n, Count() - 1); }

std::string TLumStringList::Join(const std::string &separator, int32_t from, int32_t to) const {
  from = std::max(from, 0);
  to = std::min(to, Count() - 1);
  std::string r;
  for (int32_t i = from; i <= to; ++i) {
    if (i > from) r += separator;
    r += fList[i];
  }
  return r;
}

int32_t TLumStringList::IndexOf(const std::string &s) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (fList[i] == s) return i;
  return -1;
}

int32_t TLumStringList::Find(const std::string &sub) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (fList[i].find(sub) != std::string::npos) return i;
  return -1;
}

namespace {
bool AllDigits(const std::string &s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}
// Compares two digit strings by value without overflow: leading zeros dropped, then the longer
// one is larger, then digit by digit.
int32_t CompareDigits(const std::string &a, const std::string &b) {
  const size_t za = std::min(a.find_first_not_of('0'), a.size());
  const size_t zb = std::min(b.find_first_not_of('0'), b.size());
  const size_t la = a.size() - za, lb = b.size() - zb;
  if (la != lb) return la > lb ? 1 : -1;
  const int c = a.compare(za, la, b, zb, lb);
  return c > 0 ? 1 : c < 0 ? -1 : 0;
}
} // namespace

int32_t TLumStringList::Compare(const std::string &a, const std::string &b) const {
  if (fOnCompare) return fOnCompare(a, b);
  if (a == b) return 0;
  if (AllDigits(a) && AllDigits(b)) {
    // Equal values ("01" and "1") fall back to the ordinal order so that the order stays total
    // and sorting stays well defined.
    const int32_t c = CompareDigits(a, b);
    if (c != 0) return c;
  }
  return cmp(a, b) > 0 ? 1 : -1;
}

void TLumStringList::Sort(bool descending) {
  // Merge sort: stays in bounds even when an OnCompare function is not a consistent order.
  std::stable_sort(fList.begin(), fList.end(), [this](const std::string &a, const std::string &b) {
    return Compare(a, b) < 0;
  });
  if (descending) std::reverse(fList.begin(), fList.end());
}

void TLumStringList::Assign(const TLumStringList *list) {
  if (!list || list == this) return;
  fList = list->fList;
}

void TLumStringList::Assign(const std::string &text, const std::string &separator) {
  SetText(separator.empty() ? text : ReplaceSubstr(text, separator, "\r"));
}

int32_t TLumStringList::LoadFromFile(const std::string &name) {
  if (!name.empty()) fFileName = name;
  if (!FileExists(fFileName)) return -1;
  fList.clear();
  AddText(ReadAsString(fFileName));
  return Count();
}

std::string TLumStringList::Strings(int32_t index) const {
  return index >= 0 && index < Count() ? fList[index] : std::string();
}

void TLumStringList::SetStrings(int32_t index, const std::string &s) {
  if (index >= 0 && index < Count()) fList[index] = TrimRight(s);
}

std::string TLumStringList::Text() const { return Join("\r\n"); }

void TLumStringList::SetText(const std::string &text) {
  fList.clear();
  AddText(text);
}

// ---------------------------------------------------------------------------------------------
// Free functions

std::string ExpandSpecChars(const std::string &s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      r += s[i];
      continue;
    }
    if (i + 1 >= s.size()) break; // a backslash at the very end is dropped
    const char c = s[i + 1];
    switch (c) {
    case '!':
    case '"':
    case '\\':
      r += c;
      ++i;
      break;
    case 'n':
      r += '\n';
      ++i;
      break;
    case 'r':
      r += '\r';
      ++i;
      break;
    case 's':
      r += ' ';
      ++i;
      break;
    case 't':
      r += '\t';
      ++i;
      break;
    case 'x':
      AppendUtf8(r, h2b(s.substr(i + 2, 2)));
      i += std::min<size_t>(3, s.size() - 1 - i);
      break;
    default:
      if (c >= '0' && c <= '9') {
        // A character code, written as UTF-8 like every other character.
        AppendUtf8(r, static_cast<uint32_t>(s2i(s.substr(i + 1, 3), 0)));
        i += std::min<size_t>(3, s.size() - 1 - i);
      } else {
        r += '\\';
      }
    }
  }
  return r;
}

std::string ReplaceSubstr(const std::string &s, const std::string &what, const std::string &by) {
  if (what.empty()) return s;
  const std::string ls = LowerCase(s), lw = LowerCase(what);
  std::string r;
  size_t pos = 0;
  for (;;) {
    const size_t f = ls.find(lw, pos);
    if (f == std::string::npos) break;
    r.append(s, pos, f - pos);
    r += by;
    pos = f + what.size();
  }
  r.append(s, pos, std::string::npos);
  return r;
}

std::string ReplaceSubstr(const std::string &s, const std::vector<std::string> &what,
                          const std::string &by) {
  std::string r = s;
  for (const auto &w : what)
    r = ReplaceSubstr(r, w, by);
  return r;
}

std::string MakeStr(const std::string &s, int32_t n) {
  std::string r;
  if (n <= 0) return r;
  r.reserve(s.size() * n);
  for (int32_t i = 0; i < n; ++i)
    r += s;
  return r;
}

int32_t CharsCount(const std::string &s, char c) {
  return static_cast<int32_t>(std::count(s.begin(), s.end(), c));
}

int32_t FirstPos(const std::string &chars, const std::string &s) {
  for (char c : chars) {
    const size_t p = s.find(c);
    if (p != std::string::npos) return static_cast<int32_t>(p) + 1;
  }
  return -1;
}

std::string StrWord(int32_t n, const std::string &s, const std::string &separators,
                    int32_t *position) {
  if (n < 1 || separators.empty()) return "";
  size_t pos = 0;
  for (int32_t w = 1; w < n; ++w) {
    const size_t f = s.find_first_of(separators, pos);
    if (f == std::string::npos) return "";
    pos = f + 1;
    if (separators.size() > 1)
      while (pos < s.size() && separators.find(s[pos]) != std::string::npos)
        ++pos;
  }
  if (position) *position = static_cast<int32_t>(pos) + 1;
  const size_t e = s.find_first_of(separators, pos);
  return s.substr(pos, e == std::string::npos ? std::string::npos : e - pos);
}

std::string Head(const std::string &s, int64_t n) {
  if (n < 0) n = std::max<int64_t>(0, Utf8Length(s) + n);
  return std::string(s, 0, Utf8Offset(s, n));
}

std::string Tail(const std::string &s, int64_t n) {
  if (n <= 0) return std::string(s, Utf8Offset(s, -n));
  const int64_t len = Utf8Length(s);
  return std::string(s, Utf8Offset(s, std::max<int64_t>(0, len - n)));
}

std::string Dequote(const std::string &s, const std::string &opening, const std::string &closing) {
  std::string r = Trim(s);
  if (!opening.empty() && r.starts_with(opening)) r.erase(0, opening.size());
  if (!closing.empty() && r.ends_with(closing)) r.erase(r.size() - closing.size());
  return r;
}

std::string Dequote(const std::string &s, const TLumCharSet &opening, const TLumCharSet &closing) {
  std::string r = Trim(s);
  if (!r.empty() && opening.Has(r.front())) r.erase(0, 1);
  if (!r.empty() && closing.Has(r.back())) r.pop_back();
  return r;
}

std::string RemoveTrash(const std::string &s) {
  std::string r;
  r.reserve(s.size());
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 32) r += c;
  return r;
}

} // namespace kelvra
