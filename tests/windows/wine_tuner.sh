#!/usr/bin/env bash
# dccd-tuner.exe under Wine, started as the system tests start dccd-tuner: with the toolkit's
# own Windows platform and the trace variable's Unix path on Wine's drive Z:. The window (started
# with a trace) keeps this process's id, so that it can be found by it; the options that only
# print give their output with Unix line ends once the program has ended.
set -uo pipefail
unset QT_QPA_PLATFORM
wine=${DCCD_WINE:-wine}
if [ -n "${DCCD_TUNER_TRACE:-}" ]; then
    DCCD_TUNER_TRACE="Z:${DCCD_TUNER_TRACE//\//\\}"
    export DCCD_TUNER_TRACE
    exec "$wine" "$DCCD_TUNER_EXE" "$@"
fi
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine" "$DCCD_TUNER_EXE" "$@" >"$out" 2>"$err" || status=$?
tr -d '\r' <"$out"
tr -d '\r' <"$err" >&2
exit "$status"
