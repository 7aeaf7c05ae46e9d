#!/usr/bin/python3
"""Writes arc_division.json: arcs (extrusion 0,0,1 and 0,0,-1) with the points that dividing
them must give, computed with ezdxf as the independent oracle, in the world system and in a
moved and turned user system.

Usage: make_arc_division.py > arc_division.json
"""
import json
import math

import ezdxf
from ezdxf.math import UCS, Vec3

ARCS = [
    # name, OCS centre, radius, start and end angle (degrees, OCS), extrusion
    ("up", (500100.0, 3012200.0, 0.0), 25.0, 30.0, 150.0, (0, 0, 1)),
    ("mirrored", (-500100.0, 3012200.0, 4.5), 25.0, 30.0, 150.0, (0, 0, -1)),
    ("mirrored-across-zero", (-20.0, 10.0, -2.0), 7.5, 300.0, 60.0, (0, 0, -1)),
]
DIVISIONS = ["4", "1", "@10", "@7.5"]
USER = {"origin": [100.0, 200.0, 3.0], "x": [math.cos(math.radians(30)), math.sin(math.radians(30)), 0.0],
        "y": [-math.sin(math.radians(30)), math.cos(math.radians(30)), 0.0]}


def angles(start, end, radius, answer):
    sweep = (end - start) % 360.0 or 360.0
    if answer.startswith("@"):
        spacing = float(answer[1:])
        length = math.radians(sweep) * radius
        result = []
        k = 0
        while k * spacing < length - spacing * 1e-6:
            result.append(start + math.degrees(k * spacing / radius))
            k += 1
        return result + [start + sweep]
    parts = int(answer)
    return [start + sweep * k / parts for k in range(parts + 1)]


def main():
    doc = ezdxf.new()
    msp = doc.modelspace()
    ucs = UCS(origin=USER["origin"], ux=USER["x"], uy=USER["y"])
    cases = []
    for name, center, radius, start, end, extrusion in ARCS:
        arc = msp.add_arc(center=center, radius=radius, start_angle=start, end_angle=end,
                          dxfattribs={"extrusion": extrusion})
        wcs_center = arc.ocs().to_wcs(Vec3(center))
        for answer in DIVISIONS:
            world = list(arc.vertices(angles(start, end, radius, answer)))
            for system in ("world", "user"):
                points = world if system == "world" else [ucs.from_wcs(p) for p in world]
                cases.append({
                    "name": f"{name} {answer} {system}",
                    "center": list(wcs_center),
                    "startPoint": list(arc.start_point),
                    "radius": radius,
                    "startAngle": math.radians(start),
                    "endAngle": math.radians(end),
                    "normal": list(extrusion),
                    "arcLength": radius * math.radians((end - start) % 360.0 or 360.0),
                    "userSystem": system == "user",
                    "answer": answer,
                    "points": [list(p) for p in points],
                })
    print(json.dumps({"user": USER, "cases": cases}, indent=1))


main()
