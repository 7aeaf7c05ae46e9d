#!/usr/bin/python3
"""Builds, with ezdxf, the drawing the stand-in AutoCAD serves to the COM link tests and what the
tests expect from it, computed by ezdxf alone:

  tests/data/com/drawing.txt   the drawing in the stand-in's line format (see stand_in_autocad.cpp)
  tests/data/com/drawing.dxf   the same drawing as DXF, to look at
  tests/data/com/expected.txt  one "name value value ..." line per expected quantity

    /usr/bin/python3 tests/com/make_drawing.py
"""
import math
import os

import ezdxf
from ezdxf.math import OCS, UCS, Vec3

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "tests", "data", "com")

# A user system turned 32 degrees about a point of the site, as surveyors set one along a street.
UCS_ORIGIN = Vec3(500105.0, 3012228.0, 0.0)
UCS_ANGLE = math.radians(32.0)
UCS_X = Vec3(math.cos(UCS_ANGLE), math.sin(UCS_ANGLE), 0.0)
UCS_Y = Vec3(-math.sin(UCS_ANGLE), math.cos(UCS_ANGLE), 0.0)

# Typed at the point prompt, in the user system.
TYPED_POINTS = [(12.3456, 45.6789), (-20.5, 7.25)]


def num(v):
    return repr(float(v))


def build():
    doc = ezdxf.new("R2010")
    doc.header["$UCSORG"] = UCS_ORIGIN
    doc.header["$UCSXDIR"] = UCS_X
    doc.header["$UCSYDIR"] = UCS_Y
    msp = doc.modelspace()
    # A parcel drawn in a flipped view: extrusion (0,0,-1), at an elevation, with widths.
    mirrored = msp.add_lwpolyline(
        [(-500120.0, 3012260.0, 0.5, 1.0), (-500168.5, 3012260.0, 1.0, 1.0),
         (-500170.6, 3012299.9, 0.0, 0.25), (-500120.0, 3012301.3, 2.0, 0.0)],
        format="xyse", close=True,
        dxfattribs={"extrusion": (0, 0, -1), "elevation": 12.5, "handle": "A1"})
    plain = msp.add_lwpolyline([(500200.0, 3012260.0), (500230.25, 3012261.5), (500231.0, 3012290.0)],
                               dxfattribs={"handle": "A2", "const_width": 0.3})
    ditch = msp.add_polyline3d([(500120.0, 3012320.0, 101.25), (500150.5, 3012330.0, 100.75),
                                (500180.0, 3012335.5, 100.5)], dxfattribs={"handle": "A3"})
    line = msp.add_line((500100.0, 3012200.0, 0.0), (500140.0, 3012210.0, 0.0),
                        dxfattribs={"handle": "A4"})
    arc = msp.add_arc((500250.0, 3012300.0), 25.0, 30.0, 150.0, dxfattribs={"handle": "A5"})
    return doc, mirrored, plain, ditch, line, arc


def main():
    doc, mirrored, plain, ditch, line, arc = build()
    ucs = UCS(origin=UCS_ORIGIN, ux=UCS_X, uy=UCS_Y)
    drawing = ["ucs " + " ".join(num(c) for c in (*UCS_ORIGIN, *UCS_X, *UCS_Y))]
    expected = []

    def lw(e, name):
        points = list(e.get_points("xyse"))
        line = ["lwpolyline", e.dxf.handle, str(int(e.closed)), num(e.dxf.elevation),
                *(num(c) for c in e.dxf.extrusion), num(e.dxf.const_width), str(len(points))]
        for x, y, s, w in points:
            line += [num(x), num(y), num(s), num(w)]
        drawing.append(" ".join(line))
        ocs = OCS(e.dxf.extrusion)
        world = [ocs.to_wcs(Vec3(x, y, e.dxf.elevation)) for x, y, _s, _w in points]
        expected.append(f"{name}.ocs " + " ".join(f"{num(x)} {num(y)}" for x, y, _s, _w in points))
        expected.append(f"{name}.world " + " ".join(f"{num(p.x)} {num(p.y)}" for p in world))
        expected.append(f"{name}.user " + " ".join(
            f"{num(p.x)} {num(p.y)}" for p in (ucs.from_wcs(v) for v in world)))
        widths = [(s, w) if not e.dxf.const_width else (e.dxf.const_width, e.dxf.const_width)
                  for _x, _y, s, w in points]
        expected.append(f"{name}.widths " + " ".join(f"{num(s)} {num(w)}" for s, w in widths))

    lw(mirrored, "mirrored")
    lw(plain, "plain")

    vertices = [Vec3(v.dxf.location) for v in ditch.vertices]
    drawing.append(" ".join(["polyline3d", ditch.dxf.handle, str(int(ditch.is_closed)),
                             str(len(vertices))] + [num(c) for v in vertices for c in v]))
    expected.append("ditch.world " + " ".join(f"{num(v.x)} {num(v.y)}" for v in vertices))
    expected.append("ditch.user " + " ".join(
        f"{num(p.x)} {num(p.y)}" for p in (ucs.from_wcs(v) for v in vertices)))

    drawing.append(" ".join(["line", line.dxf.handle] + [num(c) for c in line.dxf.start] +
                            [num(c) for c in line.dxf.end]))
    drawing.append(" ".join(["arc", arc.dxf.handle] + [num(c) for c in arc.dxf.center] +
                            [num(arc.dxf.radius), num(arc.dxf.start_angle), num(arc.dxf.end_angle)] +
                            [num(c) for c in arc.dxf.extrusion]))
    sweep = (arc.dxf.end_angle - arc.dxf.start_angle) % 360 or 360
    expected.append("arc.length " + num(arc.dxf.radius * math.radians(sweep)))

    for i, (x, y) in enumerate(TYPED_POINTS):
        w = ucs.to_wcs(Vec3(x, y, 0))
        expected.append(f"typed{i}.world {num(w.x)} {num(w.y)}")

    os.makedirs(OUT, exist_ok=True)
    doc.saveas(os.path.join(OUT, "drawing.dxf"))
    with open(os.path.join(OUT, "drawing.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(drawing) + "\n")
    with open(os.path.join(OUT, "expected.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(expected) + "\n")
    print(f"{OUT}: {len(drawing)} drawing lines, {len(expected)} expected lines")


if __name__ == "__main__":
    main()
