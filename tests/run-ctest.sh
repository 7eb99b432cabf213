#!/usr/bin/env bash
# Runs ctest with the tests' Wine prefix kept up for the whole run.
#
# Wine starts its own services (explorer, services.exe, ...) with the first program of a
# prefix and stops them when the last one ends. Started by a test, they would inherit
# that test's output, and ctest would wait for them as if the test still ran. So a Wine
# process of our own, with its output going nowhere, is started first and kept running.
# Meant to run inside tests/sandbox.sh, so that the wineserver, which owns the sockets of
# every Wine process, lives in the private network too.
#
#   tests/run-ctest.sh PREFIX [CTEST ARGUMENTS...]
set -euo pipefail
prefix=$1
shift
wine_env="$(cd "$(dirname "$0")" && pwd)/../cmake/wine-env.sh"
wine=$(command -v wine)

WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true' EXIT

# The keeper: a command prompt that reads from a pipe this script holds open, so that it
# ends, at the latest, with this script.
fifo=$(mktemp -u)
mkfifo "$fifo"
"$wine_env" "$prefix" "$wine" cmd <"$fifo" >/dev/null 2>&1 &
exec 3>"$fifo"
rm -f "$fifo"
"$wine_env" "$prefix" "$wine" cmd /c exit </dev/null >/dev/null 2>&1

ctest "$@"
