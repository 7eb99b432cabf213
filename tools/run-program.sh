#!/usr/bin/env bash
# Starts BrelmoTime.exe under Wine with the Chinese locale. Without a display it runs the
# program for a few seconds on the tests' virtual one (tests/sandbox.sh, which also keeps
# it off the network), saves a screenshot and says where.
#
#   tools/run-program.sh EXE PREFIX SCREENSHOT
set -euo pipefail
exe=$1
prefix=$2
screenshot=$3
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../cmake/wine-env.sh $prefix $(command -v wine)"

if [ -z "${BRELMO_SANDBOX:-}" ]; then
    if [ -n "${DISPLAY:-}" ]; then
        exec $run "$exe"
    fi
    exec "$here/../tests/sandbox.sh" "$0" "$@"
fi

trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true' EXIT
# Make the prefix first (the first start of a new one takes a while), then show the window.
$run cmd /c exit </dev/null >/dev/null 2>&1
# Wine's virtual desktop draws the window with its caption, as a window manager would.
$run explorer /desktop=BrelmoTime,480x260 "$exe" &
sleep 8
import -window root -crop 480x260+0+0 +repage "$screenshot"
echo "No display here: BrelmoTime ran on a virtual one; screenshot saved to $screenshot"
