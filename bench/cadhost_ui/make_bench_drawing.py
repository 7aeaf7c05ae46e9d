#!/usr/bin/python3
"""Writes a large survey-like DXF (R2000, ASCII) for the drawing view's benchmark.

About 120 MB with the defaults: 300k closed LWPOLYLINE parcels (some arcs by bulges, some
widths), 300k LINE, 50k TEXT labels (Chinese ones written as \\U+nnnn escapes), POINTs and a few
blocks inserted many times, on layers of several colours, in Gauss-Krueger coordinates.

usage: make_bench_drawing.py OUT.dxf [--scale 1.0]
"""
import math
import random
import sys


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    out = sys.argv[1]
    scale = float(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[2] == "--scale" else 1.0
    n_poly = int(300_000 * scale)
    n_line = int(300_000 * scale)
    n_text = int(50_000 * scale)
    n_insert = int(5_000 * scale)
    rnd = random.Random(7)
    side = int(math.ceil(math.sqrt(n_poly)))
    cell = 30.0
    x0, y0 = 500_000.0, 3_012_000.0
    handle = [0x100]

    def h():
        handle[0] += 1
        return "%X" % handle[0]

    layers = [("0", 7), ("JZD", 1), ("ZDX", 3), ("DLSS", 4), ("ZJ", 2), ("KZD", 6), ("DGX", 8)]
    parts = []
    w = parts.append
    w("0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$DWGCODEPAGE\n3\nANSI_936\n")
    w("9\n$UCSORG\n10\n%.3f\n20\n%.3f\n30\n0.0\n" % (x0, y0))
    w("9\n$UCSXDIR\n10\n0.0\n20\n1.0\n30\n0.0\n9\n$UCSYDIR\n10\n1.0\n20\n0.0\n30\n0.0\n")
    w("0\nENDSEC\n0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n%d\n" % len(layers))
    for name, color in layers:
        w("0\nLAYER\n5\n%s\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n"
          "2\n%s\n70\n0\n62\n%d\n6\nCONTINUOUS\n" % (h(), name, color))
    w("0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n")
    w("0\nBLOCK\n5\n%s\n8\n0\n2\nKZD\n70\n0\n10\n0.0\n20\n0.0\n30\n0.0\n" % h())
    w("0\nCIRCLE\n5\n%s\n8\n0\n10\n0.0\n20\n0.0\n30\n0.0\n40\n1.5\n" % h())
    w("0\nLINE\n5\n%s\n8\n0\n10\n-2.0\n20\n0.0\n30\n0.0\n11\n2.0\n21\n0.0\n31\n0.0\n" % h())
    w("0\nLINE\n5\n%s\n8\n0\n10\n0.0\n20\n-2.0\n30\n0.0\n11\n0.0\n21\n2.0\n31\n0.0\n" % h())
    w("0\nENDBLK\n5\n%s\n8\n0\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" % h())
    f = open(out, "w", encoding="ascii", newline="\n")
    f.write("".join(parts))
    parts.clear()

    def flush():
        if len(parts) > 20000:
            f.write("".join(parts))
            parts.clear()

    for i in range(n_poly):
        cx = x0 + (i % side) * cell
        cy = y0 + (i // side) * cell
        n = rnd.choice((4, 5, 5, 6, 6))
        pts = []
        for k in range(n):
            a = 2 * math.pi * k / n + rnd.uniform(-0.2, 0.2)
            r = cell * rnd.uniform(0.35, 0.48)
            pts.append((cx + cell / 2 + r * math.cos(a), cy + cell / 2 + r * math.sin(a)))
        width = 0.5 if i % 97 == 0 else 0.0
        s = ["0\nLWPOLYLINE\n5\n%s\n100\nAcDbEntity\n8\nZDX\n100\nAcDbPolyline\n90\n%d\n70\n1\n"
             "43\n%.1f\n" % (h(), n, width)]
        for k, (px, py) in enumerate(pts):
            s.append("10\n%.3f\n20\n%.3f\n" % (px, py))
            if i % 13 == 0 and k == 0:
                s.append("42\n0.2\n")
        w("".join(s))
        flush()
    span = side * cell
    for i in range(n_line):
        ax = x0 + rnd.uniform(0, span)
        ay = y0 + rnd.uniform(0, span)
        a = rnd.uniform(0, 2 * math.pi)
        d = rnd.uniform(2, 40)
        layer = "DLSS" if i % 3 else "DGX"
        w("0\nLINE\n5\n%s\n100\nAcDbEntity\n8\n%s\n100\nAcDbLine\n10\n%.3f\n20\n%.3f\n30\n0.0\n"
          "11\n%.3f\n21\n%.3f\n31\n0.0\n" % (h(), layer, ax, ay, ax + d * math.cos(a),
                                              ay + d * math.sin(a)))
        flush()
    for i in range(n_text):
        j = i * 6 + (i // side) % 6
        px = x0 + (j % side) * cell + 3
        py = y0 + (j // side) * cell + 3
        label = ("J%d" % (i + 1)) if i % 2 else ("\\U+754C\\U+5740\\U+70B9%d" % (i + 1))
        w("0\nTEXT\n5\n%s\n100\nAcDbEntity\n8\nJZD\n100\nAcDbText\n10\n%.3f\n20\n%.3f\n30\n0.0\n"
          "40\n2.5\n1\n%s\n100\nAcDbText\n" % (h(), px, py, label))
        if i % 5 == 0:
            w("0\nPOINT\n5\n%s\n100\nAcDbEntity\n8\nKZD\n100\nAcDbPoint\n10\n%.3f\n20\n%.3f\n"
              "30\n0.0\n" % (h(), px - 1, py - 1))
        flush()
    for i in range(n_insert):
        w("0\nINSERT\n5\n%s\n100\nAcDbEntity\n8\nKZD\n100\nAcDbBlockReference\n2\nKZD\n"
          "10\n%.3f\n20\n%.3f\n30\n0.0\n50\n%.1f\n" % (h(), x0 + rnd.uniform(0, span),
                                                     y0 + rnd.uniform(0, span), rnd.uniform(0, 90)))
        flush()
    w("0\nENDSEC\n0\nEOF\n")
    f.write("".join(parts))
    f.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
