#!/usr/bin/env python3
"""Writes the example pictures: examples/photo.png, a smoothly shaded scene with sensor-like noise,
and examples/logo.bmp, a mark on a magenta background that the job file makes transparent.
Deterministic, so the golden streams that print them stay put."""
import math
import os
import random
import struct
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")


def photo(width=256, height=192):
    rng = random.Random(7700)
    rows = []
    for y in range(height):
        row = bytearray([0])  # filter: none
        for x in range(width):
            # A sky fading into a hill, a soft sun, and a little noise.
            sky = y / height
            hill = y > height * 0.6 + 18 * math.sin(x / 30)
            sun = max(0.0, 1 - math.hypot(x - 180, y - 50) / 40)
            r = 90 + 120 * sky + 120 * sun
            g = 140 + 60 * sky + 100 * sun
            b = 230 - 80 * sky
            if hill:
                r, g, b = 60 + 40 * sky, 120 + 50 * (1 - sky), 50
            n = rng.gauss(0, 3)
            row += bytes(max(0, min(255, int(c + n))) for c in (r, g, b))
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def logo(width=64, height=32):
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(height)):  # bottom row first
        row = bytearray()
        for x in range(width):
            inside = math.hypot(x - 16, y - 16) < 14 or (36 <= x < 60 and 6 <= y < 26 and (x - 36) // 6 % 2 == 0)
            row += bytes((0x80, 0x30, 0x10)) if inside else bytes((0xFF, 0x00, 0xFF))  # B, G, R
        pixels += row + bytes(stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


with open(os.path.join(HERE, "photo.png"), "wb") as f:
    f.write(photo())
with open(os.path.join(HERE, "logo.bmp"), "wb") as f:
    f.write(logo())
