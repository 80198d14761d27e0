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

// The values of an object's fields named in aNames, in their order, found in one pass over the
// object (nothing for a name it lacks; of names given twice the last counts, as in Get). The
// service writes the fields of a record in one order, so the name after the last one found is
// tried first: a record of the usual form costs one comparison per field.
template <std::size_t N>
std::array<TJsonVal, N> JsonFields(TJsonVal aObj, const std::array<std::string_view, N> &aNames) {
  std::array<TJsonVal, N> values{};
  std::size_t next = 0;
  for (const auto field : aObj.Fields()) {
    std::size_t i = next < N && aNames[next] == field.key ? next : N;
    for (std::size_t j = 0; i == N && j < N; ++j)
      if (aNames[j] == field.key) i = j;
    if (i == N) continue;
    values[i] = TJsonVal(field.value);
    next = i + 1;
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
  // Forgets the reply and releases its memory.
  void Clear();

  // The whole reply; nothing when empty.
  TJsonVal Root() const { return fRoot; }
  bool Empty() const { return !fParsed; }

private:
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
