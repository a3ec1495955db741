#!/usr/bin/env bash
# `make bench`: figures for the running agent under Wine. Prints, never fails the build.
#  - latency from a queued hook message to the folder menu being visible (median and worst of 50);
#  - the agent's memory (resident set) next to the smallest Wine window program, in the same run;
#  - the agent's CPU seconds over 60 idle seconds (Wine's own overhead included);
#  - reloading and rebuilding the folder menu for 1,000 favourites in 50 submenus and 100 filters.
set -u
cd "$(dirname "$0")/.."
[ -n "${QF_ENV_UP:-}" ] || exec scripts/with-wine.sh "$0" "$@"
. scripts/wine-env.sh
tool() { wine "$QF_BIN/qftool.exe" "$@" 2>/dev/null | tr -d '\r'; }

wine "$QF_BIN/qrfolder.exe" >/dev/null 2>&1 &
pid=$!  # under Wine the loader process becomes the program's process
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT
for _ in $(seq 1 100); do tool thread >/dev/null && [ "$(tool thread)" != 0 ] && break; sleep 0.2; done

wine "$QF_BIN/menu_bench.exe" 2>/dev/null | tr -d '\r'

samples=()
for _ in $(seq 1 50); do
  xdotool mousemove 400 300
  ms=$(tool latency) && samples+=("$ms")
  xdotool mousemove 1200 1000 click 1
  sleep 0.3
done
if [ ${#samples[@]} -gt 0 ]; then
  printf '%s\n' "${samples[@]}" | sort -n | awk '{ v[NR] = $1 } END {
    printf "queued hook message -> menu visible: median %.1f ms, worst %.1f ms (%d runs)\n", v[int((NR + 1) / 2)], v[NR], NR }'
else
  echo "queued hook message -> menu visible: no measurement"
fi

# Resident memory, agent and yardstick side by side (Wine's own mappings included in both).
wine "$QF_BIN/qftool.exe" idle-window 20 >/dev/null 2>&1 &
idle=$!
sleep 5
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status" 2>/dev/null; }
if kill -0 "$pid" 2>/dev/null && kill -0 "$idle" 2>/dev/null; then
  echo "resident memory: agent $(rss "$pid") kB, minimal Wine window program $(rss "$idle") kB"
fi
kill "$idle" 2>/dev/null
wait "$idle" 2>/dev/null

if kill -0 "$pid" 2>/dev/null; then
  ticks=$(getconf CLK_TCK)
  cpu() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
  before=$(cpu)
  sleep 60
  after=$(cpu)
  awk -v a="$before" -v b="$after" -v t="$ticks" 'BEGIN { printf "idle agent CPU over 60 s: %.2f s\n", (b - a) / t }'
fi
