#!/usr/bin/env python3
"""Draws the installer's icon: the skin's quill, white on a rounded tile in the brand gradient.

Usage: make_icon.py OUT.ico [--preview PNG]

The icon file holds the sizes Windows asks for (16 to 256 pixels), each drawn at 256 pixels and
reduced, so small sizes keep the same shape. Like the skin artwork, it uses no random numbers and
no time stamps: the same script always writes the same bytes.
"""

import argparse
import os
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_skin_art as art  # noqa: E402  (shares the quill and the palette with the skin)

SIZES = (16, 20, 24, 32, 40, 48, 64, 128, 256)
SIDE = 256


def gradient_tile():
    """The tile: a diagonal blend of the skin's background stops, inside rounded corners."""
    fill = art.blank(SIDE, SIDE)
    for y in range(SIDE):
        for x in range(SIDE):
            t = (x + y) / (2.0 * (SIDE - 1))
            colour = art.lerp(art.FILL_TOP, art.FILL_MID, t * 2) if t < 0.5 else \
                art.lerp(art.FILL_MID, art.FILL_END, (t - 0.5) * 2)
            fill.putpixel((x, y), tuple(int(round(c)) for c in colour) + (255,))
    margin = SIDE * 0.03
    mask = art.rounded_rect_mask(SIDE, SIDE, (margin, margin, SIDE - margin, SIDE - margin), SIDE * 0.22)
    tile = art.blank(SIDE, SIDE)
    art.paint(tile, mask, fill)
    return tile


def icon_image():
    image = gradient_tile()
    inner = int(SIDE * 0.70)
    quill = Image.new("L", (SIDE, SIDE), 0)
    quill.paste(art.quill_mask(inner), ((SIDE - inner) // 2, (SIDE - inner) // 2))
    art.paint(image, quill, (255, 255, 255, 255))
    return image


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--preview")
    args = parser.parse_args()
    image = icon_image()
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    image.save(args.out, format="ICO", sizes=[(s, s) for s in SIZES])
    if args.preview:
        image.save(args.preview, format="PNG")
    return 0


if __name__ == "__main__":
    sys.exit(main())
