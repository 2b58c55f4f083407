#!/usr/bin/python3
"""Draws the database browser's tree icons and writes them as .ico files (16x16 and 32x32,
32-bit colour with alpha and a transparency mask):

    database.ico  a database: a stack of disks
    table.ico     a table: a sheet with a heading row and a grid
    view.ico      a view or query: a table seen through a lens

usage: make_icons.py [OUTDIR] [--preview]

OUTDIR defaults to the folder of this script; --preview also writes enlarged PNG pictures.

The pictures are drawn at eight times their size on a 16-unit grid and reduced with a box
filter, so edges on whole units stay sharp and curves are smoothed. The same script always
writes the same bytes.
"""
import os
import struct
import sys

from PIL import Image, ImageDraw

SIZES = (16, 32)
OVERSAMPLE = 8

OUTLINE = (31, 63, 102, 255)
BLUE = (58, 110, 165, 255)
LIGHT_BLUE = (141, 184, 232, 255)
PALE_BLUE = (205, 224, 245, 255)
WHITE = (255, 255, 255, 255)
GRID = (150, 160, 175, 255)
GREEN = (78, 154, 78, 255)
GLASS = (220, 240, 255, 200)
HANDLE = (120, 80, 40, 255)


class Canvas:
    """A drawing surface for one icon size, addressed in units of a 16x16 grid."""

    def __init__(self, size):
        self.size = size
        self.scale = size * OVERSAMPLE / 16.0
        self.line = OVERSAMPLE  # one pixel of the finished icon
        self.image = Image.new("RGBA", (size * OVERSAMPLE, size * OVERSAMPLE), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.image)

    def box(self, x0, y0, x1, y1):
        s = self.scale
        return [round(x0 * s), round(y0 * s), round(x1 * s) - 1, round(y1 * s) - 1]

    def rect(self, x0, y0, x1, y1, fill, outline=None):
        self.draw.rectangle(self.box(x0, y0, x1, y1), fill=fill, outline=outline,
                            width=self.line if outline else 0)

    def ellipse(self, x0, y0, x1, y1, fill, outline=None):
        self.draw.ellipse(self.box(x0, y0, x1, y1), fill=fill, outline=outline,
                          width=self.line if outline else 0)

    def hline(self, x0, x1, y, fill):
        b = self.box(x0, y, x1, y)
        self.draw.rectangle([b[0], b[1], b[2], b[1] + self.line - 1], fill=fill)

    def vline(self, x, y0, y1, fill):
        b = self.box(x, y0, x, y1)
        self.draw.rectangle([b[0], b[1], b[0] + self.line - 1, b[3]], fill=fill)

    def finish(self):
        return self.image.resize((self.size, self.size), Image.BOX)


def draw_database(c):
    # Three disks stacked into a cylinder, the top one seen from above.
    c.rect(2, 3, 14, 13, fill=BLUE)
    c.ellipse(2, 10, 14, 15, fill=BLUE, outline=OUTLINE)
    c.rect(2, 3, 14, 12.5, fill=BLUE)
    c.vline(2, 3, 12.5, OUTLINE)
    c.vline(13, 3, 12.5, OUTLINE)
    c.ellipse(2, 6.5, 14, 11.5, fill=None, outline=LIGHT_BLUE)
    c.rect(2.5, 4, 13.5, 9, fill=BLUE)
    c.ellipse(2, 3.5, 14, 8.5, fill=None, outline=LIGHT_BLUE)
    c.rect(2.5, 3, 13.5, 5.5, fill=BLUE)
    c.ellipse(2, 1, 14, 6, fill=PALE_BLUE, outline=OUTLINE)


def draw_grid(c, heading):
    c.rect(1, 2, 15, 14, fill=WHITE, outline=OUTLINE)
    c.rect(1.5, 2.5, 14.5, 5, fill=heading)
    for y in (8, 11):
        c.hline(1.5, 14.5, y, GRID)
    for x in (5, 10):
        c.vline(x, 5, 13.5, GRID)
    c.hline(1, 15, 5, OUTLINE)


def draw_table(c):
    draw_grid(c, BLUE)


def draw_view(c):
    draw_grid(c, GREEN)
    # A lens over the lower right corner.
    c.draw.line([tuple(c.box(12, 12, 15.5, 15.5)[0:2]), tuple(c.box(12, 12, 15.5, 15.5)[2:4])],
                fill=HANDLE, width=round(2 * c.line))
    c.ellipse(6.5, 6.5, 13, 13, fill=GLASS, outline=OUTLINE)


def dib(image):
    """An icon image as the platform stores it: a 32-bit DIB, bottom-up, then its AND mask."""
    size = image.size[0]
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_row = ((size + 31) // 32) * 4
    data = image.load()
    for y in reversed(range(size)):
        row_mask = bytearray(mask_row)
        for x in range(size):
            r, g, b, a = data[x, y]
            if a == 0:
                r = g = b = 0
                row_mask[x // 8] |= 0x80 >> (x % 8)
            pixels += bytes((b, g, r, a))
        mask += row_mask
    return header + bytes(pixels) + bytes(mask)


def write_icon(path, images):
    images = [dib(img) for img in images]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in zip(SIZES, images):
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(directory + entries + b"".join(images))


def main():
    args = [a for a in sys.argv[1:] if a != "--preview"]
    out = args[0] if args else os.path.dirname(os.path.abspath(__file__))
    for name, draw in (("database", draw_database), ("table", draw_table),
                       ("view", draw_view)):
        images = []
        for size in SIZES:
            canvas = Canvas(size)
            draw(canvas)
            images.append(canvas.finish())
        write_icon(os.path.join(out, name + ".ico"), images)
        if "--preview" in sys.argv:
            sheet = Image.new("RGBA", (48, 32), (255, 255, 255, 255))
            sheet.alpha_composite(images[0], (0, 0))
            sheet.alpha_composite(images[1], (16, 0))
            sheet.resize((48 * 8, 32 * 8), Image.NEAREST).save(
                os.path.join(out, name + "_preview.png"))


if __name__ == "__main__":
    main()
