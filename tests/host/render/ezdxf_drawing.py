#!/usr/bin/env python3
"""Writes a drawing with ezdxf and renders it with ezdxf's own renderer (its drawing add-on
with matplotlib), so that the host's picture of the same drawing can be compared with it.

usage: ezdxf_drawing.py write FOLDER      writes FOLDER/other.dxf and FOLDER/ezdxf.png
       ezdxf_drawing.py compare FOLDER    compares FOLDER/ezdxf.png with FOLDER/host.png

Each kind of entity has a colour of its own, so that its pixels can be told apart in both
pictures: lines red, arcs and circles green, the text blue, the block reference magenta (its
entities are BYBLOCK), the hatch cyan, the two-line multi-line text yellow. The pictures show the window WINDOW at WIDTH x HEIGHT
pixels. compare checks, per colour, that the boxes of the pixels agree within a few pixels and
that the probe points (places on the entities) have that colour nearby in both pictures.
"""

import math
import os
import sys

WIDTH, HEIGHT = 800, 500
WINDOW = (0.0, 0.0, 160.0, 100.0)  # x0, y0, x1, y1: the same aspect as the picture

COLOURS = {  # ACI index, RGB
    "line": (1, (255, 0, 0)),
    "arc": (3, (0, 255, 0)),
    "text": (5, (0, 0, 255)),
    "insert": (6, (255, 0, 255)),
    "hatch": (4, (0, 255, 255)),
    "mtext": (2, (255, 255, 0)),
}

# Points on the entities in drawing units, per colour.
PROBES = {
    "line": [(10, 10), (50, 10), (90, 10), (10, 50), (10, 80)],
    "arc": [(120 + 15 * math.cos(math.radians(a)), 70 + 15 * math.sin(math.radians(a)))
            for a in (0, 45, 90, 135, 180)] + [(30 + 8, 70)],
    "insert": [(70, 40), (70 + 20 * math.cos(math.radians(30)), 40 + 20 * math.sin(math.radians(30)))],
    "hatch": [(130, 20), (145, 30)],
}


def write(folder):
    import ezdxf
    from ezdxf.addons.drawing import Frontend, RenderContext
    from ezdxf.addons.drawing.matplotlib import MatplotlibBackend
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    doc = ezdxf.new("R2010")
    msp = doc.modelspace()
    c = {k: v[0] for k, v in COLOURS.items()}
    msp.add_line((10, 10), (90, 10), dxfattribs={"color": c["line"]})
    msp.add_line((10, 10), (10, 80), dxfattribs={"color": c["line"]})
    msp.add_arc((120, 70), 15, 0, 180, dxfattribs={"color": c["arc"]})
    msp.add_circle((30, 70), 8, dxfattribs={"color": c["arc"]})
    msp.add_text("Quarvel 42", dxfattribs={"color": c["text"], "height": 6,
                                           "insert": (20, 25)})
    block = doc.blocks.new("MARK")
    block.add_lwpolyline([(0, 0), (10, 0), (10, 5), (0, 5)], close=True,
                         dxfattribs={"color": 0})
    block.add_line((0, 0), (10, 5), dxfattribs={"color": 0})
    msp.add_blockref("MARK", (70, 40), dxfattribs={"color": c["insert"], "xscale": 2,
                                                   "yscale": 2, "rotation": 30})
    msp.add_mtext("Two\\Plines here", dxfattribs={"color": c["mtext"], "char_height": 4,
                                                 "insert": (100, 98), "attachment_point": 1})
    hatch = msp.add_hatch(color=c["hatch"])
    hatch.paths.add_polyline_path([(125, 15), (150, 15), (150, 35), (125, 35)], is_closed=True)
    doc.saveas(os.path.join(folder, "other.dxf"))

    dpi = 100
    fig = plt.figure(figsize=(WIDTH / dpi, HEIGHT / dpi), dpi=dpi)
    ax = fig.add_axes([0, 0, 1, 1])
    ctx = RenderContext(doc)
    ctx.set_current_layout(msp)
    ctx.current_layout_properties.set_colors("#ffffff")
    Frontend(ctx, MatplotlibBackend(ax)).draw_layout(msp, finalize=False)
    ax.set_axis_off()
    ax.set_xlim(WINDOW[0], WINDOW[2])
    ax.set_ylim(WINDOW[1], WINDOW[3])
    fig.savefig(os.path.join(folder, "ezdxf.png"), dpi=dpi, facecolor="#ffffff")


def belongs(pixel, rgb):
    """Whether a pixel is the colour, or the colour blended with the white background."""
    p = [v / 255 for v in pixel[:3]]
    c = [v / 255 for v in rgb]
    d = [1 - v for v in c]  # white - colour
    n = sum(v * v for v in d)
    t = sum((1 - pv) * dv for pv, dv in zip(p, d)) / n
    if t < 0.35:
        return False
    residual = [(1 - pv) - t * dv for pv, dv in zip(p, d)]
    return math.sqrt(sum(v * v for v in residual)) < 0.25


def to_pixel(x, y):
    sx = WIDTH / (WINDOW[2] - WINDOW[0])
    sy = HEIGHT / (WINDOW[3] - WINDOW[1])
    return (x - WINDOW[0]) * sx, HEIGHT - (y - WINDOW[1]) * sy


def boxes(image):
    px = image.load()
    w, h = image.size
    out = {k: None for k in COLOURS}
    for y in range(h):
        for x in range(w):
            p = px[x, y]
            if p[0] > 245 and p[1] > 245 and p[2] > 245:
                continue
            for name, (_, rgb) in COLOURS.items():
                if belongs(p, rgb):
                    b = out[name]
                    out[name] = (x, y, x, y) if b is None else (
                        min(b[0], x), min(b[1], y), max(b[2], x), max(b[3], y))
    return out


def near(image, x, y, rgb, radius=3):
    px = image.load()
    w, h = image.size
    for dy in range(-radius, radius + 1):
        for dx in range(-radius, radius + 1):
            xx, yy = int(x) + dx, int(y) + dy
            if 0 <= xx < w and 0 <= yy < h and belongs(px[xx, yy], rgb):
                return True
    return False


def compare(folder):
    from PIL import Image
    ours = Image.open(os.path.join(folder, "host.png")).convert("RGB")
    theirs = Image.open(os.path.join(folder, "ezdxf.png")).convert("RGB")
    failures = []
    if ours.size != theirs.size:
        failures.append(f"sizes differ: host {ours.size}, ezdxf {theirs.size}")
    ob, tb = boxes(ours), boxes(theirs)
    for name in COLOURS:
        # Text is laid out by two different engines: its box may differ more.
        tolerance = 8 if name in ("text", "mtext") else 3
        if ob[name] is None or tb[name] is None:
            failures.append(f"{name}: not drawn (host {ob[name]}, ezdxf {tb[name]})")
            continue
        diff = max(abs(a - b) for a, b in zip(ob[name], tb[name]))
        print(f"{name}: host box {ob[name]}, ezdxf box {tb[name]}, largest difference {diff}")
        if diff > tolerance:
            failures.append(f"{name}: boxes differ by {diff} pixels (host {ob[name]}, "
                            f"ezdxf {tb[name]})")
    for name, points in PROBES.items():
        rgb = COLOURS[name][1]
        for (x, y) in points:
            px, py = to_pixel(x, y)
            for label, image in (("host", ours), ("ezdxf", theirs)):
                if not near(image, px, py, rgb):
                    failures.append(f"{name}: {label} has no {name} pixel near ({x:.1f}, {y:.1f}) "
                                    f"= pixel ({px:.0f}, {py:.0f})")
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("write", "compare"):
        print(__doc__)
        return 2
    if sys.argv[1] == "write":
        write(sys.argv[2])
        return 0
    return compare(sys.argv[2])


if __name__ == "__main__":
    sys.exit(main())
