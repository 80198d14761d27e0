#include "core/client/JsonReply.h"

#include <nlohmann/json.hpp>

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
    if (field.key == aName) found = TJsonVal(field.value);
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
  // A parser of its own, sized for this text: the DOM lives as long as the reply and goes with it.
  auto parser = std::make_unique<simdjson::dom::parser>();
  // The depth limit is the parser's own: no second pass over the text to count brackets.
  if (parser->allocate(aSize, kMaxJsonDepth) != simdjson::SUCCESS) return false;
  simdjson::dom::element root;
  if (parser->parse(aData, aSize, !aPadded).get(root) != simdjson::SUCCESS) return false;
  fParser = std::move(parser);
  fRoot = TJsonVal(root);
  fParsed = true;
  return true;
}

void TJsonReply::Clear() {
  fRoot = TJsonVal();
  fParser.reset();
  fParsed = false;
}

std::string JsonNumberText(double aValue) { return nlohmann::json(aValue).dump(); }

TJsonReply ParseJsonReply(std::string_view aText) {
  TJsonReply reply;
  reply.Parse(aText);
  return reply;
}

} // namespace kelvra
