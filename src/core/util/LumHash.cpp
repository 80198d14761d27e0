#include "core/util/LumHash.h"

#include "core/util/LumJson.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <numeric>

#include <nlohmann/json.hpp>

#include "core/util/LumFiles.h"
#include "core/util/LumSmallUtils.h"

namespace kelvra {

namespace {

char ClosingOf(char open) { return open == '{' ? '}' : ']'; }
bool IsOpening(char c) { return c == '{' || c == '['; }
bool IsCommentStart(char c) { return c == '#' || c == '/' || c == ';'; }

// A bracketed value cut into lines, each trimmed, empty ones dropped, joined by CR.
std::string NormalizeLines(const std::string &value) {
  const TLumStringList lines(value);
  std::string r;
  for (const auto &l : lines) {
    const std::string t = Trim(l);
    if (t.empty()) continue;
    if (!r.empty()) r += '\r';
    r += t;
  }
  return r;
}

// Appends to `value` (which opens with { or [ and is not closed) the following lines until the
// running count of opening minus closing characters drops below zero on a line that closes it.
// `skip` tells which lines are not taken.
template <class TSkip>
void TakeBracketed(const TLumStringList &lines, int32_t &i, std::string &value, TSkip skip) {
  const char open = value.front(), close = ClosingOf(open);
  int32_t sum = 0;
  while (i + 1 < lines.Count()) {
    const std::string t = Trim(lines[++i]);
    if (skip(t)) continue;
    value += '\r';
    value += t;
    sum += CharsCount(t, open) - CharsCount(t, close);
    if (sum < 0 && value.back() == close) break;
  }
}

using TJson = nlohmann::ordered_json;

std::string JsonDump(const TJson &j) {
  return j.dump(-1, ' ', false, TJson::error_handler_t::replace);
}

void FlattenInto(const TJson &array, std::vector<std::string> &out) {
  for (const auto &e : array) {
    if (e.is_array())
      FlattenInto(e, out);
    else
      out.push_back(JsonDump(e));
  }
}

int32_t StoreJsonObject(TLumHash &hash, const TJson &object);

// The text under which a JSON value is kept in a table.
std::string JsonValueText(const TJson &v) {
  switch (v.type()) {
  case TJson::value_t::null:
    return "";
  case TJson::value_t::string:
    return v.get<std::string>();
  case TJson::value_t::object: {
    TLumHash nested;
    StoreJsonObject(nested, v);
    return "{" + nested.AsText("=", "\r\n") + "}";
  }
  case TJson::value_t::array: {
    // Nested arrays are flattened into one, elements kept as JSON text.
    std::vector<std::string> items;
    FlattenInto(v, items);
    std::string r = "[";
    for (size_t k = 0; k < items.size(); ++k)
      r += (k ? "," : "") + items[k];
    return r + "]";
  }
  default:
    return JsonDump(v);
  }
}

int32_t StoreJsonObject(TLumHash &hash, const TJson &object) {
  int32_t n = 0;
  for (const auto &[key, value] : object.items()) {
    if (Trim(key).empty()) continue;
    hash.SetVal(key, JsonValueText(value));
    ++n;
  }
  return n;
}

// The reader for text that is not well-formed JSON (single quotes, trailing commas, bare
// words): it cuts the text at commas and colons without building a tree.
int32_t AssignJsonLenient(TLumHash &hash, const std::string &s) {
  int32_t n = 0;
  if (s.starts_with("[")) {
    size_t open = std::string::npos;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '{' && open == std::string::npos) {
        open = i;
      } else if (s[i] == '}' && open != std::string::npos) {
        hash.SetVal(std::to_string(n++), s.substr(open, i - open + 1));
        open = std::string::npos;
      }
    }
    return n;
  }
  std::string body = Dequote(s, "{", "}");
  bool inside = false;
  for (char &c : body) {
    if (c == '"') inside = !inside;
    if (c == ',' && !inside) c = '\r';
  }
  const TLumStringList lines(body);
  const TLumCharSet quotes("\"'");
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const std::string line = Trim(lines[i]);
    if (line.empty() || IsCommentStart(line[0])) continue;
    const size_t p = line.find(':');
    std::string key = p == std::string::npos ? line : Trim(line.substr(0, p));
    std::string value = p == std::string::npos ? "" : Trim(line.substr(p + 1));
    if (key.empty()) continue;
    if (!value.empty() && IsOpening(value[0]) && value.back() != ClosingOf(value[0])) {
      TakeBracketed(lines, i, value, [](const std::string &t) { return t.empty(); });
      value = Trim(value);
    }
    if (value.starts_with("{")) {
      TLumHash nested;
      nested.AssignJson(value);
      value = "{" + nested.AsText("=", "\r\n") + "}";
    } else if (value.starts_with("[")) {
      std::string v;
      for (char c : value)
        if (c != '\n' && c != '[' && c != ']') v += c == '\r' ? ',' : c;
      value = "[" + Trim(v) + "]";
    }
    if (value == "null") value.clear();
    key = Dequote(key, quotes, quotes);
    value = ExpandSpecChars(Dequote(value, quotes, quotes));
    hash.SetVal(key, value);
    ++n;
  }
  return n;
}

} // namespace

TLumHash::TLumHash(const std::string &fileName) {
  if (!fileName.empty()) Load(fileName, true, "=\t ");
}

void TLumHash::Clear() {
  fKeys.clear();
  fLowerKeys.clear();
  fVals.clear();
}

int32_t TLumHash::KeyIndex(const std::string &key) const {
  const std::string k = LowerCase(Trim(key));
  for (size_t i = 0; i < fLowerKeys.size(); ++i)
    if (fLowerKeys[i] == k) return static_cast<int32_t>(i);
  return -1;
}

std::string TLumHash::GetKey(int32_t index) const {
  return index >= 0 && index < Count() ? fKeys[index] : std::string();
}

std::string TLumHash::RawVal(int32_t index) const {
  return index >= 0 && index < Count() ? fVals[index] : std::string();
}

void TLumHash::RawSetVal(int32_t index, const std::string &value) {
  if (index >= 0 && index < Count()) fVals[index] = TrimRight(value);
}

int32_t TLumHash::RawPut(const std::string &key, const std::string &value) {
  const std::string k = Trim(key);
  if (k.empty()) return -1;
  int32_t i = KeyIndex(k);
  if (i < 0) {
    fKeys.push_back(k);
    fLowerKeys.push_back(LowerCase(k));
    fVals.emplace_back();
    fSorted = false;
    i = Count() - 1;
  }
  fVals[i] = TrimRight(value);
  return i;
}

std::string TLumHash::GetVal(const std::string &key) const { return RawVal(KeyIndex(key)); }

void TLumHash::SetVal(const std::string &key, const std::string &value) { RawPut(key, value); }

std::string TLumHash::GetValByIndex(int32_t index) const { return RawVal(index); }

void TLumHash::SetValByIndex(int32_t index, const std::string &value) { RawSetVal(index, value); }

std::string TLumHash::Get(const std::string &key, const std::string &def) const {
  const int32_t i = KeyIndex(key);
  return i < 0 ? def : GetValByIndex(i);
}

int64_t TLumHash::Get(const std::string &key, int64_t def) const {
  const int32_t i = KeyIndex(key);
  return i < 0 ? def : str2i(GetValByIndex(i));
}

int64_t TLumHash::AsInteger(const std::string &key) const { return str2i(GetVal(key)); }
void TLumHash::SetAsInteger(const std::string &key, int64_t value) {
  SetVal(key, std::to_string(value));
}
int64_t TLumHash::AsHex(const std::string &key) const { return h2i(GetVal(key)); }
void TLumHash::SetAsHex(const std::string &key, int64_t value) { SetVal(key, i2s(value, 0, 'x')); }
double TLumHash::AsDouble(const std::string &key) const { return s2f(GetVal(key), 0); }
void TLumHash::SetAsDouble(const std::string &key, double value) { SetVal(key, f2s(value, 2)); }
TDateTime TLumHash::AsDateTime(const std::string &key) const { return StrToDt(GetVal(key)); }
void TLumHash::SetAsDateTime(const std::string &key, TDateTime value) {
  SetVal(key, dt2s(value, DefaultDtPattern));
}
bool TLumHash::AsBool(const std::string &key) const {
  const std::string v = GetVal(key);
  return !v.empty() && std::string_view("1TtYyOo").find(v[0]) != std::string_view::npos;
}
void TLumHash::SetAsBool(const std::string &key, bool value) {
  SetVal(key, value ? "true" : "false");
}

std::string TLumHash::AsText(const std::string &keySeparator,
                             const std::string &lineSeparator) const {
  std::string r;
  for (int32_t i = 0; i < Count(); ++i) {
    if (i) r += lineSeparator;
    r += fKeys[i] + keySeparator + GetValByIndex(i);
  }
  return r;
}

std::string TLumHash::Keys(const std::string &separator) const {
  std::string r;
  for (int32_t i = 0; i < Count(); ++i)
    r += (i ? separator : "") + fKeys[i];
  return r;
}

int32_t TLumHash::Assign(const std::string &text, bool overwrite, const std::string &lineSeparators,
                         const std::string &keySeparators) {
  std::string s = text;
  // A text wrapped in braces or brackets is unwrapped; a first line that is a section header
  // ("[Main]") is not a wrapper and stays.
  const std::string firstLine = Trim(s.substr(0, s.find_first_of("\r\n")));
  const bool header = firstLine.size() > 1 && firstLine.front() == '[' && firstLine.back() == ']' &&
                      firstLine.find('=') == std::string::npos;
  if (!s.empty() && IsOpening(s[0]) && !header) {
    const char close = ClosingOf(s[0]);
    s = Trim(s.substr(1));
    if (!s.empty() && s.back() == close) {
      s.pop_back();
      s = Trim(s);
    }
  }
  if (lineSeparators != "\r" && lineSeparators != "\r\n")
    for (char &c : s)
      if (lineSeparators.find(c) != std::string::npos) c = '\r';
  const TLumStringList lines(s);
  int32_t processed = 0;
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const std::string line = Trim(lines[i]);
    if (line.empty() || IsCommentStart(line[0])) continue;
    const int32_t p = FirstPos(keySeparators, line);
    std::string key = p < 0 ? line : Trim(line.substr(0, p - 1));
    std::string value = p < 0 ? "" : Trim(line.substr(p));
    if (key.empty()) continue;
    if (value.empty() && key.front() == '[' && key.back() == ']') {
      // A section block: the lines up to an empty one or the next "[".
      while (i + 1 < lines.Count()) {
        const std::string t = Trim(lines[i + 1]);
        if (t.empty() || t[0] == '[') break;
        value += t + '\r';
        ++i;
      }
      value = Trim(value);
    } else if (!value.empty() && IsOpening(value[0])) {
      if (value.back() != ClosingOf(value[0]))
        TakeBracketed(lines, i, value,
                      [](const std::string &t) { return t.empty() || t[0] == '#'; });
      value = NormalizeLines(value);
    }
    ++processed;
    if (overwrite || GetVal(key).empty()) SetVal(key, value);
  }
  return processed;
}

int32_t TLumHash::Assign(const TLumHash &other) {
  if (&other == this) return 0;
  int32_t n = 0;
  for (int32_t i = 0; i < other.Count(); ++i) {
    const std::string key = other.GetKey(i), val = other.GetValByIndex(i);
    if (GetVal(key) != val) {
      SetVal(key, val);
      ++n;
    }
  }
  return n;
}

int32_t TLumHash::CleanAssign(const std::string &text, bool overwrite,
                              const std::string &lineSeparators, const std::string &keySeparators) {
  Clear();
  return Assign(text, overwrite, lineSeparators, keySeparators);
}

int32_t TLumHash::CleanAssign(const TLumHash &other) {
  if (&other == this) return 0;
  Clear();
  return Assign(other);
}

int32_t TLumHash::Load(const std::string &fileName, bool overwrite,
                       const std::string &keySeparators) {
  return Assign(ReadConfig(fileName, true), overwrite, "\r", keySeparators);
}

int32_t TLumHash::AssignCommandLine(const std::vector<std::string> &args) {
  std::string text;
  for (const auto &a : args)
    text += a + '\r';
  return Assign(text, true, "\r", "=\t ");
}

int32_t TLumHash::AssignCommandLine() {
  std::ifstream f("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  size_t start = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i] != '\0') continue;
    args.push_back(all.substr(start, i - start));
    start = i + 1;
  }
  if (!args.empty()) args.erase(args.begin()); // the program itself
  return AssignCommandLine(args);
}

bool JsonNestingWithin(std::string_view text, int maxDepth) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > maxDepth) return false;
    } else if ((c == '}' || c == ']') && depth > 0) {
      --depth;
    }
  }
  return true;
}

int32_t TLumHash::AssignJson(const std::string &json, bool clean) {
  if (clean) Clear();
  if (!JsonNestingWithin(json)) return 0;
  const std::string s = Trim(json);
  const TJson doc = TJson::parse(s, nullptr, false);
  if (doc.is_discarded()) return AssignJsonLenient(*this, s);
  if (doc.is_object()) return StoreJsonObject(*this, doc);
  int32_t n = 0;
  if (doc.is_array()) {
    // Array elements that are objects go under "0", "1", ... as their JSON text.
    for (const auto &e : doc)
      if (e.is_object()) SetVal(std::to_string(n++), JsonDump(e));
  }
  return n;
}

void TLumHash::Sort() {
  std::vector<size_t> order(fKeys.size());
  std::iota(order.begin(), order.end(), 0);
  TLumStringList cmpList;
  cmpList.SetOnCompare(fOnCompare);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return cmpList.Compare(fKeys[a], fKeys[b]) < 0; });
  std::vector<std::string> k, lk, v;
  for (size_t i : order) {
    k.push_back(std::move(fKeys[i]));
    lk.push_back(std::move(fLowerKeys[i]));
    v.push_back(std::move(fVals[i]));
  }
  fKeys = std::move(k);
  fLowerKeys = std::move(lk);
  fVals = std::move(v);
  fSorted = true;
}

TLumHashItem TLumHash::Item(int32_t index) const {
  return TLumHashItem{GetKey(index), GetValByIndex(index), ""};
}

// ---------------------------------------------------------------------------------------------
// TLumHintHash

namespace {
std::string ValuePart(const std::string &stored) {
  const size_t p = stored.find(HintSep);
  return p == std::string::npos ? stored : stored.substr(0, p);
}
std::string HintPart(const std::string &stored) {
  const size_t p = stored.find(HintSep);
  return p == std::string::npos ? std::string() : stored.substr(p + 2);
}
std::string Combine(const std::string &value, const std::string &hint) {
  const std::string v = TrimRight(value);
  return hint.empty() ? v : v + HintSep + hint;
}
} // namespace

std::string TLumHintHash::GetVal(const std::string &key) const {
  return ValuePart(RawVal(KeyIndex(key)));
}

std::string TLumHintHash::GetValByIndex(int32_t index) const { return ValuePart(RawVal(index)); }

void TLumHintHash::SetVal(const std::string &key, const std::string &value) {
  const int32_t i = KeyIndex(key);
  if (i < 0)
    RawPut(key, value);
  else
    SetValByIndex(i, value);
}

void TLumHintHash::SetValByIndex(int32_t index, const std::string &value) {
  RawSetVal(index, Combine(value, HintPart(RawVal(index))));
}

std::string TLumHintHash::GetHint(const std::string &key) const {
  return HintPart(RawVal(KeyIndex(key)));
}

std::string TLumHintHash::GetHintByIndex(int32_t index) const { return HintPart(RawVal(index)); }

void TLumHintHash::SetHint(const std::string &key, const std::string &hint) {
  const int32_t i = KeyIndex(key);
  if (i < 0)
    RawPut(key, Combine("", hint));
  else
    SetHintByIndex(i, hint);
}

void TLumHintHash::SetHintByIndex(int32_t index, const std::string &hint) {
  RawSetVal(index, Combine(ValuePart(RawVal(index)), hint));
}

TLumHashItem TLumHintHash::Item(int32_t index) const {
  return TLumHashItem{GetKey(index), GetValByIndex(index), GetHintByIndex(index)};
}

} // namespace kelvra
