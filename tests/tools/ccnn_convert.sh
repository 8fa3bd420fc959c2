#!/usr/bin/env bash
# The connection-list tool: both conversions of the worked example byte for
# byte, the listing, and bad input that must leave the output alone.
set -euo pipefail
tool="$1"; example="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$tool" "$example" "$work/list.bin" --binary
[ "$(stat -c %s "$work/list.bin")" = 1283 ] || fail "binary form is not 1283 bytes"
"$tool" "$work/list.bin" "$work/list.txt" --text
cmp "$work/list.txt" "$example" || fail "binary -> text differs from the example"
"$tool" "$work/list.txt" "$work/again.bin" --binary
cmp "$work/again.bin" "$work/list.bin" || fail "text -> binary differs"

listing="$("$tool" "$work/list.bin" --list)"
[ "$(printf '%s\n' "$listing" | wc -l)" = 1 ] || fail "one connection, one line: $listing"
for part in '^0; ' '12345' 'Tarvel (Адрес: 1)' 'COM3' '115200'; do
  grep -q -- "$part" <<<"$listing" || fail "listing lacks '$part': $listing"
done

# A cut list: an error on stderr, a non-zero status, no output file.
head -c 600 "$work/list.bin" > "$work/cut.bin"
if "$tool" "$work/cut.bin" "$work/new.txt" --text 2> "$work/err"; then fail "a cut list was accepted"; fi
grep -q "Ошибка загрузки данных" "$work/err" || fail "no load error text: $(cat "$work/err")"
[ ! -e "$work/new.txt" ] || fail "an output file was created for bad input"

# An existing output is not touched by a failed conversion.
printf 'keep me' > "$work/old.txt"
if "$tool" "$work/cut.bin" "$work/old.txt" --text 2>/dev/null; then fail "a cut list was accepted"; fi
[ "$(cat "$work/old.txt")" = 'keep me' ] || fail "a failed conversion changed the existing output"
[ -z "$(ls "$work" | grep -v -E '^(list\.bin|list\.txt|again\.bin|cut\.bin|err|old\.txt)$')" ] ||
  fail "left-over files: $(ls "$work")"

# Usage errors.
if "$tool" "$example" 2>/dev/null; then fail "no action accepted"; fi
if "$tool" "$example" "$work/x" --binary --text 2>/dev/null; then fail "two actions accepted"; fi
if "$tool" "$work/missing.ccnn" --list 2>/dev/null; then fail "a missing file was listed"; fi
"$tool" --help | grep -- '--binary' >/dev/null || fail "--help lacks --binary"
echo "ccnn-convert: all checks passed"
