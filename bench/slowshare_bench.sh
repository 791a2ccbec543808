#!/usr/bin/env bash
# Runs slowshare_bench on a slow share: 12 MB/s, 10 ms per file opened and
# per 100 names listed, mapped as network drive N: of the build's prefix.
# The test environment must run (scripts/bench starts it). The pictures are
# kept in BUILD/slowshare/backing for later runs.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-${ORLIVANE_BUILD:-$root/build}}")
share="$root/tests/support/slowshare.sh"
backing="$build/slowshare/backing" mountpoint="$build/slowshare/share"

"$share" mount "$backing" "$mountpoint" --open-ms 10 --list-ms 10 --rate-mb 12
status=$?
if [ $status -eq 77 ]; then
    echo "slowshare: skipped"
    exit 0
fi
[ $status -eq 0 ] || exit $status
trap '"$share" unmap "$build" n; "$share" unmount "$mountpoint"' EXIT
"$share" map "$build" n "$mountpoint" || exit 1
ORLIVANE_SLOWSHARE='N:' ORLIVANE_SLOWSHARE_BACKING="$backing" \
    "$build/wine-run" "$build/bin/slowshare_bench.exe" </dev/null
