#!/usr/bin/env bash
# The Windows programs under Wine, timed from the shell (medians of repeated runs):
#   start-up: from starting the program to its window visible on the X server, dccd-tuner.exe
#             beside a bare Qt window built the same way (static Qt, MinGW-w64), and their ratio
#   read:     dccd-ctl.exe --port 5 read against dccd-sim on COM5, from start to its end
# Needs DISPLAY (an X server), WINEPREFIX with COM5 led to <com5 link> and a running wineserver.
#
# Usage: wine_bench.sh <dccd-tuner.exe> <bare_window.exe> <dccd-ctl.exe> <dccd-sim> <com5 link>
#                      [rounds]
set -euo pipefail
tuner=$1 bare=$2 ctl=$3 sim=$4 link=$5 rounds=${6:-5}
wine="$(dirname "$0")/../../tests/windows/wine.sh" # execs Wine: the program keeps its pid

now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# Milliseconds from the start of the program to a visible window of its process.
visible_after() {
    local start pid
    start=$(now_ms)
    "$wine" "$1" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || { echo "$1 ended before showing a window" >&2; return 1; }
        sleep 0.005
    done
    echo $(($(now_ms) - start))
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# One untimed start of each first: Wine's own first-start work is not the program's.
visible_after "$tuner" >/dev/null
visible_after "$bare" >/dev/null
tuner_times=() bare_times=()
for _ in $(seq "$rounds"); do
    tuner_times+=("$(visible_after "$tuner")")
    bare_times+=("$(visible_after "$bare")")
done
tuner_median=$(printf '%s\n' "${tuner_times[@]}" | median)
bare_median=$(printf '%s\n' "${bare_times[@]}" | median)
echo "start to visible window, median of $rounds: dccd-tuner.exe $tuner_median ms" \
    "(${tuner_times[*]}), bare Qt window $bare_median ms (${bare_times[*]})," \
    "ratio $(awk -v a="$tuner_median" -v b="$bare_median" 'BEGIN { printf "%.2f", a / b }')"

# dccd-ctl.exe read against the simulator, which answers at once.
work=$(mktemp -d)
rm -f "$link"
"$sim" --link "$link" >"$work/sim.log" 2>&1 &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -L "$link" ] && break; sleep 0.05; done
read_times=()
for _ in $(seq "$rounds"); do
    start=$(now_ms)
    "$wine" "$ctl" --port 5 read >"$work/read.json" 2>"$work/read.log" ||
        { echo "dccd-ctl.exe read failed: $(cat "$work/read.log")" >&2; exit 1; }
    read_times+=("$(($(now_ms) - start))")
done
echo "dccd-ctl.exe --port 5 read, median of $rounds: $(printf '%s\n' "${read_times[@]}" | median) ms" \
    "(${read_times[*]})"
