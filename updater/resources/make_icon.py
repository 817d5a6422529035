#!/usr/bin/env python3
"""Writes the updater's icon: a board with a down arrow, for firmware going in."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'cmake'))
from icon_writer import canvas, write_icon  # noqa: E402

BLACK, DARK_GREEN, GREY, YELLOW, BLUE = 0, 2, 8, 11, 12


def picture(size):
    px, rect = canvas(size)
    rect(3, 14, 29, 30, BLACK)        # board outline
    rect(4, 15, 28, 29, DARK_GREEN)   # board
    rect(9, 19, 23, 26, GREY)         # chip
    for x in range(6, 27, 4):
        rect(x, 29, x + 2, 31, YELLOW)  # pins
    rect(13, 1, 19, 10, BLUE)          # arrow shaft
    for i in range(6):
        rect(8 + i, 9 + i, 24 - i, 10 + i, BLUE)  # arrow head
    return px


if __name__ == '__main__':
    if len(sys.argv) != 2:
        print('usage: make_icon.py OUT.ico', file=sys.stderr)
        sys.exit(2)
    sys.exit(write_icon(sys.argv[1], picture))
