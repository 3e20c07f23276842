#!/usr/bin/env python3
"""Build res/kelmora.ico from the pixel maps kelmora-32.txt and kelmora-16.txt.

    make_icon.py              write res/kelmora.ico
    make_icon.py --check      exit 1 when res/kelmora.ico differs from the maps
    make_icon.py --png FILE   also write an 8x enlargement of both images (for review)

Python 3, standard library only. The output depends on the maps alone, so the
committed .ico can always be rebuilt and compared byte for byte.
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ICO_PATH = os.path.join(HERE, os.pardir, "kelmora.ico")
MAPS = (("kelmora-32.txt", 32), ("kelmora-16.txt", 16))  # directory order: 32x32 first

# The standard 16-colour Windows palette, as (R, G, B) by index.
PALETTE = (
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
)
TRANSPARENT = -1


def fail(msg):
    sys.stderr.write("make_icon.py: %s\n" % msg)
    sys.exit(2)


def read_map(name, size):
    """Parse one map: a 'legend' block of '<char> <index|transparent> ...' lines,
    then a 'pixels' block of size rows of size characters. '#' starts a comment line."""
    path = os.path.join(HERE, name)
    with open(path, "r", encoding="ascii") as f:
        lines = [ln.rstrip("\r\n") for ln in f]
    legend, rows, block = {}, [], None
    for num, line in enumerate(lines, 1):
        if line.startswith("#") or (block != "pixels" and not line.strip()):
            continue
        if line.strip() in ("legend", "pixels"):
            block = line.strip()
            continue
        if block == "legend":
            parts = line.split()
            if len(parts[0]) != 1 or len(parts) < 2:
                fail("%s:%d: bad legend line" % (name, num))
            if parts[1] == "transparent":
                legend[parts[0]] = TRANSPARENT
            elif parts[1].isdigit() and int(parts[1]) < 16:
                legend[parts[0]] = int(parts[1])
            else:
                fail("%s:%d: colour must be 0..15 or 'transparent'" % (name, num))
        elif block == "pixels":
            if not line:
                continue
            if len(line) != size:
                fail("%s:%d: row is %d pixels wide, expected %d" % (name, num, len(line), size))
            for ch in line:
                if ch not in legend:
                    fail("%s:%d: '%s' is not in the legend" % (name, num, ch))
            rows.append([legend[ch] for ch in line])
        else:
            fail("%s:%d: text before 'legend'" % (name, num))
    if len(rows) != size:
        fail("%s: %d rows, expected %d" % (name, len(rows), size))
    return rows


def dib(rows):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit XOR bits, 1-bit AND mask, bottom-up."""
    size = len(rows)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            if c == TRANSPARENT:
                bits[x >> 3] |= 0x80 >> (x & 7)
                c = 0  # black under a set mask bit leaves the screen untouched
            line[x >> 1] |= c << 4 if x % 2 == 0 else c
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def build_ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def write_png(path, maps, scale=8):
    """Both images side by side on a checkerboard, enlarged, for looking at."""
    gap = 16
    width = sum(len(rows) for rows in maps) * scale + gap * (len(maps) + 1)
    height = max(len(rows) for rows in maps) * scale + gap * 2
    pix = [[(0xE0, 0xE0, 0xFF) if ((x // 8) + (y // 8)) % 2 else (0xFF, 0xFF, 0xFF)
            for x in range(width)] for y in range(height)]
    left = gap
    for rows in maps:
        for y, row in enumerate(rows):
            for x, c in enumerate(row):
                if c == TRANSPARENT:
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        pix[gap + y * scale + dy][left + x * scale + dx] = PALETTE[c]
        left += len(rows) * scale + gap
    raw = b"".join(b"\0" + bytes(v for p in line for v in p) for line in pix)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def main(argv):
    maps = [read_map(name, size) for name, size in MAPS]
    ico = build_ico([(len(rows), dib(rows)) for rows in maps])
    if "--png" in argv:
        i = argv.index("--png")
        if i + 1 >= len(argv):
            fail("--png needs a file name")
        write_png(argv[i + 1], maps)
    if "--check" in argv:
        try:
            with open(ICO_PATH, "rb") as f:
                committed = f.read()
        except OSError:
            committed = None
        if committed != ico:
            sys.stderr.write("make_icon.py: res/kelmora.ico is out of date; run make_icon.py\n")
            return 1
        return 0
    with open(ICO_PATH, "wb") as f:
        f.write(ico)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
