#!/usr/bin/env bash
# Builds the program and the substitute service, starts kelvra-sim with its demo world on a
# free loopback port and starts KelvraMonitor signed in to it. Closing the window stops both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVRA_TESTS=OFF
cmake --build build -j"$(nproc)"

bin=build/bin
state=$(mktemp -d)
"$bin/kelvra-sim" --port 0 --seed 1 >"$state/sim.out" 2>"$state/sim.log" &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  port=$(head -n 1 "$state/sim.out" 2>/dev/null | tr -dc 0-9)
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "${port:-}" ]; then echo "kelvra-sim did not start; see $state/sim.log" >&2; exit 1; fi
echo "kelvra-sim serves the demo world on http://127.0.0.1:$port (user demo, password demo)"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: kelvra-sim keeps running until Ctrl+C." >&2
  wait $sim
  exit 0
fi
# The password travels in the environment, not in the arguments every local user can list.
KELVRA_PASSWORD=demo "$bin/KelvraMonitor" "server=http://127.0.0.1:$port" user=demo autologon=true \
  autologon_timeout=1 \
  "map_url_osm=http://127.0.0.1:$port/tiles/{z}/{x}/{y}.png" \
  "map_url_topo=http://127.0.0.1:$port/tiles-topo/{z}/{x}/{y}.png" "$@"
