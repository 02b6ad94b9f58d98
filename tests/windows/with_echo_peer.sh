#!/usr/bin/env bash
# Runs a command (a test program under Wine) while a line peer holds the pseudo-terminal that
# COM5 leads to and sends every byte it receives straight back.
# Usage: with_echo_peer.sh <python3> <line_peer.py> <COM5's link> <command...>
set -euo pipefail
python=$1 peer=$2 link=$3
shift 3
work=$(mktemp -d)
peer_pid=
finish() {
    exec 4>&- 2>/dev/null || true
    if [ -n "$peer_pid" ]; then
        kill "$peer_pid" 2>/dev/null || true
        wait "$peer_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap finish EXIT

mkfifo "$work/in"
"$python" "$peer" --dir "$work" --link "$link" <"$work/in" >"$work/peer.log" 2>&1 &
peer_pid=$!
exec 4>"$work/in"
echo echo >&4
for _ in $(seq 3000); do # a busy machine may take long to start Python; this bounds a hang
    grep -qx 'done echo' "$work/peer.log" && break
    kill -0 "$peer_pid" 2>/dev/null || break
    sleep 0.02
done
grep -qx 'done echo' "$work/peer.log" || { echo "the line peer did not start:" >&2; cat "$work/peer.log" >&2; exit 1; }
status=0
"$@" || status=$?
exit "$status"
