#!/usr/bin/env python3
"""The running program's window carries the program's icon.

Wine keeps a window's WM_SETICON icon to itself across processes, but hands it to the X
server as _NET_WM_ICON, which is what a window manager shows. This test starts the program
under Wine on the sandbox's display, reads that property and compares its pixels with the
icon file the program is built from.

    window_icon_test.py WINE_ENV PREFIX WINE EXE ICON
"""
import struct
import subprocess
import sys
import time

TITLE = " Brelmo对时器"


def icon_file_pixels(path):
    """(width, height, [0xAARRGGBB, ...] top row first) of the first image of a .ico."""
    data = open(path, "rb").read()
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    assert kind == 1 and count >= 1, "not an icon file"
    width, height, _, _, _, bits, _, offset = struct.unpack_from("<BBBBHHII", data, 6)
    assert bits == 24, "expected a 24-bit image"
    header_size = struct.unpack_from("<I", data, offset)[0]
    colours = offset + header_size
    row_bytes = (width * 3 + 3) & ~3
    mask = colours + row_bytes * height
    mask_row_bytes = ((width + 31) // 32) * 4
    pixels = []
    for y in range(height):
        stored = height - 1 - y  # bottom-up
        for x in range(width):
            b, g, r = data[colours + stored * row_bytes + x * 3:][:3]
            transparent = data[mask + stored * mask_row_bytes + x // 8] >> (7 - x % 8) & 1
            pixels.append(0 if transparent else 0xFF000000 | r << 16 | g << 8 | b)
    return width, height, pixels


def window_icons(window):
    """Every image in the window's _NET_WM_ICON, as (width, height, pixels)."""
    out = subprocess.run(["xprop", "-id", window, "-notype", "32c", "_NET_WM_ICON"],
                         capture_output=True, text=True, check=True).stdout
    values = [int(v) for v in out.split("=", 1)[1].replace(",", " ").split()]
    images = []
    while len(values) >= 2:
        w, h = values[0], values[1]
        images.append((w, h, [v & 0xFFFFFFFF for v in values[2:2 + w * h]]))
        values = values[2 + w * h:]
    return images


def find_window(deadline):
    while time.time() < deadline:
        found = subprocess.run(["xdotool", "search", "--name", "^" + TITLE + "$"],
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.2)
    return None


def main():
    wine_env, prefix, wine, exe, icon = sys.argv[1:6]
    program = subprocess.Popen([wine_env, prefix, wine, exe])
    try:
        window = find_window(time.time() + 60)
        if window is None:
            print("FAIL: the program's window did not appear")
            return 1
        time.sleep(0.5)
        images = window_icons(window)
        expected = icon_file_pixels(icon)
        sizes = [(w, h) for w, h, _ in images]
        print("window icon sizes:", sizes)
        same = [img for img in images if img == expected]
        if not same:
            print("FAIL: no image of the window's icon is the program's icon (32 x 32)")
            return 1
        print("PASS: the window shows the program's 32 x 32 icon")
        return 0
    finally:
        program.terminate()
        program.wait(timeout=30)


if __name__ == "__main__":
    sys.exit(main())
