#!/usr/bin/python3
"""Renders each drawing with ezdxf's drawing add-on (matplotlib) and with vexilo-cad's view
(cadhost_render_dxf) at the same view, and measures how much of what ezdxf draws vexilo-cad's
picture covers within 2 pixels. Both pictures are kept in OUT_DIR for a person to look at
(texts are compared by eye there, since the fonts differ).

usage: compare_with_ezdxf.py RENDER_TOOL OUT_DIR MIN_COVERAGE DRAWING.dxf... [--text DRAWING.dxf...]
Drawings after --text are rendered and kept but not held to the coverage.
Exit status 1 when a drawing before --text is covered less than MIN_COVERAGE (0..1).
"""
import os
import subprocess
import sys

import matplotlib

matplotlib.use("Agg")
import logging

import matplotlib.pyplot as plt
import numpy as np
from PIL import Image

import ezdxf
from ezdxf import bbox
from ezdxf.addons.drawing import Frontend, RenderContext
from ezdxf.addons.drawing.matplotlib import MatplotlibBackend

logging.getLogger("matplotlib").setLevel(logging.ERROR)
logging.getLogger("ezdxf").setLevel(logging.ERROR)

WIDTH, HEIGHT = 800, 600
REACH = 2


def window(doc):
    finite = [e for e in doc.modelspace() if e.dxftype() not in ("XLINE", "RAY")]
    box = bbox.extents(finite)
    x0, y0, x1, y1 = box.extmin.x, box.extmin.y, box.extmax.x, box.extmax.y
    w, h = max(x1 - x0, 1e-9), max(y1 - y0, 1e-9)
    # Grow the box to the picture's aspect, with a 5 % margin.
    scale = max(w / WIDTH, h / HEIGHT) * 1.1
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    return cx - scale * WIDTH / 2, cy - scale * HEIGHT / 2, cx + scale * WIDTH / 2, cy + scale * HEIGHT / 2


def render_ezdxf(doc, win, path):
    fig = plt.figure(figsize=(WIDTH / 100, HEIGHT / 100), dpi=100)
    ax = fig.add_axes([0, 0, 1, 1])
    ax.set_axis_off()
    ctx = RenderContext(doc)
    ctx.set_current_layout(doc.modelspace())
    backend = MatplotlibBackend(ax)
    Frontend(ctx, backend).draw_layout(doc.modelspace(), finalize=False)
    ax.set_xlim(win[0], win[2])
    ax.set_ylim(win[1], win[3])
    ax.set_aspect("auto")
    fig.patch.set_facecolor("black")
    ax.set_facecolor("black")
    fig.savefig(path, dpi=100, facecolor="black")
    plt.close(fig)


def drawn(path):
    """Pixels that differ clearly from the picture's background (its most frequent colour)."""
    a = np.asarray(Image.open(path).convert("RGB")).astype(int)
    flat = a.reshape(-1, 3)
    colours, counts = np.unique(flat, axis=0, return_counts=True)
    background = colours[counts.argmax()]
    return np.abs(a - background).sum(axis=2) > 60


def dilate(mask, r):
    out = mask.copy()
    for dy in range(-r, r + 1):
        for dx in range(-r, r + 1):
            out |= np.roll(np.roll(mask, dy, axis=0), dx, axis=1)
    return out


def main(argv):
    tool, out_dir, minimum = argv[1], argv[2], float(argv[3])
    os.makedirs(out_dir, exist_ok=True)
    held, text = [], []
    target = held
    for arg in argv[4:]:
        if arg == "--text":
            target = text
        else:
            target.append(arg)
    failed = False
    for path in held + text:
        name = os.path.splitext(os.path.basename(path))[0]
        doc = ezdxf.readfile(path)
        win = window(doc)
        theirs = os.path.join(out_dir, name + ".ezdxf.png")
        ours = os.path.join(out_dir, name + ".vexilo.png")
        render_ezdxf(doc, win, theirs)
        subprocess.run(
            [tool, path, ours, str(WIDTH), str(HEIGHT)] + [repr(v) for v in win], check=True
        )
        a, b = drawn(theirs), drawn(ours)
        if a.shape != b.shape:
            print(f"{name}: pictures differ in size {a.shape} {b.shape}")
            failed = True
            continue
        total = int(a.sum())
        covered = int((a & dilate(b, REACH)).sum())
        coverage = covered / total if total else 1.0
        is_held = path in held
        verdict = "" if not is_held else ("ok" if coverage >= minimum else "TOO LOW")
        print(f"{name}: ezdxf drew {total} px, vexilo-cad covers {coverage:.1%} within {REACH} px "
              f"{'(text: by eye)' if not is_held else verdict}")
        if is_held and coverage < minimum:
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
