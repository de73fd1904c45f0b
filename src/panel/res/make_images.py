#!/usr/bin/env python3
"""Draws the images of the settings program and writes them as .ico/.cur files.

Only the standard library is used. Run it from anywhere; it writes beside itself:
  zendrel.ico    window icon: a blue shield with a white tick (16, 24, 32, 48 pixels)
  site.ico       Image1 of the main window: a globe (32 and 48 pixels)
  key.ico        picture of the password dialog: a brass key on a transparent
                 background (36 and 54 pixels)
  link_hand.cur  pointer of the link labels: a pointing hand, 32 by 32, 16 colours,
                 hot spot at the fingertip (12, 2)
The vector images are drawn with 4 x 4 supersampling, so each size is drawn
afresh rather than scaled from another.
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = 4


# --- shapes: each answers whether a point (in 0..1 units of the image) is inside ---

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in < (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            x1, y1 = points[i]
            x2, y2 = points[(i + 1) % n]
            if (y1 > y) != (y2 > y):
                if x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                    hit = not hit
        return hit
    return inside


def segment(x1, y1, x2, y2, width):
    dx, dy = x2 - x1, y2 - y1
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length2))
        px, py = x1 + t * dx, y1 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def ellipse_outline(cx, cy, rx, ry, width):
    def inside(x, y):
        if rx <= 0:
            return abs(x - cx) <= width / 2 and abs(y - cy) <= ry
        value = math.hypot((x - cx) / rx, (y - cy) / ry)
        return abs(value - 1.0) * min(rx, ry) <= width / 2
    return inside


def clipped(shape, clip):
    return lambda x, y: shape(x, y) and clip(x, y)


def render(size, layers):
    """layers: list of (shape, colour or function(x, y) -> colour), colour = (r, g, b, a)."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    r = g = b = a = 0.0
                    for shape, colour in layers:
                        if shape(x, y):
                            cr, cg, cb, ca = colour(x, y) if callable(colour) else colour
                            ca /= 255.0
                            r = cr * ca + r * (1 - ca)
                            g = cg * ca + g * (1 - ca)
                            b = cb * ca + b * (1 - ca)
                            a = ca + a * (1 - ca)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            if a > 0:
                colour = tuple(int(round(min(255, acc[i] / n / a))) for i in range(3))
            else:
                colour = (0, 0, 0)
            row.append(colour + (int(round(a * 255)),))
        pixels.append(row)
    return pixels


# --- the images ---

def shield_icon(size):
    outline = [(0.5, 0.04), (0.9, 0.17), (0.86, 0.55), (0.5, 0.96), (0.14, 0.55), (0.1, 0.17)]
    inner = [(0.5, 0.11), (0.83, 0.22), (0.79, 0.53), (0.5, 0.88), (0.21, 0.53), (0.17, 0.22)]

    def blue(x, y):
        t = y
        return (int(40 + 40 * (1 - t)), int(90 + 70 * (1 - t)), int(200 + 40 * (1 - t)), 255)
    tick_width = 0.13 if size > 20 else 0.17
    return render(size, [
        (polygon(outline), (20, 45, 110, 255)),
        (polygon(inner), blue),
        (segment(0.3, 0.5, 0.45, 0.66, tick_width), (255, 255, 255, 255)),
        (segment(0.45, 0.66, 0.72, 0.32, tick_width), (255, 255, 255, 255)),
    ])


def globe_picture(size):
    cx = cy = 0.5
    r = 0.44
    inside = circle(cx, cy, r - 0.01)

    def sea(x, y):
        d = math.hypot(x - 0.38, y - 0.36) / (2 * r)
        return (int(60 + 90 * (1 - d)), int(120 + 100 * (1 - d)), int(220 + 35 * (1 - d)), 255)
    land = [
        polygon([(0.22, 0.3), (0.4, 0.2), (0.5, 0.3), (0.42, 0.45), (0.3, 0.5), (0.2, 0.42)]),
        polygon([(0.55, 0.5), (0.75, 0.45), (0.82, 0.6), (0.68, 0.8), (0.58, 0.7)]),
    ]
    line = 0.035 if size >= 32 else 0.05
    grid = (235, 245, 255, 200)
    layers = [(circle(cx, cy, r + 0.02), (25, 60, 130, 255)), (inside, sea)]
    layers += [(clipped(shape, inside), (70, 160, 70, 255)) for shape in land]
    layers += [
        (clipped(ellipse_outline(cx, cy, r * 0.45, r, line), inside), grid),
        (clipped(ellipse_outline(cx, cy, 0, r, line), inside), grid),
        (clipped(segment(0.0, 0.5, 1.0, 0.5, line), inside), grid),
        (clipped(segment(0.0, 0.3, 1.0, 0.3, line), inside), grid),
        (clipped(segment(0.0, 0.7, 1.0, 0.7, line), inside), grid),
    ]
    return render(size, layers)


def key_picture(size):
    brass = (200, 160, 40, 255)
    dark = (110, 80, 15, 255)
    light = (245, 215, 110, 255)
    # A key lying from the upper left (the bow) to the lower right (the bit).
    return render(size, [
        (ring(0.3, 0.3, 0.22, 0.08), dark),
        (ring(0.3, 0.3, 0.19, 0.1), brass),
        (segment(0.42, 0.42, 0.86, 0.86, 0.14), dark),
        (segment(0.43, 0.43, 0.85, 0.85, 0.08), brass),
        (segment(0.66, 0.66, 0.56, 0.76, 0.12), dark),
        (segment(0.66, 0.66, 0.57, 0.75, 0.06), brass),
        (segment(0.78, 0.78, 0.68, 0.88, 0.12), dark),
        (segment(0.78, 0.78, 0.69, 0.87, 0.06), brass),
        (segment(0.2, 0.22, 0.28, 0.14, 0.04), light),
    ])


# The pointing hand: X outline, o fill, . transparent. The fingertip's top
# outline pixel in the middle of the finger is the hot spot (12, 2).
HAND = """
................................
................................
...........XXX..................
..........XoooX.................
..........XoooX.................
..........XoooX.................
..........XoooX.................
..........XoooX.................
..........XoooXXX...............
..........XoooXoooXX............
..........XoooXoooXooXX.........
..........XoooXoooXoooXX........
..........XoooXoooXoooXoX.......
......XX..XoooXoooXoooXooX......
.....XooX.XoooooooooooooooX.....
.....XoooXXoooooooooooooooX.....
......XoooXoooooooooooooooX.....
.......XooXoooooooooooooooX.....
.......XoooooooooooooooooX......
........XooooooooooooooooX......
........XoooooooooooooooX.......
.........XooooooooooooooX.......
.........XooooooooooooooX.......
..........XooooooooooooX........
..........XooooooooooooX........
..........XXXXXXXXXXXXXX........
................................
................................
................................
................................
................................
................................
"""
HAND_HOT_SPOT = (12, 2)


# --- file formats ---

def icon_image(pixels):
    """One image of an .ico: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, AND mask."""
    size = len(pixels)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask = bytearray()
    row_bytes = ((size + 31) // 32) * 4
    for row in reversed(pixels):
        bits = bytearray(row_bytes)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def write_icon_file(path, images, kind=1, hot_spots=None, colour_counts=None):
    """images: list of (size, image bytes). kind 1 = icon, 2 = cursor."""
    out = bytearray(struct.pack('<HHH', 0, kind, len(images)))
    offset = 6 + 16 * len(images)
    for i, (size, data) in enumerate(images):
        side = 0 if size >= 256 else size
        colours = colour_counts[i] if colour_counts else 0
        if kind == 1:
            planes, bits = 1, 32
        else:
            planes, bits = hot_spots[i]
        out += struct.pack('<BBBBHHII', side, side, colours, 0, planes, bits, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def cursor_image(art):
    """A 16-colour cursor image from the ASCII art: black outline, white fill."""
    rows = [line.ljust(32, '.')[:32] for line in art.strip('\n').split('\n')]
    assert len(rows) == 32
    palette = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    header = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 4, 0, 0, 0, 0, 16, 0)
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    xor = bytearray()
    mask = bytearray()
    for line in reversed(rows):
        nibbles = [15 if c == 'o' else 0 for c in line]
        for i in range(0, 32, 2):
            xor.append((nibbles[i] << 4) | nibbles[i + 1])
        bits = bytearray(4)
        for x, c in enumerate(line):
            if c == '.':
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pal + bytes(xor) + bytes(mask)


def main():
    write_icon_file(os.path.join(HERE, 'zendrel.ico'),
                    [(s, icon_image(shield_icon(s))) for s in (16, 24, 32, 48)])
    write_icon_file(os.path.join(HERE, 'site.ico'),
                    [(s, icon_image(globe_picture(s))) for s in (32, 48)])
    write_icon_file(os.path.join(HERE, 'key.ico'),
                    [(s, icon_image(key_picture(s))) for s in (36, 54)])
    write_icon_file(os.path.join(HERE, 'link_hand.cur'), [(32, cursor_image(HAND))], kind=2,
                    hot_spots=[HAND_HOT_SPOT], colour_counts=[16])


if __name__ == '__main__':
    main()
