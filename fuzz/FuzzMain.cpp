// libFuzzer's entry for one target, chosen at build time (KELVRA_FUZZ_TARGET).
#include "FuzzTargets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void (*FindTarget())(const std::uint8_t *, std::size_t) {
#ifdef KELVRA_FUZZ_CORE
  for (const auto &target : kelvra::fuzz::CoreTargets())
#else
  for (const auto &target : kelvra::fuzz::UtilTargets())
#endif
    if (std::strcmp(target.name, KELVRA_FUZZ_TARGET) == 0) return target.run;
  std::fprintf(stderr, "no fuzz target %s\n", KELVRA_FUZZ_TARGET);
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *aData, std::size_t aSize) {
  static const auto run = FindTarget();
  run(aData, aSize);
  return 0;
}
