#!/usr/bin/python3
"""Writes samples/site.dxf: a small survey drawing of a building site in Gauss-Krüger
coordinates (X east about 500,000 m, Y north about 3,012,000 m), for the demo and the
end-to-end tests of vexilo-cad.

    /usr/bin/python3 samples/make_site.py

Contents: six parcels as closed lightweight polylines with their corners labelled J1, J2, ...
(one parcel drawn in a mirrored view, extrusion (0,0,-1)); a road centre line with curves (a
polyline with bulges, and ARC entities for a second curve) between two road edges drawn with
widths; survey points as POINT plus TEXT with number and height; a 3D polyline along a ditch;
blocks for control points, trees and street lights (one nested in another); a rotated user
coordinate system stored in the header; Chinese layer names and labels in a GBK (ANSI_936)
R2000 file.
"""
import math
import os

import ezdxf

HERE = os.path.dirname(os.path.abspath(__file__))
# Fixed dates and GUIDs, so that running the script again gives the same file.
ezdxf.options.write_fixed_meta_data_for_testing = True
E0 = 500_120.0
N0 = 3_012_240.0


def p(e, n):
    """A point given as offsets in metres east and north of the site origin."""
    return (E0 + e, N0 + n)


def main():
    doc = ezdxf.new("R2000")
    doc.encoding = "gbk"
    doc.header["$INSUNITS"] = 6
    # The site grid: a UCS at control point K1, its X axis turned 32° from east.
    angle = math.radians(32.0)
    doc.header["$UCSORG"] = (E0 - 15.0, N0 - 12.0, 0.0)
    doc.header["$UCSXDIR"] = (math.cos(angle), math.sin(angle), 0.0)
    doc.header["$UCSYDIR"] = (-math.sin(angle), math.cos(angle), 0.0)

    layers = [("宗地界址线", 1), ("界址点号", 7), ("道路中线", 4), ("道路边线", 8),
              ("测量控制点", 3), ("高程点", 2), ("沟渠", 5), ("植被", 3), ("注记", 7)]
    for name, color in layers:
        doc.layers.add(name, color=color)

    ctrl = doc.blocks.new("控制点", base_point=(0, 0))
    ctrl.add_circle((0, 0), 0.6)
    ctrl.add_lwpolyline([(0, 1.2), (-1.04, -0.6), (1.04, -0.6)], close=True)
    ctrl.add_point((0, 0))
    tree = doc.blocks.new("TREE", base_point=(0, 0))
    tree.add_circle((0, 0), 1.0)
    tree.add_line((-1, 0), (1, 0))
    tree.add_line((0, -1), (0, 1))
    lamp = doc.blocks.new("路灯", base_point=(0, 0))
    lamp.add_line((0, 0), (0, 2.0))
    lamp.add_circle((0, 2.3), 0.3)
    lamp_pair = doc.blocks.new("LAMP_PAIR", base_point=(0, 0))
    lamp_pair.add_blockref("路灯", (-1.5, 0))
    lamp_pair.add_blockref("路灯", (1.5, 0), dxfattribs={"rotation": 180.0})

    msp = doc.modelspace()

    # Parcels: a 3 × 2 grid of lots between north 20 and north 100, east 0 to 150, with a
    # slightly irregular shape; corner numbers are shared where lots meet.
    xs = [0.0, 48.5, 101.2, 150.0]
    ys = [20.0, 61.3, 100.0]
    bend = {(1, 1): (2.1, -1.4), (2, 1): (-1.7, 0.9), (1, 2): (0.8, 1.1)}
    corners = {}
    number = 0
    for j, y in enumerate(ys):
        for i, x in enumerate(xs):
            dx, dy = bend.get((i, j), (0.0, 0.0))
            number += 1
            corners[(i, j)] = (p(x + dx, y + dy), f"J{number}")
    for (e, n), label in corners.values():
        msp.add_text(label, dxfattribs={"insert": (e + 0.6, n + 0.6), "height": 1.5,
                                        "layer": "界址点号"})
    names = ["宗地一", "宗地二", "宗地三", "宗地四", "宗地五", "宗地六"]
    k = 0
    for j in range(2):
        for i in range(3):
            ring = [corners[(i, j)][0], corners[(i + 1, j)][0], corners[(i + 1, j + 1)][0],
                    corners[(i, j + 1)][0]]
            if k == 4:
                # Drawn in a mirrored view: vertices in OCS of (0,0,-1), where OCS x = −east.
                ocs = [(-e, n) for e, n in ring]
                msp.add_lwpolyline(ocs, close=True, dxfattribs={"layer": "宗地界址线",
                                                                "extrusion": (0, 0, -1)})
            else:
                msp.add_lwpolyline(ring, close=True, dxfattribs={"layer": "宗地界址线"})
            ce = sum(q[0] for q in ring) / 4
            cn = sum(q[1] for q in ring) / 4
            msp.add_text(names[k], dxfattribs={"insert": (ce - 4.5, cn), "height": 3.0,
                                               "layer": "注记"})
            k += 1

    # Road along the south: centre line with a curve as a bulge, edges with widths.
    centre = [(p(-20, 8)[0], p(-20, 8)[1], 0.0), (p(60, 8)[0], p(60, 8)[1], -0.3),
              (p(100, 2)[0], p(100, 2)[1], 0.0), (p(170, 2)[0], p(170, 2)[1], 0.0)]
    msp.add_lwpolyline(centre, format="xyb", dxfattribs={"layer": "道路中线"})
    msp.add_lwpolyline([p(-20, 14), p(60, 14), p(170, 8)], dxfattribs={
        "layer": "道路边线", "const_width": 0.3})
    edge = msp.add_lwpolyline([(*p(-20, 2), 0.2, 0.2, 0.0), (*p(60, 2), 0.2, 0.5, 0.0),
                               (*p(170, -4), 0.5, 0.5, 0.0)], format="xyseb",
                              dxfattribs={"layer": "道路边线"})
    edge.dxf.elevation = 0.0
    # A side road bending north as two ARC entities joined by a line.
    c1 = p(185, 30)
    msp.add_arc(c1, 28.0, 180.0, 270.0, dxfattribs={"layer": "道路中线"})
    msp.add_line(p(157, 30), p(157, 70), dxfattribs={"layer": "道路中线"})
    c2 = p(137, 70)
    msp.add_arc(c2, 20.0, 0.0, 60.0, dxfattribs={"layer": "道路中线"})

    # Survey points with number and height.
    points = [("K1", -15.0, -12.0, 12.384), ("K2", 165.0, -10.0, 12.917),
              ("K3", 160.0, 110.0, 14.226), ("G1", 20.0, 40.0, 13.05),
              ("G2", 75.0, 80.0, 13.71), ("G3", 125.0, 45.0, 13.39),
              ("G4", 30.0, 90.0, 13.88), ("G5", 95.0, 30.0, 13.12)]
    for name, de, dn, h in points:
        e, n = p(de, dn)
        layer = "测量控制点" if name.startswith("K") else "高程点"
        if name.startswith("K"):
            msp.add_blockref("控制点", (e, n, h), dxfattribs={"layer": layer})
        msp.add_point((e, n, h), dxfattribs={"layer": layer})
        msp.add_text(name, dxfattribs={"insert": (e + 0.8, n + 0.8), "height": 1.2,
                                       "layer": layer})
        msp.add_text(f"{h:.3f}", dxfattribs={"insert": (e + 0.8, n - 1.2), "height": 1.0,
                                             "layer": "高程点"})

    # A ditch as a 3D polyline falling to the east.
    ditch = [(*p(-10 + 18 * i, 112 + 3 * math.sin(i)), 13.9 - 0.06 * i) for i in range(10)]
    msp.add_polyline3d(ditch, dxfattribs={"layer": "沟渠"})

    for i in range(8):
        msp.add_blockref("TREE", p(10 + 18 * i, 106), dxfattribs={"layer": "植被",
                                                                  "xscale": 1.2, "yscale": 1.2})
    for i in range(4):
        msp.add_blockref("LAMP_PAIR", p(5 + 45 * i, 16), dxfattribs={"layer": "道路边线",
                                                                     "rotation": 0.0})

    msp.add_mtext("某某地块宗地图\\P比例尺 1:500", dxfattribs={
        "insert": (*p(40, 135), 0.0), "char_height": 4.0, "layer": "注记"})
    msp.add_text("坐标系：2000国家大地坐标系 3度带", dxfattribs={
        "insert": p(40, 119), "height": 2.0, "layer": "注记"})

    path = os.path.join(HERE, "site.dxf")
    doc.saveas(path)
    print(f"{path}: {os.path.getsize(path)} bytes, {len(msp)} entities")


if __name__ == "__main__":
    main()
