# Shared by the scripts: installs what is missing and builds a preset.
# shellcheck shell=bash

repo_root() {
    cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd
}

# Installs every package of scripts/packages.txt that is not installed yet, and the packages
# named as arguments.
ensure_packages() {
    install_missing "$(grep -v -E '^\s*(#|$)' "$(repo_root)/scripts/packages.txt")" "$@"
}

# Installs only what the programs need to build and run (the first part of packages.txt).
ensure_program_packages() {
    install_missing "$(sed -n '/^# -- the programs/,/^# -- the tests/p' "$(repo_root)/scripts/packages.txt" |
        grep -v -E '^\s*(#|$)')"
}

install_missing() {
    local list=$1 missing=()
    shift
    for pkg in $list "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    wait_for_apt_lock
    $sudo apt-get update -qq
    local log
    log=$(mktemp)
    if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        -o DPkg::Lock::Timeout="${DCCD_APT_WAIT:-600}" "${missing[@]}" >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}

# Another apt-get or an unattended upgrade may hold dpkg's lock: wait for it (up to
# DCCD_APT_WAIT seconds, 600 by default) instead of stopping at apt's error.
wait_for_apt_lock() {
    local waited=0 limit=${DCCD_APT_WAIT:-600}
    command -v fuser >/dev/null || return 0
    while fuser /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock >/dev/null 2>&1; do
        if [ "$waited" -eq 0 ]; then
            echo "Another package manager holds the lock; waiting for it (up to $limit s)..."
        fi
        if [ "$waited" -ge "$limit" ]; then
            echo "The package lock is still held after $limit s; try again when the other installation has finished." >&2
            return 1
        fi
        sleep 2
        waited=$((waited + 2))
    done
}

# Configures and builds one preset of CMakePresets.json; further arguments go to the build
# (--target ... builds those instead of the preset's own).
build_preset() {
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)" "$@"
}

# start_xvfb <log file> [Xvfb arguments...]: a private X server on a display number it picks
# itself (never one another server holds), DISPLAY exported for it and its pid in xvfb_pid.
start_xvfb() {
    local log=$1 number_file
    shift
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset "$@" 3>"$number_file" \
        >"$log" 2>&1 &
    xvfb_pid=$!
    local waited=0
    until [ -s "$number_file" ]; do
        if [ "$waited" -ge 600 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
            echo "The X server did not start: $(tail -n 5 "$log")" >&2
            rm -f "$number_file"
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    export DISPLAY=":$(head -n 1 "$number_file")"
    rm -f "$number_file"
}

# Wine for the Windows build (scripts/windows, scripts/bench): a private prefix in <dir>/wine,
# quiet and without the Mono and Gecko installers, whose COM5 leads to the link <dir>/com5 and
# COM23 to <dir>/com23 (each test points them at its own pseudo-terminal), and one wineserver
# kept running so that every program starts in a fraction of a second. wine_stop ends that
# server and what runs in it.
wine_start() {
    local dir port
    dir=$(mkdir -p "$1" && cd "$1" && pwd)
    export WINEPREFIX="$dir/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/.dccd-ports" ] || [ "$(cat "$WINEPREFIX/.dccd-ports")" != "$dir" ]; then
        echo "Setting up the Wine prefix $WINEPREFIX (COM5 and COM23 lead to $dir/com5 and $dir/com23)"
        wineboot -i >/dev/null 2>&1
        for port in com5 com23; do
            "$(repo_root)/tests/windows/wine.sh" reg add 'HKLM\Software\Wine\Ports' /v "${port^^}" /t REG_SZ /d "$dir/$port" /f >/dev/null 2>&1
        done
        # The port mapping is read when Wine starts.
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
        echo "$dir" >"$WINEPREFIX/.dccd-ports"
    fi
    wineserver -p 2>/dev/null || true # (one may run for this prefix already)
    "$(repo_root)/tests/windows/wine.sh" cmd /c exit >/dev/null 2>&1 || true # Wine's own services up before the first test
}

wine_stop() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}
