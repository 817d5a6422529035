#!/usr/bin/env python3
"""The far end of a pty for the Win32 backend's tests under Wine.

Makes a pty, links PATH to its slave side, prints the slave path and serves
until SIGTERM or --exit-after seconds:
  echo    sends back every byte it receives
  burst   answers every byte it receives with --burst pattern bytes
  stream  once a byte has arrived, sends the pattern for as long as it can
--deaf-for S leaves the first bytes that arrive unread for S seconds (the
program's writes back up), then serves as the mode says.
--die-after N ends the process abruptly (no clean-up, as a device that goes
away) once N bytes have been sent. --status FILE holds the line rate the
slave side was set to and the byte counts, rewritten as they change.
"""
import argparse
import errno
import fcntl
import os
import select
import signal
import struct
import sys
import termios
import time
import tty

RATES = {getattr(termios, name): int(name[1:]) for name in dir(termios)
         if name.startswith("B") and name[1:].isdigit()}


def pattern(start, count):
    """The test pattern: no short period, so a lost or repeated block shows."""
    return bytes(((i ^ (i >> 8) ^ (i >> 16)) + (i >> 24)) & 0xFF for i in range(start, start + count))


class Status:
    def __init__(self, path):
        self.path = path
        self.last = None

    def write(self, **fields):
        if not self.path:
            return
        text = "".join(f"{k} {v}\n" for k, v in sorted(fields.items()))
        if text == self.last:
            return
        tmp = self.path + ".tmp"
        with open(tmp, "w") as f:
            f.write(text)
        os.replace(tmp, self.path)
        self.last = text


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--link", required=True)
    ap.add_argument("--mode", choices=["echo", "burst", "stream"], default="echo")
    ap.add_argument("--burst", type=int, default=4096)
    ap.add_argument("--deaf-for", type=float, default=0.0)
    ap.add_argument("--die-after", type=int, default=0)
    ap.add_argument("--exit-after", type=float, default=300.0)
    ap.add_argument("--status", default="")
    args = ap.parse_args()

    master, slave = os.openpty()
    # The pty becomes this process's controlling terminal: a tty is that of
    # one session only, so the wineserver (a session leader that opens the
    # device) cannot take it and later get the hang-up when we close.
    try:
        os.setsid()
        fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
    except OSError as e:
        print(f"far_end: could not take the pty as controlling terminal: {e}", file=sys.stderr)
        return 2
    # Raw from the start: until the program sets its own line, a cooked pty
    # would echo and translate.
    tty.setraw(slave)
    os.set_blocking(master, False)
    slave_path = os.ttyname(slave)
    if os.path.lexists(args.link):
        os.unlink(args.link)
    os.symlink(slave_path, args.link)
    # The slave stays open here too, so the master never sees a hang-up
    # while the program closes and reopens the port.
    print(slave_path, flush=True)

    stopping = False

    def stop(*_):
        nonlocal stopping
        stopping = True

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    status = Status(args.status)
    deadline = time.monotonic() + args.exit_after
    received = sent = 0
    out = bytearray()
    streaming = False
    stream_pos = 0
    burst = pattern(0, args.burst) if args.mode == "burst" else b""
    deaf_until = None  # set when the first bytes are seen waiting

    while not stopping and time.monotonic() < deadline:
        if args.mode == "stream" and streaming and len(out) < 65536:
            out += pattern(stream_pos, 65536)
            stream_pos += 65536
        if args.deaf_for > 0:
            if deaf_until is None and waiting(master) > 0:
                deaf_until = time.monotonic() + args.deaf_for
            if deaf_until is None or time.monotonic() < deaf_until:
                status.write(rate=line_rate(master), received=received, sent=sent, state="deaf")
                time.sleep(0.01)
                continue
        wants_write = [master] if out else []
        try:
            readable, writable, _ = select.select([master], wants_write, [], 0.02)
        except InterruptedError:
            continue
        if readable:
            try:
                data = os.read(master, 65536)
            except OSError as e:
                if e.errno not in (errno.EAGAIN, errno.EIO):
                    raise
                data = b""
            if data:
                received += len(data)
                if args.mode == "echo":
                    out += data
                elif args.mode == "burst":
                    for _ in data:
                        out += burst
                else:
                    streaming = True
        if writable and out:
            chunk = bytes(out[:4096])
            if args.die_after:
                chunk = chunk[:max(0, args.die_after - sent)]
            try:
                n = os.write(master, chunk)
            except OSError as e:
                if e.errno not in (errno.EAGAIN, errno.EIO):
                    raise
                n = 0
            del out[:n]
            sent += n
            if args.die_after and sent >= args.die_after:
                status.write(rate=line_rate(master), received=received, sent=sent, state="vanished")
                os._exit(0)
        status.write(rate=line_rate(master), received=received, sent=sent, state="serving")

    try:
        os.unlink(args.link)
    except FileNotFoundError:
        pass
    return 0


def waiting(fd):
    """Bytes the program has written that we have not read."""
    return struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0\0\0\0"))[0]


def line_rate(fd):
    try:
        speed = termios.tcgetattr(fd)[5]
    except termios.error:
        return 0
    return RATES.get(speed, speed)


if __name__ == "__main__":
    sys.exit(main())
