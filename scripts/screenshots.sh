#!/usr/bin/env bash
# Renders every picture in docs/ anew: the window tests poll the meter
# simulator and, with MONITOR_SCREENSHOT_DIR set, save what the window shows.
# The pictures are taken on the offscreen platform with the DejaVu fonts, so
# they look the same on every machine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/release" -j "$(nproc 2>/dev/null || echo 2)" --target test_ui
shots="$(mktemp -d)"
trap 'rm -rf "$shots"' EXIT
QT_QPA_PLATFORM=offscreen MONITOR_SCREENSHOT_DIR="$shots" "$root/build/release/tests/test_ui" --gtest_brief=1 \
  --gtest_filter='MainWindowTest.PollsTheChosenConnection*:MainWindowTest.SpectralPages*:MainWindowTest.SignalsFormsPage*:MainWindowTest.VectorDiagrams*'
missing=0
for picture in "$root"/docs/*.png; do
  name="$(basename "$picture")"
  if [ -f "$shots/$name" ]; then
    cp "$shots/$name" "$picture"
  else
    echo "no test renders docs/$name" >&2
    missing=1
  fi
done
echo "screenshots: $(ls "$shots"/*.png | wc -l) pictures rendered into docs/"
exit "$missing"
