"""ezdxf writing or reading a drawing with N text entities, timed, with peak memory.

usage: ezdxf_bench.py write N FILE | ezdxf_bench.py read FILE
Prints "key value" lines like dxf_bench.
"""
import os
import resource
import sys
import time

import ezdxf


def peak():
    print("peak_kib", resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)


def write(n, path):
    start = time.monotonic()
    doc = ezdxf.new("R2010")
    msp = doc.modelspace()
    columns = 10
    for i in range(n):
        r, c = divmod(i, columns)
        msp.add_text("Item %d/%d" % (r, c), dxfattribs={"height": 2.5, "insert": (c * 30.0, -r * 7.5)})
    print("build_s %.3f" % (time.monotonic() - start))
    start = time.monotonic()
    doc.saveas(path)
    print("save_s %.3f" % (time.monotonic() - start))
    print("file_bytes", os.path.getsize(path))
    peak()


def read(path):
    start = time.monotonic()
    doc = ezdxf.readfile(path)
    print("open_s %.3f" % (time.monotonic() - start))
    print("entities", len(doc.modelspace()))
    peak()


if sys.argv[1] == "write":
    write(int(sys.argv[2]), sys.argv[3])
else:
    read(sys.argv[2])
