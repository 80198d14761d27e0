#pragma once
// Limits shared by every JSON reader of the program.
#include <string_view>

namespace kelvra {

// Objects and arrays nested deeper than this are refused by every JSON reader of the program:
// the readers and the writers of JSON recurse, and a hostile reply must not exhaust the stack.
constexpr int kMaxJsonDepth = 256;
// Whether the brackets ("{", "[") of JSON text, outside strings, nest at most maxDepth deep.
bool JsonNestingWithin(std::string_view text, int maxDepth = kMaxJsonDepth);

} // namespace kelvra
