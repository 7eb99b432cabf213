#!/bin/sh
# Installs what building, running and testing BrelmoTime needs on Debian 12, once.
# Does nothing when everything is already there.
set -eu

packages="cmake make g++-mingw-w64-i686 wine wine32:i386 xvfb googletest locales
fonts-wqy-microhei iproute2 util-linux imagemagick xdotool x11-utils zip rdate openbsd-inetd
python3 clang-format"

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    # inetd is installed for the benchmark's reference time server; keep it from
    # starting services on this machine.
    echo exit 101 | $sudo tee /usr/sbin/policy-rc.d >/dev/null
    $sudo chmod +x /usr/sbin/policy-rc.d
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
    $sudo rm -f /usr/sbin/policy-rc.d
fi

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    echo "Generating the zh_CN.UTF-8 locale"
    $sudo sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi
