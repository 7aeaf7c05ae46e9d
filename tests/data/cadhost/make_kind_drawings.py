#!/usr/bin/python3
"""Writes one small drawing per entity kind that vexilo-cad reads beyond lines, polylines, arcs,
texts and block references (tests/data/cadhost/kinds/<kind>.dxf), and kinds.json with what
ezdxf itself says of each: the DXF types in model space and the extents ezdxf computes.

    /usr/bin/python3 tests/data/cadhost/make_kind_drawings.py
"""
import json
import math
import os

import ezdxf
from ezdxf import bbox
from ezdxf.lldxf.const import (
    MLINESTYLE_END_INNER_ARC,
    MLINESTYLE_END_ROUND,
    MLINESTYLE_END_SQUARE,
    MLINESTYLE_FILL,
    MLINESTYLE_MITER,
    MLINESTYLE_START_ROUND,
    MLINESTYLE_START_SQUARE,
)

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "kinds")
# Fixed dates and GUIDs, so that running the script again gives the same files.
ezdxf.options.write_fixed_meta_data_for_testing = True


def spline_control(msp):
    # An open cubic, a rational quadratic (a quarter circle) and a closed cubic.
    msp.add_open_spline([(0, 0), (10, 20), (30, -10), (45, 15), (60, 0)], degree=3)
    s = msp.add_rational_spline(
        [(0, 40), (20, 40), (20, 60)], [1.0, math.sqrt(0.5), 1.0], degree=2
    )
    s.dxf.color = 3
    # Closed as AutoCAD writes a closed curve that is not periodic: clamped, the last control
    # point on the first.
    closed = msp.add_open_spline(
        [(40, 40), (60, 35), (70, 55), (50, 65), (40, 40)], degree=3, dxfattribs={"color": 4}
    )
    closed.closed = True


def spline_fit(msp):
    # Contour lines as surveyors draw them: smooth curves through measured points.
    for k in range(4):
        pts = [(x * 10.0, 8.0 * k + 3.0 * math.sin(x * 0.9 + k)) for x in range(8)]
        msp.add_spline(fit_points=pts, dxfattribs={"color": 2 + k})


def ellipse(msp):
    msp.add_ellipse((0, 0), major_axis=(20, 10), ratio=0.4)
    msp.add_ellipse(
        (50, 0), major_axis=(0, 15), ratio=0.6, start_param=0.3, end_param=4.0,
        dxfattribs={"color": 1},
    )


def solid_trace(msp):
    msp.add_solid([(0, 0), (20, 0), (0, 15), (20, 15)], dxfattribs={"color": 1})
    msp.add_solid([(30, 0), (50, 5), (40, 20)], dxfattribs={"color": 3})
    msp.add_trace([(0, 25), (50, 25), (0, 28), (50, 28)], dxfattribs={"color": 5})


def face3d(msp):
    msp.add_3dface([(0, 0, 0), (30, 0, 5), (30, 20, 5), (0, 20, 0)])
    # The edge from the third corner to the fourth is invisible (70 bit 4).
    msp.add_3dface(
        [(40, 0, 0), (70, 0, 0), (70, 20, 0), (40, 20, 0)],
        dxfattribs={"invisible": 4, "color": 4},
    )


def hatch_solid(msp):
    # A building with a courtyard (an island) and a round tank with edge boundaries.
    h = msp.add_hatch(color=1)
    h.paths.add_polyline_path([(0, 0), (40, 0), (40, 30), (0, 30)], is_closed=True)
    h.paths.add_polyline_path([(10, 10), (30, 10), (30, 20), (10, 20)], is_closed=True)
    t = msp.add_hatch(color=5)
    edges = t.paths.add_edge_path()
    edges.add_line((50, 0), (70, 0))
    edges.add_arc((70, 10), radius=10, start_angle=270, end_angle=90)
    edges.add_line((70, 20), (50, 20))
    edges.add_line((50, 20), (50, 0))
    b = msp.add_hatch(color=3)
    b.paths.add_polyline_path([(0, 40, 0), (30, 40, 0.5), (30, 55, 0), (0, 55, 0)], is_closed=True)


def hatch_pattern(msp):
    h = msp.add_hatch(color=2)
    h.set_pattern_fill("ANSI31", scale=0.5)
    h.paths.add_polyline_path([(0, 0), (40, 0), (40, 30), (0, 30)], is_closed=True)
    h.paths.add_polyline_path([(10, 10), (30, 10), (30, 20), (10, 20)], is_closed=True)
    g = msp.add_hatch(color=3)
    g.set_pattern_fill("ANSI37", scale=0.6, angle=15)
    edges = g.paths.add_edge_path()
    edges.add_ellipse((70, 15), major_axis=(18, 0), ratio=0.6, start_angle=0, end_angle=360)
    d = msp.add_hatch(color=6)
    d.set_pattern_fill("DASH", scale=1.0)
    spline_edges = d.paths.add_edge_path()
    spline_edges.add_spline(
        control_points=[(0, 40), (20, 60), (40, 40)], knot_values=[0, 0, 0, 1, 1, 1], degree=2
    )
    spline_edges.add_line((40, 40), (0, 40))


def dimension(msp):
    msp.add_lwpolyline([(0, 0), (40, 0), (40, 25), (0, 25)], close=True)
    msp.add_linear_dim(base=(20, -8), p1=(0, 0), p2=(40, 0)).render()
    msp.add_aligned_dim(p1=(40, 0), p2=(40, 25), distance=6).render()
    msp.add_radius_dim(center=(70, 12), radius=10, angle=45).render()
    msp.add_circle((70, 12), 10)


def attrib(doc, msp):
    block = doc.blocks.new("ELEV")
    block.add_circle((0, 0), 0.5)
    block.add_point((0, 0))
    block.add_attdef("H", (0.8, 0.2), dxfattribs={"height": 1.0})
    for i, (x, y, h) in enumerate([(0, 0, 12.35), (15, 4, 13.10), (30, -2, 11.87)]):
        ref = msp.add_blockref("ELEV", (x, y), dxfattribs={"rotation": 10.0 * i})
        ref.add_auto_attribs({"H": f"{h:.2f}"})


def leader(msp):
    msp.add_leader([(0, 0), (10, 10), (25, 10)], dxfattribs={"color": 2})
    msp.add_line((0, 0), (0, -5))


def xline_ray(msp):
    msp.add_lwpolyline([(0, 0), (40, 0), (40, 30), (0, 30)], close=True)
    msp.add_xline((20, 15), (1, 1), dxfattribs={"color": 1})
    msp.add_ray((0, 30), (1, -0.2), dxfattribs={"color": 3})


def linetypes(doc, msp):
    # A line with its own DASHED pattern at half scale under $LTSCALE 2, a line taking the
    # layer's DASHDOT, and a block of a BYBLOCK line inserted with DASHED.
    doc.header["$LTSCALE"] = 2.0
    doc.linetypes.add("DASHED", pattern=[3.0, 2.0, -1.0], description="__ __")
    doc.linetypes.add("DASHDOT", pattern=[4.0, 2.0, -1.0, 0.0, -1.0], description="__ . __")
    doc.layers.add("BOUNDARY", color=1, linetype="DASHDOT")
    msp.add_line((0, 0), (40, 0), dxfattribs={"linetype": "DASHED", "ltscale": 0.5})
    msp.add_line((0, 10), (40, 10), dxfattribs={"layer": "BOUNDARY"})
    block = doc.blocks.new("FENCE")
    block.add_line((0, 0), (40, 0), dxfattribs={"linetype": "BYBLOCK"})
    msp.add_blockref("FENCE", (0, 20), dxfattribs={"linetype": "DASHED"})


def mline(doc, msp):
    # A road with kerbs: three elements in their own colours, the middle one dashed, square
    # caps and joints; one open at half scale justified on its axis, one closed on its top.
    doc.linetypes.add("DASHED", pattern=[3.0, 2.0, -1.0], description="__ __")
    road = doc.mline_styles.new("ROAD")
    road.elements.append(3.0, 1)
    road.elements.append(0.0, 2, "DASHED")
    road.elements.append(-3.0, 5)
    road.dxf.flags = MLINESTYLE_MITER | MLINESTYLE_START_SQUARE | MLINESTYLE_END_SQUARE
    msp.add_mline([(0, 0), (30, 0), (45, 20), (70, 20)],
                  dxfattribs={"style_name": "ROAD", "scale_factor": 0.5, "justification": 1})
    msp.add_mline([(0, 40), (30, 40), (30, 60), (0, 60)], close=True,
                  dxfattribs={"style_name": "ROAD", "justification": 0})
    # A filled wall of four elements: a round cap at the start, round and inner arcs at the end.
    wall = doc.mline_styles.new("WALL")
    wall.elements.append(2.0, 1)
    wall.elements.append(1.0, 3)
    wall.elements.append(-1.0, 3)
    wall.elements.append(-2.0, 1)
    wall.dxf.fill_color = 8
    wall.dxf.flags = (MLINESTYLE_FILL | MLINESTYLE_START_ROUND | MLINESTYLE_END_ROUND
                      | MLINESTYLE_END_INNER_ARC)
    msp.add_mline([(10, -30), (50, -30), (50, -15)],
                  dxfattribs={"style_name": "WALL", "justification": 1})


def text(doc, msp):
    # Every TEXT alignment, a slanted and a mirrored text, and MTEXT at each attachment with
    # wrapping and line spacing: the layout is compared with ezdxf's in text_layout.json.
    # True colours on a line and on a layer close it.
    align = ezdxf.enums.TextEntityAlignment
    cases = [
        (align.LEFT, (0, 0)), (align.CENTER, (40, 0)), (align.RIGHT, (80, 0)),
        (align.MIDDLE, (0, 10)), (align.TOP_LEFT, (40, 10)), (align.TOP_CENTER, (80, 10)),
        (align.MIDDLE_LEFT, (0, 20)), (align.MIDDLE_RIGHT, (40, 20)),
        (align.BOTTOM_CENTER, (80, 20)), (align.BOTTOM_RIGHT, (0, 30)),
    ]
    for alignment, at in cases:
        t = msp.add_text("Survey", height=2.0, dxfattribs={"width": 0.8, "rotation": 15.0})
        t.set_placement(at, align=alignment)
    msp.add_text("J12", height=2.5).set_placement((40, 30), (60, 35), align=align.ALIGNED)
    msp.add_text("Road", height=2.0).set_placement((70, 30), (90, 30), align=align.FIT)
    msp.add_text("Slanted", height=2.0, dxfattribs={"oblique": 20.0, "insert": (0, 40)})
    back = msp.add_text("Mirror", height=2.0, dxfattribs={"insert": (40, 40)})
    back.dxf.text_generation_flag = 2
    down = msp.add_text("Down", height=2.0, dxfattribs={"insert": (80, 40)})
    down.dxf.text_generation_flag = 4
    words = "Parcel boundary surveyed in May"
    for attachment, at in [(1, (0, 60)), (2, (40, 60)), (3, (80, 60)), (4, (0, 80)),
                           (5, (40, 80)), (6, (80, 80)), (7, (0, 100)), (8, (40, 100)),
                           (9, (80, 100))]:
        msp.add_mtext("Site plan\\P" + words, dxfattribs={
            "insert": at, "char_height": 1.5, "attachment_point": attachment})
    msp.add_mtext(words + " and marked", dxfattribs={
        "insert": (0, 130), "char_height": 1.5, "width": 20.0, "line_spacing_factor": 1.5})
    msp.add_mtext("Turned\\Pnote", dxfattribs={
        "insert": (60, 130), "char_height": 2.0, "rotation": 30.0, "attachment_point": 5})
    doc.layers.add("TRUE", true_color=0x3366CC)
    msp.add_line((0, -10), (90, -10), dxfattribs={"true_color": 0xFF8000})
    msp.add_line((0, -14), (90, -14), dxfattribs={"layer": "TRUE"})


def text_layout(msp):
    """What ezdxf lays out for the texts of text.dxf with its monospaced font (every character
    one text height wide at width factor 1): the box of each TEXT, and the lines and box of
    each MTEXT."""
    from ezdxf import disassemble
    from ezdxf.tools.text import plain_text, text_wrap

    ezdxf.options.use_matplotlib = False
    out = []
    for e in msp:
        if e.dxftype() not in ("TEXT", "MTEXT"):
            continue
        item = {"type": e.dxftype()}
        if e.dxftype() == "MTEXT":
            font = ezdxf.tools.fonts.make_font("", e.dxf.char_height, 1.0)
            width = e.dxf.get("width", 0) or None
            item["lines"] = text_wrap(e.plain_text(split=False), width, font.text_width)
            item["wrapped"] = width is not None
            if width is None:
                # ezdxf wraps an MTEXT without a width at every word: give it its natural width.
                e = e.copy()
                e.dxf.width = max(font.text_width(line) for line in item["lines"])
        item["corners"] = [list(v)[:2] for v in disassemble.make_primitive(e).vertices()][:4]
        out.append(item)
    ezdxf.options.use_matplotlib = True
    return out


KINDS = {
    "spline_control": spline_control,
    "spline_fit": spline_fit,
    "ellipse": ellipse,
    "solid_trace": solid_trace,
    "face3d": face3d,
    "hatch_solid": hatch_solid,
    "hatch_pattern": hatch_pattern,
    "dimension": dimension,
    "attrib": attrib,
    "leader": leader,
    "xline_ray": xline_ray,
    "linetypes": linetypes,
    "mline": mline,
    "text": text,
}


def main():
    os.makedirs(OUT, exist_ok=True)
    summary = {}
    for name, make in KINDS.items():
        doc = ezdxf.new("R2018")
        msp = doc.modelspace()
        if name in ("attrib", "linetypes", "mline", "text"):
            make(doc, msp)
        else:
            make(msp)
        doc.saveas(os.path.join(OUT, name + ".dxf"))
        finite = [e for e in msp if e.dxftype() not in ("XLINE", "RAY")]
        box = bbox.extents(finite)
        summary[name] = {
            "types": [e.dxftype() for e in msp],
            "extents": [list(box.extmin)[:2], list(box.extmax)[:2]],
        }
        if name == "text":
            with open(os.path.join(OUT, "text_layout.json"), "w", encoding="utf-8") as f:
                json.dump(text_layout(msp), f, indent=1)
    with open(os.path.join(OUT, "kinds.json"), "w", encoding="utf-8") as f:
        json.dump(summary, f, indent=1)


if __name__ == "__main__":
    main()
