#!/usr/bin/env python3
"""Writes the small damaged image files that the command-line tests feed to
`cordavex scan` (tests/cli/fixtures). Run it again to recreate them:

    python3 tools/make_cli_fixtures.py tests/cli/fixtures
"""
import struct
import sys
import zlib
from pathlib import Path


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, rows):
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)  # 8-bit grey
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
            png_chunk(b"IDAT", zlib.compress(raw)) + png_chunk(b"IEND", b""))


def jpeg_headers(width, height):
    """A baseline grey JPEG up to and including its scan header."""
    soi = b"\xff\xd8"
    dqt = b"\xff\xdb" + struct.pack(">H", 67) + b"\x00" + bytes([1] * 64)
    sof = b"\xff\xc0" + struct.pack(">HBHHB", 11, 8, height, width, 1) + b"\x01\x11\x00"
    # One code of length 1 in each table: DC category 0, AC end-of-block.
    counts = bytes([1] + [0] * 15)
    dht = (b"\xff\xc4" + struct.pack(">H", 2 + 2 * (1 + 16 + 1)) +
           b"\x00" + counts + b"\x00" + b"\x10" + counts + b"\x00")
    sos = b"\xff\xda" + struct.pack(">HB", 8, 1) + b"\x01\x00" + b"\x00\x3f\x00"
    return soi + dqt + sof + dht + sos


def main(folder):
    out = Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    rows = [bytes((x * 16 + y) & 0xFF for x in range(16)) for y in range(16)]
    good = png(16, 16, rows)
    files = {
        "plain.png": good,
        "plain.pgm": b"P5\n# a comment\n16 16\n255\n" + b"".join(rows),
        "truncated.png": good[: len(good) - 30],
        "corrupt.png": good[:33] + png_chunk(b"IDAT", b"this is not deflate data"),
        "huge.png": b"\x89PNG\r\n\x1a\n" + png_chunk(
            b"IHDR", struct.pack(">IIBBBBB", 100000, 100000, 8, 0, 0, 0, 0)) +
            png_chunk(b"IDAT", zlib.compress(b"\x00" * 64)) + png_chunk(b"IEND", b""),
        "truncated.jpg": jpeg_headers(16, 16) + b"\x00",
        "huge.jpg": jpeg_headers(60000, 60000) + b"\x00" * 8,
        "truncated.pgm": b"P5\n16 16\n255\n" + b"\x80" * 100,
        "huge.ppm": b"P6\n40000 40000\n255\n" + b"\x00" * 16,
        "malformed.pgm": b"P5\n16 x\n255\n",
        "not-an-image.txt": b"hello, world\n",
        "empty.png": b"",
    }
    for name, data in files.items():
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "tests/cli/fixtures")
