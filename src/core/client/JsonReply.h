#pragma once
// The service's replies as the program reads them: the text parsed once into simdjson's DOM (a
// flat tape built with SIMD instructions, no node per value on the heap), and light references to
// the values in it from which the records are built.
#include "core/util/LumJson.h"

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kelvra {

// A value inside a parsed reply, or nothing: an absent name, a JSON null and "no reply" all read
// as nothing. A reference into the reply (two words, copied freely); valid while the reply lives.
class TJsonVal {
public:
  TJsonVal() = default;
  TJsonVal(simdjson::dom::element aElement) // NOLINT: every element of a reply is a value
      : fElement(aElement), fSet(aElement.type() != simdjson::dom::element_type::NULL_VALUE) {}

  explicit operator bool() const { return fSet; }
  // The type of a present value (meaningless for nothing: check the value first).
  simdjson::dom::element_type Type() const { return fElement.type(); }
  bool IsObject() const { return fSet && fElement.type() == simdjson::dom::element_type::OBJECT; }
  bool IsArray() const { return fSet && fElement.type() == simdjson::dom::element_type::ARRAY; }
  bool IsString() const { return fSet && fElement.type() == simdjson::dom::element_type::STRING; }
  // The text of a string (empty for any other value).
  std::string_view Text() const;

  // The value under aName of an object; nothing for any other value. Of names given twice the
  // last counts, as when the reply is read into a map.
  TJsonVal Get(std::string_view aName) const;
  TJsonVal operator[](std::string_view aName) const { return Get(aName); }

  // The elements of an array, in order; none for any other value.
  struct TElements {
    simdjson::dom::array::iterator First, Last;
    simdjson::dom::array::iterator begin() const { return First; }
    simdjson::dom::array::iterator end() const { return Last; }
  };
  TElements Elements() const;
  // The fields of an object ({key, value}, value a simdjson element), in the order of the text;
  // none for any other value.
  struct TFields {
    simdjson::dom::object::iterator First, Last;
    simdjson::dom::object::iterator begin() const { return First; }
    simdjson::dom::object::iterator end() const { return Last; }
  };
  TFields Fields() const;

  simdjson::dom::element Element() const { return fElement; }

private:
  simdjson::dom::element fElement;
  bool fSet = false;
};

// Field names are a few letters: compared inline, as a library call per comparison would cost
// more than the comparison.
inline bool SameJsonName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// The names of a record's fields with a small hash table over them, made at compile time: a
// field of the reply finds its name in one or two probes, in whatever order the service writes
// the fields and whatever fields it adds.
template <std::size_t N> class TJsonNames {
public:
  static_assert(N > 0 && N <= 48);

  constexpr TJsonNames(const std::array<std::string_view, N> &aNames) : fNames(aNames) {
    for (auto &slot : fSlots)
      slot = kEmpty;
    for (std::size_t i = 0; i < N; ++i) {
      std::size_t h = Hash(aNames[i]);
      while (fSlots[h] != kEmpty)
        h = (h + 1) % kSlots;
      fSlots[h] = static_cast<unsigned char>(i);
    }
  }

  constexpr std::string_view Name(std::size_t aIndex) const { return fNames[aIndex]; }

  // The index of the name aKey; N for a name that is not one of them.
  constexpr std::size_t Find(std::string_view aKey) const {
    for (std::size_t h = Hash(aKey); fSlots[h] != kEmpty; h = (h + 1) % kSlots)
      if (SameJsonName(fNames[fSlots[h]], aKey)) return fSlots[h];
    return N;
  }

private:
  static constexpr std::size_t kSlots = 128;
  static constexpr unsigned char kEmpty = 0xFF;

  static constexpr std::size_t Hash(std::string_view aKey) {
    if (aKey.empty()) return 0;
    return (aKey.size() * 29 + static_cast<unsigned char>(aKey[0]) * 7 +
            static_cast<unsigned char>(aKey[aKey.size() / 2]) * 3 +
            static_cast<unsigned char>(aKey.back())) %
           kSlots;
  }

  std::array<std::string_view, N> fNames;
  std::array<unsigned char, kSlots> fSlots{};
};

// The values of an object's fields named in aNames, in their order, found in one pass over the
// object (nothing for a name it lacks; of names given twice the last counts, as in Get).
template <std::size_t N>
std::array<TJsonVal, N> JsonFields(TJsonVal aObj, const TJsonNames<N> &aNames) {
  std::array<TJsonVal, N> values{};
  for (const auto field : aObj.Fields()) {
    const std::size_t i = aNames.Find(field.key);
    if (i < N) values[i] = TJsonVal(field.value);
  }
  return values;
}

// A scalar of a reply as the record readers take it: a string (its text, unescaped), a number as
// the reply wrote it (a whole number within 64 bits or a double), true or false; nothing for an
// absent name or null; "other" for an object or an array. Made from a DOM value or from a value
// met in one pass over a reply (TJsonStream); a view into the reply, valid while it lives.
class TJsonScalar {
public:
  enum TKind : unsigned char { kNone, kString, kInt64, kUint64, kDouble, kBool, kOther };

  TJsonScalar() = default;
  TJsonScalar(TJsonVal aVal); // NOLINT: every DOM value reads as a scalar

  static TJsonScalar String(std::string_view aText) {
    TJsonScalar s(kString);
    s.fText = {aText.data(), aText.size()};
    return s;
  }
  static TJsonScalar Int64(int64_t aValue) {
    TJsonScalar s(kInt64);
    s.fInt = aValue;
    return s;
  }
  static TJsonScalar Uint64(uint64_t aValue) {
    TJsonScalar s(kUint64);
    s.fUint = aValue;
    return s;
  }
  static TJsonScalar Double(double aValue) {
    TJsonScalar s(kDouble);
    s.fDouble = aValue;
    return s;
  }
  static TJsonScalar Bool(bool aValue) {
    TJsonScalar s(kBool);
    s.fBool = aValue;
    return s;
  }
  static TJsonScalar Other() { return TJsonScalar(kOther); }

  explicit operator bool() const { return fKind != kNone; }
  TKind Kind() const { return fKind; }
  // The text of a string (empty for any other value).
  std::string_view Text() const {
    return fKind == kString ? std::string_view(fText.Data, fText.Size) : std::string_view();
  }
  int64_t AsInt64() const { return fInt; }
  uint64_t AsUint64() const { return fUint; }
  double AsDouble() const { return fDouble; }
  bool AsBool() const { return fBool; }

private:
  explicit TJsonScalar(TKind aKind) : fKind(aKind) {}

  TKind fKind = kNone;
  // A record reads a dozen of these per element: kept to three words.
  union {
    int64_t fInt = 0;
    uint64_t fUint;
    double fDouble;
    bool fBool;
    struct {
      const char *Data;
      std::size_t Size;
    } fText;
  };
};

// One pass over a reply without its DOM, for the replies that are mostly bulk (a track of a month
// is millions of points): the records are built as the parser walks the text. Whatever the walk
// passes it checks as the DOM parse would (numbers, literals, escapes, nesting), so a text it
// reads to the end is one the DOM parse accepts; any error ends the walk and the caller reads the
// reply through the DOM instead, which gives the verdict and every unusual form.
namespace json_stream {
using TValue = simdjson::ondemand::value;
using TObject = simdjson::ondemand::object;
using TError = simdjson::error_code;

// The name of a field, unescaped (a view into the text when it has no escapes).
TError Key(simdjson::ondemand::field &aField, std::string_view &aKey);
// The value as a scalar; an object or an array is walked through (checked) and reads as other.
TError Scalar(TValue &aValue, TJsonScalar &aScalar, int aDepth);
// Walks the value through, checking it.
TError Skip(TValue &aValue, int aDepth);

// The names met at each place of the previous record of a kind: a reply writes its records
// alike, so the field at a place nearly always has the name the previous record had there, and
// one comparison with the text finds it.
struct TFieldOrder {
  static constexpr unsigned char kUnknown = 0xFF;
  std::array<unsigned char, 64> At;
  TFieldOrder() { At.fill(kUnknown); }
};

// Reads the fields of an object whose names are in aNames into aValues (the last of names given
// twice counts, as in JsonFields); the fields whose index is aWalk or above (N for none) are
// handed to aOnWalk(index, value, depth) instead, which must read them through. Other fields are
// checked and passed over.
template <std::size_t N, class TOnWalk>
TError Fields(TObject aObject, const TJsonNames<N> &aNames, std::array<TJsonScalar, N> &aValues,
              TFieldOrder &aOrder, std::size_t aWalk, int aDepth, TOnWalk &&aOnWalk) {
  std::size_t place = 0;
  for (auto result : aObject) {
    if (const TError e = result.error()) return e;
    simdjson::ondemand::field &field = result.value_unsafe(); // in place: no copy of the cursor
    std::size_t i = N;
    if (place < aOrder.At.size() && aOrder.At[place] < N) {
      // The raw name, its closing quote included (the padded text always goes on past it).
      const std::string_view expected = aNames.Name(aOrder.At[place]);
      const char *raw = field.key().raw();
      if (SameJsonName(std::string_view(raw, expected.size()), expected) &&
          raw[expected.size()] == '"')
        i = aOrder.At[place];
    }
    if (i == N) {
      std::string_view key;
      if (const TError e = Key(field, key)) return e;
      i = aNames.Find(key);
      if (place < aOrder.At.size()) aOrder.At[place] = static_cast<unsigned char>(i);
    }
    ++place;
    TError e = simdjson::SUCCESS;
    if (i < N && i >= aWalk) // aWalk may be N: no field is walked by the caller
      e = aOnWalk(i, field.value(), aDepth + 1);
    else if (i < N)
      e = Scalar(field.value(), aValues[i], aDepth + 1);
    else
      e = Skip(field.value(), aDepth + 1);
    if (e) return e;
  }
  return simdjson::SUCCESS;
}
} // namespace json_stream

// A parsed reply: owns the DOM its values refer to.
class TJsonReply {
public:
  TJsonReply();
  ~TJsonReply();
  TJsonReply(TJsonReply &&) noexcept;
  TJsonReply &operator=(TJsonReply &&) noexcept;

  // Parses the text; false, leaving the reply empty, when it is not JSON or when its objects and
  // arrays nest deeper than kMaxJsonDepth. With aPadded the SIMDJSON_PADDING bytes after the text
  // must be readable (a receive buffer made for it): the text is then parsed where it lies.
  bool Parse(const char *aData, std::size_t aSize, bool aPadded = false);
  bool Parse(std::string_view aText) { return Parse(aText.data(), aText.size(), false); }
  // Starts one pass over a padded text (SIMDJSON_PADDING readable bytes after it) without a DOM
  // (json_stream); the document and its strings are valid until the next Iterate or Release.
  simdjson::simdjson_result<simdjson::ondemand::document> Iterate(const char *aData,
                                                                 std::size_t aSize);
  // Forgets the reply; the parser's buffers are kept for the next one.
  void Clear();
  // Forgets the reply and releases all its memory.
  void Release();

  // The whole reply; nothing when empty.
  TJsonVal Root() const { return fRoot; }
  bool Empty() const { return !fParsed; }

private:
  // Buffers up to this size (in text bytes) are kept even for much shorter replies.
  static constexpr std::size_t kKeptParserCapacity = std::size_t(1) << 20;

  std::unique_ptr<simdjson::dom::parser> fParser;
  std::unique_ptr<simdjson::ondemand::parser> fStream;
  TJsonVal fRoot;
  bool fParsed = false;
};

// A number as the program writes it in JSON: integral values with ".0", the shortest digits that
// read back the same. A number of a reply read as text (an id, a sensor value) looks the same.
std::string JsonNumberText(double aValue);

// A reply parsed from text (tests, fuzzing, benchmarks); empty when the text is not JSON.
TJsonReply ParseJsonReply(std::string_view aText);

} // namespace kelvra
