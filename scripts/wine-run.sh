#!/usr/bin/env bash
# ctest's emulator for the Windows build: runs one program under the build tree's Wine prefix.
# Every test program prints something; one that fails without a word never ran (Wine's loader
# gave up at start, seen rarely under load), so it gets one more start, and says so.
set -u
here="$(dirname "${BASH_SOURCE[0]}")"
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$here/with-wine.sh" wine "$@" >"$out" 2>"$err"
rc=$?
if [ "$rc" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "wine-run: the program ended at once without output (exit $rc); starting it once more" >&2
  "$here/with-wine.sh" wine "$@" >"$out" 2>"$err"
  rc=$?
fi
cat "$out"
cat "$err" >&2
exit "$rc"
