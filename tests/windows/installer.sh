#!/usr/bin/env bash
# The installer run silently by a user without administrator rights: the zip's files, the icon
# and the uninstaller in %LOCALAPPDATA%\Programs\dccd-tuner, the Start-menu entries, the entry of
# the installed apps, the folder after the rest of the user's PATH (dccd-ctl found by a new
# Command Prompt) and the installed tuner's window; installed again over itself, nothing doubles;
# the silent uninstaller takes all of it away and leaves the restore points and the rest of PATH.
# Installed again or uninstalled while the installed tuner runs, it changes nothing and ends with
# 3; beside a folder left set aside or with a Command Prompt in the folder, with 4. A PATH too long
# for the folder is left whole and the log says so; one that held the folder keeps it.
source "$(dirname "$0")/wine_lib.sh"

[ -n "${DCCD_INSTALLER:-}" ] || skip "no DCCD_INSTALLER (scripts/windows builds it before the tests)"
[ -f "$DCCD_INSTALLER" ] || fail "no installer at $DCCD_INSTALLER"

wine_out() { "$DCCD_WINE" "$@" 2>/dev/null | tr -d '\r'; }
# reg_value <key> <name>: the value's data as reg shows it; empty when there is none.
reg_value() { wine_out reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_[A-Z_]* *//p" || true; }
user_path() { reg_value 'HKCU\Environment' Path; }

version=$(sed -n 's/^project(dccd-tuner VERSION \([0-9.]*\).*/\1/p' "$DCCD_SOURCE/CMakeLists.txt")
name=$(sed -n 's/^Name=//p' "$DCCD_SOURCE/packaging/org.example.dccd_tuner.desktop")
publisher=$(sed -n 's/^Copyright (c) [0-9]* //p' "$DCCD_SOURCE/LICENSE")
local_app_data=$(wine_out cmd /c 'echo %LOCALAPPDATA%')
folder="$local_app_data\\Programs\\dccd-tuner"
folder_unix=$(wine_out winepath -u "$folder")
shortcut=$(wine_out winepath -u "$(wine_out cmd /c 'echo %APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs\\$name.lnk")
tunes_shortcut=$(dirname "$shortcut")/$(sed -n 's/^Name=//p' "$DCCD_SOURCE/packaging/org.example.dccd_tunes.desktop").lnk
app_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\dccd-tuner'
restore_point=$(wine_out winepath -u "$local_app_data\\dccd-tuner\\restore-points")/installer-test.json

# A run that stopped half-way may have left its installation: start from none, with a PATH of
# the user's own, an unexpanded entry in it, and a restore point of the user's.
wine_out reg delete "$app_key" /f >/dev/null || true
rm -rf "$folder_unix" "$shortcut" "$tunes_shortcut"
path_before=$(user_path)
# The prefix's PATH and restore points as they were, however the test ends.
on_cleanup() {
    rm -f "$restore_point"
    if [ -n "$path_before" ]; then
        wine_out reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$path_before" /f >/dev/null
    else
        wine_out reg delete 'HKCU\Environment' /v Path /f >/dev/null
    fi
}
users_path='C:\before;%USERPROFILE%\bin'
wine_out reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$users_path" /f >/dev/null
mkdir -p "$(dirname "$restore_point")"
echo '{"format": "dccd-tune"}' >"$restore_point"

installed_files() { (cd "$folder_unix" && find . -type f | sort); }
expected_files() {
    (cd "$DCCD_INSTALLED_FILES" && find . -type f && printf './%s\n' dccd-tuner.ico dccd-tunes.ico \
        uninstall.exe install-log.txt) | sort
}
check_installed() {
    local when=$1 file
    [ "$(installed_files)" = "$(expected_files)" ] ||
        fail "$when: the installed files differ: $(diff <(expected_files) <(installed_files))"
    while read -r file; do
        cmp -s "$DCCD_INSTALLED_FILES/$file" "$folder_unix/$file" || fail "$when: $file differs"
    done < <(cd "$DCCD_INSTALLED_FILES" && find . -type f)
    [ -f "$shortcut" ] || fail "$when: no Start-menu entry at $shortcut"
    tr -d '\0' <"$shortcut" | grep -aqiF "$folder\\dccd-tuner.exe" ||
        fail "$when: the Start-menu entry does not start $folder\\dccd-tuner.exe"
    tr -d '\0' <"$tunes_shortcut" | grep -aqiF "$folder\\dccd-tunes.exe" ||
        fail "$when: no Start-menu entry $tunes_shortcut that starts $folder\\dccd-tunes.exe"
    [ "$(reg_value "$app_key" DisplayName)" = "$name" ] || fail "$when: no DisplayName $name"
    [ "$(reg_value "$app_key" DisplayVersion)" = "$version" ] || fail "$when: no DisplayVersion $version"
    [ "$(reg_value "$app_key" Publisher)" = "$publisher" ] || fail "$when: no Publisher $publisher"
    [ "$(reg_value "$app_key" DisplayIcon)" = "$folder\\dccd-tuner.ico" ] || fail "$when: no DisplayIcon"
    [ "$(reg_value "$app_key" UninstallString)" = "\"$folder\\uninstall.exe\"" ] ||
        fail "$when: no UninstallString"
    local size_kib
    size_kib=$(($(reg_value "$app_key" EstimatedSize)))
    [ "$size_kib" -ge "$(du -sk "$DCCD_INSTALLED_FILES" | cut -f1)" ] ||
        fail "$when: EstimatedSize $size_kib KiB is less than the files"
    [ "$(user_path)" = "$users_path;$folder" ] || fail "$when: PATH is '$(user_path)'"
    [ "$(wine_out cmd /c dccd-ctl --version)" = "dccd-ctl $version" ] ||
        fail "$when: a new Command Prompt does not find dccd-ctl on PATH"
}

"$DCCD_WINE" "$DCCD_INSTALLER" /S || fail "the silent installation ended with $?"
check_installed "installed"
# Every text one that Notepad opens with a double-click and shows in lines.
unopenable=$(cd "$folder_unix" && find . -type f -not -name '*.txt' -not -name '*.exe' \
    -not -name '*.zip' -not -name '*.ico')
[ -z "$unopenable" ] || fail "files without a Windows extension: $unopenable"
unix_lines=$(grep -rlUv --include='*.txt' $'\r$' "$folder_unix" || true)
[ -z "$unix_lines" ] || fail "texts with Unix line ends: $unix_lines"
note "installed in $folder"

export DCCD_TUNER_EXE="$folder_unix/dccd-tuner.exe"
start_wine_x
start_tuner "$work/installed.trace"
# Everything the installation wrote, with the times its files were written.
installation() {
    (cd "$folder_unix" && find . -printf '%p %s %T@\n' | sort)
    wine_out reg query "$app_key"
    user_path
    stat -c '%n %Y' "$shortcut" "$tunes_shortcut"
}
before=$(installation)
# changes_nothing <exit code> <when> <program...>: the program ends with that code, all as it was.
changes_nothing() {
    local code=$1 when=$2 status=0
    shift 2
    "$DCCD_WINE" "$@" || status=$?
    [ "$status" -eq "$code" ] || fail "$when: ended with $status, not $code"
    [ "$(installation)" = "$before" ] || fail "$when: $(diff <(echo "$before") <(installation))"
}
changes_nothing 3 "installing while the tuner runs" "$DCCD_INSTALLER" /S
changes_nothing 3 "uninstalling while the tuner runs" "$folder\\uninstall.exe" /S "_?=$folder"
exit_tuner
mkdir "$folder_unix.replaced"
changes_nothing 4 "installing beside a folder set aside before" "$DCCD_INSTALLER" /S
rmdir "$folder_unix.replaced"
# A Command Prompt in the folder, waiting for a line: a folder in use is not set aside.
mkfifo "$work/prompt.in"
(cd "$folder_unix" && exec "$DCCD_WINE" cmd /c 'cd & set /p line=' <"$work/prompt.in" \
    >"$work/prompt.log") &
prompt_pid=$!
pids+=("$prompt_pid")
exec 6>"$work/prompt.in"
prompt_in_folder() { grep -qiF "$folder" "$work/prompt.log"; }
wait_for 60 "a Command Prompt in $folder" prompt_in_folder
changes_nothing 4 "installing while a Command Prompt is in the folder" "$DCCD_INSTALLER" /S
exec 6>&-
wait "$prompt_pid"
note "the installed tuner started and ended; installing or uninstalling meanwhile changed nothing"

"$DCCD_WINE" "$DCCD_INSTALLER" /S || fail "the installation over the installed one ended with $?"
check_installed "installed again"

# As the installed apps' list runs it, from the entry; it finishes after it has returned, with
# taking the folder away last.
quiet=$(reg_value "$app_key" QuietUninstallString)
[ "$quiet" = "\"$folder\\uninstall.exe\" /S" ] || fail "no QuietUninstallString: $quiet"
"$DCCD_WINE" "$folder\\uninstall.exe" /S || fail "the silent uninstallation ended with $?"
folder_gone() { [ ! -e "$folder_unix" ]; }
wait_for 60 "the uninstaller to take the folder away" folder_gone
[ ! -e "$shortcut" ] && [ ! -e "$tunes_shortcut" ] || fail "a Start-menu entry is left"
wine_out reg query "$app_key" >/dev/null && fail "the installed apps' entry is left"
[ "$(user_path)" = "$users_path" ] || fail "PATH is not given back as it was: '$(user_path)'"
[ "$(cat "$restore_point")" = '{"format": "dccd-tune"}' ] || fail "the restore point is gone"

# PATH as long as fits the folder, one character longer than that (the log names the entry to add
# by hand), and one that holds the folder twice: never cut, and given back as it was.
fits=$((1022 - 1 - ${#folder}))
long() { printf 'C:\\long;%s' "$(head -c $(($1 - 8)) /dev/zero | tr '\0' x)"; }
for users_path in "$(long $fits)" "$(long $((fits + 1)))" "C:\\a;$folder;C:\\b;$folder\\"; do
    wine_out reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$users_path" /f >/dev/null
    "$DCCD_WINE" "$DCCD_INSTALLER" /S || fail "the installation with PATH ${#users_path} long: $?"
    expected=$users_path
    [ ${#users_path} -eq $fits ] && expected="$users_path;$folder"
    [ "$(user_path)" = "$expected" ] || fail "PATH of ${#users_path} became '$(user_path)'"
    [ ${#users_path} -ne $((fits + 1)) ] || tr -d '\r' <"$folder_unix/install-log.txt" |
        grep -qxF "$folder" || fail "no entry to add in the log: $(cat "$folder_unix/install-log.txt")"
    "$DCCD_WINE" "$folder\\uninstall.exe" /S || fail "the uninstallation ended with $?"
    wait_for 60 "the uninstaller to take the folder away" folder_gone
    [ "$(user_path)" = "$users_path" ] || fail "PATH of ${#users_path} came back as '$(user_path)'"
done
note "a PATH too long for the folder is left whole; one that held it keeps it when uninstalled"

echo "PASS: installer"
