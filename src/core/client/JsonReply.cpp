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

TJsonScalar::TJsonScalar(TJsonVal aVal) {
  if (!aVal) return;
  const simdjson::dom::element e = aVal.Element();
  switch (e.type()) {
  case element_type::STRING:
    *this = String(aVal.Text());
    break;
  case element_type::INT64:
    *this = Int64(e.get_int64().value_unsafe());
    break;
  case element_type::UINT64:
    *this = Uint64(e.get_uint64().value_unsafe());
    break;
  case element_type::DOUBLE:
    *this = Double(e.get_double().value_unsafe());
    break;
  case element_type::BOOL:
    *this = Bool(e.get_bool().value_unsafe());
    break;
  default:
    fKind = kOther;
    break;
  }
}

namespace json_stream {

namespace {
// The text of a string starting at aRaw (just after its opening quote) when it has no escapes.
bool PlainText(const char *aRaw, const char *aEnd, std::string_view &aText) {
  for (const char *p = aRaw; p < aEnd; ++p) {
    if (*p == '"') {
      aText = std::string_view(aRaw, std::size_t(p - aRaw));
      return true;
    }
    if (*p == '\\') return false;
  }
  return false;
}
} // namespace

TError Key(simdjson::ondemand::field &aField, std::string_view &aKey) {
  // A name is a few letters: a short scan instead of a copy into the parser's string buffer. The
  // text is padded, and the name's closing quote comes before the end of the text.
  const char *raw = aField.key().raw();
  if (PlainText(raw, raw + 256, aKey)) return simdjson::SUCCESS;
  return aField.unescaped_key().get(aKey);
}

TError Scalar(TValue &aValue, TJsonScalar &aScalar, int aDepth) {
  simdjson::ondemand::json_type type;
  if (const TError e = aValue.type().get(type)) return e;
  switch (type) {
  case simdjson::ondemand::json_type::string: {
    const std::string_view token = aValue.raw_json_token();
    std::string_view text;
    // The token runs from the opening quote to the next token: its first quote after the
    // opening one closes the string unless an escape comes first.
    if (PlainText(token.data() + 1, token.data() + token.size(), text)) {
      // Taken as read: the walk then checks what follows it (a value left unread is passed
      // over without that check).
      simdjson::ondemand::raw_json_string raw;
      if (const TError e = aValue.get_raw_json_string().get(raw)) return e;
      aScalar = TJsonScalar::String(text);
      return simdjson::SUCCESS;
    }
    if (const TError e = aValue.get_string().get(text)) return e;
    aScalar = TJsonScalar::String(text);
    return simdjson::SUCCESS;
  }
  case simdjson::ondemand::json_type::number: {
    simdjson::ondemand::number number;
    if (const TError e = aValue.get_number().get(number)) return e;
    switch (number.get_number_type()) {
    case simdjson::ondemand::number_type::signed_integer:
      aScalar = TJsonScalar::Int64(number.get_int64());
      break;
    case simdjson::ondemand::number_type::unsigned_integer:
      aScalar = TJsonScalar::Uint64(number.get_uint64());
      break;
    default:
      aScalar = TJsonScalar::Double(number.get_double());
      break;
    }
    return simdjson::SUCCESS;
  }
  case simdjson::ondemand::json_type::boolean: {
    bool value = false;
    if (const TError e = aValue.get_bool().get(value)) return e;
    aScalar = TJsonScalar::Bool(value);
    return simdjson::SUCCESS;
  }
  case simdjson::ondemand::json_type::null: {
    bool null = false;
    if (const TError e = aValue.is_null().get(null)) return e;
    if (!null) return simdjson::INCORRECT_TYPE;
    aScalar = TJsonScalar();
    return simdjson::SUCCESS;
  }
  default:
    aScalar = TJsonScalar::Other();
    return Skip(aValue, aDepth);
  }
}

TError Skip(TValue &aValue, int aDepth) {
  // The DOM parse refuses what nests deeper than this: so does the walk (a level early: at the
  // limit itself the DOM decides).
  if (aDepth >= kMaxJsonDepth) return simdjson::DEPTH_ERROR;
  simdjson::ondemand::json_type type;
  if (const TError e = aValue.type().get(type)) return e;
  if (type == simdjson::ondemand::json_type::object) {
    TObject object;
    if (const TError e = aValue.get_object().get(object)) return e;
    for (auto result : object) {
      if (const TError e = result.error()) return e;
      simdjson::ondemand::field &field = result.value_unsafe();
      std::string_view key;
      if (const TError e = Key(field, key)) return e;
      if (const TError e = Skip(field.value(), aDepth + 1)) return e;
    }
    return simdjson::SUCCESS;
  }
  if (type == simdjson::ondemand::json_type::array) {
    simdjson::ondemand::array array;
    if (const TError e = aValue.get_array().get(array)) return e;
    for (auto result : array) {
      if (const TError e = result.error()) return e;
      TValue &element = result.value_unsafe();
      if (const TError e = Skip(element, aDepth + 1)) return e;
    }
    return simdjson::SUCCESS;
  }
  TJsonScalar scalar;
  return Scalar(aValue, scalar, aDepth);
}

} // namespace json_stream

TJsonReply::TJsonReply() = default;
TJsonReply::~TJsonReply() = default;
TJsonReply::TJsonReply(TJsonReply &&) noexcept = default;
TJsonReply &TJsonReply::operator=(TJsonReply &&) noexcept = default;

namespace {
// The capacity a parser is made with for a text: a little more than it needs, so that the next
// reply of the same kind (the object list a minute later, a few bytes longer) finds the buffers
// ready instead of fresh ones that cost a page fault for every page the parse writes.
std::size_t WithHeadroom(std::size_t aSize) { return aSize + aSize / 8 + 4096; }
} // namespace

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
    if (parser->allocate(WithHeadroom(aSize), kMaxJsonDepth) != simdjson::SUCCESS) return false;
    fParser = std::move(parser);
  }
  simdjson::dom::element root;
  if (fParser->parse(aData, aSize, !aPadded).get(root) != simdjson::SUCCESS) return false;
  fRoot = TJsonVal(root);
  fParsed = true;
  return true;
}

simdjson::simdjson_result<simdjson::ondemand::document> TJsonReply::Iterate(const char *aData,
                                                                           std::size_t aSize) {
  Clear();
  // Kept between replies by the rule of Parse's buffers.
  if (!fStream || fStream->capacity() < aSize ||
      fStream->capacity() / 8 > std::max(aSize, kKeptParserCapacity)) {
    fStream.reset();
    auto parser = std::make_unique<simdjson::ondemand::parser>();
    if (const auto e = parser->allocate(WithHeadroom(aSize), kMaxJsonDepth)) return e;
    fStream = std::move(parser);
  }
  return fStream->iterate(simdjson::padded_string_view(aData, aSize, aSize + simdjson::SIMDJSON_PADDING));
}

void TJsonReply::Clear() {
  fRoot = TJsonVal();
  fParsed = false;
}

void TJsonReply::Release() {
  Clear();
  fParser.reset();
  fStream.reset();
}

std::string JsonNumberText(double aValue) { return nlohmann::json(aValue).dump(); }

TJsonReply ParseJsonReply(std::string_view aText) {
  TJsonReply reply;
  reply.Parse(aText);
  return reply;
}

} // namespace kelvra
