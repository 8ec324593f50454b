#!/usr/bin/env python3
"""Turns XPM pictures into one 16-colour Windows icon file.

Usage: xpm_to_ico.py OUT.ico IN.xpm [IN.xpm ...]

Each XPM becomes one image of the icon, 4 bits per pixel over the standard
16-colour palette (every colour is mapped to its nearest palette entry), with
the transparent colour "None" carried by the 1-bit mask. Only the plain XPM
form is read: one character per pixel and "c" colour keys.
"""
import re
import struct
import sys

# The standard 16-colour palette, in the order the system uses it.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def nearest(rgb):
    return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(PALETTE[i], rgb)))


def read_xpm(path):
    with open(path, encoding="ascii") as f:
        strings = re.findall(r'"([^"]*)"', f.read())
    width, height, ncolors, cpp = (int(v) for v in strings[0].split()[:4])
    if cpp != 1:
        raise SystemExit(f"{path}: only one character per pixel is read")
    colours = {}
    for line in strings[1:1 + ncolors]:
        key, _, value = line[0], line[1:].split()[0], line[1:].split()[1]
        if value.lower() == "none":
            colours[key] = None
        elif re.fullmatch(r"#[0-9A-Fa-f]{6}", value):
            colours[key] = nearest(tuple(int(value[i:i + 2], 16) for i in (1, 3, 5)))
        else:
            raise SystemExit(f"{path}: colour {value!r} is not #RRGGBB or None")
    rows = strings[1 + ncolors:1 + ncolors + height]
    if len(rows) != height or any(len(r) != width for r in rows):
        raise SystemExit(f"{path}: rows do not match {width}x{height}")
    return width, height, [[colours[ch] for ch in row] for row in rows]


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def image_data(width, height, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour_rows, mask_rows = [], []
    for row in reversed(pixels):  # bitmaps are stored bottom-up
        nibbles = [0 if p is None else p for p in row] + [0] * (width % 2)
        colour_rows.append(padded(bytes((nibbles[i] << 4) | nibbles[i + 1]
                                        for i in range(0, len(nibbles), 2))))
        bits = [1 if p is None else 0 for p in row] + [0] * (-width % 8)
        mask_rows.append(padded(bytes(sum(bit << (7 - j) for j, bit in enumerate(bits[i:i + 8]))
                                      for i in range(0, len(bits), 8))))
    return header + palette + b"".join(colour_rows) + b"".join(mask_rows)


def main(out, inputs):
    images = [read_xpm(p) for p in inputs]
    datas = [image_data(*img) for img in images]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for (width, height, _), data in zip(images, datas):
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 16, 0, 1, 4,
                                 len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(directory + b"".join(datas))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2:])
