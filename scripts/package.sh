#!/usr/bin/env bash
# Builds the Debian package in Release: build-release/kelvramonitor_<version>_amd64.deb.
# Checks the AppStream data with appstreamcli and the package with lintian (errors fail,
# warnings are printed). Extra arguments go to the CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVRA_TESTS=OFF "$@"
cmake --build build-release -j"${KELVRA_JOBS:-$(nproc)}" --target KelvraMonitor kelvra_debian_doc
cd build-release
rm -f kelvramonitor_*.deb
cpack -G DEB
deb=$(ls kelvramonitor_*.deb)
appstreamcli validate --no-net ./*.metainfo.xml
# lintian's tags of severity error fail the build; warnings and notes are only shown.
lintian --fail-on error --tag-display-limit 0 "$deb" || { echo "lintian found errors in $deb" >&2; exit 1; }
echo "Package: $PWD/$deb"
