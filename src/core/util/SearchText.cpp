#include "core/util/SearchText.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

struct TFold {
  uint32_t cp;
  uint8_t count;
  uint32_t to[3];
};

constexpr TFold kFolds[] = {
#include "core/util/SearchFoldTable.inc"
};

// The code point of the valid UTF-8 sequence of `len` bytes at i.
uint32_t DecodeAt(std::string_view s, size_t i, size_t len) {
  const auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(s[i + k])); };
  switch (len) {
  case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
  case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  default: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
}

bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= ' '; }

} // namespace

std::string SearchFold(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      r += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
      ++i;
      continue;
    }
    const size_t len = Utf8SequenceLength(text, i);
    if (len == 0) { // not UTF-8: kept, so that nothing typed is lost to the comparison
      r += c;
      ++i;
      continue;
    }
    const uint32_t cp = DecodeAt(text, i, len);
    const auto *f = std::lower_bound(std::begin(kFolds), std::end(kFolds), cp,
                                     [](const TFold &e, uint32_t v) { return e.cp < v; });
    if (f != std::end(kFolds) && f->cp == cp) {
      for (int k = 0; k < f->count; ++k)
        AppendUtf8(r, f->to[k]);
    } else {
      r.append(text.substr(i, len));
    }
    i += len;
  }
  return r;
}

std::string DigitsOf(std::string_view text) {
  std::string r;
  for (char c : text)
    if (c >= '0' && c <= '9') r += c;
  return r;
}

TSearchQuery::TSearchQuery(std::string_view text) {
  const std::string folded = SearchFold(text);
  for (size_t i = 0; i < folded.size();) {
    while (i < folded.size() && IsBlankChar(folded[i]))
      ++i;
    size_t j = i;
    while (j < folded.size() && !IsBlankChar(folded[j]))
      ++j;
    if (j > i) fTerms.emplace_back(folded, i, j - i);
    i = j;
  }
  const bool phoneLike =
      !fTerms.empty() && std::all_of(folded.begin(), folded.end(), [](char c) {
        return (c >= '0' && c <= '9') || IsBlankChar(c) || c == '+' || c == '-' || c == '(' ||
               c == ')' || c == '.' || c == '/';
      });
  if (phoneLike) fDigits = DigitsOf(folded);
}

bool TSearchQuery::Matches(std::string_view folded, std::string_view digits) const {
  if (fTerms.empty()) return true;
  if (!fDigits.empty() && digits.find(fDigits) != std::string_view::npos) return true;
  return std::all_of(fTerms.begin(), fTerms.end(), [&](const std::string &t) {
    return folded.find(t) != std::string_view::npos;
  });
}

} // namespace kelvra
