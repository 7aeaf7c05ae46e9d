#!/usr/bin/python3
"""Writes samples/survey_sheet.dxf: a mixed topographic and cadastral sheet of the kind a
surveyor converts to DXF, for showing and testing vexilo-cad with more than lines and texts.

    /usr/bin/python3 samples/make_survey_sheet.py

Contents: contour lines as splines through measured points (index contours every 5 m on their
own layer), buildings as polylines with a solid hatch, a garden with a pattern hatch and a pond
as an island, a parcel with rotated and aligned dimensions, elevation points as blocks with a
height attribute, a fence and a parcel boundary drawn with dashed and dash-dot line types, an
elliptical flower bed, and a leader with a note.
"""
import math
import os

import ezdxf

HERE = os.path.dirname(os.path.abspath(__file__))
# Fixed dates and GUIDs, so that running the script again gives the same file.
ezdxf.options.write_fixed_meta_data_for_testing = True


def height(x, y):
    """A smooth hill with a saddle, in metres."""
    return 40.0 + 12.0 * math.exp(-((x - 60) ** 2 + (y - 70) ** 2) / 2500.0) + 0.04 * x


def contour_points(level):
    """Points where the terrain crosses `level`, one per 5 m step in x (bisection in y)."""
    pts = []
    for i in range(0, 41):
        x = i * 4.0
        lo, hi = 70.0, 150.0
        if (height(x, lo) - level) * (height(x, hi) - level) > 0:
            continue
        for _ in range(40):
            mid = (lo + hi) / 2
            if (height(x, lo) - level) * (height(x, mid) - level) <= 0:
                hi = mid
            else:
                lo = mid
        pts.append((x, (lo + hi) / 2))
    return pts


def main():
    doc = ezdxf.new("R2018", setup=True)
    doc.header["$LTSCALE"] = 1.0
    doc.layers.add("CONTOUR", color=8)
    doc.layers.add("CONTOUR_INDEX", color=30)
    doc.layers.add("BUILDING", color=2)
    doc.layers.add("GARDEN", color=3)
    doc.layers.add("PARCEL", color=1, linetype="DASHDOT")
    doc.layers.add("FENCE", color=6)
    doc.layers.add("DIM", color=4)
    doc.layers.add("ELEV", color=7)
    msp = doc.modelspace()

    for level in range(44, 53):
        pts = contour_points(level)
        if len(pts) >= 3:
            index = level % 5 == 0
            msp.add_spline(fit_points=pts, dxfattribs={
                "layer": "CONTOUR_INDEX" if index else "CONTOUR"})

    houses = [[(10, 10), (34, 10), (34, 26), (10, 26)], [(44, 12), (62, 12), (62, 30), (44, 30)]]
    for outline in houses:
        msp.add_lwpolyline(outline, close=True, dxfattribs={"layer": "BUILDING"})
        hatch = msp.add_hatch(color=256, dxfattribs={"layer": "BUILDING"})
        hatch.paths.add_polyline_path(outline, is_closed=True)

    garden = msp.add_hatch(dxfattribs={"layer": "GARDEN"})
    garden.set_pattern_fill("ANSI37", scale=0.8)
    garden.paths.add_polyline_path([(74, 8), (120, 8), (120, 44), (74, 44)], is_closed=True)
    pond = garden.paths.add_edge_path()
    pond.add_ellipse((97, 26), major_axis=(10, 0), ratio=0.6)
    msp.add_lwpolyline([(74, 8), (120, 8), (120, 44), (74, 44)], close=True,
                       dxfattribs={"layer": "GARDEN"})
    msp.add_ellipse((97, 26), major_axis=(10, 0), ratio=0.6, dxfattribs={"layer": "GARDEN"})

    parcel = [(4, 4), (126, 4), (126, 50), (4, 50)]
    msp.add_lwpolyline(parcel, close=True, dxfattribs={"layer": "PARCEL"})
    msp.add_lwpolyline([(4, 56), (126, 56)], dxfattribs={"layer": "FENCE", "linetype": "DASHED"})
    msp.add_linear_dim(base=(65, -4), p1=(4, 4), p2=(126, 4), dimstyle="ISO-25",
                       dxfattribs={"layer": "DIM"}).render()
    msp.add_aligned_dim(p1=(126, 4), p2=(126, 50), distance=6, dimstyle="ISO-25",
                        dxfattribs={"layer": "DIM"}).render()

    block = doc.blocks.new("ELEV_POINT")
    block.add_point((0, 0))
    block.add_circle((0, 0), 0.4)
    block.add_attdef("H", (0.7, 0.2), dxfattribs={"height": 1.2})
    for x, y in [(20, 40), (50, 44), (90, 52), (110, 30), (30, 62), (70, 80), (100, 90)]:
        ref = msp.add_blockref("ELEV_POINT", (x, y), dxfattribs={"layer": "ELEV"})
        ref.add_auto_attribs({"H": f"{height(x, y):.2f}"})

    msp.add_leader([(97, 26), (108, 36), (116, 36)], dxfattribs={"layer": "DIM"})
    msp.add_text("Pond", dxfattribs={"insert": (109, 36.6), "height": 1.5, "layer": "DIM"})
    msp.add_mtext("Survey sheet 7\\PContours 1 m, heights in metres", dxfattribs={
        "insert": (4, 112), "char_height": 3.0, "layer": "DIM"})

    path = os.path.join(HERE, "survey_sheet.dxf")
    doc.saveas(path)
    print(f"{path}: {os.path.getsize(path)} bytes, {len(msp)} entities")


if __name__ == "__main__":
    main()
