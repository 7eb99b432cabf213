#!/usr/bin/env bash
# Runs a command (the test suite) where nothing can leave the machine and windows have a
# display: in a private network namespace with only loopback up, on a virtual X display.
#
#   tests/sandbox.sh COMMAND [ARGUMENTS...]
#
# Inside, BRELMO_SANDBOX is "netns" when the private network could be made and "none"
# when it could not (tests then still use loopback only, and skip what needs the namespace).
# In the private network, name lookups go to a name server on loopback where none
# listens, so that a lookup of a name that is not in /etc/hosts fails at once.
set -euo pipefail

if [ -z "${BRELMO_SANDBOX:-}" ]; then
    if unshare --net --mount true 2>/dev/null; then
        exec env BRELMO_SANDBOX=netns unshare --net --mount "$0" "$@"
    elif unshare --user --map-root-user --net --mount true 2>/dev/null; then
        exec env BRELMO_SANDBOX=netns unshare --user --map-root-user --net --mount "$0" "$@"
    fi
    echo "sandbox: no private network namespace here; tests use loopback only" >&2
    export BRELMO_SANDBOX=none
fi

if [ "$BRELMO_SANDBOX" = netns ]; then
    ip link set lo up
    resolver=$(mktemp)
    echo "nameserver 127.0.0.1" >"$resolver"
    mount --bind "$resolver" /etc/resolv.conf
fi

display=""
for n in $(seq 90 130); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "sandbox: no free X display" >&2; exit 1; }

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done
export DISPLAY="$display"

"$@"
