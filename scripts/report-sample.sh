#!/usr/bin/env bash
# Makes docs/report-sample.pdf and docs/report-sample.html anew, and the
# pictures of the PDF's pages (docs/report-page-N.png, 70 dpi): the meter
# simulator, its clock started a week back and stepping 3 s per reading, is
# polled by raruzor-poll for a week of cycles (201600, a few minutes) into a
# temporary archive, and raruzor-report writes that week.
# Usage: scripts/report-sample.sh [BUILD_FOLDER]   (default build/release)
# REPORT_SAMPLE_ARCHIVE=FILE keeps the recorded archive there and reuses it
# when it exists.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
cmake --build "$build" --target tarvel-meter-sim raruzor-poll raruzor-report
work="$(mktemp -d)"
sim_pid=""
trap 'kill $sim_pid 2>/dev/null || true; rm -rf "$work"' EXIT

archive="${REPORT_SAMPLE_ARCHIVE:-$work/archive.sqlite}"
if [ ! -e "$archive" ]; then
"$build/tools/meter-sim/tarvel-meter-sim" --port 0 --fast-clock --clock-step 3 --start-time 2026-12-01T00:00:00 \
  > "$work/simulator.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q LISTENING "$work/simulator.out" 2>/dev/null && break; sleep 0.1; done
port="$(awk '/LISTENING/ {print $2}' "$work/simulator.out")"
[ -n "$port" ] || { echo "The meter simulator did not start" >&2; exit 1; }
echo "Recording a week (201600 cycles)"
# A busy machine may drop a few cycles from the archive's queue: the poller
# says so and exits non-zero; the report shows what was recorded.
"$build/tools/poll/raruzor-poll" --tcp "127.0.0.1:$port" --device-type dtM7SQ --factory-number 4321 \
  --cycles 201600 --archive "$archive" --log "$work/poll.log" > /dev/null ||
  echo "raruzor-poll reported a failure; the sample shows what was recorded" >&2
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
fi

fields=(--site "ПС 110/10 кВ «Заречная», РУ-10 кВ, ввод 1" --customer "ООО «Энергосбыт-Пример»")
for format in pdf html; do
  QT_QPA_PLATFORM=offscreen "$build/tools/report/raruzor-report" --archive "$archive" \
    --from 2026-12-01 --to 2026-12-08 "${fields[@]}" --format $format --out "$root/docs/report-sample.$format"
done
rm -f "$root"/docs/report-page-*.png
pdftoppm -r 70 -png "$root/docs/report-sample.pdf" "$work/page"
for picture in "$work"/page-*.png; do
  n="$(basename "$picture" .png)"; n="$((10#${n#page-}))"
  cp "$picture" "$root/docs/report-page-$n.png"
done
echo "report-sample: $(ls "$root"/docs/report-page-*.png | wc -l) pages"
