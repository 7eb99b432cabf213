#!/usr/bin/env python3
"""Draws the program's icon, a clock face at ten past ten, as a 32 x 32, 24-bit .ico.

Run it from this folder to write BrelmoTime.ico; the result is checked in beside it.
"""
import math
import struct
import sys

SIZE = 32
CENTRE = (SIZE - 1) / 2.0
RIM = (0x1F, 0x5F, 0xA8)    # blue, as (r, g, b)
FACE = (0xFF, 0xFF, 0xFF)
MARK = (0x40, 0x40, 0x40)
HAND = (0x10, 0x10, 0x10)
SECOND_HAND = (0xD0, 0x20, 0x20)


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def hand_end(minutes_on_dial, length):
    angle = math.radians(minutes_on_dial * 6.0)
    return CENTRE + length * math.sin(angle), CENTRE - length * math.cos(angle)


def pixel(x, y):
    """Colour at (x, y) from the top left, or None where the icon is transparent."""
    r = math.hypot(x - CENTRE, y - CENTRE)
    if r > 15.5:
        return None
    if r > 13.0:
        return RIM
    for hour in range(12):
        mx, my = hand_end(hour * 5, 11.0)
        if math.hypot(x - mx, y - my) < (1.2 if hour % 3 == 0 else 0.8):
            return MARK
    hands = ((hand_end(10 * 5 + 10 / 12 * 5, 6.5), 1.3), (hand_end(10, 10.0), 1.0))
    for (hx, hy), width in hands:
        if distance_to_segment(x, y, CENTRE, CENTRE, hx, hy) < width:
            return HAND
    sx, sy = hand_end(40, 10.5)
    if distance_to_segment(x, y, CENTRE, CENTRE, sx, sy) < 0.5:
        return SECOND_HAND
    return FACE


def icon_bytes():
    colour_rows, mask_rows = [], []
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        colours = bytearray()
        mask = 0
        for x in range(SIZE):
            c = pixel(x, y)
            if c is None:
                colours += b"\0\0\0"
                mask |= 1 << (SIZE - 1 - x)
            else:
                colours += bytes((c[2], c[1], c[0]))  # stored as b, g, r
        colour_rows.append(bytes(colours))
        mask_rows.append(struct.pack(">I", mask))
    image = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    image += b"".join(colour_rows) + b"".join(mask_rows)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return header + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "BrelmoTime.ico"
    with open(out, "wb") as f:
        f.write(icon_bytes())
