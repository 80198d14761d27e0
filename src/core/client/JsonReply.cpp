#include "core/client/JsonReply.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace kelvra {

using simdjson::dom::element_type;

std::string_view TJsonVal::Text() const {
  std::string_view text;
  if (IsString() && fElement.get_string().get(text) != simdjson::SUCCESS) text = {};
  return text;
}

TJsonVal TJsonVal::Get(std::string_view aName) const {
  TJsonVal found;
  if (!IsObject()) return found;
  for (const auto field : simdjson::dom::object(fElement))
    if (SameJsonName(field.key, aName)) found = TJsonVal(field.value);
  return found;
}

TJsonVal::TElements TJsonVal::Elements() const {
  if (!IsArray()) return {};
  const simdjson::dom::array array(fElement);
  return {array.begin(), array.end()};
}

TJsonVal::TFields TJsonVal::Fields() const {
  if (!IsObject()) return {};
  const simdjson::dom::object object(fElement);
  return {object.begin(), object.end()};
}

TJsonReply::TJsonReply() = default;
TJsonReply::~TJsonReply() = default;
TJsonReply::TJsonReply(TJsonReply &&) noexcept = default;
TJsonReply &TJsonReply::operator=(TJsonReply &&) noexcept = default;

bool TJsonReply::Parse(const char *aData, std::size_t aSize, bool aPadded) {
  Clear();
  // The buffers of the previous reply's parser serve this one when they are large enough: fresh
  // buffers cost a page fault for every page the parse writes, which for a long track is a good
  // part of the parse. Buffers far larger than this text needs (a long track, then a refresh) are
  // released, so what stays held is never far above what the last reply needed.
  if (!fParser || fParser->capacity() < aSize ||
      fParser->capacity() / 8 > std::max(aSize, kKeptParserCapacity)) {
    fParser.reset();
    auto parser = std::make_unique<simdjson::dom::parser>();
    // The depth limit is the parser's own: no second pass over the text to count brackets.
    if (parser->allocate(aSize, kMaxJsonDepth) != simdjson::SUCCESS) return false;
    fParser = std::move(parser);
  }
  simdjson::dom::element root;
  if (fParser->parse(aData, aSize, !aPadded).get(root) != simdjson::SUCCESS) return false;
  fRoot = TJsonVal(root);
  fParsed = true;
  return true;
}

void TJsonReply::Clear() {
  fRoot = TJsonVal();
  fParsed = false;
}

void TJsonReply::Release() {
  Clear();
  fParser.reset();
}

std::string JsonNumberText(double aValue) { return nlohmann::json(aValue).dump(); }

TJsonReply ParseJsonReply(std::string_view aText) {
  TJsonReply reply;
  reply.Parse(aText);
  return reply;
}

} // namespace kelvra
