#!/usr/bin/env bash
# Builds the installer from the program of this build tree, installs it
# silently in the build tree's prefix, starts the installed program, closes
# it, uninstalls silently and checks what each step leaves behind.
#
# installer_test.sh BUILD_DIR MAKENSIS NSI_SCRIPT ORLIVANE_EXE VERSION
set -euo pipefail

build=$1
makensis=$2
nsi=$3
exe=$4
version=$5
bin=$(dirname "$exe")
run="$build/wine-run"
work="$build/installer_test"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orlivane'
settings_key='HKCU\Software\Vemoly'
folder_verb='HKCU\Software\Classes\Directory\shell\Orlivane'
progid='HKCU\Software\Classes\Vemoly.Orlivane.Picture'
jpeg_type='HKCU\Software\Classes\.jpg'
display=$(cat "$build/testenv/display")
export DISPLAY=":$display"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() {
    echo "-- $*"
}
wine_quiet() {
    "$run" "$@" </dev/null >/dev/null 2>&1
}
# A value of a registry key, or nothing.
reg_value() {
    { "$run" reg query "$1" /v "$2" </dev/null 2>/dev/null || true; } | tr -d '\r' \
        | sed -n "s/^ *$2 \{1,\}REG_[A-Z_]* \{1,\}//p"
}
# The default value of a registry key, or nothing.
default_value() {
    { "$run" reg query "$1" /ve </dev/null 2>/dev/null || true; } | tr -d '\r' \
        | sed -n 's/^ *(Default) \{1,\}REG_[A-Z_]* \{1,\}//p'
}
windows_folder() {
    "$run" cmd /c echo "%$1%" </dev/null | tr -d '\r\n'
}
unix_path() {
    "$run" winepath -u "$1" </dev/null | tr -d '\r\n'
}
main_window_shown() {
    xwininfo -root -tree | grep -q '"Home Page - Orlivane"'
}
# Waits up to $1 tenths of a second for the command to succeed.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}
program_running() {
    kill -0 "$app" 2>/dev/null
}
program_ended() {
    ! program_running
}
shown_or_ended() {
    main_window_shown || program_ended
}
install_gone() {
    [ ! -e "$install_unix" ] && [ ! -e "$shortcut" ] && ! wine_quiet reg query "$uninstall_key"
}
snapshot_user_data() {
    find "$appdata_unix/Vemoly" | sort
    "$run" reg query "$settings_key" /s </dev/null | tr -d '\r' || true
}

local_appdata=$(windows_folder LOCALAPPDATA)
appdata=$(windows_folder APPDATA)
if [ -z "$local_appdata" ] || [ -z "$appdata" ]; then
    fail "no LOCALAPPDATA or APPDATA in the prefix"
fi
install_dir="$local_appdata\\Programs\\Orlivane"
install_unix=$(unix_path "$install_dir")
appdata_unix=$(unix_path "$appdata")
shortcut="$appdata_unix/Microsoft/Windows/Start Menu/Programs/Orlivane.lnk"

app=
cleanup() {
    if [ -n "$app" ] && program_running; then
        wine_quiet taskkill /f /im Orlivane.exe || true
    fi
    rm -rf "$install_unix" "$shortcut"
    wine_quiet reg delete "$uninstall_key" /f || true
    wine_quiet reg delete "$folder_verb" /f || true
    wine_quiet reg delete "$progid" /f || true
    wine_quiet reg delete "$jpeg_type" /f || true
}
trap cleanup EXIT
cleanup  # what an interrupted earlier run left

step "building the installer"
rm -rf "$work"
mkdir -p "$work"
setup="$work/Orlivane-$version-setup.exe"
"$makensis" -V2 -DVERSION="$version" -DBINDIR="$bin" -DOUTFILE="$setup" "$nsi"
[ -s "$setup" ] || fail "makensis wrote no installer"

# The user's own default program for JPEG files, which the installer must leave.
"$run" reg add "$jpeg_type" /ve /d UsersOwn.jpeg /f </dev/null >/dev/null 2>&1

step "installing silently"
wine_quiet "$setup" /S || fail "the installer exited with $?"

libraries=(libheif.dll libde265.dll)
expected=(Orlivane.exe uninstall.exe "${libraries[@]}")
[ -f "$bin/Orlivane.chm" ] && expected+=(Orlivane.chm)
[ "$(ls "$install_unix" 2>/dev/null | sort)" = "$(printf '%s\n' "${expected[@]}" | sort)" ] \
    || fail "$install_unix holds [$(ls "$install_unix" 2>/dev/null | tr '\n' ' ')], expected [${expected[*]}]"
cmp -s "$exe" "$install_unix/Orlivane.exe" || fail "the installed Orlivane.exe differs from $exe"
for library in "${libraries[@]}"; do
    cmp -s "$bin/$library" "$install_unix/$library" || fail "the installed $library differs"
done
if [ -f "$bin/Orlivane.chm" ]; then
    cmp -s "$bin/Orlivane.chm" "$install_unix/Orlivane.chm" || fail "the installed Orlivane.chm differs"
fi

[ -f "$shortcut" ] || fail "no Start-menu shortcut at $shortcut"
grep -aqF "$install_dir\\Orlivane.exe" "$shortcut" \
    || fail "the shortcut does not lead to $install_dir\\Orlivane.exe"

[ "$(reg_value "$uninstall_key" DisplayName)" = Orlivane ] || fail "DisplayName is not Orlivane"
[ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] || fail "DisplayVersion is not $version"
[ "$(reg_value "$uninstall_key" Publisher)" = Vemoly ] || fail "Publisher is not Vemoly"
[ "$(reg_value "$uninstall_key" InstallLocation)" = "$install_dir" ] \
    || fail "InstallLocation is not $install_dir"
uninstall_string=$(reg_value "$uninstall_key" UninstallString)
[ "$uninstall_string" = "\"$install_dir\\uninstall.exe\"" ] \
    || fail "UninstallString is [$uninstall_string]"

command="\"$install_dir\\Orlivane.exe\" \"%1\""
[ "$(default_value "$folder_verb")" = "Open in Orlivane" ] || fail "no \"Open in Orlivane\" on folders"
[ "$(default_value "$folder_verb\\command")" = "$command" ] \
    || fail "the folders' command is [$(default_value "$folder_verb\\command")]"
[ "$(default_value "$progid\\shell\\open\\command")" = "$command" ] \
    || fail "the pictures' command is [$(default_value "$progid\\shell\\open\\command")]"
for type in .jpg .png .tif; do
    wine_quiet reg query "HKCU\\Software\\Classes\\$type\\OpenWithProgids" /v Vemoly.Orlivane.Picture \
        || fail "Orlivane is not in the Open with list of $type"
done
[ "$(default_value "$jpeg_type")" = UsersOwn.jpeg ] || fail "the installer took over .jpg"

step "starting the installed program"
main_window_shown && fail "an Orlivane window is already on the display"
# Its settings are written when it exits normally: their absence before and
# presence after tell a closed program from a killed one.
wine_quiet reg delete "$settings_key" /v CmdShow /f || true
"$run" "$install_dir\\Orlivane.exe" </dev/null >"$work/program.log" 2>&1 &
app=$!
wait_for 300 shown_or_ended || true
program_running || fail "Orlivane ended before showing its window; its output: $(cat "$work/program.log")"
main_window_shown || fail "no window \"Home Page - Orlivane\" within 30 s"

step "closing it"
wine_quiet taskkill /im Orlivane.exe || fail "taskkill found no Orlivane.exe"
wait_for 150 program_ended || fail "Orlivane did not end within 15 s of WM_CLOSE"
status=0
wait "$app" || status=$?
app=
[ "$status" -eq 0 ] || fail "Orlivane exited with $status"
main_window_shown && fail "the main window is still shown after the program ended"
[ -n "$(reg_value "$settings_key" CmdShow)" ] || fail "Orlivane did not save its settings on exit"
[ -d "$appdata_unix/Vemoly/Favorites" ] || fail "Orlivane made no Favorites folder"
user_data=$(snapshot_user_data)

step "uninstalling silently"
# As Windows runs it: the uninstaller copies itself to the temporary folder,
# starts that copy and returns; the copy removes the folder it came from.
quiet_uninstall=$(reg_value "$uninstall_key" QuietUninstallString)
[ "$quiet_uninstall" = "$uninstall_string /S" ] || fail "QuietUninstallString is [$quiet_uninstall]"
wine_quiet "$install_dir\\uninstall.exe" /S || fail "the uninstaller exited with $?"
if ! wait_for 200 install_gone; then
    [ -e "$install_unix" ] && fail "the program folder remains: [$(ls "$install_unix" | tr '\n' ' ')]"
    [ -e "$shortcut" ] && fail "the Start-menu shortcut remains"
    fail "the uninstall key remains"
fi
wine_quiet reg query "$folder_verb" && fail "\"Open in Orlivane\" remains on folders"
wine_quiet reg query "$progid" && fail "the pictures' program remains"
wine_quiet reg query "$jpeg_type\\OpenWithProgids" /v Vemoly.Orlivane.Picture && fail "Orlivane remains in Open with"
[ "$(default_value "$jpeg_type")" = UsersOwn.jpeg ] || fail "the uninstaller took the user's .jpg default"
[ "$(snapshot_user_data)" = "$user_data" ] \
    || fail "the uninstaller changed the user's data under %APPDATA%\\Vemoly or $settings_key"

echo "installer_test: passed"
