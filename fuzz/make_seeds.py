#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets that start from symbols, frames
or fixtures rather than from hand-written files.

    fuzz/make_seeds.py BUILD_DIR     (BUILD_DIR holds the cordavex tool)

Each seed is laid out as its fuzzer reads its input (see the fuzzer's opening
comment). Re-running it rewrites the same files.
"""
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def tool(build, *args):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out" + os.path.splitext(args[-1])[1])
        subprocess.run([os.path.join(build, "cordavex"), "generate", *args[:-1], "-o", out], check=True)
        with open(out, "rb") as f:
            return f.read()


def matrix(build, kind, *args):
    rows = tool(build, kind, *args, "x.txt").decode().split()
    return [[ch == "1" for ch in row] for row in rows]


def pgm_pixels(data):
    # P5, width, height, maxval, then the pixels.
    fields = data.split(maxsplit=4)
    return int(fields[1]), int(fields[2]), fields[4]


def main():
    build = sys.argv[1]
    texts = ["HELLO", "https://cordavex.example/a?b=1", "MECARD:N:Lin,Mei;TEL:0212345678;;",
             "0123456789012345678901234567890123456789", "\u4f60\u597d, \u4e16\u754c"]

    # QR module grids: the dimension byte (version - 1), then the 70 x 70 grid
    # row by row, one bit a module, least significant bit first.
    for i, (text, version) in enumerate(zip(texts, [1, 2, 3, 4, 7])):
        grid = matrix(build, "qr", "--version", str(version), "--allow-larger", text)
        side = len(grid)
        bits = bytearray(70 * 70 // 8 + 1)
        for r in range(side):
            for c in range(side):
                if grid[r][c]:
                    k = r * 70 + c
                    bits[k // 8] |= 1 << (k % 8)
        write("qr_decode_grid", f"seed{i:02}", bytes([(side - 21) // 4]) + bytes(bits))

    # Whole frames: width - 1, height - 1, pixel format, mode, mask, then grey pixels.
    for i, (text, scale) in enumerate([(texts[0], 4), (texts[1], 3), (texts[2], 2)]):
        w, h, pixels = pgm_pixels(tool(build, "qr", "--scale", str(scale), "--border", "3", text, "x.pgm"))
        w, h = min(w, 200), min(h, 160)
        write("recognize_image", f"qr{i}", bytes([w - 1, h - 1, 0, i % 6, 1]) + pixels[: w * h])
    w, h, pixels = pgm_pixels(tool(build, "cordavex", "--scale", "3", "--border", "3", texts[1], "x.pgm"))
    w, h = min(w, 200), min(h, 160)
    write("recognize_image", "cordavex", bytes([w - 1, h - 1, 0, 0, 2]) + pixels[: w * h])

    # The still reader: QR frames that the fuzzer enlarges four times, past the
    # size the engine reduces; every view and give-up, up to 39 engine calls.
    for i, (text, scale) in enumerate([(texts[0], 2), (texts[1], 2)]):
        w, h, pixels = pgm_pixels(tool(build, "qr", "--scale", str(scale), "--border", "30", text, "x.pgm"))
        cw, ch = min(w, 200), min(h, 160)
        crop = b"".join(pixels[r * w:r * w + cw] for r in range(ch))
        write("still_reader", f"qr{i}", bytes([cw - 1, ch - 1, 3, 1, 0x80 | 38]) + crop)

    # Cordavex code poses: the 12-byte header, then the payload.
    poses = [
        bytes([len(texts[1]) - 1, 0, 0, 64, 0, 0, 0, 128, 128, 20, 100, 0]),
        bytes([len(texts[2]) - 1, 0x45, 0x21, 68, 20, 10, 246, 120, 130, 40, 90, 1]),
        bytes([len(texts[3]) - 1, 0x83, 0x02, 85, 64, 0, 0, 128, 128, 0, 127, 0]),
    ]
    for i, pose in enumerate(poses):
        write("cordavex_locator", f"pose{i}", pose + [texts[1], texts[2], texts[3]][i].encode())

    # Preparation and labelling: the 8-byte header, then a small QR frame.
    w, h, pixels = pgm_pixels(tool(build, "qr", "--scale", "2", "--border", "2", texts[0], "x.pgm"))
    for mode in range(3):
        write("prepare_label", f"qr_mode{mode}", bytes([w - 1, h - 1, mode, 1, 10, 12, h // 2, w // 2]) +
              pixels)

    # Sampling: a small frame with the corners of its symbol.
    w, h, pixels = pgm_pixels(tool(build, "qr", "--scale", "2", "--border", "1", texts[0], "x.pgm"))
    w, h = min(w, 64), min(h, 64)
    crop = b"".join(pixels[r * w:(r + 1) * w] for r in range(h))
    corners = [(2, 2), (44, 2), (44, 44), (2, 44)]
    header = bytes([w - 1, h - 1, 21]) + b"".join(struct.pack("<hh", x, y) for x, y in corners) + \
        struct.pack("<hhhh", 5, 5, 40, 40)
    write("geometry", "qr_v1", header + crop)

    # Classification: located symbology, content kind index, character set, then the text.
    for i, text in enumerate(texts + ["BEGIN:VCARD\r\nN:Lin;Mei\r\nTEL:123\r\nEND:VCARD",
                                      "mailto:a@b.example", "MATMSG:TO:a@b.example;SUB:x;BODY:y;;"]):
        write("classify", f"seed{i:02}", bytes([i % 5, i % 14, i % 6]) + text.encode())

    # Character sets: selector, then text in several encodings.
    samples = [("utf8", 4, "\u4f60\u597d".encode()), ("big5", 1, "\u4f60\u597d".encode("big5")),
               ("gb2312", 2, "\u4f60\u597d".encode("gb2312")), ("sjis", 8, "\u3042".encode("shift_jis")),
               ("latin1", 0, "caf\u00e9".encode("latin-1"))]
    for name, code_index, data in samples:
        code_index = [1, 2, 4, 8, 32, 0, 16].index(code_index)
        write("decode_to_unicode", name, bytes([code_index]) + data)
        write("decode_to_unicode", name + "_platform", bytes([code_index | 0x40]) + data)

    # The encoder: level/version/larger, mask, then the text.
    for i, text in enumerate(texts):
        write("qr_encode", f"seed{i:02}", bytes([(i & 3) | ((i * 3) << 2), i % 9]) + text.encode())

    # Reed-Solomon: two BCH bytes, variant, check count, then the block.
    write("reed_solomon", "zeros", bytes([0, 0, 0, 10]) + bytes(26))
    write("reed_solomon", "errors", bytes([0x55, 0x2A, 1, 16]) + bytes(range(1, 45)))
    write("reed_solomon", "variant2", bytes([0xFF, 0x7F, 2, 7]) + bytes(20) + b"\x01\x02")


if __name__ == "__main__":
    main()
