#!/usr/bin/python3
"""Writes the small test drawings of vexilo-cad's reader and, beside each, the values ezdxf
itself computes for the members the tests check (<drawing>.json).

Run with Debian's interpreter from this folder's parent or anywhere:
    /usr/bin/python3 tests/data/cadhost/make_drawings.py
The drawings cover R12, R2000, R2010, R2018 and binary DXF: a rotated UCS in the header, a
lightweight polyline with extrusion (0,0,-1), elevation 5, widths and bulges, a 3D polyline,
arcs under both extrusions, a GBK label in the R2000 file, and nested, scaled, rotated blocks.
"""
import json
import math
import os
import re

import ezdxf
from ezdxf.math import OCS, UCS, Vec3, bulge_to_arc

HERE = os.path.dirname(os.path.abspath(__file__))
# Fixed dates and GUIDs, so that running the script again gives the same files.
ezdxf.options.write_fixed_meta_data_for_testing = True

UCS_ORIGIN = (100.0, 200.0, 0.0)
UCS_ANGLE = math.radians(30.0)
UCS_X = (math.cos(UCS_ANGLE), math.sin(UCS_ANGLE), 0.0)
UCS_Y = (-math.sin(UCS_ANGLE), math.cos(UCS_ANGLE), 0.0)

# Vertices (x, y, start width, end width, bulge) of the mirrored lightweight polyline.
LW_POINTS = [
    (10.0, 10.0, 0.5, 1.0, 0.0),
    (30.0, 10.0, 1.0, 1.0, 0.5),
    (30.0, 30.0, 0.0, 0.0, -0.25),
    (10.0, 30.0, 0.2, 0.4, 0.0),
]
PLAIN_LW = [(0.0, 0.0), (40.0, 0.0), (40.0, 25.0)]
POLY3D = [(1.0, 2.0, 3.0), (4.0, 6.0, 8.0), (-2.5, 7.25, 0.5), (0.0, 0.0, -1.0)]
GBK_LABEL = "界址点J1 测量"
EXTRA_LABEL = "Ohm \u2126 s\u017f"
BIG5_LABEL = "界址點J2 測量"
WESTERN_LABEL = "Caf\u00e9 Stra\u00dfe \u00b1"


def vec(v):
    return [float(v[0]), float(v[1]), float(v[2])]


def build(version, gbk, encoding=None):
    doc = ezdxf.new(version)
    if encoding:
        # ezdxf sets $DWGCODEPAGE from its Python encoding when it saves.
        doc.encoding = encoding
    doc.header["$UCSORG"] = UCS_ORIGIN
    doc.header["$UCSXDIR"] = UCS_X
    doc.header["$UCSYDIR"] = UCS_Y
    doc.layers.add("PARCELS", color=3)
    doc.layers.add("ROAD", color=1)
    off = doc.layers.add("HIDDEN", color=5)
    off.off()
    doc.layers.add("FROZEN", color=6).freeze()

    inner = doc.blocks.new("INNER", base_point=(1.0, 1.0))
    inner.add_line((1.0, 1.0), (3.0, 1.0))
    inner.add_circle((2.0, 2.0), 0.5)
    outer = doc.blocks.new("OUTER", base_point=(0.0, 0.0))
    outer.add_blockref("INNER", (10.0, 0.0), dxfattribs={"xscale": 2.0, "yscale": 2.0,
                                                          "rotation": 30.0})
    outer.add_line((0.0, 0.0), (5.0, 5.0))

    msp = doc.modelspace()
    if version == "R12":
        lw = msp.add_polyline2d([(x, y) for x, y, *_ in LW_POINTS],
                                dxfattribs={"layer": "PARCELS", "extrusion": (0, 0, -1),
                                            "elevation": (0, 0, 5.0)})
        lw.close(True)
        for v, (_, _, sw, ew, b) in zip(lw.vertices, LW_POINTS):
            v.dxf.start_width = sw
            v.dxf.end_width = ew
            v.dxf.bulge = b
        plain = msp.add_polyline2d(PLAIN_LW, dxfattribs={"layer": "PARCELS"})
        plain.dxf.default_start_width = 0.75
        plain.dxf.default_end_width = 0.75
        for v in plain.vertices:
            v.dxf.start_width = 0.75
            v.dxf.end_width = 0.75
    else:
        lw = msp.add_lwpolyline(LW_POINTS, format="xyseb",
                                dxfattribs={"layer": "PARCELS", "extrusion": (0, 0, -1),
                                            "elevation": 5.0})
        lw.closed = True
        plain = msp.add_lwpolyline(PLAIN_LW, dxfattribs={"layer": "PARCELS",
                                                         "const_width": 0.75})
    msp.add_polyline3d(POLY3D, dxfattribs={"layer": "ROAD"})
    msp.add_arc((5.0, 6.0, 2.0), 4.0, 30.0, 120.0, dxfattribs={"layer": "ROAD"})
    msp.add_arc((5.0, 6.0, 2.0), 4.0, 30.0, 120.0,
                dxfattribs={"layer": "ROAD", "extrusion": (0, 0, -1)})
    msp.add_arc((-7.0, 3.0, 1.0), 2.5, 300.0, 45.0,
                dxfattribs={"layer": "ROAD", "extrusion": (0.6, 0.0, 0.8)})
    msp.add_circle((12.0, -4.0, 0.0), 3.0, dxfattribs={"extrusion": (0, 0, -1)})
    msp.add_line((0.0, 0.0, 0.0), (100.0, 50.0, 2.0), dxfattribs={"color": 2})
    msp.add_point((3012.5, 500.25, 1.5), dxfattribs={"layer": "HIDDEN"})
    label = {"gbk": GBK_LABEL, "cp950": BIG5_LABEL}.get(encoding, "J1")
    if version == "R12":
        label = WESTERN_LABEL
    msp.add_text(label, dxfattribs={"insert": (1.0, 2.0), "height": 2.5,
                                                         "rotation": 15.0, "layer": "FROZEN"})
    if gbk:
        msp.add_text(EXTRA_LABEL, dxfattribs={"insert": (3.0, 4.0), "height": 1.0})
    if version != "R12":
        msp.add_mtext("Line one\\Psecond {\\fArial|b0;bold} \\U+4E2D",
                      dxfattribs={"insert": (5.0, 5.0, 0.0), "char_height": 1.5,
                                  "rotation": 20.0})
    msp.add_blockref("OUTER", (50.0, 60.0), dxfattribs={"xscale": 1.5, "yscale": 1.5,
                                                         "rotation": 45.0})
    msp.add_blockref("INNER", (-20.0, 5.0), dxfattribs={"xscale": -1.0, "yscale": 2.0,
                                                         "extrusion": (0, 0, -1)})
    return doc


def flatten_insert(insert, out, depth=0):
    for e in insert.virtual_entities():
        t = e.dxftype()
        if t == "INSERT":
            flatten_insert(e, out, depth + 1)
        elif t == "LINE":
            out.append({"type": "LINE", "start": vec(e.dxf.start), "end": vec(e.dxf.end)})
        elif t == "CIRCLE":
            out.append({"type": "CIRCLE", "center_wcs": vec(e.ocs().to_wcs(e.dxf.center)),
                        "radius": float(e.dxf.radius)})
        elif t == "ARC":
            out.append({"type": "ARC", "start_point": vec(e.start_point),
                        "end_point": vec(e.end_point)})


def exploded(polyline):
    """The WCS ends of each segment of a 2D polyline as ezdxf explodes it into LINE and ARC."""
    out = []
    for v in polyline.virtual_entities():
        if v.dxftype() == "LINE":
            out.append({"type": "LINE", "start": vec(v.dxf.start), "end": vec(v.dxf.end)})
        elif v.dxftype() == "ARC":
            out.append({"type": "ARC", "start": vec(v.start_point), "end": vec(v.end_point),
                        "center_wcs": vec(v.ocs().to_wcs(v.dxf.center)),
                        "radius": float(v.dxf.radius)})
    return out


def describe(e, ucs):
    t = e.dxftype()
    d = {"handle": e.dxf.handle, "dxftype": t, "layer": e.dxf.layer}
    if t == "LWPOLYLINE":
        d["object_name"] = "AcDbPolyline"
        pts = list(e.get_points(format="xyseb"))
        d["coordinates"] = [c for p in pts for c in (p[0], p[1])]
        d["elevation"] = float(e.dxf.elevation)
        d["normal"] = vec(e.dxf.extrusion)
        d["closed"] = bool(e.closed)
        cw = float(e.dxf.const_width)
        d["widths"] = [[p[2] or cw, p[3] or cw] if any(q[2] or q[3] for q in pts) else [cw, cw]
                       for p in pts]
        ocs = e.ocs()
        wcs = [ocs.to_wcs((p[0], p[1], e.dxf.elevation)) for p in pts]
        d["wcs_vertices"] = [vec(w) for w in wcs]
        d["ucs_vertices"] = [vec(ucs.from_wcs(w)) for w in wcs]
        d["exploded"] = exploded(e)
        d["bulge_arcs"] = []
        n = len(pts)
        for i, p in enumerate(pts):
            if p[4] and (i + 1 < n or e.closed):
                q = pts[(i + 1) % n]
                c, sa, ea, r = bulge_to_arc((p[0], p[1]), (q[0], q[1]), p[4])
                d["bulge_arcs"].append({"segment": i, "center": [c.x, c.y], "radius": r,
                                        "start_angle": sa, "end_angle": ea})
    elif t == "POLYLINE":
        verts = list(e.vertices)
        if e.is_3d_polyline:
            d["object_name"] = "AcDb3dPolyline"
            d["coordinates"] = [c for v in verts for c in vec(v.dxf.location)]
        else:
            d["object_name"] = "AcDb2dPolyline"
            elev = float(e.dxf.elevation.z)
            d["elevation"] = elev
            d["normal"] = vec(e.dxf.extrusion)
            d["coordinates"] = [c for v in verts for c in (v.dxf.location.x, v.dxf.location.y,
                                                           elev)]
            d["widths"] = [[float(v.dxf.start_width), float(v.dxf.end_width)] for v in verts]
            ocs = e.ocs()
            d["wcs_vertices"] = [vec(ocs.to_wcs((v.dxf.location.x, v.dxf.location.y, elev)))
                                 for v in verts]
            d["exploded"] = exploded(e)
        d["closed"] = bool(e.is_closed)
    elif t in ("ARC", "CIRCLE"):
        d["object_name"] = "AcDbArc" if t == "ARC" else "AcDbCircle"
        d["normal"] = vec(e.dxf.extrusion)
        d["center_wcs"] = vec(e.ocs().to_wcs(e.dxf.center))
        d["radius"] = float(e.dxf.radius)
        if t == "ARC":
            span = (e.dxf.end_angle - e.dxf.start_angle) % 360.0
            if span == 0.0:
                span = 360.0
            d["start_point"] = vec(e.start_point)
            d["end_point"] = vec(e.end_point)
            d["start_angle"] = math.radians(e.dxf.start_angle % 360.0)
            d["end_angle"] = math.radians(e.dxf.end_angle % 360.0)
            d["arc_length"] = e.dxf.radius * math.radians(span)
    elif t == "LINE":
        d["object_name"] = "AcDbLine"
        d["start_point"] = vec(e.dxf.start)
        d["end_point"] = vec(e.dxf.end)
    elif t == "POINT":
        d["object_name"] = "AcDbPoint"
        d["location"] = vec(e.dxf.location)
    elif t == "TEXT":
        d["object_name"] = "AcDbText"
        d["text"] = e.dxf.text
        # ezdxf keeps AutoCAD's \U+nnnn escapes in the text; the host shows the characters.
        d["decoded_text"] = re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)),
                                   e.dxf.text)
        d["height"] = float(e.dxf.height)
        d["rotation"] = math.radians(e.dxf.rotation)
        d["insert_wcs"] = vec(e.ocs().to_wcs(e.dxf.insert))
    elif t == "MTEXT":
        d["object_name"] = "AcDbMText"
        d["plain_text"] = e.plain_text()
        d["height"] = float(e.dxf.char_height)
        d["rotation"] = math.radians(e.get_rotation())
        d["insert_wcs"] = vec(e.dxf.insert)
    elif t == "INSERT":
        d["object_name"] = "AcDbBlockReference"
        d["block"] = e.dxf.name
        flat = []
        flatten_insert(e, flat)
        d["expanded"] = flat
    return d


def write(name, version, gbk=False, fmt="asc", encoding=None):
    doc = build(version, gbk, encoding)
    path = os.path.join(HERE, name + ".dxf")
    doc.saveas(path, fmt=fmt)
    # Read back what was written so that the values are ezdxf's view of the file itself.
    back = ezdxf.readfile(path)
    ucs = UCS(origin=back.header["$UCSORG"], ux=back.header["$UCSXDIR"],
              uy=back.header["$UCSYDIR"])
    layers = {}
    for layer in back.layers:
        layers[layer.dxf.name] = {"color": abs(layer.dxf.color), "on": layer.is_on(),
                                  "frozen": layer.is_frozen()}
    data = {
        "file": name + ".dxf",
        "acadver": back.header["$ACADVER"],
        "codepage": back.header.get("$DWGCODEPAGE", ""),
        "binary": fmt == "bin",
        "ucs": {"origin": vec(ucs.origin), "x": vec(ucs.ux), "y": vec(ucs.uy)},
        "layers": layers,
        "entities": [describe(e, ucs) for e in back.modelspace()],
    }
    with open(os.path.join(HERE, name + ".json"), "w", encoding="utf-8") as f:
        json.dump(data, f, ensure_ascii=False, indent=1)


def write_geometry():
    """Conversions of sample points between WCS, UCS and OCS, as ezdxf makes them."""
    ucs = UCS(origin=UCS_ORIGIN, ux=UCS_X, uy=UCS_Y)
    points = [(0.0, 0.0, 0.0), (1.0, 2.0, 3.0), (500123.456, 3012345.678, 12.5),
              (-7.25, 0.125, -3.0)]
    normals = [(0.0, 0.0, 1.0), (0.0, 0.0, -1.0), (0.6, 0.0, 0.8), (0.001, 0.002, 1.0),
               (0.0, 1.0, 0.0), (1.0, 1.0, 1.0), (0.01, -0.015, -1.0)]
    cases = []
    for p in points:
        case = {"point": list(p), "ucs_from_wcs": vec(ucs.from_wcs(p)),
                "ucs_to_wcs": vec(ucs.to_wcs(p)), "ucs_direction_from_wcs":
                vec(ucs.direction_from_wcs(p)), "ocs": []}
        for n in normals:
            ocs = OCS(n)
            case["ocs"].append({"normal": list(n), "from_wcs": vec(ocs.from_wcs(p)),
                                "to_wcs": vec(ocs.to_wcs(p))})
        cases.append(case)
    axes = []
    for n in normals:
        ocs = OCS(n)
        axes.append({"normal": list(n), "ux": vec(ocs.ux), "uy": vec(ocs.uy), "uz": vec(ocs.uz)})
    bulges = []
    for p0, p1, b in [((0, 0), (10, 0), 1.0), ((0, 0), (10, 0), -1.0), ((1, 2), (4, -3), 0.3),
                      ((5, 5), (-5, 5), -0.1), ((0, 0), (0, 1), 2.5)]:
        c, sa, ea, r = bulge_to_arc(p0, p1, b)
        bulges.append({"p0": list(p0), "p1": list(p1), "bulge": b, "center": [c.x, c.y],
                       "radius": r, "start_angle": sa, "end_angle": ea})
    data = {"ucs": {"origin": list(UCS_ORIGIN), "x": list(UCS_X), "y": list(UCS_Y)},
            "cases": cases, "axes": axes, "bulges": bulges}
    with open(os.path.join(HERE, "geometry.json"), "w", encoding="utf-8") as f:
        json.dump(data, f, indent=1)


def main():
    write("drawing_r12", "R12")
    write("drawing_r2000_gbk", "R2000", gbk=True, encoding="gbk")
    write("drawing_r2004_big5", "R2004", encoding="cp950")
    write("drawing_r2010", "R2010")
    write("drawing_r2018", "R2018")
    write("drawing_r2018_binary", "R2018", fmt="bin")
    write("drawing_r12_binary", "R12", fmt="bin")
    write_geometry()


if __name__ == "__main__":
    main()
