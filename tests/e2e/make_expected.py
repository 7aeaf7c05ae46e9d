#!/usr/bin/python3
"""Computes, with ezdxf and independently of vexilo-cad, what the end-to-end tests expect from
samples/site.dxf: for each entity the tests pick, a point on it in the drawing's user system
(the UCS stored in the header) to type at the host's prompt, and its vertices in the world and
the user system; for the arc, its length. Writes tests/data/e2e/site_expected.json.

    /usr/bin/python3 tests/e2e/make_expected.py
"""
import json
import math
import os

import ezdxf
from ezdxf.math import OCS, UCS, Vec3

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SITE = os.path.join(ROOT, "samples", "site.dxf")
OUT = os.path.join(ROOT, "tests", "data", "e2e", "site_expected.json")


def user_system(doc):
    h = doc.header
    return UCS(origin=Vec3(h["$UCSORG"]), ux=Vec3(h["$UCSXDIR"]), uy=Vec3(h["$UCSYDIR"]))


def triple(v):
    return [float(v[0]), float(v[1]), float(v[2])]


def lwpolyline(e, ucs):
    ocs = OCS(e.dxf.extrusion)
    elevation = e.dxf.elevation
    world = [ocs.to_wcs(Vec3(x, y, elevation)) for x, y in e.get_points("xy")]
    return world


def main():
    doc = ezdxf.readfile(SITE)
    msp = doc.modelspace()
    ucs = user_system(doc)
    picks = {}

    def record(name, entity, world_vertices, pick_world, vertices_ocs=None):
        picks[name] = {
            "handle": entity.dxf.handle,
            "type": entity.dxftype(),
            "pick_user": triple(ucs.from_wcs(pick_world)),
            "world": [triple(v) for v in world_vertices],
            "user": [triple(ucs.from_wcs(v)) for v in world_vertices],
        }
        if vertices_ocs is not None:
            picks[name]["ocs"] = vertices_ocs

    parcels = [e for e in msp.query("LWPOLYLINE") if e.dxf.layer == "宗地界址线"]
    plain = parcels[0]
    mirrored = next(e for e in parcels if Vec3(e.dxf.extrusion).isclose((0, 0, -1)))
    # Each parcel is picked a third of the way along an edge that no neighbouring parcel
    # shares (the first edge of the south-west lot, the third of the mirrored lot in the north
    # row): a point on that parcel alone, and no vertex.
    for name, parcel, edge in (("parcel", plain, 0), ("mirrored_parcel", mirrored, 2)):
        world = lwpolyline(parcel, ucs)
        pick = world[edge] + (world[edge + 1] - world[edge]) / 3
        record(name, parcel, world, pick, [list(p) for p in parcel.get_points("xy")])

    edges = [e for e in msp.query("LWPOLYLINE") if e.dxf.layer == "道路边线"]
    widths = next(e for e in edges if not e.has_arc and e.dxf.const_width == 0)
    world = lwpolyline(widths, ucs)
    record("road_edge", widths, world, world[0] + (world[1] - world[0]) / 3)
    picks["road_edge"]["widths"] = [[s, w] for _x, _y, s, w in widths.get_points("xyse")]
    picks["road_edge"]["closed"] = bool(widths.closed)

    ditch = next(iter(msp.query("POLYLINE")))
    world = [Vec3(v.dxf.location) for v in ditch.vertices]
    record("ditch", ditch, world, world[0] + (world[1] - world[0]) / 3)

    line = next(iter(msp.query("LINE")))
    start, end = Vec3(line.dxf.start), Vec3(line.dxf.end)
    record("line", line, [start, end], start + (end - start) / 3)

    arc = next(iter(msp.query("ARC")))
    sweep = (arc.dxf.end_angle - arc.dxf.start_angle) % 360 or 360
    middle = arc.construction_tool().angles(3)
    mid_angle = list(middle)[1]
    on_arc = Vec3(arc.dxf.center) + Vec3.from_deg_angle(mid_angle, arc.dxf.radius)
    record("arc", arc, [Vec3(arc.start_point), Vec3(arc.end_point)], on_arc)
    picks["arc"]["length"] = arc.dxf.radius * math.radians(sweep)

    # Nowhere near anything: well south-west of the site.
    low = Vec3(500_120.0 - 300.0, 3_012_240.0 - 300.0, 0)
    picks["empty"] = {"pick_user": triple(ucs.from_wcs(low))}

    with open(OUT, "w", encoding="utf-8") as f:
        json.dump({"drawing": "samples/site.dxf", "picks": picks}, f, ensure_ascii=False,
                  indent=1)
    print(f"{OUT}: {len(picks)} picks")


if __name__ == "__main__":
    main()
