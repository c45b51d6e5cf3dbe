#!/usr/bin/env python3
"""Draws the program's icons and the two eye images of the password button.

Writes gui/quorvane48.ico, gui/quorvane16.ico (one 32-bit image each) and
gui/eye_shown.bmp, gui/eye_hidden.bmp (24-bit, 26 x 17, for 100 % display
scale) with their _150 and _200 versions (39 x 26, 52 x 34), each drawn at its
own size rather than scaled, so the eye stays sharp on a scaled screen. The
build uses the committed files; run this only to change the artwork:
python3 tools/art/make_art.py
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
APP = os.path.join(HERE, "..", "..", "gui")
SUPER = 4  # supersampling per axis, for smooth edges


def render(width, height, coverage_fn):
    """coverage_fn(x, y) -> (r, g, b, a) or None for a point in pixel space.
    Returns rows top-down of (r, g, b, a) floats averaged over subsamples."""
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SUPER):
                for sx in range(SUPER):
                    x = px + (sx + 0.5) / SUPER
                    y = py + (sy + 0.5) / SUPER
                    c = coverage_fn(x, y)
                    if c is not None:
                        r, g, b, a = c
                        acc[0] += r * a
                        acc[1] += g * a
                        acc[2] += b * a
                        acc[3] += a
            n = SUPER * SUPER
            a = acc[3] / n
            if a > 0:
                row.append((acc[0] / acc[3], acc[1] / acc[3], acc[2] / acc[3], a))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


# --- Icon: a blue rounded tile with a white "Q" whose tail is a plug pin ----

def icon_shape(size):
    s = float(size)
    radius = s * 0.2
    cx, cy = s * 0.47, s * 0.47
    ring_outer, ring_inner = s * 0.30, s * 0.19

    def fn(x, y):
        # rounded tile
        dx = max(radius - x, 0, x - (s - radius))
        dy = max(radius - y, 0, y - (s - radius))
        if dx * dx + dy * dy > radius * radius:
            return None
        top = (37, 99, 235)
        bottom = (29, 78, 190)
        t = y / s
        tile = tuple(top[i] * (1 - t) + bottom[i] * t for i in range(3))
        d = math.hypot(x - cx, y - cy)
        white = (255, 255, 255, 1.0)
        if ring_inner <= d <= ring_outer:
            return white
        # the tail: a short thick bar from the ring towards the lower right
        ux, uy = x - cx, y - cy
        along = (ux + uy) / math.sqrt(2)
        across = (ux - uy) / math.sqrt(2)
        if ring_inner * 0.9 <= along <= s * 0.5 and abs(across) <= s * 0.065:
            return white
        return tile + (1.0,)
    return fn


def write_ico(path, size):
    rows = render(size, size, icon_shape(size))
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            pixels += bytes((round(b), round(g), round(r), round(a * 255)))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                        len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


# --- Eye: almond outline, round iris with a highlight, on light grey --------

BACKDROP = (243, 243, 245)


def eye_shape(width, height, colour):
    cx, cy = width / 2.0, height / 2.0
    half_w = width * 0.44
    half_h = height * 0.34
    line = 1.3 * height / 17.0   # the outline keeps its weight at every scale
    iris = height * 0.22
    # Each lid is a circular arc through both corners and a point half_h
    # above or below the centre.
    arc_r = (half_w * half_w + half_h * half_h) / (2 * half_h)

    def inside_lids(x, y, grow):
        upper_c = cy - half_h + arc_r
        lower_c = cy + half_h - arc_r
        return (math.hypot(x - cx, y - upper_c) <= arc_r + grow and
                math.hypot(x - cx, y - lower_c) <= arc_r + grow)

    def fn(x, y):
        if inside_lids(x, y, line / 2) and not inside_lids(x, y, -line / 2):
            return colour + (1.0,)
        d = math.hypot(x - cx, y - cy)
        if d <= iris:
            if math.hypot(x - (cx - iris * 0.35), y - (cy - iris * 0.35)) <= iris * 0.32:
                return (255, 255, 255, 1.0)
            return colour + (1.0,)
        return None
    return fn


def write_bmp(path, width, height, colour):
    rows = render(width, height, eye_shape(width, height, colour))
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, a in row:
            mix = [c * a + bg * (1 - a) for c, bg in zip((r, g, b), BACKDROP)]
            line += bytes((round(mix[2]), round(mix[1]), round(mix[0])))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    write_ico(os.path.join(APP, "quorvane48.ico"), 48)
    write_ico(os.path.join(APP, "quorvane16.ico"), 16)
    # The dialog's sizes: round(26 * scale) x round(17 * scale), as MulDiv rounds.
    for suffix, width, height in (("", 26, 17), ("_150", 39, 26), ("_200", 52, 34)):
        write_bmp(os.path.join(APP, f"eye_shown{suffix}.bmp"), width, height, (76, 182, 71))
        write_bmp(os.path.join(APP, f"eye_hidden{suffix}.bmp"), width, height, (167, 168, 172))
