#!/usr/bin/env bash
# `make bench`: figures for the running agent under Wine. Prints, never fails the build.
#  - latency from a queued hook message to the folder menu being visible (median and worst of 50);
#  - the agent's memory (resident set) next to the smallest Wine window program, in the same run;
#  - the agent's CPU seconds over 60 idle seconds (Wine's own overhead included);
#  - reloading and rebuilding the folder menu for 1,000 favourites in 50 submenus and 100 filters;
#  - the recent lists' full and incremental scans with 2,000 shortcuts, and a 40-file submenu;
#  - from picking a favourite to a real Save As dialog (notepad's) showing that folder (of 16).
set -u
cd "$(dirname "$0")/.."
[ -n "${QF_ENV_UP:-}" ] || exec scripts/with-wine.sh "$0" "$@"
. scripts/wine-env.sh
tool() { wine "$QF_BIN/qftool.exe" "$@" 2>/dev/null | tr -d '\r'; }
# Prints "WHAT: median, worst (runs)" of the millisecond samples after WHAT.
summary() {
  local what=$1
  shift
  if [ $# -eq 0 ]; then
    echo "$what: no measurement"
    return
  fi
  printf '%s\n' "$@" | sort -n | awk -v what="$what" '{ v[NR] = $1 } END {
    printf "%s: median %.1f ms, worst %.1f ms (%d runs)\n", what, v[int((NR + 1) / 2)], v[NR], NR }'
}

wine "$QF_BIN/qrfolder.exe" >/dev/null 2>&1 &
pid=$!  # under Wine the loader process becomes the program's process
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT
for _ in $(seq 1 100); do tool thread >/dev/null && [ "$(tool thread)" != 0 ] && break; sleep 0.2; done

wine "$QF_BIN/menu_bench.exe" 2>/dev/null | tr -d '\r'
wine "$QF_BIN/recent_bench.exe" 2>/dev/null | tr -d '\r'

samples=()
for _ in $(seq 1 50); do
  xdotool mousemove 400 300
  ms=$(tool latency) && samples+=("$ms")
  xdotool mousemove 1200 1000 click 1
  sleep 0.3
done
summary "queued hook message -> menu visible" "${samples[@]}"

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

# Pick -> dialog in the folder: a fresh agent with two favourites of its own, notepad's Save As
# dialog, a middle click for the menu, then from the Return that picks a favourite until the
# dialog's "Save in" box (control 0x471) names the folder. The two are taken in turn; the
# store the agent had is put back afterwards.
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
agent_key='HKCU\Software\BrantwellTools\Quillrook Folder'
folders="$QF_BUILD/bench-folders"
rm -rf "$folders"
mkdir -p "$folders/pick a" "$folders/pick b"
saved=$(winepath -w "$folders/store.reg" 2>/dev/null)
wine reg export "$agent_key" "$saved" /y >/dev/null 2>&1
wine reg delete "$agent_key" /f >/dev/null 2>&1
wine reg add "$agent_key\1.0" /v ShowTray /t REG_DWORD /d 1 /f >/dev/null 2>&1
for name in "pick a" "pick b"; do
  wine reg add "$agent_key\Path" /v "Z:${folders//\//\\}\\$name" /t REG_SZ /d "$name\$0" /f >/dev/null 2>&1
done
wine "$QF_BIN/qrfolder.exe" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 100); do tool agent >/dev/null && break; sleep 0.2; done
wine notepad >/dev/null 2>&1 &
notepad=$!
trap 'kill "$pid" "$notepad" 2>/dev/null; wait "$pid" "$notepad" 2>/dev/null' EXIT
dialog=""
for _ in $(seq 1 60); do
  main=$(xdotool search --name "Untitled - Notepad" 2>/dev/null | head -1)
  if [ -n "$main" ]; then
    xdotool windowfocus --sync "$main" 2>/dev/null
    sleep 0.5
    xdotool key ctrl+s
    sleep 1
    dialog=$(tool windows "#32770" "Save As" | awk '$2 == 1 { print $3, $4, $5, $6; exit }')
    [ -n "$dialog" ] && break
  fi
  sleep 0.5
done
samples=()
if [ -n "$dialog" ]; then
  read -r left top right bottom <<<"$dialog"
  for i in $(seq 1 16); do
    if [ $((i % 2)) = 1 ]; then name="pick a"; keys="0x28 0x0D"; else name="pick b"; keys="0x28 0x28 0x0D"; fi
    xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 3)) click 2
    for _ in $(seq 1 50); do tool menu >/dev/null && break; sleep 0.2; done
    # shellcheck disable=SC2086
    ms=$(tool pick-latency "Save As" 0x471 "$name" $keys) && samples+=("$ms")
    sleep 1.5  # the agent puts the typed name back before it takes the next click
  done
fi
summary "pick -> Save As dialog in the folder" "${samples[@]}"
kill "$pid" "$notepad" 2>/dev/null
wait "$pid" "$notepad" 2>/dev/null
wine reg delete "$agent_key" /f >/dev/null 2>&1
[ -f "$folders/store.reg" ] && wine reg import "$saved" >/dev/null 2>&1
rm -rf "$folders"
