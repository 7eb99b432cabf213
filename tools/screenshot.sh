#!/usr/bin/env bash
# Takes the picture of BrelmoTime in docs/: the window with its caption, under Wine,
# after Get has filled the network time row. It runs in the tests' sandbox (private
# loopback-only network, virtual display) with the copy of the program that asks
# 127.0.0.1:3737, where a small Time Protocol server answers with this machine's clock.
#
#   tools/screenshot.sh LOOPBACK_EXE PREFIX SCREENSHOT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${BRELMO_SANDBOX:-}" ]; then
    exec "$here/../tests/sandbox.sh" "$0" "$@"
fi
exe=$1
prefix=$2
screenshot=$3

# RFC 868: on connect, four bytes big-endian, seconds since 1900, then close.
python3 -c '
import socket, struct, time
server = socket.create_server(("127.0.0.1", 3737))
while True:
    client, _ = server.accept()
    client.sendall(struct.pack(">I", int(time.time()) + 2208988800))
    client.close()
' &
server=$!
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; kill $server 2>/dev/null || true' EXIT

# Wine's virtual desktop draws the window with its caption, as a window manager would.
"$here/../cmake/wine-env.sh" "$prefix" "$(command -v wine)" \
    explorer /desktop=BrelmoTime,480x260 "$exe" &
desktop=""
for _ in $(seq 120); do
    desktop=$(xdotool search --name '^BrelmoTime' 2>/dev/null | head -n1) && [ -n "$desktop" ] && break
    sleep 1
done
[ -n "$desktop" ] || { echo "screenshot: the Wine desktop did not appear" >&2; exit 1; }
sleep 4

# Get's centre: the dialog opens centred on the 480x260 desktop.
xdotool mousemove --window "$desktop" 380 106 click 1
sleep 2

eval "$(xdotool getwindowgeometry --shell "$desktop")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"
echo "Screenshot saved to $screenshot"
