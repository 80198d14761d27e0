#pragma once
// Rows of a table test print as their names when a case fails. GoogleTest finds PrintTo in the
// row's own namespace, and the core's tests keep their rows in kelvra's unnamed namespace.
#include <ostream>

namespace kelvra {
namespace {

template <class TCase>
requires requires(const TCase &c) { c.name; }
void PrintTo(const TCase &c, std::ostream *os) { *os << c.name; }

} // namespace
} // namespace kelvra
