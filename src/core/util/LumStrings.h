#pragma once
// String list and free string functions. All text is UTF-8; "characters" in lengths and
// positions of Head/Tail are code points, positions returned by FirstPos/StrWord are 1-based
// byte offsets (the separators they look for are ASCII, so byte offsets are exact).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra {

// Compare function of lists and tables: negative, zero or positive.
using TLumCompareFunc = std::function<int32_t(const std::string &, const std::string &)>;

// "Trimmed": every character with a code up to 32 removed at both ends.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// ASCII-only case folding (A-Z / a-z), as every case-insensitive match of the program uses.
std::string LowerCase(std::string_view s);
std::string UpperCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view s); // prefix, case-insensitive

// Code points of UTF-8 text (a byte that is not part of a valid sequence counts as one).
int64_t Utf8Length(std::string_view s);
// Bytes of the valid UTF-8 sequence starting at byte i, 0 when none starts there.
size_t Utf8SequenceLength(std::string_view s, size_t i);
void AppendUtf8(std::string &out, uint32_t codePoint);
// The first `count` code points starting at code point `from` (0-based).
std::string Utf8Copy(std::string_view s, int64_t from, int64_t count);

class TLumStringList {
public:
  TLumStringList() = default;
  explicit TLumStringList(const std::string &text);
  virtual ~TLumStringList() = default;

  void Clear();
  int32_t Count() const { return static_cast<int32_t>(fList.size()); }
  int32_t Add(const std::string &s);
  int32_t AddText(const std::string &text);
  void Insert(int32_t index, const std::string &s);
  void Delete(int32_t index);
  void Delete(const std::string &s);
  void DeleteEmpty(bool trimFirst = false);
  void TrimAll();
  int32_t Push(const std::string &s) { return Add(s); }
  std::string Pop();
  std::string Shift();
  void Unshift(const std::string &s) { Insert(0, s); }
  std::string First(int32_t n) const;
  std::string Last(int32_t n) const;
  std::string Join(const std::string &separator, int32_t from = 0, int32_t to = INT32_MAX) const;
  int32_t IndexOf(const std::string &s) const;
  int32_t Find(const std::string &sub) const;
  // The list's order: OnCompare when set, else numbers by value, else ordinal.
  int32_t Compare(const std::string &a, const std::string &b) const;
  void Sort(bool descending = false);
  void Assign(const TLumStringList *list);
  void Assign(const std::string &text, const std::string &separator);
  // -1 when the file does not exist, else the number of lines read.
  int32_t LoadFromFile(const std::string &name = "");

  // Reading outside 0..Count-1 gives ""; writing there is ignored.
  std::string Strings(int32_t index) const;
  void SetStrings(int32_t index, const std::string &s);
  std::string operator[](int32_t index) const { return Strings(index); }
  // Items joined with CR LF / replaced by the lines of the text.
  std::string Text() const;
  void SetText(const std::string &text);

  const TLumCompareFunc &OnCompare() const { return fOnCompare; }
  void SetOnCompare(TLumCompareFunc f) { fOnCompare = std::move(f); }
  int64_t Tag() const { return fTag; }
  void SetTag(int64_t tag) { fTag = tag; }
  const std::string &FileName() const { return fFileName; }
  void SetFileName(const std::string &name) { fFileName = name; }
  int32_t Iterator() const { return fIterator; }
  void SetIterator(int32_t i) { fIterator = i; }

  // Range-for over the items in order.
  std::vector<std::string>::const_iterator begin() const { return fList.begin(); }
  std::vector<std::string>::const_iterator end() const { return fList.end(); }
  const std::vector<std::string> &Items() const { return fList; }

private:
  std::vector<std::string> fList;
  TLumCompareFunc fOnCompare;
  int32_t fIterator = 0;
  int64_t fTag = 0;
  std::string fFileName;
};

// Backslash escapes (\! \" \\ \n \r \s \t \xHH \DDD) expanded.
std::string ExpandSpecChars(const std::string &s);
// Every occurrence of `what` (case-insensitive, ASCII) replaced by `by`.
std::string ReplaceSubstr(const std::string &s, const std::string &what, const std::string &by);
std::string ReplaceSubstr(const std::string &s, const std::vector<std::string> &what,
                          const std::string &by);
std::string MakeStr(const std::string &s, int32_t n);
int32_t CharsCount(const std::string &s, char c);
// 1-based position of the first occurrence of the first listed character that occurs; -1.
int32_t FirstPos(const std::string &chars, const std::string &s);
// The n-th word (from 1); `position` receives the word's 1-based start when found.
std::string StrWord(int32_t n, const std::string &s, const std::string &separators,
                    int32_t *position = nullptr);
std::string Head(const std::string &s, int64_t n);
std::string Tail(const std::string &s, int64_t n);

// A set of single characters for the character form of Dequote.
struct TLumCharSet {
  explicit TLumCharSet(std::string chars) : fChars(std::move(chars)) {}
  bool Has(char c) const { return fChars.find(c) != std::string::npos; }
  std::string fChars;
};
std::string Dequote(const std::string &s, const std::string &opening = "\"",
                    const std::string &closing = "\"");
std::string Dequote(const std::string &s, const TLumCharSet &opening, const TLumCharSet &closing);
// Every character below code 32 removed.
std::string RemoveTrash(const std::string &s);

} // namespace kelvra
