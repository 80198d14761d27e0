#!/usr/bin/env bash
# Runs one libFuzzer target for a while:  scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
# Targets: config assign_json translation ini dates replies device_answers address_cache csv_import
# png jpeg
# (fuzz/CMakeLists.txt). Installs clang and its runtime if missing, builds build-fuzz/ with
# clang, AddressSanitizer and UBSan, starts from the seed corpus fuzz/corpus/TARGET and keeps
# what it finds in build-fuzz/corpus/TARGET. A crashing input lands in build-fuzz/artifacts/;
# once fixed, copy it into fuzz/corpus/TARGET so the normal test run keeps trying it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
if [ ! -d "fuzz/corpus/$target" ]; then
  echo "no fuzz target '$target' (see fuzz/corpus/)" >&2
  exit 2
fi

scripts/setup.sh
# Only fuzzing needs clang; the normal build and tests use GCC.
missing=()
for p in clang libclang-rt-14-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

build=${KELVRA_FUZZ_BUILD:-build-fuzz}
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DCMAKE_C_FLAGS_DEBUG="-O1 -g" \
    -DKELVRA_FUZZ=ON -DKELVRA_TESTS=OFF -DKELVRA_SANITIZE=OFF
fi
cmake --build "$build" -j2 --target "fuzz_$target"

mkdir -p "$build/corpus/$target" "$build/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$build/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
  -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$build/artifacts/$target-" "$@" \
  "$build/corpus/$target" "fuzz/corpus/$target"
