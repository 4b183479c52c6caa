#!/usr/bin/python3
"""Render Wintermoot's built-in piece sets to 1-bit strips.

Each set n becomes resources/pieces/Pieces<n>.png and Masks<n>.png: 600 x 50,
twelve 50 x 50 cells (white pawn, rook, knight, bishop, queen, king, then the
black ones). In a mask the silhouette is black on white; in a piece strip the
piece's own pixels are drawn on black (white where the piece is white).

Usage: make-pieces.py --npm DIR [--out DIR] [--only N,N...]
DIR holds the unpacked npm archives (see README.md). Debian fonts and
METAFONT sources are read from their installed paths.
"""

import argparse
import base64
import os
import re
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw, ImageFont
from scipy import ndimage

CELL = 50
FIT = 46  # the union of a set's pieces fits in 46 px, leaving 2 px margins
ORDER = ["pawn", "rook", "knight", "bishop", "queen", "king"]
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))

FONTS = {
    "symbola": "/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf",
    "dejavu": "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "freeserif": "/usr/share/fonts/truetype/freefont/FreeSerif.ttf",
    "noto": "/usr/share/fonts/truetype/noto/NotoSansSymbols2-Regular.ttf",
    "unifont": "/usr/share/fonts/opentype/unifont/unifont.otf",
}
# Unicode chess symbols: white king U+2654 .. white pawn U+2659, black +6.
UNI = {"king": 0, "queen": 1, "rook": 2, "bishop": 3, "knight": 4, "pawn": 5}

CROSS = ndimage.generate_binary_structure(2, 1)
SQUARE = ndimage.generate_binary_structure(2, 2)


# ---------------------------------------------------------------- sources
# Every loader returns 12 (ink, silhouette) float maps in 0..1 that share one
# coordinate frame, in strip order.

def coverage_from_rgba(img):
    a = np.asarray(img.convert("RGBA"), dtype=np.float32) / 255.0
    alpha = a[..., 3]
    lum = 0.299 * a[..., 0] + 0.587 * a[..., 1] + 0.114 * a[..., 2]
    ink = alpha * (1.0 - lum)
    sil = np.maximum(alpha, ndimage.binary_fill_holes(alpha >= 0.5))
    return ink, sil


def coverage_from_ink(ink):
    sil = np.maximum(ink, ndimage.binary_fill_holes(ink >= 0.5))
    return ink, sil


def font_glyphs(font_key, size=400):
    """The 12 Unicode chess glyphs, opened from the font file (no fallback)."""
    font = ImageFont.truetype(FONTS[font_key], size)
    out = []
    for colour in (0, 6):
        for name in ORDER:
            img = Image.new("L", (2 * size, 2 * size), 0)
            ImageDraw.Draw(img).text((size // 2, int(size * 1.5)), chr(0x2654 + colour + UNI[name]),
                                     font=font, fill=255, anchor="ls")
            out.append(coverage_from_ink(np.asarray(img, dtype=np.float32) / 255.0))
    return out


def pixel_font_glyphs(font_key, px=16, zoom=4):
    """Glyphs of a bitmap font at its native size, without anti-aliasing, zoomed."""
    font = ImageFont.truetype(FONTS[font_key], px)
    out = []
    for colour in (0, 6):
        for name in ORDER:
            img = Image.new("L", (4 * px, 4 * px), 0)
            draw = ImageDraw.Draw(img)
            draw.fontmode = "1"
            draw.text((px, 3 * px), chr(0x2654 + colour + UNI[name]), font=font, fill=255, anchor="ls")
            ink = (np.asarray(img) >= 128).astype(np.float32)
            ink = np.kron(ink, np.ones((zoom, zoom), dtype=np.float32))
            out.append(coverage_from_ink(ink))
    return out


def render_svg(data, size=400):
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in.svg")
        dst = os.path.join(tmp, "out.png")
        with open(src, "wb") as f:
            f.write(data)
        subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o", dst, src], check=True)
        img = Image.open(dst).convert("RGBA")
    canvas = Image.new("RGBA", (2 * size, 2 * size), (255, 255, 255, 0))
    canvas.paste(img, (size // 2, size // 2))
    return coverage_from_rgba(canvas)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def cburnett_glyphs(npm):
    css = read(os.path.join(npm, "lichess-org-chessground-10.1.1/package/assets/chessground.cburnett.css")).decode()
    out = []
    for colour in ("white", "black"):
        for name in ORDER:
            m = re.search(r"piece\.%s\.%s\s*\{[^}]*base64,([A-Za-z0-9+/=]+)" % (name, colour), css)
            out.append(render_svg(base64.b64decode(m.group(1))))
    return out


def svg_files(paths):
    return [render_svg(read(p)) for p in paths]


def fontawesome_glyphs(npm):
    out = []
    for pkg in ("fortawesome-free-regular-svg-icons-7.3.1", "fortawesome-free-solid-svg-icons-7.3.1"):
        for name in ORDER:
            js = read(os.path.join(npm, pkg, "package", "faChess%s.js" % name.capitalize())).decode()
            d = re.search(r"var svgPathData = '([^']+)'", js).group(1)
            # One shared box for all icons; each is centred on its own bounding box later.
            svg = ('<svg xmlns="http://www.w3.org/2000/svg" viewBox="-64 -64 640 640">'
                   '<path d="%s"/></svg>' % d)
            out.append(render_svg(svg.encode()))
    return out


def metafont_glyphs(name, ppi, codes):
    """Run METAFONT on a font source and read the characters from gftype's pixel dump."""
    with tempfile.TemporaryDirectory() as tmp:
        mode = ("\\mode_def scr = proofing:=0; fontmaking:=1; pixels_per_inch:=%d; blacker:=0; "
                "fillin:=0; o_correction:=1; enddef; mode:=scr; batchmode; input %s" % (ppi, name))
        subprocess.run(["mf", mode], cwd=tmp, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        dump = subprocess.run(["gftype", "-i", os.path.join(tmp, "%s.%dgf" % (name, ppi))],
                              capture_output=True, text=True, check=True).stdout
    chars = {}
    for m in re.finditer(r"beginning of char (\d+)\n\.<--This pixel's lower left corner is at "
                         r"\((-?\d+),(-?\d+)\)[^\n]*\n(.*?)\n\.<--This pixel's upper left", dump, re.S):
        code, x0, y0 = int(m.group(1)), int(m.group(2)), int(m.group(3))
        rows = m.group(4).split("\n")
        pixels = [(x0 + i, y0 - r) for r, row in enumerate(rows) for i, c in enumerate(row) if c == "*"]
        chars[code] = pixels
    allpix = [p for c in codes for p in chars[c]]
    xmin = min(p[0] for p in allpix)
    xmax = max(p[0] for p in allpix)
    ymin = min(p[1] for p in allpix)
    ymax = max(p[1] for p in allpix)
    w, h = xmax - xmin + 1, ymax - ymin + 1
    out = []
    for c in codes:
        ink = np.zeros((h, w), dtype=np.float32)
        for x, y in chars[c]:
            ink[ymax - y, x - xmin] = 1.0  # baseline shared: row = ymax - y
        out.append(coverage_from_ink(ink))
    return out


# ---------------------------------------------------------------- fitting

def disk(radius):
    r = int(np.ceil(radius))
    y, x = np.mgrid[-r:r + 1, -r:r + 1]
    return x * x + y * y <= radius * radius + 1e-6


def bbox(mask):
    ys, xs = np.nonzero(mask)
    return ys.min(), ys.max() + 1, xs.min(), xs.max() + 1


def fit_cells(glyphs, grow_white=0.0, grow_black=0.0, fixed_scale=None):
    """Reduce the 12 maps to 50 x 50 cells with one scale for the set.

    The union of the silhouettes is centred vertically (keeping the common
    baseline); each piece is centred horizontally on its own bounding box.
    Returns 12 (ink, silhouette) pairs of 50 x 50 float maps.
    """
    def frame(maps):
        boxes = [bbox(sil >= 0.5) for _, sil in maps]
        top = min(b[0] for b in boxes)
        bottom = max(b[1] for b in boxes)
        widest = max(b[3] - b[2] for b in boxes)
        return boxes, top, bottom, fixed_scale or min(FIT / (bottom - top), FIT / widest)

    scale = frame(glyphs)[3]
    if grow_white > 0 or grow_black > 0:
        # Thicken the lines at source resolution (about grow cell px), then fit
        # again so the grown pieces still keep their margins.
        grown = []
        for k, (ink, sil) in enumerate(glyphs):
            grow = grow_white if k < 6 else grow_black
            if grow > 0:
                ink = ndimage.grey_dilation(ink, footprint=disk(grow / scale))
                sil = np.maximum(sil, ndimage.binary_fill_holes(ink >= 0.5))
            grown.append((ink, sil))
        glyphs = grown
    boxes, top, bottom, scale = frame(glyphs)
    span = CELL / scale  # source pixels per cell
    pad = int(np.ceil(span))
    y0 = top - (span - (bottom - top)) / 2
    cells = []
    for (ink, sil), b in zip(glyphs, boxes):
        x0 = (b[2] + b[3]) / 2 - span / 2
        if fixed_scale:
            x0, yy = round(x0), round(y0)
        else:
            yy = y0
        box = (x0 + pad, yy + pad, x0 + pad + span, yy + pad + span)
        pair = []
        for m in (ink, sil):
            img = Image.fromarray(np.pad(m, pad).astype(np.float32), "F")
            pair.append(np.asarray(img.resize((CELL, CELL), Image.BOX, box=box)))
        cells.append(tuple(pair))
    return cells


# ---------------------------------------------------------------- 1-bit pieces

def ring(s):
    """Pixels of s with a 4-neighbour outside s."""
    return s & ~ndimage.binary_erosion(s, CROSS, border_value=0)


def white_piece(ink, sil, threshold, style="outline"):
    """Return (piece bits, silhouette) of a white piece: white interior, black lines."""
    s = ndimage.binary_fill_holes(sil >= 0.5)
    lines = (ink / np.maximum(sil, 1e-6) >= threshold) & s
    if style == "outline":          # the drawing's own lines plus a closed contour
        black = lines | ring(s)
    elif style == "contour":        # only the contour: a white silhouette
        black = ring(s)
    elif style == "from_solid":     # a solid icon: contour and cut-outs black
        black = ring(s) | (s & ~lines)
    else:
        raise ValueError(style)
    return s & ~black, s


def black_piece(ink, sil, twin, style, inset=2, min_detail=0):
    """Return (piece bits, silhouette) of a black piece.

    glyph: the black drawing's own white details; solid: no detail;
    inverse: the white twin's silhouette, black, with the twin's lines that lie
    at least `inset` px inside the edge drawn white. White specks of fewer
    than `min_detail` pixels (line ends cut off by the inset) are dropped.
    """
    if style == "inverse":
        s = twin[1]
        lines = s & ~twin[0] & ~ring(s)
        inner = ndimage.binary_erosion(s, CROSS, iterations=inset, border_value=0)
        lines &= inner
        if min_detail > 0:
            labels, count = ndimage.label(lines, SQUARE)
            sizes = ndimage.sum(lines, labels, range(1, count + 1))
            lines = np.isin(labels, 1 + np.nonzero(sizes >= min_detail)[0])
        return lines, s
    s = ndimage.binary_fill_holes(sil >= 0.5)
    if style == "solid":
        return np.zeros_like(s), s
    if style == "glyph":
        dark = (ink / np.maximum(sil, 1e-6) >= 0.5) & s
        return s & ~dark, s
    raise ValueError(style)


def add_rim(piece, s):
    """A 1-px white ring around a black piece so it stands out on dark squares."""
    s2 = ndimage.binary_dilation(s, SQUARE)
    return piece | (s2 & ~s), s2


def build_set(cells, white_threshold=0.4, white_style="outline", black_style="glyph",
              inset=2, min_detail=0, rim=True):
    pieces, masks = [], []
    whites = [white_piece(ink, sil, white_threshold, white_style) for ink, sil in cells[:6]]
    for k in range(12):
        if k < 6:
            piece, s = whites[k]
        else:
            ink, sil = cells[k]
            piece, s = black_piece(ink, sil, whites[k - 6], black_style, inset, min_detail)
            if rim:
                piece, s = add_rim(piece, s)
        pieces.append(piece & s)
        masks.append(s)
    return pieces, masks


def save_strip(cells, path, invert):
    strip = np.concatenate(cells, axis=1)
    bits = ~strip if invert else strip
    Image.fromarray((bits * 255).astype(np.uint8), "L").convert("1").save(path, optimize=True)


def check(pieces, masks, n):
    for k, (p, s) in enumerate(zip(pieces, masks)):
        if not s.any():
            sys.exit("set %d cell %d: empty silhouette" % (n, k))
        if s[0].any() or s[-1].any() or s[:, 0].any() or s[:, -1].any():
            sys.exit("set %d cell %d: silhouette touches the cell edge" % (n, k))


# ---------------------------------------------------------------- the sets

def sets(npm):
    def npm_files(pkg, pattern, names):
        return [os.path.join(npm, pkg, "package", pattern % n) for n in names]

    tutelaers = [ord(c) for c in "PRNBQK" + "prnbqk"]
    bartel = [0, 3, 1, 2, 4, 5] + [12, 15, 13, 14, 16, 17]
    mdi = npm_files("mdi-svg-7.4.47", "svg/chess-%s.svg", ORDER)
    lucide = npm_files("lucide-static-1.87.0", "icons/chess-%s.svg", ORDER)
    tabler_names = ["chess" if n == "pawn" else "chess-" + n for n in ORDER]
    tabler = (npm_files("tabler-icons-3.54.0", "icons/outline/%s.svg", tabler_names)
              + npm_files("tabler-icons-3.54.0", "icons/filled/%s.svg", tabler_names))
    openmoji = npm_files("openmoji-17.0.0", "black/svg/%X.svg",
                         [0x2654 + UNI[n] for n in ORDER] + [0x265A + UNI[n] for n in ORDER])

    # n: (glyph loader, fit options, build options)
    return {
        1: (lambda: cburnett_glyphs(npm), {}, {"rim": False}),
        2: (lambda: cburnett_glyphs(npm), {"grow_white": 0.4, "grow_black": 0.4}, {"rim": True}),
        3: (lambda: metafont_glyphs("chess20", 600, tutelaers), {"grow_white": 0.75, "grow_black": 0.3},
            {"rim": False}),
        4: (lambda: metafont_glyphs("fselch10", 1200, bartel), {}, {"rim": False}),
        5: (lambda: font_glyphs("symbola"), {}, {"rim": True}),
        6: (lambda: font_glyphs("dejavu"), {}, {"rim": False}),
        7: (lambda: font_glyphs("dejavu"), {}, {"black_style": "inverse", "inset": 2}),
        8: (lambda: font_glyphs("freeserif"), {}, {"rim": False}),
        9: (lambda: font_glyphs("freeserif"), {"grow_white": 0.5, "grow_black": 0.8}, {}),
        10: (lambda: font_glyphs("noto"), {}, {"rim": False}),
        11: (lambda: font_glyphs("noto"), {}, {"white_style": "contour", "black_style": "solid"}),
        12: (lambda: pixel_font_glyphs("unifont"), {"fixed_scale": 1}, {"rim": False}),
        13: (lambda: metafont_glyphs("pkelch10", 1200, bartel), {}, {"rim": False}),
        14: (lambda: font_glyphs("symbola"), {"grow_white": 0.5}, {"black_style": "solid"}),
        # Only the main inner lines of the bold white twin stay white, so the
        # black pieces read as black on both square colours.
        15: (lambda: metafont_glyphs("chess20", 600, tutelaers), {"grow_white": 0.9},
             {"black_style": "inverse", "inset": 5, "min_detail": 5}),
        16: (lambda: fontawesome_glyphs(npm), {}, {}),
        17: (lambda: svg_files(mdi + mdi), {}, {"white_style": "from_solid", "black_style": "solid"}),
        18: (lambda: svg_files(lucide + lucide), {}, {"black_style": "inverse", "inset": 5}),
        19: (lambda: svg_files(tabler), {}, {}),
        20: (lambda: svg_files(openmoji), {"grow_white": 0.5, "grow_black": 0.5},
             {"black_style": "inverse", "inset": 3}),
    }


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--npm", required=True, help="folder with the unpacked npm archives")
    ap.add_argument("--out", default=os.path.join(ROOT, "resources", "pieces"))
    ap.add_argument("--only", help="comma-separated set numbers")
    args = ap.parse_args()
    table = sets(os.path.abspath(args.npm))
    wanted = [int(x) for x in args.only.split(",")] if args.only else sorted(table)
    os.makedirs(args.out, exist_ok=True)
    for n in wanted:
        load, fit_opts, build_opts = table[n]
        cells = fit_cells(load(), **fit_opts)
        pieces, masks = build_set(cells, **build_opts)
        check(pieces, masks, n)
        save_strip(pieces, os.path.join(args.out, "Pieces%d.png" % n), invert=False)
        save_strip(masks, os.path.join(args.out, "Masks%d.png" % n), invert=True)
        print("set %d done" % n, flush=True)


if __name__ == "__main__":
    main()
