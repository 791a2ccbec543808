#!/usr/bin/env bash
# Brings the test environment of one build tree up or down: a private Xvfb on a
# free display and a persistent wineserver whose background services hold no
# pipe of CTest's (otherwise CTest waits for them after every test).
set -euo pipefail

action=$1
build=$2
testenv="$build/testenv"
runner="$build/wine-run"
export WINEPREFIX="$build/wineprefix"
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

stop() {
    "$wineserver" -k 2>/dev/null || true
    if [ -f "$testenv/xvfb.pid" ]; then
        kill "$(cat "$testenv/xvfb.pid")" 2>/dev/null || true
    fi
    rm -f "$testenv/display" "$testenv/xvfb.pid"
}

case "$action" in
start)
    stop
    mkdir -p "$testenv"
    exec 3>"$testenv/display.tmp"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
        </dev/null >"$testenv/xvfb.log" 2>&1 &
    echo $! >"$testenv/xvfb.pid"
    exec 3>&-
    for _ in $(seq 100); do
        [ -s "$testenv/display.tmp" ] && break
        sleep 0.1
    done
    [ -s "$testenv/display.tmp" ] || { echo "testenv: Xvfb did not start"; cat "$testenv/xvfb.log"; exit 1; }
    tr -d '\n' <"$testenv/display.tmp" >"$testenv/display"
    rm -f "$testenv/display.tmp"
    # The runner creates the prefix on first use.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$runner" wineboot </dev/null >/dev/null 2>&1
        "$wineserver" -w
    fi
    # Drive R: is an optical drive whose medium is absent: tests of offline
    # targets reach it. Wine reads its drives when its services start.
    if [ "$(readlink "$WINEPREFIX/dosdevices/r:" 2>/dev/null)" != /nonexistent-orlivane-medium ]; then
        ln -sfn /nonexistent-orlivane-medium "$WINEPREFIX/dosdevices/r:"
        "$runner" reg add 'HKLM\Software\Wine\Drives' /v r: /t REG_SZ /d cdrom /f </dev/null >/dev/null 2>&1
        "$wineserver" -w
    fi
    # The test display has no window manager: Wine is told so, or it waits up
    # to two seconds for one whenever a top-level window goes away.
    if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        "$runner" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
        "$wineserver" -w
    fi
    # Wine falls back to SimSun for characters its own fonts lack; the
    # system's CJK font stands in for it, so such names are drawn, not boxes.
    if ! grep -q '^"SimSun"="WenQuanYi Micro Hei"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        "$runner" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /t REG_SZ /d 'WenQuanYi Micro Hei' /f </dev/null >/dev/null 2>&1
        "$wineserver" -w
    fi
    "$wineserver" -p </dev/null >/dev/null 2>&1 || true
    "$runner" wineboot </dev/null >/dev/null 2>&1
    echo "testenv: display :$(cat "$testenv/display"), prefix $WINEPREFIX"
    ;;
stop)
    stop
    echo "testenv: stopped"
    ;;
*)
    echo "usage: testenv.sh start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac
