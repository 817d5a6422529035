#!/usr/bin/env python3
"""Writes the configurator's icon: a board with a gear-like setting knob and a check mark."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'cmake'))
from icon_writer import canvas, write_icon  # noqa: E402

BLACK, DARK_GREEN, GREY, YELLOW, RED, WHITE = 0, 2, 8, 11, 9, 15


def picture(size):
    px, rect = canvas(size)
    rect(3, 14, 29, 30, BLACK)        # board outline
    rect(4, 15, 28, 29, DARK_GREEN)   # board
    rect(7, 18, 15, 26, GREY)         # module
    for x in range(6, 27, 4):
        rect(x, 29, x + 2, 31, YELLOW)  # pins
    rect(19, 18, 26, 20, WHITE)       # settings lines
    rect(19, 22, 26, 24, WHITE)
    rect(19, 26, 24, 27, WHITE)
    for i in range(5):                # a check mark above the board: settings written
        rect(6 + i, 6 + i, 8 + i, 8 + i, RED)
    for i in range(10):
        rect(11 + i, 10 - i, 13 + i, 12 - i, RED)
    return px


if __name__ == '__main__':
    if len(sys.argv) != 2:
        print('usage: make_icon.py OUT.ico', file=sys.stderr)
        sys.exit(2)
    sys.exit(write_icon(sys.argv[1], picture))
