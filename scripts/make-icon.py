#!/usr/bin/env python3
"""Writes launcher/DravikVT.ico: the launcher's blue tile with a white "D",
at 16 and 32 pixels, which the program file and its window both show."""
import struct
import sys

PATTERN = [
    "bbbbbbbbbbbbbbbb", "b..............b", "b..............b", "b...#######....b",
    "b...########...b", "b...##....###..b", "b...##.....##..b", "b...##.....##..b",
    "b...##.....##..b", "b...##.....##..b", "b...##.....##..b", "b...##....###..b",
    "b...########...b", "b...#######....b", "b..............b", "bbbbbbbbbbbbbbbb",
]
COLOURS = {"#": (0xFF, 0xFF, 0xFF), "b": (0x00, 0x2A, 0x80), ".": (0x1E, 0x5A, 0xD2)}


def image(size):
    scale = size // 16
    rows = []
    for y in reversed(range(size)):  # bottom-up, as icons store their rows
        row = b""
        for x in range(size):
            r, g, b = COLOURS[PATTERN[y // scale][x // scale]]
            row += bytes((b, g, r, 0xFF))
        rows.append(row)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_row = b"\0" * (((size + 31) // 32) * 4)  # all opaque
    return header + b"".join(rows) + mask_row * size


def main(path):
    images = [image(16), image(32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "launcher/DravikVT.ico")
