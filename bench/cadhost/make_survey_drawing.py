#!/usr/bin/python3
"""Writes a large survey drawing (R2000 ASCII DXF, Gauss-Krüger coordinates) for the load
benchmark: 300,000 LWPOLYLINE, 300,000 LINE, 50,000 TEXT (Chinese and Latin labels), 2,000
block references of a few blocks, about 120 MB.

    /usr/bin/python3 bench/cadhost/make_survey_drawing.py /tmp/vexilo-survey-120mb.dxf

ezdxf writes the frame (header, tables, block definitions, objects) so that the file is a
valid drawing for AutoCAD and ezdxf alike; the bulk of the entities is then written straight
into its ENTITIES section, since ezdxf would take minutes and gigabytes to build them.
"""
import random
import sys

import ezdxf

LWPOLYLINES = 300_000
LINES = 300_000
TEXTS = 50_000
INSERTS = 2_000
EAST0 = 500_000.0
NORTH0 = 3_012_000.0
SPAN = 20_000.0
LAYERS = ["PARCELS", "ROADS", "BUILDINGS", "CONTOURS", "LABELS", "POINTS"]


def frame():
    doc = ezdxf.new("R2000")
    doc.encoding = "gbk"
    doc.header["$UCSORG"] = (EAST0, NORTH0, 0.0)
    doc.header["$UCSXDIR"] = (0.0, 1.0, 0.0)
    doc.header["$UCSYDIR"] = (-1.0, 0.0, 0.0)
    for i, name in enumerate(LAYERS):
        doc.layers.add(name, color=i + 1)
    tree = doc.blocks.new("TREE", base_point=(0.0, 0.0))
    tree.add_circle((0.0, 0.0), 0.5)
    tree.add_line((-0.5, 0.0), (0.5, 0.0))
    tree.add_line((0.0, -0.5), (0.0, 0.5))
    mark = doc.blocks.new("BENCHMARK", base_point=(0.0, 0.0))
    mark.add_lwpolyline([(-1, -1), (1, -1), (1, 1), (-1, 1)], close=True)
    mark.add_blockref("TREE", (0.0, 0.0), dxfattribs={"xscale": 0.5, "yscale": 0.5})
    msp = doc.modelspace()
    msp.add_point((EAST0, NORTH0, 0.0))
    return doc


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "/tmp/vexilo-survey-120mb.dxf"
    doc = frame()
    owner = doc.modelspace().layout_key
    doc.header["$HANDSEED"] = "FFFFFFF"
    doc.saveas(path)
    with open(path, "r", encoding="gbk") as f:
        text = f.read()
    marker = "  0\nENDSEC\n"
    start = text.index("ENTITIES")
    cut = text.index(marker, start)
    head, tail = text[:cut], text[cut:]

    rnd = random.Random(20261207)
    handle = 0x100000
    out = []
    w = out.append

    def entity_head(kind, layer, subclass):
        nonlocal handle
        handle += 1
        w(f"  0\n{kind}\n  5\n{handle:X}\n330\n{owner}\n100\nAcDbEntity\n  8\n{layer}\n"
          f"100\n{subclass}\n")

    for i in range(LWPOLYLINES):
        e = EAST0 + rnd.random() * SPAN
        n = NORTH0 + rnd.random() * SPAN
        count = 3 + (i % 3)
        entity_head("LWPOLYLINE", LAYERS[i % 3], "AcDbPolyline")
        w(f" 90\n{count}\n 70\n{1 if i % 2 else 0}\n 43\n0.0\n")
        for k in range(count):
            w(f" 10\n{e + rnd.random() * 30.0:.4f}\n 20\n{n + rnd.random() * 30.0:.4f}\n")
            if k == 1 and i % 10 == 0:
                w(" 42\n0.25\n")
    for i in range(LINES):
        e = EAST0 + rnd.random() * SPAN
        n = NORTH0 + rnd.random() * SPAN
        entity_head("LINE", LAYERS[3 + i % 2], "AcDbLine")
        w(f" 10\n{e:.4f}\n 20\n{n:.4f}\n 30\n0.0\n"
          f" 11\n{e + rnd.random() * 20.0:.4f}\n 21\n{n + rnd.random() * 20.0:.4f}\n 31\n0.0\n")
    for i in range(TEXTS):
        e = EAST0 + rnd.random() * SPAN
        n = NORTH0 + rnd.random() * SPAN
        label = f"J{i + 1}" if i % 2 else f"界址点{i + 1}"
        entity_head("TEXT", "LABELS", "AcDbText")
        w(f" 10\n{e:.4f}\n 20\n{n:.4f}\n 30\n0.0\n 40\n2.5\n  1\n{label}\n 50\n0.0\n"
          f"100\nAcDbText\n")
    for i in range(INSERTS):
        e = EAST0 + rnd.random() * SPAN
        n = NORTH0 + rnd.random() * SPAN
        entity_head("INSERT", "POINTS", "AcDbBlockReference")
        w(f"  2\n{'TREE' if i % 2 else 'BENCHMARK'}\n 10\n{e:.4f}\n 20\n{n:.4f}\n 30\n0.0\n"
          f" 50\n{(i * 7) % 360}.0\n")
    with open(path, "w", encoding="gbk", newline="\n") as f:
        f.write(head)
        f.write("".join(out))
        f.write(tail)


if __name__ == "__main__":
    main()
