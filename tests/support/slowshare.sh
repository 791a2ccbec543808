#!/usr/bin/env bash
# The slow share (slowfs.py) for tests and benchmarks: mounts it over a
# folder and unmounts it, and gives it a drive letter of a build tree's Wine
# prefix as a network drive (a FUSE folder seen through Z: is a fixed drive).
#
#   slowshare.sh mount BACKING MOUNTPOINT [slowfs.py options]
#   slowshare.sh unmount MOUNTPOINT
#   slowshare.sh map BUILD LETTER MOUNTPOINT
#   slowshare.sh unmap BUILD LETTER
#
# mount exits with 77, saying why, where this machine cannot mount one
# (FUSE needs root and /dev/fuse): callers skip then.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

cannot() {
    echo "slowshare: cannot mount a slow share: $*" >&2
    exit 77
}

# Wine reads its drives when its services start: the prefix's server is
# restarted as the test environment starts it. The stopped server has saved
# the registry: the drive's value must be there as asked (present: yes
# or no), or the mapping failed.
restart_wine() {
    local build=$1 letter=$2 present=$3
    # SIGTERM: the server saves the registry first (-k alone may drop what
    # it has not yet saved).
    "$wineserver" -k15 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    if grep -q "^\"$letter:\"=\"network\"" "$WINEPREFIX/system.reg"; then
        [ "$present" = yes ] || { echo "slowshare: drive $letter: is still mapped" >&2; exit 1; }
    else
        [ "$present" = no ] || { echo "slowshare: drive $letter: was not mapped" >&2; exit 1; }
    fi
    "$wineserver" -p </dev/null >/dev/null 2>&1 || true
    "$build/wine-run" wineboot </dev/null >/dev/null 2>&1
}

case "${1:-}" in
mount)
    backing=$2 mountpoint=$3
    shift 3
    [ "$(id -u)" -eq 0 ] || cannot "not root"
    [ -c /dev/fuse ] && [ -w /dev/fuse ] || cannot "no usable /dev/fuse"
    /usr/bin/python3 -c 'import fusepy' 2>/dev/null || cannot "no python3-fusepy"
    mkdir -p "$backing" "$mountpoint"
    if mountpoint -q "$mountpoint"; then
        umount "$mountpoint" 2>/dev/null || umount -l "$mountpoint"
    fi
    setsid /usr/bin/python3 "$here/slowfs.py" "$backing" "$mountpoint" "$@" \
        </dev/null >"$mountpoint.log" 2>&1 &
    echo $! >"$mountpoint.pid"
    for _ in $(seq 100); do
        mountpoint -q "$mountpoint" && exit 0
        kill -0 "$(cat "$mountpoint.pid")" 2>/dev/null || break
        sleep 0.1
    done
    kill "$(cat "$mountpoint.pid")" 2>/dev/null || true
    cat "$mountpoint.log" >&2
    cannot "slowfs.py did not mount $mountpoint"
    ;;
unmount)
    mountpoint=$2
    if mountpoint -q "$mountpoint"; then
        fusermount3 -u "$mountpoint" 2>/dev/null || umount "$mountpoint" 2>/dev/null || umount -l "$mountpoint"
    fi
    if [ -f "$mountpoint.pid" ]; then
        pid=$(cat "$mountpoint.pid")
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$pid" 2>/dev/null || true
        rm -f "$mountpoint.pid"
    fi
    ;;
map)
    build=$(realpath "$2") letter=${3,,} mountpoint=$4
    export WINEPREFIX="$build/wineprefix"
    ln -sfn "$(realpath "$mountpoint")" "$WINEPREFIX/dosdevices/$letter:"
    "$build/wine-run" reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /t REG_SZ /d network /f \
        </dev/null >/dev/null 2>&1
    restart_wine "$build" "$letter" yes
    ;;
unmap)
    build=$(realpath "$2") letter=${3,,}
    export WINEPREFIX="$build/wineprefix"
    rm -f "$WINEPREFIX/dosdevices/$letter:"
    "$build/wine-run" reg delete 'HKLM\Software\Wine\Drives' /v "$letter:" /f </dev/null >/dev/null 2>&1 || true
    restart_wine "$build" "$letter" no
    ;;
*)
    sed -n '2,13p' "$0" >&2
    exit 2
    ;;
esac
