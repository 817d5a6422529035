#!/usr/bin/env python3
"""Runs controls-gallery into a fresh directory; every picture must be a PNG
that an independent decoder (Python's zlib) reads, of the control's size."""
import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

EXPECTED = {
    **{f"progress-{p}.png": (200, 16) for p in (0, 50, 100)},
    **{f"xpbutton-{s}.png": (75, 25) for s in ("normal", "hover", "pressed", "disabled", "focused")},
    **{f"flatcombo-{s}.png": (120, 21) for s in ("flat", "hover", "pressed", "disabled")},
    **{f"hoveredit-{s}.png": (160, 40) for s in ("normal", "hover")},
}


def decode(path: Path) -> tuple[int, int]:
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path.name}: signature"
    at, ihdr, idat = 8, None, b""
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        assert crc == zlib.crc32(kind + body), f"{path.name}: CRC of {kind!r}"
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    assert ihdr is not None, f"{path.name}: no IHDR"
    width, height, depth, colour = ihdr[:4]
    assert (depth, colour) == (8, 2), f"{path.name}: not 8-bit RGB"
    raw = zlib.decompress(idat)
    assert len(raw) == (width * 3 + 1) * height, f"{path.name}: pixel data size"
    return width, height


def main() -> int:
    gallery = sys.argv[1]
    usage = subprocess.run([gallery], capture_output=True, timeout=60)
    assert usage.returncode == 2 and b"--out" in usage.stderr, "usage error must exit 2 and say what is missing"
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "pictures"
        subprocess.run([gallery, "--out", str(out)], check=True, timeout=60)
        written = sorted(p.name for p in out.iterdir())
        assert written == sorted(EXPECTED), f"files: {written}"
        for name, size in EXPECTED.items():
            assert decode(out / name) == size, f"{name}: size"
    print(f"ok: {len(EXPECTED)} pictures")
    return 0


if __name__ == "__main__":
    sys.exit(main())
