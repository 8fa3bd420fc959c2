#!/usr/bin/env bash
# Builds the program and starts it. When the meter simulator is built it is
# started too, on a loopback port, and stopped again when the program closes.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target raruzor-monitor

sim="$build/tools/meter-sim/tarvel-meter-sim"
if [ -x "$sim" ]; then
  cmake --build "$build" --target tarvel-meter-sim
  port="${MONITOR_SIM_PORT:-50555}"
  "$sim" --port "$port" &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
  echo "Meter simulator listens on 127.0.0.1:$port"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: starting under xvfb-run"
  exec_prefix=(xvfb-run -a -s "-screen 0 1280x800x24")
else
  exec_prefix=()
fi
"${exec_prefix[@]}" "$build/src/app/raruzor-monitor"
