#!/usr/bin/env bash
# Ports that cannot be opened: held by another program, missing, not permitted. Each click on
# Connect gives its message in the status line and changes nothing else in the window.
source "$(dirname "$0")/system_lib.sh"

# refused <expected status>: clicks Connect; the status line says exactly that, and it is the
# only thing the window changes.
refused() {
    local before
    before=$(wc -l <"$trace")
    click bOpen
    wait_for 20 "a status after Connect" status_changed "$before"
    sleep 0.5 # whatever else the click would change shows by now
    local after
    after=$(tail -n +"$((before + 1))" "$trace" | cut -d' ' -f2- | grep -v "^tStatus\.Hint " || true)
    note "shown after Connect: $after"
    [ "$after" = "tStatus.Caption $1" ] || fail "expected only \"tStatus.Caption $1\", shown: $after"
    shows Shape1.FillColor 255 || fail "the lamp is not red"
    ! shown_has "bOpen.Caption Disconnect" || fail "bOpen showed Disconnect"
    lamp_is "$red" || fail "the lamp on screen is $(lamp_colour), not red"
    tuner_running || fail "dccd-tuner ended after a refused Connect"
}
status_changed() { tail -n +"$(($1 + 1))" "$trace" | grep -q ' tStatus\.Caption '; }

start_x -ac # the unprivileged program below is a client of root's X server
start_peer

# 1. Held by another program: a process holds the exclusive lock on the device.
"$python" -c '
import fcntl, os, sys, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
fcntl.flock(fd, fcntl.LOCK_EX)
open(sys.argv[2], "w").write("held\n")
time.sleep(600)
' "$device" "$work/held" &
holder=$!
pids+=("$holder")
wait_for 10 "the lock on the device" test -s "$work/held"
start_tuner "$work/held.trace" --port 1="$device"
refused "Cannot open port 1 (${device#/dev/}): in use by another program."
kill "$holder"
wait "$holder" 2>/dev/null || true
exit_tuner


# 2. A missing device and a file that is not a serial device, named on the command line: not
# listed, but preselected all the same, so Connect names the device (its short name here) and
# says what is wrong instead of opening another port.
: >"$work/regular"
for case in "/nonexistent/path|no such port" "$work/regular|not a serial device"; do
    path=${case%|*}
    start_tuner "$work/preselected.trace" --port 1="$path"
    shows pCPort.Text 1 || fail "port 1 ($path) is not preselected: $(now_shows pCPort.Text)"
    ! shown | grep -qE '^pCPort\.Items (.* )?1( |$)' || fail "port 1 ($path) is listed"
    refused "Cannot open port 1 ($(basename "$path")): ${case#*|}."
    exit_tuner
done

# 3. A device the user may not open: the program runs as nobody against root's device.
if [ "$(id -u)" -ne 0 ]; then
    skip "the permission case needs root to run the program as another user" \
        "(the held and missing cases passed)"
fi
chown root:root "$device"
chmod 600 "$device"
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
chown nobody:nogroup "$work/home" "$work/runtime"
: >"$work/denied.trace"
chown nobody:nogroup "$work/denied.trace"
# The build tree may sit in a folder only its owner may enter (a home folder, mktemp -d): the
# program and the leak checker's suppressions go where nobody can reach them.
mkdir -p "$work/bin"
cp "$tuner" "$work/bin/dccd-tuner"
chmod 755 "$work/bin" "$work/bin/dccd-tuner"
tuner="$work/bin/dccd-tuner"
lsan_options=${LSAN_OPTIONS:-}
if [[ "$lsan_options" == *suppressions=* ]]; then
    cp "${lsan_options#*suppressions=}" "$work/bin/lsan.supp"
    chmod 644 "$work/bin/lsan.supp"
    lsan_options="suppressions=$work/bin/lsan.supp"
fi
tuner_prefix=(setpriv --reuid=nobody --regid=nogroup --clear-groups
    env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" LSAN_OPTIONS="$lsan_options")
start_tuner "$work/denied.trace" --port 1="$device"
[ "$(stat -c %U "/proc/$tuner_pid")" = nobody ] || fail "the program does not run as nobody"
refused "Cannot open port 1 (${device#/dev/}): no group gives access, only root."
exit_tuner
echo "PASS: open-failures"
