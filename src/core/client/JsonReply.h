#pragma once
// The service's replies as the program reads them: the text parsed once into simdjson's DOM (a
// flat tape built with SIMD instructions, no node per value on the heap), and light references to
// the values in it from which the records are built.
#include "core/util/LumJson.h"

#include <simdjson.h>

#include <array>
#include <cstddef>
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
  TJsonVal fRoot;
  bool fParsed = false;
};

// A number as the program writes it in JSON: integral values with ".0", the shortest digits that
// read back the same. A number of a reply read as text (an id, a sensor value) looks the same.
std::string JsonNumberText(double aValue);

// A reply parsed from text (tests, fuzzing, benchmarks); empty when the text is not JSON.
TJsonReply ParseJsonReply(std::string_view aText);

} // namespace kelvra
