#!/usr/bin/env python3
"""Builds the program's multi-size icon from its SVG sources.

Each size is rendered with rsvg-convert. Sizes below 256 are stored as 32-bit
DIBs with an AND mask (readable by every icon loader); 256 is stored as PNG,
which is how Windows expects its largest entry.

usage: make_ico.py --rsvg rsvg-convert --out Caldris.ico \
           --svg Caldris-small.svg 16 24 32 --svg Caldris.svg 48 64 256
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_chunks(data):
    if not data.startswith(PNG_SIGNATURE):
        raise ValueError("not a PNG file")
    pos = len(PNG_SIGNATURE)
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        yield kind, data[pos + 8:pos + 8 + length]
        pos += 12 + length


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def decode_rgba(data):
    """Width, height and RGBA rows of an 8-bit RGBA, non-interlaced PNG."""
    idat = b""
    width = height = None
    for kind, body in png_chunks(data):
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour != 6 or interlace != 0:
                raise ValueError("expected 8-bit RGBA non-interlaced PNG")
        elif kind == b"IDAT":
            idat += body
    raw = zlib.decompress(idat)
    stride = width * 4
    rows, prev = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up = prev[i]
            upleft = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + paeth(left, up, upleft)) & 0xFF
            elif kind != 0:
                raise ValueError("bad PNG filter %d" % kind)
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def dib_entry(width, height, rows):
    """BITMAPINFOHEADER + bottom-up BGRA pixels + 1-bit AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((width + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(width):
            r, g, b, a = row[x * 4:x * 4 + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def render(rsvg, svg, size, folder):
    out = os.path.join(folder, "%s-%d.png" % (os.path.basename(svg), size))
    subprocess.run([rsvg, "-w", str(size), "-h", str(size), "-o", out, svg], check=True)
    with open(out, "rb") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rsvg", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--svg", nargs="+", action="append", required=True,
                        metavar=("SVG", "SIZE"), help="an SVG source and the sizes rendered from it")
    args = parser.parse_args()

    entries = []
    with tempfile.TemporaryDirectory() as folder:
        for svg, *sizes in args.svg:
            for size in map(int, sizes):
                png = render(args.rsvg, svg, size, folder)
                width, height, rows = decode_rgba(png)
                if (width, height) != (size, size):
                    sys.exit("%s rendered %dx%d, expected %d" % (svg, width, height, size))
                entries.append((size, png if size >= 256 else dib_entry(width, height, rows)))
    entries.sort(key=lambda e: e[0])

    offset = 6 + 16 * len(entries)
    directory, images = b"", b""
    for size, blob in entries:
        dim = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        images += blob
        offset += len(blob)
    with open(args.out, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(entries)) + directory + images)


if __name__ == "__main__":
    main()
