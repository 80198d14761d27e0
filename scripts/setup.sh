#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need.
# Idempotent: only missing packages are installed, without questions.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config ccache mold
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libxkbcommon-dev
  libcurl4-openssl-dev nlohmann-json3-dev libsimdjson-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libpcre2-dev libcpp-httplib-dev libssl-dev openssl libcairo2-dev libgeographiclib-dev
  libxlsxwriter-dev qtkeychain-qt6-dev unzip
  googletest libgmock-dev libgtest-dev libbenchmark-dev
  fonts-dejavu-core locales tzdata
  gnome-keyring libsecret-1-0 dbus-daemon
  dpkg-dev file appstream lintian
)
# Only for looking at the program under a virtual display.
if [ "${KELVRA_WITH_X:-0}" = 1 ]; then
  PACKAGES+=(xvfb xauth imagemagick xdotool)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
