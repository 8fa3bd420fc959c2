#!/usr/bin/env bash
# Renders every picture in docs/ anew: the window tests poll the meter
# simulator and, with MONITOR_SCREENSHOT_DIR set, save what the window shows.
# The pictures are taken on the offscreen platform with the DejaVu fonts, so
# they look the same on every machine.
# The trends pictures show a week of history: a second simulator, its clock
# started a week back and stepping 3 s per reading, is polled by raruzor-poll
# for 201600 cycles into a temporary archive first (about two minutes).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/release" -j "$(nproc 2>/dev/null || echo 2)" --target test_ui tarvel-meter-sim raruzor-poll
shots="$(mktemp -d)"
sim_pid=""
trap 'kill $sim_pid 2>/dev/null || true; rm -rf "$shots"' EXIT
QT_QPA_PLATFORM=offscreen MONITOR_SCREENSHOT_DIR="$shots" "$root/build/release/tests/test_ui" --gtest_brief=1 \
  --gtest_filter='MainWindowTest.PollsTheChosenConnection*:MainWindowTest.SpectralPages*:MainWindowTest.SignalsFormsPage*:MainWindowTest.VectorDiagrams*'

# A week of history for the trends pictures. The poller reads faster than a
# busy machine writes: when the archive's queue drops cycles it says so and
# exits non-zero, while the 10-minute rows the pictures show are all kept.
build="$root/build/release"
mkdir -p "$shots/history"
"$build/tools/meter-sim/tarvel-meter-sim" --port 0 --fast-clock --clock-step 3 \
  --start-time "$(date -d '-7 day -5 min' +%Y-%m-%dT%H:%M:%S)" > "$shots/history/simulator.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q LISTENING "$shots/history/simulator.out" 2>/dev/null && break; sleep 0.1; done
port="$(awk '/LISTENING/ {print $2}' "$shots/history/simulator.out")"
if [ -z "$port" ]; then
  echo "The history's meter simulator did not start" >&2
  exit 1
fi
echo "Recording a week of history (201600 cycles) for the trends pictures"
recording_started=$SECONDS
"$build/tools/poll/raruzor-poll" --tcp "127.0.0.1:$port" --device-type dtM7SQ --factory-number 1 \
  --cycles 201600 --archive "$shots/history/archive.sqlite" --log "$shots/history/poll.log" > /dev/null ||
  echo "raruzor-poll reported a failure (cycles not recorded?); the pictures show what was" >&2
echo "History recorded in $((SECONDS - recording_started)) s"
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
QT_QPA_PLATFORM=offscreen MONITOR_SCREENSHOT_DIR="$shots" MONITOR_TRENDS_ARCHIVE="$shots/history/archive.sqlite" \
  "$build/tests/test_ui" --gtest_brief=1 --gtest_filter='TrendsPicturesTest.*'

missing=0
for picture in "$root"/docs/*.png; do
  name="$(basename "$picture")"
  # the report's pages come from scripts/report-sample.sh
  case "$name" in report-page-*) continue ;; esac
  if [ -f "$shots/$name" ]; then
    cp "$shots/$name" "$picture"
  else
    echo "no test renders docs/$name" >&2
    missing=1
  fi
done
echo "screenshots: $(ls "$shots"/*.png | wc -l) pictures rendered into docs/"
exit "$missing"
