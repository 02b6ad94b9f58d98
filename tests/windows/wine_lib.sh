# Shared helpers of the Windows system tests: the programs under Wine, with COM5 led to a line
# peer's pseudo-terminal, and everything else as tests/system/system_lib.sh has it (the private X
# server, the line peer, clicks, the lamp and the trace). Sourced by each test; reads its inputs
# from the environment set by CMake and the test preset:
#   DCCD_TUNER_EXE DCCD_TUNES_EXE DCCD_CTL_EXE DCCD_WINE DCCD_WINE_COM5 DCCD_SOURCE DCCD_ARTIFACTS
#   DCCD_PYTHON
#   WINEPREFIX (scripts/windows wires COM5 there)
if [ -z "${WINEPREFIX:-}" ]; then
    echo "SKIPPED: no WINEPREFIX (scripts/windows runs these tests)"
    exit 77
fi
export DCCD_TUNER_EXE DCCD_WINE
export DCCD_TUNER="$DCCD_SOURCE/tests/windows/wine_tuner.sh"
export DCCD_SIM=none # the simulator is a Linux program; these tests use the line peer
export DCCD_SANITIZED=OFF
# shellcheck source=tests/system/system_lib.sh
source "$DCCD_SOURCE/tests/system/system_lib.sh"

# A Unix path as the Windows programs see it: on Wine's drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# ctl <arguments...>: dccd-ctl.exe, its output with Unix line ends once it has ended.
# The peer answers a request only once this script has seen it, which on a busy machine can take
# longer than dccd-ctl's own 3 s: a command that waits for the peer's answer is given this much.
answer_wait=(--timeout 120)
ctl() {
    local out err status=0
    out=$(mktemp "$work/ctl-out.XXXXXX")
    err=$(mktemp "$work/ctl-err.XXXXXX")
    "$DCCD_WINE" "$DCCD_CTL_EXE" "$@" >"$out" 2>"$err" || status=$?
    tr -d '\r' <"$out"
    tr -d '\r' <"$err" >&2
    return "$status"
}

# The line peer behind COM5. COM23, a number the window never lists, leads to the link com23
# beside COM5's (scripts/lib.sh wires both).
start_com5_peer() { start_peer --link "$DCCD_WINE_COM5"; }
DCCD_WINE_COM23=$(dirname "$DCCD_WINE_COM5")/com23

# hide_listed_ports: the system's registry of serial ports without ports 1 to 16, as on a laptop
# whose only port is a USB adapter numbered COM23 (Wine registers the machine's ttyS0 as COM1);
# show_listed_ports puts them back. The registry holds them while Wine's server runs.
listed_ports=""
hide_listed_ports() {
    listed_ports=$("$DCCD_WINE" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null |
        tr -d '\r' | awk '$2 == "REG_SZ" && $3 ~ /^COM([1-9]|1[0-6])$/ { print $1, $3 }')
    registered_ports_as - || fail "cannot take ports 1 to 16 out of the registry"
}
show_listed_ports() { registered_ports_as '"PORT"'; }
# registered_ports_as <value>: gives each of the listed ports that value in the registry (- takes
# it out, "PORT" is its own name), through a file for regedit.
registered_ports_as() {
    local name port file=$work/ports.reg
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n' >"$file"
    while read -r name port; do
        [ -z "$name" ] || printf '"%s"=%s\r\n' "${name//\\/\\\\}" "${1//PORT/$port}" >>"$file"
    done <<<"$listed_ports"
    "$DCCD_WINE" regedit /S "$(windows_path "$file")" >/dev/null 2>&1
}

# received_has <text>: the bytes (printf escapes allowed) arrived at the peer.
received_has() { [ "$(received_count "$(printf '%b' "$1")")" -gt 0 ]; }

# A report of the six percentages and three switches given, as the controller sends it.
report_hex() {
    hex "$(printf 'P,%05d,%05d,%05d,%05d,%05d,%05d,%05d,%05d,%05d\r' "$@")"
}

# Wine's desktop process (explorer.exe) of this prefix lives on the X server of the test that
# started it, and ends some moments after that server is gone; a window started meanwhile would
# go to it. True when none of an earlier test is left.
no_earlier_desktop() {
    local pid
    for pid in $(pgrep -x explorer.exe 2>/dev/null); do
        grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null && continue
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
            return 1
    done
    return 0
}

# start_wine_x [Xvfb arguments...]: the private X server, once Wine's desktop of an earlier test
# has ended.
start_wine_x() {
    wait_for 30 "Wine's desktop of an earlier test to end" no_earlier_desktop
    start_x "$@"
}

# set_log_pixels <dots per inch>: the display's resolution for the next program started (96 is
# 100 %, 144 is 150 %).
set_log_pixels() {
    "$DCCD_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1 || fail "cannot set the display's resolution to $1"
}

# Wine's server of this prefix ended and started again, kept running as scripts/windows keeps it.
restart_wineserver() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p 2>/dev/null || fail "Wine's server did not start again"
}
