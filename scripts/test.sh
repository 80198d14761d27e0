#!/usr/bin/env bash
# Builds everything with the sanitizers and runs every test (unit, integration, ui).
# Extra arguments go to ctest, e.g. scripts/test.sh -L unit
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVRA_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DKELVRA_TESTS=ON
cmake --build build-test -j"$(nproc)"
cd build-test
ctest --output-on-failure -j"$(nproc)" "$@"
