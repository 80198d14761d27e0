#!/usr/bin/env bash
# Renews the README's picture of the main window: runs the window test that takes it (offscreen,
# against kelvra-sim's demo world) in the test build and copies the picture to docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build-test/bin/test_ui ] || scripts/test.sh -R '^test_ui_MainWindowShotTest$'
(cd build-test/bin && QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 \
  ASAN_OPTIONS=detect_leaks=0 ./test_ui MainWindowShotTest)
mkdir -p docs
cp build-test/bin/main-window.png docs/main-window.png
echo "docs/main-window.png renewed"
