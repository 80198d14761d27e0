#pragma once
// Text search as a person types it: case and accents do not matter (Unicode case folding,
// Cyrillic included), several words must all be found, and a phone number is found however its
// digits are grouped.

#include <string>
#include <string_view>
#include <vector>

namespace kelvra {

// The folded form of UTF-8 text: full case folding, accents dropped ("É" and "é" become "e",
// "Ё" becomes "е", "ß" becomes "ss"); Cyrillic letters with a mark of their own (й, ї, ў) stay.
// A byte that is not part of valid UTF-8 is kept as it is.
std::string SearchFold(std::string_view text);

// The digits of a text, in order ("+7 (912) 345-67" gives "791234567").
std::string DigitsOf(std::string_view text);

class TSearchQuery {
public:
  explicit TSearchQuery(std::string_view text = {});

  // Nothing typed but blanks: everything matches.
  bool Empty() const { return fTerms.empty(); }
  // `folded` is the record's searchable texts, each folded and separated by '\n' (so that a word
  // is never found across two fields); `digits` the digits of its phone-like fields, separated by
  // '\n'. Every typed word must be in `folded`; a query that looks like a phone number also
  // matches when its digits are in `digits`.
  bool Matches(std::string_view folded, std::string_view digits = {}) const;

private:
  std::vector<std::string> fTerms;
  std::string fDigits; // set when the query is a phone number: digits and + - ( ) . / blanks only
};

} // namespace kelvra
