#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh), installs it with apt-get, runs the installed
# program's --version and removes the package again. Needs root (or sudo) and a Release build
# of its own, so it is not part of scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/package.sh "$@"
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
deb=$(ls "$PWD"/build-release/kelvramonitor_*.deb)
version=$(sed -n 's/^project(KelvraMonitor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
export DEBIAN_FRONTEND=noninteractive
if dpkg-query -W -f='${Status}' kelvramonitor 2>/dev/null | grep -q "install ok installed"; then
  echo "kelvramonitor is installed already; the test would remove it" >&2
  exit 1
fi
trap '$SUDO apt-get remove -y kelvramonitor >/dev/null || true' EXIT
$SUDO apt-get install -y --no-install-recommends "$deb"
out=$(/usr/bin/KelvraMonitor --version)
echo "$out"
[ "$out" = "KelvraMonitor $version" ] || { echo "unexpected version line: $out" >&2; exit 1; }
for f in /usr/share/KelvraMonitor/Translations/defaults.txt \
         /usr/share/applications/example.kelvra.KelvraMonitor.desktop \
         /usr/share/icons/hicolor/scalable/apps/KelvraMonitor.svg \
         /usr/share/metainfo/example.kelvra.KelvraMonitor.metainfo.xml; do
  [ -f "$f" ] || { echo "missing after install: $f" >&2; exit 1; }
done
$SUDO apt-get remove -y kelvramonitor
trap - EXIT
[ ! -e /usr/bin/KelvraMonitor ] || { echo "/usr/bin/KelvraMonitor left after removal" >&2; exit 1; }
echo "package test passed"
