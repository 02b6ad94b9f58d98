#!/usr/bin/env bash
# Without any display the program says in plain words that it needs a graphical session, names
# what works without one, and ends with status 1 (not the toolkit's abort and core dump).
source "$(dirname "$0")/system_lib.sh"

check() {
    local rc=0 said
    said=$("$@" 2>&1 >/dev/null) || rc=$?
    note "status $rc: $said"
    [ "$rc" -eq 1 ] || fail "ended with status $rc, not 1"
    grep -q "needs a graphical session" <<<"$said" || fail "does not say it needs a graphical session"
    grep -q -- "--list-ports" <<<"$said" || fail "does not name --list-ports"
    ! grep -qi "reinstall" <<<"$said" || fail "passes on the toolkit's advice to reinstall"
}
check env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tuner"
# A display that is named but does not answer.
check env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:987 "$tuner"
echo "PASS: no-display"
