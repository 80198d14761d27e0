#pragma once
// Entry functions of the fuzz targets: one per parser of text or bytes that comes from outside
// the program (replies, files a user edits, pictures). libFuzzer drives them one input at a time
// (FuzzMain.cpp); the normal test run feeds them every file of fuzz/corpus/<name>/ (ReplayTest.cpp)
// so that an input that once crashed keeps being tried.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvra::fuzz {

struct TFuzzTarget {
  const char *name; // also the corpus folder's name
  void (*run)(const std::uint8_t *aData, std::size_t aSize);
};

// The utility library's parsers (FuzzUtilTargets.cpp) and the core's (FuzzCoreTargets.cpp).
const std::vector<TFuzzTarget> &UtilTargets();
const std::vector<TFuzzTarget> &CoreTargets();

} // namespace kelvra::fuzz
