#!/usr/bin/env python3
"""Draws the program's artwork and writes it into resources/art/.

Usage: gen_artwork.py [OUTDIR]      (default: resources/art of this repository)

Every picture is drawn here from code (polygons, a stroke font and a few
hand-placed 16 x 16 pixel maps), so the files can be rebuilt byte for byte
with the Python standard library alone: no fonts, no image libraries, no
randomness. The JPEG encoder is our own too, so the committed splash does not
depend on the version of an external converter.

Files written:
  mainicon.ico            application icon: 16, 32, 48 and 256 px, each
                          32-bit BGRA with an AND mask (mask bit set where
                          alpha < 128, for painters that ignore alpha)
  trayicon.ico            normal tray icon: 16 x 16, 16 colours (4 bpp), and
                          32 x 32, 32-bit, for the tray at high DPI
  trayanim.ico            alternate tray image shown while blinking, the same
                          two sizes, amber instead of blue
  trayoff.ico             the tray icon while blocking is off, the same two
                          sizes, grey
  splash.jpg              411 x 309 baseline JPEG, 4:4:4
  glyph_<name>.bmp        16 x 16 24-bit button pictures, normal state
  glyph_<name>_disabled.bmp  the same picture in grey for a disabled button
                          (<name>: play, plus, disk, check)
  glyph_<name>_24.bmp, glyph_<name>_32.bmp (and _disabled)
                          the same pictures drawn at 24 and 32 pixels, for
                          buttons at 144 and 192 DPI
  listsel.bmp             237 x 20 24-bit wallpaper behind the selected item
                          of the sound list
  wizard.bmp              164 x 314 24-bit side picture of the setup's welcome
                          and finish pages at 96 DPI
  wizard_144.bmp          the same picture drawn at 245 x 458 for 144 DPI

Transparent key colour of the button glyphs: magenta, RGB (255, 0, 255).
A button paints every magenta pixel of its glyph as see-through, so no drawn
pixel is ever magenta. Anti-aliased edges are blended against the button
face colour (244, 244, 240) rather than against the key, so no pink fringe
shows on the face.
"""

import math
import os
import struct
import sys

KEY = (255, 0, 255)
BUTTON_FACE = (244, 244, 240)

# --------------------------------------------------------------------------
# Geometry


def cubic(p0, p1, p2, p3, n):
    """Points of a cubic Bezier curve, p0 excluded, p3 included."""
    pts = []
    for i in range(1, n + 1):
        t = i / n
        u = 1.0 - t
        a, b, c, d = u * u * u, 3 * u * u * t, 3 * u * t * t, t * t * t
        pts.append((a * p0[0] + b * p1[0] + c * p2[0] + d * p3[0],
                    a * p0[1] + b * p1[1] + c * p2[1] + d * p3[1]))
    return pts


def signed_area(poly):
    s = 0.0
    n = len(poly)
    for i in range(n):
        x0, y0 = poly[i]
        x1, y1 = poly[(i + 1) % n]
        s += x0 * y1 - x1 * y0
    return 0.5 * s


def oriented(poly, sign):
    """The polygon with its vertex order made positive (sign 1) or negative."""
    if signed_area(poly) * sign < 0:
        return list(reversed(poly))
    return list(poly)


def circle(cx, cy, r, n=None, phase=0.0):
    if n is None:
        n = max(12, min(96, int(2 * math.pi * r / 1.2)))
    return [(cx + r * math.cos(phase + 2 * math.pi * i / n),
             cy + r * math.sin(phase + 2 * math.pi * i / n)) for i in range(n)]


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def rounded_rect(x0, y0, x1, y1, r, n=8):
    pts = []
    corners = [(x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90),
               (x0 + r, y0 + r, 180)]
    for cx, cy, a0 in corners:
        for i in range(n + 1):
            a = math.radians(a0 + 90 * i / n)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def octagon(cx, cy, r):
    # Flat top and bottom, like a stop sign.
    return circle(cx, cy, r, 8, math.pi / 8)


def inset(poly, d):
    """Moves every edge of a convex polygon inwards by d (mitred corners)."""
    inward = 1.0 if signed_area(poly) > 0 else -1.0
    n = len(poly)
    normals = []
    for i in range(n):
        x0, y0 = poly[i]
        x1, y1 = poly[(i + 1) % n]
        ln = math.hypot(x1 - x0, y1 - y0) or 1.0
        normals.append((-(y1 - y0) / ln * inward, (x1 - x0) / ln * inward))
    out = []
    for i in range(n):
        n1 = normals[i - 1]
        n2 = normals[i]
        k = 1.0 + n1[0] * n2[0] + n1[1] * n2[1]
        out.append((poly[i][0] + d * (n1[0] + n2[0]) / k, poly[i][1] + d * (n1[1] + n2[1]) / k))
    return out


def transform(poly, sx, sy, ox, oy):
    return [(ox + x * sx, oy + y * sy) for x, y in poly]


def stroke(points, width, closed=False):
    """A polyline of the given width with round caps and joins, as polygons."""
    hw = width / 2.0
    polys = []
    pts = list(points)
    if closed:
        pts.append(pts[0])
    for i in range(len(pts) - 1):
        (x0, y0), (x1, y1) = pts[i], pts[i + 1]
        ln = math.hypot(x1 - x0, y1 - y0)
        if ln < 1e-9:
            continue
        nx, ny = -(y1 - y0) / ln * hw, (x1 - x0) / ln * hw
        polys.append([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny),
                      (x0 - nx, y0 - ny)])
    njoin = max(12, min(32, int(2 * math.pi * hw / 0.8)))
    for p in pts:
        polys.append(circle(p[0], p[1], hw, njoin))
    return polys


# --------------------------------------------------------------------------
# Rasteriser: non-zero winding polygon fill with exact horizontal coverage on
# 16 sub-scanlines per pixel row.


def coverage(w, h, polys, ss=16, keep_orientation=False):
    edges = []
    for poly in polys:
        if not keep_orientation:
            poly = oriented(poly, 1)
        n = len(poly)
        for k in range(n):
            x0, y0 = poly[k]
            x1, y1 = poly[(k + 1) % n]
            if y0 == y1:
                continue
            d = 1
            if y0 > y1:
                x0, y0, x1, y1, d = x1, y1, x0, y0, -1
            edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0), d))
    cov = [0.0] * (w * h)
    if not edges:
        return cov
    edges.sort()
    inv = 1.0 / ss
    active = []
    nxt = 0
    ymin = max(0, int(math.floor(edges[0][0])))
    ymax = min(h, int(math.ceil(max(e[1] for e in edges))))
    for py in range(ymin, ymax):
        while nxt < len(edges) and edges[nxt][0] < py + 1:
            active.append(edges[nxt])
            nxt += 1
        active = [e for e in active if e[1] > py]
        if not active:
            continue
        part = [0.0] * (w + 2)
        diff = [0.0] * (w + 2)
        for k in range(ss):
            sy = py + (k + 0.5) * inv
            xs = [(e[2] + (sy - e[0]) * e[3], e[4]) for e in active if e[0] <= sy < e[1]]
            if len(xs) < 2:
                continue
            xs.sort()
            wind = 0
            for j in range(len(xs) - 1):
                wind += xs[j][1]
                if wind == 0:
                    continue
                xa = min(max(xs[j][0], 0.0), float(w))
                xb = min(max(xs[j + 1][0], 0.0), float(w))
                if xb <= xa:
                    continue
                ia = int(xa)
                ib = int(xb)
                if ia == ib:
                    part[ia] += (xb - xa) * inv
                else:
                    part[ia] += (ia + 1 - xa) * inv
                    part[ib] += (xb - ib) * inv
                    diff[ia + 1] += inv
                    diff[ib] -= inv
        run = 0.0
        base = py * w
        for x in range(w):
            run += diff[x]
            c = part[x] + run
            if c > 1e-6:
                cov[base + x] = c if c < 1.0 else 1.0
    return cov


def multiply(a, b):
    return [x * y for x, y in zip(a, b)]


# --------------------------------------------------------------------------
# Canvas with straight (not premultiplied) alpha.


class Canvas:
    def __init__(self, w, h, fill=None):
        self.w = w
        self.h = h
        n = w * h
        if fill is None:
            self.r = [0.0] * n
            self.g = [0.0] * n
            self.b = [0.0] * n
            self.a = [0.0] * n
        else:
            self.r = [float(fill[0])] * n
            self.g = [float(fill[1])] * n
            self.b = [float(fill[2])] * n
            self.a = [1.0] * n

    def paint_cov(self, cov, paint, opacity=1.0):
        """Composites paint (a colour or a function of x, y) through cov."""
        w = self.w
        const = not callable(paint)
        if const:
            col = paint
        for i, c in enumerate(cov):
            if c <= 0.0:
                continue
            if not const:
                col = paint(i % w + 0.5, i // w + 0.5)
            sa = c * opacity * (col[3] if len(col) > 3 else 1.0)
            if sa <= 0.0:
                continue
            da = self.a[i]
            oa = sa + da * (1.0 - sa)
            k = da * (1.0 - sa)
            self.r[i] = (col[0] * sa + self.r[i] * k) / oa
            self.g[i] = (col[1] * sa + self.g[i] * k) / oa
            self.b[i] = (col[2] * sa + self.b[i] * k) / oa
            self.a[i] = oa

    def fill(self, polys, paint, opacity=1.0, clip=None):
        cov = coverage(self.w, self.h, polys)
        if clip is not None:
            cov = multiply(cov, clip)
        self.paint_cov(cov, paint, opacity)
        return cov

    def rgba8(self, i):
        def q(v):
            return max(0, min(255, int(math.floor(v + 0.5))))
        return q(self.r[i]), q(self.g[i]), q(self.b[i]), q(self.a[i] * 255.0)

    def rgb_on(self, bg, i):
        a = self.a[i]
        return tuple(max(0, min(255, int(math.floor(c * a + bg[k] * (1.0 - a) + 0.5))))
                     for k, c in enumerate((self.r[i], self.g[i], self.b[i])))


def lerp(c0, c1, t):
    t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def vgrad(c0, c1, y0, y1):
    return lambda x, y: lerp(c0, c1, (y - y0) / (y1 - y0))


def hexc(s):
    return (int(s[0:2], 16), int(s[2:4], 16), int(s[4:6], 16))


# --------------------------------------------------------------------------
# The shield motif, in a unit box (y down), drawn at any size.


def shield_outline():
    right = [(0.5, 0.05)]
    right += cubic((0.5, 0.05), (0.66, 0.05), (0.79, 0.09), (0.89, 0.15), 12)
    right += cubic((0.89, 0.15), (0.90, 0.60), (0.76, 0.82), (0.5, 0.97), 24)
    left = [(1.0 - x, y) for x, y in reversed(right[1:-1])]
    return right + left


def gate_arch(s, ox, oy):
    """The arched gateway opening in the middle of the shield."""
    cx, cy, r = 0.5, 0.43, 0.15
    pts = [(cx + r, 0.75)]
    for i in range(25):
        a = math.radians(-180.0 * i / 24)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    pts.append((cx - r, 0.75))
    return transform(pts, s, s, ox, oy)


# Colours of the shield: the normal blue, the amber of the blink image, and
# the grey of the "blocking off" image (its badge grey too).
SCHEMES = {
    "blue": dict(outline="0f2d66", light=("4d95ec", "2563c4"), dark=("2b6bd0", "163f8f"),
                 bars="1b4a9c", rim=("fafcff", "c6d4e8"), arch=("f0f6ff", "c4d6f0"), badge=True),
    "amber": dict(outline="5a2800", light=("ffd63c", "f0a828"), dark=("ec8e14", "b86a08"),
                  bars="8a4a00", rim=("fafcff", "c6d4e8"), arch=("f0f6ff", "c4d6f0"),
                  badge=True),
    "grey": dict(outline="464646", light=("bdbdbd", "9a9a9a"), dark=("9a9a9a", "767676"),
                 bars="6e6e6e", rim=("fafafa", "cccccc"), arch=("f2f2f2", "d0d0d0"),
                 badge=False),
}


def draw_shield(cv, ox, oy, s, detail=2, badge=True, glow=False, scheme="blue"):
    """Draws the shield with its gate and the red stop badge in the box
    (ox, oy, s, s). detail 2 draws the portcullis bars, 1 a simpler gate."""
    sc = SCHEMES[scheme]
    outline = transform(shield_outline(), s, s, ox, oy)
    navy = hexc(sc["outline"])
    if glow:
        for k in range(6, 0, -1):
            cv.fill([inset(outline, -k * s * 0.012)], (120, 180, 255), 0.05)
    # Soft shadow to the lower right.
    cv.fill([transform(shield_outline(), s, s, ox + s * 0.025, oy + s * 0.03)], (0, 10, 30),
            0.28)
    cv.fill([outline], navy)
    border = max(1.0, s * 0.03)
    rim = inset(outline, border)
    cv.fill([rim], vgrad(hexc(sc["rim"][0]), hexc(sc["rim"][1]), oy, oy + s))
    body = inset(rim, max(1.0, s * 0.055))
    light = vgrad(hexc(sc["light"][0]), hexc(sc["light"][1]), oy + 0.1 * s, oy + s)
    dark = vgrad(hexc(sc["dark"][0]), hexc(sc["dark"][1]), oy + 0.1 * s, oy + s)
    mid = ox + s * 0.5

    def two_tone(x, y):
        return light(x, y) if x < mid else dark(x, y)

    cv.fill([body], two_tone)
    # Gloss over the upper left of the body.
    body_cov = coverage(cv.w, cv.h, [body])
    gloss = transform(circle(0.18, -0.15, 0.62, 64), s, s, ox, oy)
    cv.fill([gloss], (255, 255, 255), 0.16, clip=body_cov)
    # Gate: pale arch with portcullis bars.
    arch = gate_arch(s, ox, oy)
    cv.fill([inset(arch, -max(0.8, s * 0.022))], navy, 0.55)
    arch_cov = cv.fill([arch], vgrad(hexc(sc["arch"][0]), hexc(sc["arch"][1]), oy + 0.28 * s,
                                     oy + 0.75 * s))
    bar = max(1.0, s * 0.034)
    bars = []
    xs = (0.41, 0.5, 0.59) if detail >= 2 else (0.44, 0.56)
    for x in xs:
        bars.append(rect(ox + x * s - bar / 2, oy, ox + x * s + bar / 2, oy + s))
    if detail >= 2:
        for y in (0.47, 0.60):
            bars.append(rect(ox, oy + y * s - bar / 2, ox + s, oy + y * s + bar / 2))
    cv.fill(bars, hexc(sc["bars"]), clip=arch_cov)
    if badge:
        draw_stop_badge(cv, ox + 0.75 * s, oy + 0.76 * s, 0.22 * s, sc["badge"])


def draw_stop_badge(cv, cx, cy, r, red=True):
    cv.fill([octagon(cx + r * 0.08, cy + r * 0.12, r)], (0, 0, 0), 0.30)
    cv.fill([octagon(cx, cy, r)], hexc("6e0a0e") if red else hexc("505050"))
    cv.fill([octagon(cx, cy, r - max(0.8, r * 0.07))], (255, 255, 255))
    inner = r - max(1.6, r * 0.22)
    top, bottom = ("f0474b", "b5161b") if red else ("a8a8a8", "787878")
    cv.fill([octagon(cx, cy, inner)], vgrad(hexc(top), hexc(bottom), cy - r, cy + r))
    bw, bh = inner * 0.62, max(1.0, inner * 0.17)
    cv.fill([rect(cx - bw, cy - bh, cx + bw, cy + bh)], (255, 255, 255))


# --------------------------------------------------------------------------
# 16 x 16 pixel maps for the tray icons and the smallest main icon: at this
# size hand-placed pixels read better than any scaled drawing.

TRAY_PALETTE = [
    (0, 0, 0),        # 0 transparent (black under the AND mask)
    (15, 45, 102),    # 1 K outline navy
    (255, 255, 255),  # 2 W white
    (77, 149, 236),   # 3 B light blue
    (30, 84, 172),    # 4 b dark blue
    (224, 40, 44),    # 5 R red
    (120, 12, 16),    # 6 r dark red
    (255, 214, 60),   # 7 Y amber light
    (236, 142, 20),   # 8 y amber dark
    (204, 216, 234),  # 9 G pale grey-blue (gate)
    (90, 40, 0),      # 10 D dark brown outline
    (70, 70, 70),     # 11 M grey outline
    (184, 184, 184),  # 12 L light grey
    (138, 138, 138),  # 13 l mid grey
    (230, 230, 230),  # 14 P pale grey (gate)
    (100, 100, 100),  # 15 m dark grey (badge rim)
]
TRAY_KEYS = ".KWBbRrYyGDMLlPm"

# The shield's outline, row by row: the first and last column of each row.
# The sides run straight down and then narrow to the point one pixel a row,
# a clean 45-degree edge; the outline touches the fill directly (a white rim
# only along the top), so no light pixels show on the slopes.
SHIELD_SPANS = [(1, 14)] * 9 + [(2, 13), (2, 13), (3, 12), (4, 11), (5, 10), (6, 9), (7, 8)]
# The gate (g: pale arch, |: bar) and the stop badge (o: rim, #: fill,
# =: bar), placed by their top-left corners.
GATE = ["..gggg..", ".gggggg.", ".g|gg|g.", ".g|gg|g.", ".g|gg|g.", ".g|gg|g.",
        ".g|gg|g."]
BADGE = [".oooo.", "o####o", "o====o", "o====o", "o####o", ".oooo."]

TRAY_SCHEMES = {
    # outline, rim, light body, dark body, gate, bars, badge rim, badge, badge bar
    "normal": "KWBbGbrRW",
    "blink": "DWYyGyrWR",
    "off": "MWLlPmmlW",
}


def tray_pixmap(scheme):
    """The 16 x 16 tray image of a colour scheme, as rows of TRAY_KEYS."""
    k, rim, light, dark, gate, bars, brim, badge, bar = TRAY_SCHEMES[scheme]
    grid = [["."] * 16 for _ in range(16)]
    for y, (x0, x1) in enumerate(SHIELD_SPANS):
        for x in range(x0, x1 + 1):
            if x in (x0, x1) or y == 0:
                grid[y][x] = k
            elif y == 1:
                grid[y][x] = rim
            else:
                grid[y][x] = light if x < 8 else dark
    # The point's last row is outline only.
    for x in range(SHIELD_SPANS[-1][0], SHIELD_SPANS[-1][1] + 1):
        grid[15][x] = k
    for dy, row in enumerate(GATE):
        for dx, ch in enumerate(row):
            if ch != ".":
                grid[3 + dy][4 + dx] = gate if ch == "g" else bars
    paint = {"o": brim, "#": badge, "=": bar}
    for dy, row in enumerate(BADGE):
        for dx, ch in enumerate(row):
            if ch != ".":
                grid[9 + dy][9 + dx] = paint[ch]
    return ["".join(row) for row in grid]


TRAY_NORMAL = tray_pixmap("normal")
TRAY_BLINK = tray_pixmap("blink")
TRAY_OFF = tray_pixmap("off")


def pixmap_indices(rows):
    assert len(rows) == 16 and all(len(r) == 16 for r in rows)
    return [TRAY_KEYS.index(ch) for row in rows for ch in row]


def pixmap_canvas(rows):
    cv = Canvas(16, 16)
    for i, idx in enumerate(pixmap_indices(rows)):
        if idx:
            cv.r[i], cv.g[i], cv.b[i] = map(float, TRAY_PALETTE[idx])
            cv.a[i] = 1.0
    return cv


# --------------------------------------------------------------------------
# Stroke font. Glyphs are centre lines in font units (y up, baseline 0,
# x-height 0.5, cap height 0.7); drawn with a pen of any width.

XH = 0.5
CAP = 0.7
ASC = 0.74
DESC = -0.2


def arc(cx, cy, rx, ry, a0, a1, step=6.0):
    n = max(2, int(abs(a1 - a0) / step) + 1)
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


def _glyphs():
    g = {}
    o = arc(0.26, 0.25, 0.26, 0.25, 0, 360)
    g["o"] = (0.52, [o])
    g["a"] = (0.50, [arc(0.25, 0.25, 0.25, 0.25, 0, 360), [(0.50, XH), (0.50, 0)]])
    g["b"] = (0.50, [[(0, ASC), (0, 0)], arc(0.25, 0.25, 0.25, 0.25, 0, 360)])
    g["c"] = (0.44, [arc(0.25, 0.25, 0.25, 0.25, 45, 315)])
    g["e"] = (0.50, [[(0.0, 0.25), (0.5, 0.25)] + arc(0.25, 0.25, 0.25, 0.25, 0, 318)[1:]])
    g["i"] = (0.0, [[(0, XH), (0, 0)], ("dot", 0.0, XH + 0.17)])
    g["k"] = (0.36, [[(0, ASC), (0, 0)], [(0.35, XH), (0.0, 0.16)], [(0.12, 0.25), (0.36, 0)]])
    g["l"] = (0.0, [[(0, ASC), (0, 0)]])
    g["m"] = (0.66, [[(0, XH), (0, 0)],
                     arc(0.165, 0.335, 0.165, 0.165, 180, 0) + [(0.33, 0)],
                     arc(0.495, 0.335, 0.165, 0.165, 180, 0) + [(0.66, 0)]])
    g["n"] = (0.42, [[(0, XH), (0, 0)], arc(0.21, 0.29, 0.21, 0.21, 180, 0) + [(0.42, 0)]])
    g["p"] = (0.50, [[(0, XH), (0, DESC)], arc(0.25, 0.25, 0.25, 0.25, 0, 360)])
    g["r"] = (0.27, [[(0, XH), (0, 0)], arc(0.22, 0.28, 0.22, 0.22, 180, 80)])
    g["s"] = (0.36, [arc(0.18, 0.372, 0.175, 0.128, 28, 270)
                     + arc(0.18, 0.128, 0.18, 0.128, 90, -152)[1:]])
    g["t"] = (0.26, [[(0.09, 0.68), (0.09, 0)], [(0.0, XH), (0.26, XH)]])
    g["u"] = (0.42, [[(0, XH)] + arc(0.21, 0.21, 0.21, 0.21, 180, 360), [(0.42, XH), (0.42, 0)]])
    g["v"] = (0.46, [[(0, XH), (0.23, 0), (0.46, XH)]])
    g["w"] = (0.68, [[(0, XH), (0.17, 0), (0.34, XH), (0.51, 0), (0.68, XH)]])
    g["B"] = (0.44, [[(0.24, 0.37), (0, 0.37), (0, CAP), (0.24, CAP)]
                     + arc(0.24, 0.535, 0.165, 0.165, 90, -90)[1:],
                     [(0, 0.37), (0.26, 0.37)] + arc(0.26, 0.185, 0.185, 0.185, 90, -90)[1:]
                     + [(0, 0)]])
    g["G"] = (0.70, [arc(0.35, 0.35, 0.35, 0.35, 42, 360) + [(0.42, 0.35)]])
    g["L"] = (0.40, [[(0, CAP), (0, 0), (0.40, 0)]])
    g["P"] = (0.43, [[(0, 0), (0, CAP), (0.25, CAP)] + arc(0.25, 0.52, 0.18, 0.18, 90, -90)[1:]
                     + [(0, 0.34)]])
    g["V"] = (0.60, [[(0, CAP), (0.30, 0), (0.60, CAP)]])
    g["3"] = (0.40, [arc(0.20, 0.525, 0.18, 0.175, 150, -90)
                     + arc(0.20, 0.175, 0.20, 0.175, 90, -150)[1:]])
    g[" "] = (0.20, [])
    return g


GLYPHS = _glyphs()
KERN = {("V", "e"): -0.07, ("V", "o"): -0.07, ("w", "i"): -0.02, ("t", "e"): -0.02,
        ("a", "t"): -0.02, ("L", "i"): -0.04}


def text_layout(s, size, pen, tracking=0.0):
    """Returns (pen strokes in font units as (x offset, glyph), total width px).
    size is the cap height in pixels."""
    scale = size / CAP
    x = 0.0
    placed = []
    prev = None
    for ch in s:
        adv, _ = GLYPHS[ch]
        if prev is not None:
            x += KERN.get((prev, ch), 0.0) + 0.11 + tracking + pen / scale
        placed.append((x, ch))
        x += adv
        prev = ch
    return placed, x * scale + pen


def text_width(s, size, pen, tracking=0.0):
    return text_layout(s, size, pen, tracking)[1]


def draw_text(cv, s, x, baseline, size, pen, paint, tracking=0.0, opacity=1.0):
    """Draws s with its left ink edge at x and its baseline at y = baseline."""
    scale = size / CAP
    placed, _ = text_layout(s, size, pen, tracking)
    polys = []
    ox = x + pen / 2
    for gx, ch in placed:
        for part in GLYPHS[ch][1]:
            if part and part[0] == "dot":
                polys.append(circle(ox + (gx + part[1]) * scale, baseline - part[2] * scale,
                                    pen * 0.62))
                continue
            pts = [(ox + (gx + px) * scale, baseline - py * scale) for px, py in part]
            polys.extend(stroke(pts, pen))
    cv.fill(polys, paint, opacity)


# --------------------------------------------------------------------------
# File writers


def bmp24(w, h, pixel):
    """A bottom-up 24-bit BMP; pixel(x, y) -> (r, g, b), y = 0 at the top."""
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - w * 3)
        rows.append(bytes(row))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + data


def and_mask(w, h, transparent):
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if transparent(x, y):
                row[x >> 3] |= 0x80 >> (x & 7)
        out += row
    return bytes(out)


def icon_image_32(cv):
    w, h = cv.w, cv.h
    px = [cv.rgba8(i) for i in range(w * h)]
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[y * w + x]
            if a == 0:
                r = g = b = 0
            xor += bytes((b, g, r, a))
    mask = and_mask(w, h, lambda x, y: px[y * w + x][3] < 128)
    info = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return (w, h, 0, 32, info + bytes(xor) + mask)


def icon_image_4(indices, palette):
    w = h = 16
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        row = indices[y * w:(y + 1) * w]
        for x in range(0, w, 2):
            xor.append((row[x] << 4) | row[x + 1])
    mask = and_mask(w, h, lambda x, y: indices[y * w + x] == 0)
    info = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return (w, h, 16, 4, info + pal + bytes(xor) + mask)


def ico(images):
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    blobs = b""
    for w, h, colours, bpp, data in images:
        entries += struct.pack("<BBBBHHII", w & 0xFF, h & 0xFF, colours, 0, 1, bpp, len(data),
                               offset)
        offset += len(data)
        blobs += data
    return head + entries + blobs


# Baseline JPEG encoder (sequential DCT, Huffman, 8-bit, 4:4:4).

ZIGZAG = sorted(((r, c) for r in range(8) for c in range(8)),
                key=lambda rc: (rc[0] + rc[1], rc[0] if (rc[0] + rc[1]) % 2 else -rc[0]))
ZIGZAG = [r * 8 + c for r, c in ZIGZAG]

Q_LUMA = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
          14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
          18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
          49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
Q_CHROMA = [17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
            24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32

# The usual luminance tables (JPEG Annex K.3), used for all three components.
DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_VALS = list(range(12))
AC_BITS = [0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D]
AC_VALS = [
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52,
    0xD1, 0xF0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x63, 0x64,
    0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9A, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6,
    0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3,
    0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8,
    0xE9, 0xEA, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA]


def huffman_codes(bits, vals):
    codes = {}
    code = 0
    k = 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, code, length):
        self.acc = (self.acc << length) | (code & ((1 << length) - 1))
        self.n += length
        while self.n >= 8:
            self.n -= 8
            byte = (self.acc >> self.n) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
        self.acc &= (1 << self.n) - 1

    def flush(self):
        if self.n:
            self.put((1 << (8 - self.n)) - 1, 8 - self.n)


def jpeg(w, h, pixel, quality=92):
    assert sum(AC_BITS) == len(AC_VALS) == 162
    assert sorted(AC_VALS) == sorted([0x00, 0xF0] + [(r << 4) | s for r in range(16)
                                                      for s in range(1, 11)])
    scale = 200 - 2 * quality if quality >= 50 else 5000 // quality

    def qtable(base):
        return [max(1, min(255, (b * scale + 50) // 100)) for b in base]

    qts = [qtable(Q_LUMA), qtable(Q_CHROMA)]
    cosm = [[(math.sqrt(0.125) if k == 0 else 0.5) * math.cos((2 * n + 1) * k * math.pi / 16)
             for n in range(8)] for k in range(8)]
    dc_codes = huffman_codes(DC_BITS, DC_VALS)
    ac_codes = huffman_codes(AC_BITS, AC_VALS)
    pw, ph = (w + 7) // 8 * 8, (h + 7) // 8 * 8
    planes = [[0.0] * (pw * ph) for _ in range(3)]
    for y in range(ph):
        for x in range(pw):
            r, g, b = pixel(min(x, w - 1), min(y, h - 1))
            i = y * pw + x
            planes[0][i] = 0.299 * r + 0.587 * g + 0.114 * b - 128.0
            planes[1][i] = -0.168736 * r - 0.331264 * g + 0.5 * b
            planes[2][i] = 0.5 * r - 0.418688 * g - 0.081312 * b
    bw = BitWriter()
    pred = [0, 0, 0]

    def encode_value(v):
        a = abs(v)
        size = a.bit_length()
        bits = v if v >= 0 else v + (1 << size) - 1
        return size, bits

    for by in range(0, ph, 8):
        for bx in range(0, pw, 8):
            for comp in range(3):
                p = planes[comp]
                blk = [p[(by + r) * pw + bx:(by + r) * pw + bx + 8] for r in range(8)]
                tmp = [[sum(cosm[u][n] * blk[r][n] for n in range(8)) for u in range(8)]
                       for r in range(8)]
                coef = [sum(cosm[v][r] * tmp[r][u] for r in range(8))
                        for v in range(8) for u in range(8)]
                qt = qts[0 if comp == 0 else 1]
                zz = []
                for k in range(64):
                    idx = ZIGZAG[k]
                    zz.append(int(math.floor(coef[idx] / qt[idx] + 0.5)))
                diff = zz[0] - pred[comp]
                pred[comp] = zz[0]
                size, bits = encode_value(diff)
                bw.put(*dc_codes[size])
                if size:
                    bw.put(bits, size)
                run = 0
                for k in range(1, 64):
                    v = zz[k]
                    if v == 0:
                        run += 1
                        continue
                    while run > 15:
                        bw.put(*ac_codes[0xF0])
                        run -= 16
                    size, bits = encode_value(v)
                    bw.put(*ac_codes[(run << 4) | size])
                    bw.put(bits, size)
                    run = 0
                if run:
                    bw.put(*ac_codes[0x00])
    bw.flush()

    def segment(marker, payload):
        return struct.pack(">HH", marker, len(payload) + 2) + payload

    out = b"\xFF\xD8"
    out += segment(0xFFE0, b"JFIF\0" + struct.pack(">BBBHHBB", 1, 1, 0, 1, 1, 0, 0))
    for tid, qt in enumerate(qts):
        out += segment(0xFFDB, bytes([tid]) + bytes(qt[ZIGZAG[k]] for k in range(64)))
    out += segment(0xFFC0, struct.pack(">BHHB", 8, h, w, 3)
                   + bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1]))
    out += segment(0xFFC4, bytes([0x00] + DC_BITS + DC_VALS))
    out += segment(0xFFC4, bytes([0x10] + AC_BITS + AC_VALS))
    out += segment(0xFFDA, bytes([3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0]))
    out += bytes(bw.out) + b"\xFF\xD9"
    return out


# --------------------------------------------------------------------------
# The pictures


def main_icon():
    images = [icon_image_32(pixmap_canvas(TRAY_NORMAL))]
    for s, detail in ((32, 1), (48, 2), (256, 2)):
        cv = Canvas(s, s)
        # The shield sits slightly left so the badge fits inside the square.
        draw_shield(cv, -0.02 * s, 0.0, s * 0.98, detail)
        images.append(icon_image_32(cv))
    return ico(images)


def tray_icon(scheme):
    """The 16 x 16 pixel map (16 colours) and a drawn 32 x 32 image for the
    tray at high DPI."""
    shield = {"normal": "blue", "blink": "amber", "off": "grey"}[scheme]
    big = Canvas(32, 32)
    draw_shield(big, -0.02 * 32, 0.0, 32 * 0.98, 1, scheme=shield)
    return ico([icon_image_4(pixmap_indices(tray_pixmap(scheme)), TRAY_PALETTE),
                icon_image_32(big)])


def splash():
    W, H = 411, 309
    top, bottom = hexc("0a1c40"), hexc("1a56a6")

    def background(x, y):
        t = (y / H) * 0.75 + (x / W) * 0.25
        c = lerp(top, bottom, t)
        # A soft light behind the shield.
        d2 = ((x - 97) ** 2 + (y - 133) ** 2) / (150.0 ** 2)
        k = 0.22 * math.exp(-d2 * 2.2)
        return lerp(c, (120, 180, 255), k)

    cv = Canvas(W, H, (0, 0, 0))
    cv.paint_cov([1.0] * (W * H), background)
    # Faint concentric arcs for depth.
    for i, r in enumerate((170, 215, 260, 305)):
        cv.fill(stroke(arc(97, 133, r, r, -70, 70, 2.0), 1.2), (150, 195, 255), 0.07 - 0.012 * i)
    # Footer band.
    cv.fill([rect(0, 262, W, H)], (3, 12, 32), 0.45)
    cv.fill([rect(0, 262, W, 263)], (130, 175, 240), 0.45)

    draw_shield(cv, 22, 58, 150, 2, glow=True)

    x0 = 186
    draw_text(cv, "Velmora", x0 + 1, 100, 18, 2.5, (170, 203, 246), tracking=0.07)
    draw_text(cv, "Gatewick", x0, 143, 28, 4.3, (255, 255, 255))
    gw = text_width("Gatewick", 28, 4.3)
    # "Lite" in a red badge under the name, right-aligned with it.
    lw = text_width("Lite", 16, 2.9, 0.04)
    bx1 = x0 + gw
    bx0 = bx1 - lw - 22
    cv.fill([rounded_rect(bx0 + 1, 159, bx1 + 1, 187, 6)], (0, 0, 0), 0.3)
    cv.fill([rounded_rect(bx0, 157, bx1, 185, 6)], vgrad(hexc("ee4046"), hexc("b3171c"), 157, 185))
    draw_text(cv, "Lite", bx0 + 11, 179, 16, 2.9, (255, 255, 255), tracking=0.04)
    # A thin rule and the tagline.
    cv.fill([rect(x0, 203, x0 + gw, 204)], (140, 185, 245), 0.5)
    draw_text(cv, "Popup Blocker", x0 + 1, 227, 11, 1.8, (196, 218, 248), tracking=0.05)
    vw = text_width("Version 3", 11, 1.8, 0.05)
    draw_text(cv, "Version 3", W - 18 - vw, 292, 11, 1.8, (200, 220, 250), tracking=0.05)
    # Three start-up dots in the footer.
    for i, a in enumerate((0.9, 0.6, 0.35)):
        cv.fill([circle(24 + i * 12, 286, 2.6, 16)], (150, 200, 255), a)
    return jpeg(W, H, lambda x, y: cv.rgba8(y * W + x)[:3])


# The setup's side picture: its control is 109 x 193 dialog units, 164 x 314
# pixels at 96 DPI and 245 x 458 at 144 DPI (the dialog font's height does not
# grow by exactly half). Drawn anew at each size rather than scaled, so both stay
# sharp; the setup picks the one that matches the screen.
WIZARD_SIZES = {96: (164, 314), 144: (245, 458)}


def wizard(dpi):
    W, H = WIZARD_SIZES[dpi]
    k = W / 164.0
    top, bottom = hexc("0a1c40"), hexc("1a56a6")
    cx, cy = 82 * k, 112 * k

    def background(x, y):
        c = lerp(top, bottom, y / H)
        d2 = ((x - cx) ** 2 + (y - cy) ** 2) / ((110.0 * k) ** 2)
        return lerp(c, (120, 180, 255), 0.22 * math.exp(-d2 * 2.2))

    cv = Canvas(W, H, (0, 0, 0))
    cv.paint_cov([1.0] * (W * H), background)
    for i, r in enumerate((120, 150, 180)):
        cv.fill(stroke(arc(cx, cy, r * k, r * k, 200, 340, 2.0), 1.2 * k), (150, 195, 255),
                0.07 - 0.015 * i)
    s = 112 * k
    draw_shield(cv, cx - s / 2, cy - s * 0.48, s, 2, glow=True)
    name = "Gatewick"
    nw = text_width(name, 20 * k, 3.1 * k)
    vw = text_width("Velmora", 12 * k, 1.8 * k, 0.07)
    draw_text(cv, "Velmora", (W - vw) / 2, 206 * k, 12 * k, 1.8 * k, (170, 203, 246),
              tracking=0.07)
    draw_text(cv, name, (W - nw) / 2, 236 * k, 20 * k, 3.1 * k, (255, 255, 255))
    lw = text_width("Lite", 12 * k, 2.2 * k, 0.04)
    bx0, bx1 = (W - lw) / 2 - 9 * k, (W + lw) / 2 + 9 * k
    cv.fill([rounded_rect(bx0, 248 * k, bx1, 270 * k, 5 * k)],
            vgrad(hexc("ee4046"), hexc("b3171c"), 248 * k, 270 * k))
    draw_text(cv, "Lite", (W - lw) / 2, 265 * k, 12 * k, 2.2 * k, (255, 255, 255),
              tracking=0.04)
    return bmp24(W, H, lambda x, y: cv.rgba8(y * W + x)[:3])


class ScaledCanvas:
    """A canvas drawn in the glyphs' 16-unit coordinates at another size."""

    def __init__(self, cv, k):
        self.cv = cv
        self.k = k

    def fill(self, polys, paint, opacity=1.0, clip=None):
        k = self.k
        scaled = [[(x * k, y * k) for x, y in poly] for poly in polys]
        if callable(paint):
            inner = paint

            def paint(x, y):
                return inner(x / k, y / k)
        return self.cv.fill(scaled, paint, opacity, clip)


GLYPH_SIZES = (16, 24, 32)


def glyph_pair(draw, size=16):
    """Renders a glyph in colour and in grey at size x size pixels; returns
    two BMP files. The pictures are drawn, not scaled, at each size."""
    out = []
    for grey in (False, True):
        def paint(c, grey=grey):
            if not grey:
                return c
            if callable(c):
                return lambda x, y: paint(c(x, y))
            lum = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]
            v = 112.0 + 0.42 * lum
            return (v, v, v)
        cv = Canvas(size, size)
        draw(ScaledCanvas(cv, size / 16.0), paint)

        def pixel(x, y, cv=cv):
            i = y * size + x
            if cv.a[i] < 0.22:
                return KEY
            rgb = cv.rgb_on(BUTTON_FACE, i)
            assert rgb != KEY
            return rgb
        out.append(bmp24(size, size, pixel))
    return out


DARK_BLUE = hexc("1b4a9c")
BLUE_TOP = hexc("63a4f2")
BLUE_BOTTOM = hexc("2766cc")


def draw_play(cv, p):
    tri = [(4.0, 1.5), (4.0, 14.5), (13.5, 8.0)]
    cv.fill([tri], p(DARK_BLUE))
    cv.fill([inset(tri, 1.15)], p(vgrad(BLUE_TOP, BLUE_BOTTOM, 2, 14)))


def draw_plus(cv, p):
    cv.fill([rect(6, 1, 10, 15), rect(1, 6, 15, 10)], p(DARK_BLUE))
    cv.fill([rect(7, 2, 9, 14), rect(2, 7, 14, 9)], p(vgrad(BLUE_TOP, BLUE_BOTTOM, 2, 14)))


def draw_disk(cv, p):
    body = [(1, 1), (13, 1), (15, 3), (15, 15), (1, 15)]
    cv.fill([body], p(DARK_BLUE))
    cv.fill([[(2, 2), (12.6, 2), (14, 3.4), (14, 14), (2, 14)]],
            p(vgrad(BLUE_TOP, BLUE_BOTTOM, 2, 14)))
    cv.fill([rect(4, 1, 12, 6)], p(hexc("dfe6f0")))
    cv.fill([rect(9, 2, 11, 5)], p(DARK_BLUE))
    cv.fill([rect(3, 8, 13, 15)], p((252, 252, 250)))
    cv.fill([rect(4, 10, 12, 11), rect(4, 12, 12, 13)], p(hexc("9fb4d4")))


def draw_check(cv, p):
    pts = [(2.6, 8.2), (6.1, 11.7), (13.2, 4.0)]
    cv.fill(stroke(pts, 3.9), p(hexc("1c6b26")))
    cv.fill(stroke(pts, 2.0), p(vgrad(hexc("6fdc6f"), hexc("2f9e3c"), 3, 13)))


def list_selection():
    w, h = 237, 20
    top, bottom = (246, 250, 255), (206, 223, 247)
    border = (140, 170, 220)

    def pixel(x, y):
        if x == 0 or y == 0 or x == w - 1 or y == h - 1:
            return border
        if y == 1:
            return (255, 255, 255)
        c = lerp(top, bottom, (y - 1) / (h - 3))
        return tuple(int(math.floor(v + 0.5)) for v in c)

    return bmp24(w, h, pixel)


def build():
    files = {
        "mainicon.ico": main_icon(),
        "trayicon.ico": tray_icon("normal"),
        "trayanim.ico": tray_icon("blink"),
        "trayoff.ico": tray_icon("off"),
        "listsel.bmp": list_selection(),
    }
    for name, draw in (("play", draw_play), ("plus", draw_plus), ("disk", draw_disk),
                       ("check", draw_check)):
        for size in GLYPH_SIZES:
            normal, disabled = glyph_pair(draw, size)
            suffix = "" if size == 16 else "_%d" % size
            files["glyph_%s%s.bmp" % (name, suffix)] = normal
            files["glyph_%s%s_disabled.bmp" % (name, suffix)] = disabled
    files["splash.jpg"] = splash()
    files["wizard.bmp"] = wizard(96)
    files["wizard_144.bmp"] = wizard(144)
    return files


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "resources", "art")
    os.makedirs(outdir, exist_ok=True)
    for name, data in sorted(build().items()):
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
        print("%-28s %7d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
