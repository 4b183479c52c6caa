#!/usr/bin/python3
"""Render Wintermoot's 20 piece sets as smooth, anti-aliased strips.

Each set n becomes resources/pieces/smooth/Smooth<n>.png: 3000 x 250, grey
with an 8-bit alpha channel, twelve 250 x 250 cells in the order of the 1-bit
strips (white pawn, rook, knight, bishop, queen, king, then the black ones).
Grey is the piece's own shade (white body, black lines); alpha its coverage.

The sets take the same sources and the same treatment as make-pieces.py
(which this script imports): the drawing is built as bits at twice the cell
size, with lines, contours and rims as wide as one pixel of a 50-pixel cell,
and then averaged down, so the edges come out anti-aliased.

Usage: make-smooth-pieces.py --npm DIR [--out DIR] [--only N,N...]
"""

import argparse
import importlib.util
import os
import sys

import numpy as np
from PIL import Image
from scipy import ndimage

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("make_pieces", os.path.join(HERE, "make-pieces.py"))
mp = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(mp)

CELL = 250  # the committed cell
SS = 2      # the bits are built at SS times the cell, then averaged down
WORK = CELL * SS
UNIT = WORK // mp.CELL # one pixel of a 50-pixel cell, in working pixels (10)
# Sources are rendered larger than for the 1-bit strips so that a working cell
# has at least one source pixel per pixel.
SOURCE_ZOOM = 1.5


def inside(s):
    """Distance of every pixel of s to the nearest pixel outside it."""
    return ndimage.distance_transform_edt(np.pad(s, 1))[1:-1, 1:-1]


def ring(s, width):
    return s & (inside(s) <= width)


def silhouette(sil, close):
    """The filled silhouette; `close` (in 50-pixel-cell pixels) first bridges gaps in an
    outline that the 1-bit strips close by rounding."""
    s = sil >= 0.5
    if close > 0:
        s = ndimage.binary_closing(np.pad(s, 2 * SS * UNIT), mp.disk(close * UNIT))
        s = s[2 * SS * UNIT:-2 * SS * UNIT, 2 * SS * UNIT:-2 * SS * UNIT]
    return ndimage.binary_fill_holes(s)


def white_piece(ink, sil, threshold, style, close):
    s = silhouette(sil, close)
    lines = (ink / np.maximum(sil, 1e-6) >= threshold) & s
    if style == "outline":
        # The glyphs draw their own outline; the contour only closes gaps.
        black = lines | ring(s, 0.6 * UNIT)
    elif style == "contour":
        black = ring(s, UNIT)
    elif style == "from_solid":
        black = ring(s, UNIT) | (s & ~lines)
    else:
        raise ValueError(style)
    return s & ~black, s


def black_piece(ink, sil, twin, style, inset, min_detail, close):
    if style == "inverse":
        s = twin[1]
        lines = s & ~twin[0] & ~ring(s, UNIT)
        lines &= inside(s) > inset * UNIT
        if min_detail > 0:
            labels, count = ndimage.label(lines, mp.SQUARE)
            sizes = ndimage.sum(lines, labels, range(1, count + 1))
            lines = np.isin(labels, 1 + np.nonzero(sizes >= min_detail * UNIT * UNIT)[0])
        return lines, s
    s = silhouette(sil, close)
    if style == "solid":
        return np.zeros_like(s), s
    if style == "glyph":
        dark = (ink / np.maximum(sil, 1e-6) >= 0.5) & s
        return s & ~dark, s
    raise ValueError(style)


def add_rim(piece, s):
    outside = ndimage.distance_transform_edt(~s)
    s2 = outside <= UNIT
    return piece | (s2 & ~s), s2


def build_set(cells, white_threshold=0.4, white_style="outline", black_style="glyph",
              inset=2, min_detail=0, rim=True, close=0):
    out = []
    whites = [white_piece(ink, sil, white_threshold, white_style, close) for ink, sil in cells[:6]]
    for k in range(12):
        if k < 6:
            piece, s = whites[k]
        else:
            ink, sil = cells[k]
            piece, s = black_piece(ink, sil, whites[k - 6], black_style, inset, min_detail, close)
            if rim:
                piece, s = add_rim(piece, s)
        out.append((piece & s, s))
    return out


def average(bits):
    h, w = bits.shape
    return bits.reshape(h // SS, SS, w // SS, SS).mean(axis=(1, 3))


def save_strip(cells, path):
    grey, alpha = [], []
    for piece, s in cells:
        a = average(s.astype(np.float32))
        covered = average(piece.astype(np.float32))
        grey.append(np.where(a > 0, covered / np.maximum(a, 1e-6), 0.0))
        alpha.append(a)
    to8 = lambda maps: np.clip(np.rint(np.concatenate(maps, axis=1) * 255), 0, 255).astype(np.uint8)
    img = Image.merge("LA", (Image.fromarray(to8(grey), "L"), Image.fromarray(to8(alpha), "L")))
    img.save(path, optimize=True)


def check(cells, n):
    for k, (_, s) in enumerate(cells):
        if not s.any():
            sys.exit("set %d cell %d: empty silhouette" % (n, k))
        margin = SS  # at least one cell pixel clear of the edge
        if s[:margin].any() or s[-margin:].any() or s[:, :margin].any() or s[:, -margin:].any():
            sys.exit("set %d cell %d: silhouette touches the cell edge" % (n, k))


# Only here: sets whose outlines have gaps at this size.
SMOOTH_BUILD = {20: {"close": 1.0}}


def loaders(npm):
    """The 1-bit generator's table with the sources rendered larger and its
    sizes (line growth, fixed scale) converted to working pixels."""
    table = mp.sets(npm)
    zoom = SOURCE_ZOOM
    font_glyphs, render_svg, metafont = mp.font_glyphs, mp.render_svg, mp.metafont_glyphs
    mp.font_glyphs = lambda key, size=400: font_glyphs(key, int(size * zoom))
    mp.render_svg = lambda data, size=400: render_svg(data, int(size * zoom))
    mp.metafont_glyphs = lambda name, ppi, codes: metafont(name, ppi * 3, codes)
    out = {}
    for n, (load, fit_opts, build_opts) in table.items():
        fit = dict(fit_opts)
        for key in ("grow_white", "grow_black"):
            if key in fit:
                fit[key] = fit[key] * UNIT
        if "fixed_scale" in fit:
            fit["fixed_scale"] = fit["fixed_scale"] * UNIT
        out[n] = (load, fit, dict(build_opts, **SMOOTH_BUILD.get(n, {})))
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--npm", required=True, help="folder with the unpacked npm archives")
    ap.add_argument("--out", default=os.path.join(mp.ROOT, "resources", "pieces", "smooth"))
    ap.add_argument("--only", help="comma-separated set numbers")
    args = ap.parse_args()
    table = loaders(os.path.abspath(args.npm))
    wanted = [int(x) for x in args.only.split(",")] if args.only else sorted(table)
    os.makedirs(args.out, exist_ok=True)
    mp.CELL, mp.FIT = WORK, mp.FIT * WORK // mp.CELL
    for n in wanted:
        load, fit_opts, build_opts = table[n]
        cells = build_set(mp.fit_cells(load(), **fit_opts), **build_opts)
        check(cells, n)
        save_strip(cells, os.path.join(args.out, "Smooth%d.png" % n))
        print("set %d done" % n, flush=True)


if __name__ == "__main__":
    main()
