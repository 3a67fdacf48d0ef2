#!/usr/bin/env python3
"""Turns 24-bit BMP screen pictures into small PNG files.

Usage: bmp_to_png.py OUT_DIR FILE.bmp...

Each FILE.bmp becomes OUT_DIR/FILE.png. Window pictures hold few colours, so
a picture of at most 256 colours is written with a palette (4 bits a pixel
when 16 colours do), otherwise as RGB. No image libraries: the BMP reader
takes only uncompressed 24-bit files and the PNG writer is zlib alone. The
output depends only on the pixels, so remaking an unchanged picture gives
the same bytes.
"""

import os
import struct
import sys
import zlib


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM" or len(data) < 54:
        raise ValueError(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0 or planes != 1 or width <= 0 or height == 0:
        raise ValueError(f"{path}: only uncompressed 24-bit BMP files are read")
    stride = (width * 3 + 3) // 4 * 4
    rows = abs(height)
    if offset + stride * rows > len(data):
        raise ValueError(f"{path}: the file is shorter than its pixels")
    pixels = []
    for y in range(rows):
        # Positive heights are stored bottom-up.
        src = rows - 1 - y if height > 0 else y
        start = offset + src * stride
        row = data[start:start + width * 3]
        pixels.append([(row[i + 2], row[i + 1], row[i]) for i in range(0, width * 3, 3)])
    return width, rows, pixels


def chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def encode_png(width, height, pixels):
    colours = sorted({p for row in pixels for p in row})
    if len(colours) <= 256:
        depth = 4 if len(colours) <= 16 else 8
        index = {c: i for i, c in enumerate(colours)}
        raw = bytearray()
        for row in pixels:
            raw.append(0)  # filter: none
            ids = [index[p] for p in row]
            if depth == 8:
                raw.extend(ids)
            else:
                if len(ids) % 2:
                    ids.append(0)
                raw.extend((ids[i] << 4) | ids[i + 1] for i in range(0, len(ids), 2))
        header = struct.pack(">IIBBBBB", width, height, depth, 3, 0, 0, 0)
        palette = b"".join(bytes(c) for c in colours)
        body = chunk(b"IHDR", header) + chunk(b"PLTE", palette)
    else:
        raw = bytearray()
        for row in pixels:
            raw.append(0)
            for p in row:
                raw.extend(p)
        header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
        body = chunk(b"IHDR", header)
    body += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    return b"\x89PNG\r\n\x1a\n" + body


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for path in argv[2:]:
        width, height, pixels = read_bmp(path)
        name = os.path.splitext(os.path.basename(path))[0] + ".png"
        png = encode_png(width, height, pixels)
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(png)
        print(f"{name}: {width}x{height}, {len(png)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
