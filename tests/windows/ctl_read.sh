#!/usr/bin/env bash
# dccd-ctl.exe read on COM5, named as Windows names it: a stale report waiting in the line before the open is discarded,
# the read request goes out, and the tune file holds the peer's answer, under the name given
# (letters outside the ANSI code page too).
source "$(dirname "$0")/wine_lib.sh"

start_com5_peer
peer queue "$(report_hex 1 2 3 4 5 6 0 1 0)"
tune="$work/read-Ωμ.json"
LC_ALL=C.UTF-8 ctl "${answer_wait[@]}" --port COM5 read -o "$(windows_path "$tune")" >"$work/ctl.log" 2>&1 &
ctl_pid=$!
pids+=("$ctl_pid")
wait_for 60 "the read request" received_has 'R\r'
peer send "$(report_hex 120 90 100 80 10 40 1 0 0)"
wait "$ctl_pid" || fail "dccd-ctl.exe read ended with $?: $(cat "$work/ctl.log")"
[ "$(received_bytes)" = "$(printf 'R\r')" ] || fail "more than the read request was sent"
[ -f "$tune" ] || fail "no file $tune: $(ls "$work")"
"$python" - "$tune" <<'PY' || fail "the tune file is not the peer's answer: $(cat "$tune")"
import json, sys
import re
tune = json.load(open(sys.argv[1]))
read_at = tune.pop("read_at", "")
expected = {"format": "dccd-tune", "version": 1, "port": 5, "acceleration": 120,
            "deceleration": 90, "turning": 100, "max_output": 80, "min_output": 10,
            "lfb_threshold": 40, "tps_reverse": True, "ebrake_cut_off": False}
sys.exit(0 if tune == expected and re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", read_at) else 1)
PY
cp "$tune" "$artifacts/read.json"
echo "PASS: ctl-read"
