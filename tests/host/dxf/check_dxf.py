"""Checks drawings with ezdxf, a DXF reader independent of the host.

usage:
  check_dxf.py audit FILE              load, audit; exit 1 with the errors when there are any
  check_dxf.py compare A B             every entity and object of A is in B with the same
                                       handle, type, attributes and extended data
  check_dxf.py compare-entities A B    the same for the graphical entities of layouts and
                                       blocks only (for R12 sources, whose objects the reader
                                       makes up on loading)
  check_dxf.py tables FILE             prints each ACAD_TABLE: handle, block, extended data
  check_dxf.py render FILE PNG         draws the first table's anonymous block to a PNG
  check_dxf.py model FILE              prints the version, the audit's errors, and each
                                       model-space ACAD_TABLE or INSERT: block, extended data,
                                       the block's entity types and texts (\\U+ escapes of
                                       files before R2007 decoded)
  check_dxf.py polylines FILE          prints the audit's errors, whether the handles are
                                       unique and below $HANDSEED, then one line per 2D
                                       polyline (LWPOLYLINE or POLYLINE) of the layouts and
                                       blocks in the same form for both types, by handle
  check_dxf.py texts FILE              prints the audit's errors, then one line per TEXT and
                                       MTEXT of the layouts and blocks: handle, place, type,
                                       layer, the point it is placed by, height, angle,
                                       horizontal alignment, plain text, extended data
"""
import json
import sys

import ezdxf
from ezdxf import recover


def load(path):
    doc = ezdxf.readfile(path)
    return doc


def audit(path):
    doc = load(path)
    auditor = doc.audit()
    if auditor.has_errors:
        for e in auditor.errors:
            print("error:", e.code, e.message)
        return 1
    print("ok", doc.dxfversion, len(doc.entitydb))
    return 0


def norm(value):
    if isinstance(value, float):
        return round(value, 9)
    if hasattr(value, "__iter__") and not isinstance(value, str):
        return [norm(v) for v in value]
    return value


def describe(entity):
    attribs = {k: norm(v) for k, v in entity.dxf.all_existing_dxf_attribs().items()}
    xdata = {}
    if entity.xdata:
        for app in entity.xdata.data:
            xdata[app] = [(t.code, norm(t.value)) for t in entity.xdata.get(app)]
    extra = None
    if entity.dxftype() == "XRECORD":
        extra = [(t.code, norm(t.value)) for t in entity.tags]
    if entity.dxftype() == "DICTIONARY":
        extra = sorted((k, v.dxf.handle if hasattr(v, "dxf") else v) for k, v in entity.items())
    if entity.dxftype() == "HATCH":
        extra = [[norm(tuple(v)) for v in p.vertices] for p in entity.paths
                 if hasattr(p, "vertices")]
    return entity.dxftype(), attribs, xdata, extra


def graphical(doc):
    for layout in doc.layouts:
        yield from layout
    for block in doc.blocks:
        yield from block


def compare(a_path, b_path, entities_only=False):
    a, b = load(a_path), load(b_path)
    problems = 0
    items = ((e.dxf.handle, e) for e in graphical(a)) if entities_only else a.entitydb.items()
    for handle, entity in items:
        if entity.dxftype() in ("CLASS", "SEQEND"):
            continue  # SEQEND of block references without attributes is made by the reader
        other = b.entitydb.get(handle)
        if other is None:
            print("missing:", handle, entity.dxftype())
            problems += 1
            continue
        da, db = describe(entity), describe(other)
        if entities_only:  # owners of R12 sources are made up by the reader
            da[1].pop("owner", None)
            db[1].pop("owner", None)
        if da[0] == "DICTIONARY" and da[:3] == db[:3] and set(da[3]) <= set(db[3]):
            continue  # entries may be added (a standard table style), never lost
        if da != db:
            print("differs:", handle, da, "!=", db)
            problems += 1
    for layout_a in a.layouts:
        layout_b = b.layouts.get(layout_a.name)
        ha = [e.dxf.handle for e in layout_a]
        hb = [e.dxf.handle for e in layout_b]
        if ha != hb:
            print("layout", layout_a.name, "entities differ:", ha, hb)
            problems += 1
    print("compared", len(a.entitydb), "problems", problems)
    return 1 if problems else 0


def tables(path):
    doc = load(path)
    out = []
    for e in doc.entitydb.values():
        if e.dxftype() != "ACAD_TABLE":
            continue
        ref = e.xtags.get_subclass("AcDbBlockReference")
        xdata = {}
        if e.xdata:
            for app in e.xdata.data:
                xdata[app] = [[t.code, t.value] for t in e.xdata.get(app)]
        out.append({"handle": e.dxf.handle, "block": ref.get_first_value(2, ""),
                    "owner": e.dxf.owner, "xdata": xdata,
                    "block_entities": len(doc.blocks.get(ref.get_first_value(2, "")) or [])})
    print(json.dumps(out, ensure_ascii=False))
    return 0


def model(path):
    doc = load(path)
    errors = [e.message for e in doc.audit().errors]
    refs = []
    for e in doc.modelspace():
        if e.dxftype() not in ("ACAD_TABLE", "INSERT"):
            continue
        if e.dxftype() == "ACAD_TABLE":
            name = e.xtags.get_subclass("AcDbBlockReference").get_first_value(2, "")
        else:
            name = e.dxf.name
        xdata = {}
        if e.xdata:
            for app in e.xdata.data:
                xdata[app] = [[t.code, t.value] for t in e.xdata.get(app)]
        block = doc.blocks.get(name)
        types = {}
        texts = []
        # Files before R2007 carry \U+XXXX escapes, which ezdxf leaves to its user.
        # (a character beyond U+FFFF as two escapes of its UTF-16 surrogates).
        def plain(s):
            if doc.dxfversion >= "AC1021":
                return s
            s = ezdxf.decode_dxf_unicode(s)
            return s.encode("utf-16-le", "surrogatepass").decode("utf-16-le", "replace")

        for b in block or []:
            types[b.dxftype()] = types.get(b.dxftype(), 0) + 1
            if b.dxftype() == "TEXT":
                texts.append(plain(b.dxf.text))
            elif b.dxftype() == "MTEXT":
                texts.append(plain(b.plain_text()))
        refs.append({"type": e.dxftype(), "block": name, "xdata": xdata, "types": types,
                     "texts": texts})
    print(json.dumps({"version": doc.dxfversion, "errors": errors, "refs": refs},
                     ensure_ascii=False))
    return 0


def polyline_line(where, e):
    """One 2D polyline, the same for an LWPOLYLINE and the POLYLINE with VERTEXes that
    stands for it: a point's width is its own, else the constant width."""
    d = e.dxf
    if e.dxftype() == "LWPOLYLINE":
        const = d.get("const_width", 0)
        points = [(x, y, s or const, w or const, b) for x, y, s, w, b in
                  e.get_points("xyseb")]
        elevation = float(d.get("elevation", 0))
    else:
        const = d.get("default_start_width", 0)
        points = [(v.dxf.location.x, v.dxf.location.y, v.dxf.get("start_width", 0),
                   v.dxf.get("end_width", 0), v.dxf.get("bulge", 0)) for v in e.vertices]
        elevation = float(d.get("elevation", (0, 0, 0))[2])
        if any(v.dxf.location.z != elevation for v in e.vertices):
            elevation = "vertices off the polyline's elevation"
        if any(v.dxf.layer != d.layer for v in e.vertices):
            return "%s %s: vertices on another layer" % (d.handle, where)
    xdata = []
    if e.xdata:
        for app in e.xdata.data:
            xdata.append([app] + [[t.code, norm(t.value)] for t in e.xdata.get(app)])
    return "%s %s layer=%s color=%s ltype=%s flags=%d elev=%s thick=%s ext=%s width=%s " \
        "points=%s xdata=%s" % (
            d.handle, where, d.layer, d.get("color", 256), d.get("linetype", "BYLAYER"),
            d.get("flags", 0) & (1 | 128), norm(elevation), norm(float(d.get("thickness", 0))),
            norm([float(v) for v in d.get("extrusion", (0, 0, 1))]), norm(float(const)),
            [[norm(float(v)) for v in p] for p in points],
            json.dumps(xdata, ensure_ascii=False))


def polylines(path):
    doc = load(path)
    for e in doc.audit().errors:
        print("error:", e.message)
    # The handles in the file (the reader makes up some of its own, e.g. SEQENDs of block
    # references without attributes).
    from ezdxf.lldxf.tagger import ascii_tags_loader
    handles, seed, previous = [], 0, None
    with open(path, encoding="ascii", errors="replace") as f:
        for tag in ascii_tags_loader(f):
            if previous == "$HANDSEED":
                seed = int(tag.value, 16)
            elif tag.code in (5, 105):
                handles.append(int(tag.value, 16))
            previous = tag.value if tag.code == 9 else None
    print("handles", "unique" if len(handles) == len(set(handles)) else "repeated",
          "below $HANDSEED" if handles and max(handles) < seed else "not below $HANDSEED")
    lines = []
    places = [(layout.name, layout) for layout in doc.layouts]
    places += [(block.name, block) for block in doc.blocks if not block.is_any_layout]
    for name, place in places:
        for e in place:
            if e.dxftype() == "LWPOLYLINE" or (e.dxftype() == "POLYLINE" and e.is_2d_polyline):
                lines.append(polyline_line(name, e))
    for line in sorted(lines):
        print(line)
    return 0


def texts(path):
    import math
    doc = load(path)
    for e in doc.audit().errors:
        print("error:", e.message)
    places = [(layout.name, layout) for layout in doc.layouts]
    places += [(block.name, block) for block in doc.blocks if not block.is_any_layout]
    lines = []
    for name, place in places:
        for e in place:
            d = e.dxf
            if e.dxftype() == "TEXT":
                halign = d.get("halign", 0)
                at = d.align_point if halign else d.insert
                angle, height, text = d.get("rotation", 0), d.height, d.text
                if doc.dxfversion < "AC1021":
                    text = ezdxf.decode_dxf_unicode(text)
            elif e.dxftype() == "MTEXT":
                at, height, text = d.insert, d.char_height, e.plain_text()
                halign = d.get("attachment_point", 1)
                angle = d.get("rotation", 0)
                if d.hasattr("text_direction"):
                    angle = math.degrees(math.atan2(d.text_direction[1], d.text_direction[0]))
            else:
                continue
            xdata = []
            if e.xdata:
                for app in e.xdata.data:
                    xdata.append([app] + [[t.code, norm(t.value)] for t in e.xdata.get(app)])
            lines.append("%s %s %s layer=%s at=%s height=%s angle=%s align=%s %s xdata=%s" % (
                d.handle, name, e.dxftype(), d.layer, norm([round(float(v), 6) for v in at]),
                norm(float(height)), round(float(angle), 6), halign,
                json.dumps(text, ensure_ascii=False), json.dumps(xdata, ensure_ascii=False)))
    for line in sorted(lines):
        print(line)
    return 0


def render(path, png):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from ezdxf.addons.drawing import RenderContext, Frontend
    from ezdxf.addons.drawing.matplotlib import MatplotlibBackend

    doc = load(path)
    table = next(e for e in doc.entitydb.values() if e.dxftype() == "ACAD_TABLE")
    name = table.xtags.get_subclass("AcDbBlockReference").get_first_value(2)
    block = doc.blocks.get(name)
    fig = plt.figure()
    ax = fig.add_axes([0, 0, 1, 1])
    ctx = RenderContext(doc)
    ctx.set_current_layout(doc.modelspace())
    ctx.current_layout_properties.set_colors("#FFFFFF")  # color 7 draws black
    backend = MatplotlibBackend(ax)
    frontend = Frontend(ctx, backend)
    frontend.draw_entities(block)
    backend.finalize()
    fig.savefig(png, dpi=100)
    from PIL import Image
    image = Image.open(png).convert("L")
    dark = sum(1 for p in image.getdata() if p < 128)
    print("rendered", name, len(block), "dark pixels", dark)
    return 0


def main():
    cmd = sys.argv[1]
    if cmd == "audit":
        return audit(sys.argv[2])
    if cmd == "compare":
        return compare(sys.argv[2], sys.argv[3])
    if cmd == "compare-entities":
        return compare(sys.argv[2], sys.argv[3], entities_only=True)
    if cmd == "tables":
        return tables(sys.argv[2])
    if cmd == "model":
        return model(sys.argv[2])
    if cmd == "polylines":
        return polylines(sys.argv[2])
    if cmd == "texts":
        return texts(sys.argv[2])
    if cmd == "render":
        return render(sys.argv[2], sys.argv[3])
    print(__doc__)
    return 2


sys.exit(main())
