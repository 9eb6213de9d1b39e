#!/usr/bin/env python3
"""Writes a Windows .ico of 16-colour images from the program's own XPM pictures.

    xpm2ico.py OUT.ico IMAGE32.xpm IMAGE16.xpm

Each XPM becomes one 4-bit image with its own palette; the colour "None" becomes
the transparent part of the mask.
"""
import re
import struct
import sys


def read_xpm(path):
    with open(path, encoding="utf-8") as f:
        strings = re.findall(r'"((?:[^"\\]|\\.)*)"', f.read())
    width, height, ncolours, cpp = (int(v) for v in strings[0].split()[:4])
    colours = {}
    for line in strings[1:1 + ncolours]:
        key, rest = line[:cpp], line[cpp:].split()
        value = rest[rest.index("c") + 1]
        colours[key] = None if value.lower() == "none" else int(value.lstrip("#"), 16)
    rows = strings[1 + ncolours:1 + ncolours + height]
    pixels = [[colours[row[x * cpp:(x + 1) * cpp]] for x in range(width)] for row in rows]
    if len(rows) != height or any(len(r) != width * cpp for r in rows):
        sys.exit(f"{path}: rows do not match the {width} x {height} header")
    return width, height, pixels


def ico_image(width, height, pixels):
    palette = sorted({p for row in pixels for p in row if p is not None})
    if len(palette) > 15:  # index 0 is kept for the transparent pixels
        sys.exit(f"{len(palette)} colours: a 16-colour icon holds at most 15 besides transparency")
    palette = [0] + palette
    index = {rgb: i for i, rgb in enumerate(palette) if i > 0}
    xor_stride = ((width * 4 + 31) // 32) * 4
    and_stride = ((width + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, p in enumerate(row):
            i = 0 if p is None else index[p]
            line[x // 2] |= i << (4 if x % 2 == 0 else 0)
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    colours = b"".join(struct.pack("<BBBB", rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16, 0)
                       for rgb in palette + [0] * (16 - len(palette)))
    return header + colours + bytes(xor) + bytes(mask)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    images = [read_xpm(p) for p in sys.argv[2:]]
    data = [ico_image(*image) for image in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (width, height, _), blob in zip(images, data):
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(data))


if __name__ == "__main__":
    main()
