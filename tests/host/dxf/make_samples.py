"""Writes the sample drawings of the DXF tests with ezdxf (an independent DXF library).

usage: make_samples.py OUTDIR
"""
import os
import sys

import ezdxf
from ezdxf.lldxf.const import DXF12, DXF2000, DXF2004, DXF2007, DXF2010, DXF2013, DXF2018


def rich(version):
    doc = ezdxf.new(version, setup=True)
    msp = doc.modelspace()
    doc.layers.add("Walls", color=1)
    doc.layers.add("Möbel", color=3)
    msp.add_line((0, 0), (10, 5), dxfattribs={"layer": "Walls"})
    msp.add_circle((5, 5), 2.5, dxfattribs={"layer": "Möbel"})
    msp.add_text("Grüße €", dxfattribs={"height": 2.5}).set_placement((1, 1))
    blk = doc.blocks.new("DOOR")
    blk.add_line((0, 0), (1, 0))
    blk.add_arc((0, 0), 1, 0, 90)
    blk.add_attdef("TAG", (0, 0))
    ref = msp.add_blockref("DOOR", (20, 0))
    ref.add_attrib("TAG", "Tür 1", (20, 0))
    msp.add_polyline2d([(0, 0), (5, 5), (10, 0)])
    msp.add_polyline3d([(0, 0, 0), (5, 5, 5), (10, 0, 1)])
    if version != DXF12:
        hatch = msp.add_hatch(color=2)
        hatch.paths.add_polyline_path([(0, 0), (4, 0), (4, 4), (0, 4)], is_closed=True)
        msp.add_lwpolyline([(0, 0), (3, 1), (6, 0)])
        dictionary = doc.rootdict.add_new_dict("OTHERAPP_DATA")
        xrec = doc.objects.add_xrecord(dictionary.dxf.handle)
        xrec.reset([(1, "stored text"), (40, 3.25), (90, 42)])
        dictionary["RECORD1"] = xrec
    doc.appids.new("OTHERAPP")
    line = msp.add_line((0, 10), (10, 10))
    line.set_xdata("OTHERAPP", [(1000, "foreign data ß"), (1002, "{"), (1070, 7),
                                (1040, 1.5), (1002, "}"), (1071, 123456)])
    return doc


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, version in [("r12", DXF12), ("r2000", DXF2000), ("r2004", DXF2004),
                          ("r2007", DXF2007), ("r2010", DXF2010), ("r2013", DXF2013),
                          ("r2018", DXF2018)]:
        rich(version).saveas(os.path.join(out, "rich_%s.dxf" % name))
    # Many text entities, for the reader's speed and size (the benchmark writes its own).
    doc = ezdxf.new(DXF2010)
    msp = doc.modelspace()
    for i in range(200):
        msp.add_text("text %d" % i).set_placement((i, 0))
    doc.saveas(os.path.join(out, "texts.dxf"))
    # An anonymous "*T" block that no table owns, early in a file of about 12 MB: the reader
    # keeps its entities as places in the file and reads them once the whole file is read.
    doc = ezdxf.new(DXF2010)
    msp = doc.modelspace()
    doc.appids.new("OTHERAPP")
    blk = doc.blocks.new_anonymous_block(type_char="T")
    blk.add_line((0, 0), (10, 0))
    blk.add_text("Grüße im Block").set_placement((1, 1))
    circle = blk.add_circle((5, 5), 2)
    circle.set_xdata("OTHERAPP", [(1000, "in a T block"), (1070, 3)])
    msp.add_blockref(blk.name, (100, 100))
    for i in range(40):
        msp.add_mtext("%d: " % i + "padding text " * 24000)
    doc.saveas(os.path.join(out, "t_block.dxf"))


main()
