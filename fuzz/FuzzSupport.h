#pragma once
// Helpers shared by the fuzz targets of the utility library and of the core.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelvra::fuzz {

inline std::string Text(const std::uint8_t *aData, std::size_t aSize) {
  return std::string(reinterpret_cast<const char *>(aData), aSize);
}

// A fault the sanitizers cannot see: the input broke a promise of the code.
inline void Check(bool aOk, const char *aWhat) {
  if (aOk) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", aWhat);
  std::abort();
}

} // namespace kelvra::fuzz
