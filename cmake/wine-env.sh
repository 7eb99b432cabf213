#!/bin/sh
# Runs a Windows program under Wine the way every test and run of BrelmoTime does: in a
# prefix of its own, Chinese (PRC) locale so that the ANSI code page is 936, local time
# UTC+8, and no Wine dialogs offering Mono or Gecko.
#
#   wine-env.sh PREFIX WINE PROGRAM [ARGUMENTS...]
#
# The prefix is made on first use; concurrent first uses wait for one another.
set -eu
prefix=$1
wine=$2
shift 2

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
export TZ=Asia/Shanghai

if [ ! -f "$prefix/.ready" ]; then
    mkdir -p "$prefix"
    (
        flock 9
        if [ ! -f "$prefix/.ready" ]; then
            "$wine" wineboot --init >/dev/null 2>&1
            wineserver -w
            touch "$prefix/.ready"
        fi
    ) 9>"$prefix.lock"
fi

exec "$wine" "$@"
