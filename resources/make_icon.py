#!/usr/bin/env python3
"""Draws brisel.ico: a page that splits into two, at every size Windows
asks for from 100 % to 200 % scaling. The 256-pixel image is stored
PNG-compressed, as Windows expects at that size; the others as bitmaps."""
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def pixels(size):
    """Rows top to bottom of (b, g, r, a)."""
    s = size / 32.0
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            fx, fy = x / s, y / s
            colour = (0, 0, 0, 0)
            # Two sheets, the back one shifted right and down.
            for ox, oy, fill in ((10, 8, (200, 120, 40)), (4, 2, (255, 255, 255))):
                if ox <= fx < ox + 17 and oy <= fy < oy + 22:
                    edge = fx < ox + 1.2 or fx >= ox + 15.8 or fy < oy + 1.2 or fy >= oy + 20.8
                    colour = (60, 60, 60, 255) if edge else fill + (255,)
            # Text lines on the front sheet.
            if 7 <= fx < 18 and 7 <= fy < 20 and int(fy) % 4 == 0:
                colour = (150, 100, 30, 255)
            row.append(colour)
        rows.append(row)
    return rows


def image(size):
    rows = pixels(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = b"".join(bytes(c) for row in reversed(rows) for c in row)
    mask_row = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, c in enumerate(row):
            if c[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + data + mask


def png(size):
    """The image as a PNG file: 8-bit RGBA, no filter."""
    raw = b"".join(b"\0" + bytes(v for (b, g, r, a) in row for v in (r, g, b, a)) for row in pixels(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def main(path):
    sizes = SIZES
    images = [png(n) if n >= 256 else image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, blob in zip(sizes, images):
        # A width or height of 256 is written as 0.
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "brisel.ico")
