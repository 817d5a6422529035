#!/usr/bin/env python3
"""Checks the PNG writer against an independent decoder: Python's zlib."""
import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path


def check(sample: str, width: int, height: int, out: Path) -> None:
    subprocess.run([sample, str(out), str(width), str(height)], check=True, timeout=60)
    data = out.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "signature"
    at, chunks = 8, []
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        assert crc == zlib.crc32(kind + body), f"CRC of {kind!r}"
        chunks.append((kind, body))
        at += 12 + length
    assert at == len(data), "trailing bytes"
    assert [k for k, _ in chunks] == [b"IHDR", b"IDAT", b"IEND"], chunks
    w, h, depth, colour, comp, filt, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    assert (w, h, depth, colour, comp, filt, interlace) == (width, height, 8, 2, 0, 0, 0)
    raw = zlib.decompress(chunks[1][1])  # also checks the Adler-32
    row = width * 3
    assert len(raw) == (row + 1) * height
    for y in range(height):
        line = raw[y * (row + 1):(y + 1) * (row + 1)]
        assert line[0] == 0, "filter type"
        expected = bytes(v for x in range(width) for v in (x & 0xFF, y & 0xFF, (x ^ y) & 0xFF))
        assert line[1:] == expected, f"row {y}"


def main() -> int:
    sample = sys.argv[1]
    with tempfile.TemporaryDirectory() as tmp:
        for width, height in ((1, 1), (7, 5), (640, 480)):
            check(sample, width, height, Path(tmp) / f"s{width}x{height}.png")
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
