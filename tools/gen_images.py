#!/usr/bin/env python3
"""Draws the checker's icons and bitmaps: the application icon, the tray
states, the account states, the message marks, the toolbar strips, the sort
arrows and the first-run pictures.

Every picture is drawn from the shapes below for each pixel size it is shipped
in, so that edges land on pixel boundaries at every size, and is anti-aliased
by exact horizontal coverage and sixteen sub-rows per pixel row.

usage: gen_images.py OUTDIR          write every .ico and .bmp into OUTDIR
       gen_images.py --list          print the file names it writes
       gen_images.py --preview PNG [icons|toolbar|other]
                                     write an enlarged contact sheet to look at

Icons are multi-size .ico files with 32-bit images with straight (not
premultiplied) alpha and a matching AND mask. Bitmaps are bottom-up 32-bit
BI_RGB BMPs with straight alpha in the fourth byte, one file per size.
"""
import math
import os
import struct
import sys
import zlib

SUB = 16                       # sub-rows per pixel row
SMALL = (16, 20, 24, 32)       # 100 %, 125 %, 150 %, 200 %
LARGE = SMALL + (40, 48, 64)   # icons also shown at the large-icon size


# --- rasteriser --------------------------------------------------------------

def _span(cov, base, w, a, b, weight):
    a = max(a, 0.0)
    b = min(b, float(w))
    if b <= a:
        return
    ia, ib = int(a), int(b)
    if ia == ib:
        cov[base + ia] += (b - a) * weight
        return
    cov[base + ia] += (ia + 1 - a) * weight
    for i in range(ia + 1, ib):
        cov[base + i] += weight
    if ib < w:
        cov[base + ib] += (b - ib) * weight


def coverage(contours, w, h):
    """Fraction of each pixel covered by the contours (non-zero winding)."""
    rows = {}
    for c in contours:
        n = len(c)
        for i in range(n):
            x0, y0 = c[i]
            x1, y1 = c[(i + 1) % n]
            if y0 == y1:
                continue
            d = 1
            if y0 > y1:
                x0, y0, x1, y1, d = x1, y1, x0, y0, -1
            k0 = max(0, math.ceil(y0 * SUB - 0.5))
            k1 = min(h * SUB, math.ceil(y1 * SUB - 0.5))
            slope = (x1 - x0) / (y1 - y0)
            for k in range(k0, k1):
                y = (k + 0.5) / SUB
                rows.setdefault(k, []).append((x0 + (y - y0) * slope, d))
    cov = [0.0] * (w * h)
    weight = 1.0 / SUB
    for k, xs in rows.items():
        xs.sort()
        base = (k // SUB) * w
        wind = 0
        for i in range(len(xs) - 1):
            wind += xs[i][1]
            if wind:
                _span(cov, base, w, xs[i][0], xs[i + 1][0], weight)
    return cov


class Canvas:
    """An RGBA picture kept premultiplied in floats while it is drawn."""

    def __init__(self, w, h=None):
        self.w = w
        self.h = h if h is not None else w
        self.s = min(self.w, self.h)
        self.u = self.s / 16.0
        self.px = [0.0] * (self.w * self.h * 4)

    def p(self, v):
        """A design coordinate on the 16-unit grid, snapped to a pixel edge."""
        return float(int(v * self.u + 0.5))

    def line_width(self, units=1.0):
        return float(max(1, int(units * self.u + 0.3)))

    def fill(self, contours, color, clip=None, opacity=1.0):
        cov = coverage(contours, self.w, self.h)
        if clip is not None:
            ccov = coverage(clip, self.w, self.h)
            cov = [a * b for a, b in zip(cov, ccov)]
        px, w = self.px, self.w
        for i, c in enumerate(cov):
            if c <= 0.0:
                continue
            c = min(c, 1.0) * opacity
            if callable(color):
                r, g, b, a = color(i % w + 0.5, i // w + 0.5)
            else:
                r, g, b, a = color if len(color) == 4 else (*color, 255)
            sa = a / 255.0 * c
            j = i * 4
            k = 1.0 - sa
            px[j] = r / 255.0 * sa + px[j] * k
            px[j + 1] = g / 255.0 * sa + px[j + 1] * k
            px[j + 2] = b / 255.0 * sa + px[j + 2] * k
            px[j + 3] = sa + px[j + 3] * k

    def erase(self, contours):
        """Cuts the contours out of what is drawn (a transparent gap)."""
        cov = coverage(contours, self.w, self.h)
        px = self.px
        for i, c in enumerate(cov):
            if c > 0.0:
                k = max(0.0, 1.0 - c)
                for j in range(i * 4, i * 4 + 4):
                    px[j] *= k

    def blit(self, other, x, y):
        """Draws another canvas over this one at whole-pixel offset (x, y)."""
        for yy in range(other.h):
            ty = y + yy
            if not 0 <= ty < self.h:
                continue
            for xx in range(other.w):
                tx = x + xx
                if not 0 <= tx < self.w:
                    continue
                i = (yy * other.w + xx) * 4
                j = (ty * self.w + tx) * 4
                sa = other.px[i + 3]
                if sa <= 0.0:
                    continue
                k = 1.0 - sa
                for n in range(4):
                    self.px[j + n] = other.px[i + n] + self.px[j + n] * k

    def map_pixels(self, fn):
        """Rewrites every pixel through fn(r, g, b, a) in straight 0..1 values."""
        px = self.px
        for j in range(0, len(px), 4):
            a = px[j + 3]
            if a <= 0.0:
                continue
            r, g, b, a = fn(px[j] / a, px[j + 1] / a, px[j + 2] / a, a)
            px[j], px[j + 1], px[j + 2], px[j + 3] = r * a, g * a, b * a, a

    def rgba(self):
        """Straight-alpha 8-bit rows, top row first: [(r, g, b, a), ...]."""
        out = []
        px = self.px
        for y in range(self.h):
            row = []
            for x in range(self.w):
                j = (y * self.w + x) * 4
                a = min(1.0, px[j + 3])
                if a <= 0.0:
                    row.append((0, 0, 0, 0))
                    continue
                row.append(tuple(min(255, int(px[j + n] / a * 255.0 + 0.5)) for n in range(3))
                           + (int(a * 255.0 + 0.5),))
            out.append(row)
        return out


# --- shapes (lists of contours; every contour wound the same way) ------------

def _area(c):
    return sum(c[i][0] * c[(i + 1) % len(c)][1] - c[(i + 1) % len(c)][0] * c[i][1]
               for i in range(len(c)))


def poly(*pts):
    c = list(pts)
    return [c if _area(c) >= 0 else c[::-1]]


def hole(shape):
    """The shape wound the other way: inside another shape it cuts a hole."""
    return [c[::-1] for c in shape]


def rect(x0, y0, x1, y1):
    return poly((x0, y0), (x1, y0), (x1, y1), (x0, y1))


def ellipse(cx, cy, rx, ry=None, a0=0.0, a1=2 * math.pi):
    ry = rx if ry is None else ry
    n = max(24, int(max(rx, ry) * 10))
    return poly(*[(cx + rx * math.cos(a0 + (a1 - a0) * i / n), cy + ry * math.sin(a0 + (a1 - a0) * i / n))
                  for i in range(n)])


def rrect(x0, y0, x1, y1, r):
    if r <= 0:
        return rect(x0, y0, x1, y1)
    pts = []
    for cx, cy, a in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)):
        for i in range(7):
            t = math.radians(a + 15 * i)
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return poly(*pts)


def arc_points(cx, cy, r, a0, a1, n=None):
    """Points of an arc; angles in degrees, clockwise on screen (y down)."""
    n = n or max(8, int(abs(a1 - a0) / 8))
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


def stroke(pts, width, cap="butt", join="miter", closed=False):
    """A polyline of the given width: segment quads joined by miters or discs."""
    h = width / 2.0
    out = []
    pts = list(pts) + ([pts[0]] if closed else [])
    segs = []
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        ln = math.hypot(x1 - x0, y1 - y0)
        if ln == 0:
            continue
        segs.append(((x0, y0), (x1, y1), ((x1 - x0) / ln, (y1 - y0) / ln)))
    for i, ((x0, y0), (x1, y1), (dx, dy)) in enumerate(segs):
        nx, ny = -dy * h, dx * h
        ex0 = ex1 = 0.0
        if cap == "square" and not closed:
            ex0 = h if i == 0 else 0.0
            ex1 = h if i == len(segs) - 1 else 0.0
        ax, ay = x0 - dx * ex0, y0 - dy * ex0
        bx, by = x1 + dx * ex1, y1 + dy * ex1
        out += poly((ax + nx, ay + ny), (bx + nx, by + ny), (bx - nx, by - ny), (ax - nx, ay - ny))
    joints = list(zip(segs, segs[1:])) + ([(segs[-1], segs[0])] if closed else [])
    for (_, p, d1), (_, _, d2) in joints:
        cross = d1[0] * d2[1] - d1[1] * d2[0]
        if abs(cross) < 1e-9:
            continue
        if join == "round":
            out += ellipse(p[0], p[1], h)
            continue
        side = -1.0 if cross > 0 else 1.0
        a = (p[0] - d1[1] * h * side, p[1] + d1[0] * h * side)
        b = (p[0] - d2[1] * h * side, p[1] + d2[0] * h * side)
        # Meet of the two outer edges: a + t*d1 = b - u*d2.
        det = d1[0] * (-d2[1]) + d1[1] * d2[0]
        t = ((b[0] - a[0]) * (-d2[1]) + (b[1] - a[1]) * d2[0]) / det
        m = (a[0] + t * d1[0], a[1] + t * d1[1])
        if math.hypot(m[0] - p[0], m[1] - p[1]) > 3 * h:
            out += poly(p, a, b)
        else:
            out += poly(p, a, m, b)
    if cap == "round" and not closed and segs:
        out += ellipse(segs[0][0][0], segs[0][0][1], h)
        out += ellipse(segs[-1][1][0], segs[-1][1][1], h)
    return out


def transform(shape, fn):
    return [c if _area(c) >= 0 else c[::-1] for c in ([fn(x, y) for x, y in c] for c in shape)]


def rotate(shape, cx, cy, degrees):
    t = math.radians(degrees)
    cs, sn = math.cos(t), math.sin(t)
    return transform(shape, lambda x, y: (cx + (x - cx) * cs - (y - cy) * sn, cy + (x - cx) * sn + (y - cy) * cs))


def vgrad(top, bottom, y0, y1):
    """A vertical gradient between two colours over the rows y0..y1."""
    top = top if len(top) == 4 else (*top, 255)
    bottom = bottom if len(bottom) == 4 else (*bottom, 255)

    def color(x, y):
        t = 0.0 if y1 <= y0 else min(1.0, max(0.0, (y - y0) / (y1 - y0)))
        return tuple(int(a + (b - a) * t + 0.5) for a, b in zip(top, bottom))
    return color


def radial(inner, outer, cx, cy, r):
    inner = inner if len(inner) == 4 else (*inner, 255)
    outer = outer if len(outer) == 4 else (*outer, 255)

    def color(x, y):
        t = min(1.0, math.hypot(x - cx, y - cy) / r)
        return tuple(int(a + (b - a) * t + 0.5) for a, b in zip(inner, outer))
    return color


# --- palette -----------------------------------------------------------------

WHITE = (255, 255, 255)
INK = (52, 84, 130)            # envelope outline
PAPER_TOP = (255, 255, 255)
PAPER_BOTTOM = (222, 231, 243)
FLAP = (96, 128, 172)
RED = (214, 46, 46)
RED_DARK = (150, 24, 24)
BLUE = (34, 112, 214)
BLUE_DARK = (18, 66, 150)
AMBER = (232, 160, 20)
AMBER_DARK = (168, 104, 0)
GREEN = (46, 164, 70)
GREEN_DARK = (20, 110, 40)
GREY = (132, 136, 142)
GREY_DARK = (88, 92, 98)
GOLD = (236, 188, 40)
GOLD_DARK = (160, 116, 10)


# --- common parts ------------------------------------------------------------

def envelope(c, x0, y0, x1, y1, ink=INK, top=PAPER_TOP, bottom=PAPER_BOTTOM, flap=FLAP):
    """A closed envelope filling the pixel box (x0, y0)-(x1, y1)."""
    lw = c.line_width()
    r = lw if c.s >= 24 else 0.0
    c.fill(rrect(x0, y0, x1, y1, r), ink)
    inner = rrect(x0 + lw, y0 + lw, x1 - lw, y1 - lw, max(0.0, r - lw))
    c.fill(inner, vgrad(top, bottom, y0, y1))
    mid = (x0 + x1) / 2.0
    fy = y0 + (y1 - y0) * 0.56
    c.fill(stroke([(x0, y0 + lw / 2), (mid, fy), (x1, y0 + lw / 2)], lw * (1.15 if c.s < 24 else 1.0)),
           flap, clip=inner)


def icon_envelope(c, **colors):
    """The envelope of the tray and account icons, centred in the square."""
    x0 = c.p(1)
    y0 = c.p(3)
    envelope(c, x0, y0, c.s - x0, c.p(13), **colors)


def emblem_box(c):
    """Centre and radius of the state emblem at the lower right corner."""
    d = int(c.s * 0.5) + 1
    r = d / 2.0
    return c.s - r, c.s - r, r


def emblem_disc(c, fill, rim):
    """A disc at the lower right, cut free of what lies under it."""
    cx, cy, r = emblem_box(c)
    gap = c.line_width()
    c.erase(ellipse(cx, cy, r + gap))
    c.fill(ellipse(cx, cy, r), rim)
    c.fill(ellipse(cx, cy, r - max(1.0, r * 0.16)), radial(tuple(min(255, v + 40) for v in fill), fill, cx - r * 0.3, cy - r * 0.3, r * 1.4))
    return cx, cy, r


def cross_shape(cx, cy, k, w):
    return stroke([(cx - k, cy - k), (cx + k, cy + k)], w) + stroke([(cx + k, cy - k), (cx - k, cy + k)], w)


def emblem_error(c):
    cx, cy, r = emblem_disc(c, RED, RED_DARK)
    c.fill(cross_shape(cx, cy, r * 0.40, max(1.4, r * 0.36)), WHITE)


def emblem_checking(c, fill=BLUE, rim=BLUE_DARK):
    """Mail coming in: a white arrow pointing down, its shaft on whole pixels."""
    cx, cy, r = emblem_disc(c, fill, rim)
    d = int(2 * r)
    w = 1.0 if d <= 11 else 2 * round(d * 0.1) + 1.0
    head_y = math.floor(cy)
    half = r * 0.56
    c.fill(rect(cx - w / 2.0, cy - r * 0.62, cx + w / 2.0, head_y + 0.5)
           + poly((cx - half, head_y), (cx + half, head_y), (cx, cy + r * 0.62)), WHITE)


def desaturate(c, lighten=0.35, alpha=0.75):
    def fn(r, g, b, a):
        v = 0.30 * r + 0.59 * g + 0.11 * b
        v = v + (1.0 - v) * lighten
        return v, v, v, a * alpha
    c.map_pixels(fn)


# --- icons -------------------------------------------------------------------

def draw_app(c):
    s = c.s
    m = c.p(0.5) if s >= 24 else 0.0
    tile = rrect(m, m, s - m, s - m, s * 0.2)
    c.fill(tile, vgrad((70, 150, 240), (22, 78, 170), 0, s))
    lw = c.line_width()
    c.fill(rrect(m + lw, m + lw, s - m - lw, s - m - lw, s * 0.2 - lw), (255, 255, 255, 40),
           clip=rect(0, 0, s, s / 2.0))
    x0 = c.p(3)
    envelope(c, x0, c.p(4.5), s - x0, c.p(11.5), ink=(16, 58, 128), flap=(60, 100, 170))


def draw_tray_normal(c):
    icon_envelope(c)


def draw_tray_flash(c):
    s = c.s
    c.fill(ellipse(s / 2.0, s / 2.0, s * 0.5), radial((255, 236, 120, 230), (255, 210, 40, 0), s / 2.0, s / 2.0, s * 0.5))
    icon_envelope(c, ink=(150, 96, 0), top=(255, 252, 214), bottom=(255, 226, 110), flap=(196, 132, 10))


def draw_tray_error(c):
    icon_envelope(c)
    emblem_error(c)


def draw_tray_check(c):
    icon_envelope(c)
    emblem_checking(c)


def draw_tray_check_error(c):
    icon_envelope(c)
    emblem_checking(c, AMBER, AMBER_DARK)


def draw_acct_idle(c):
    icon_envelope(c)


def draw_acct_checking(c):
    icon_envelope(c)
    emblem_checking(c)


def draw_acct_failed(c):
    icon_envelope(c)
    emblem_error(c)


def draw_acct_disabled(c):
    icon_envelope(c)
    desaturate(c)
    cx, cy, r = emblem_disc(c, GREY, GREY_DARK)
    c.fill(rect(cx - r * 0.5, cy - max(0.75, r * 0.17), cx + r * 0.5, cy + max(0.75, r * 0.17)), WHITE)


def draw_mark_deleted(c):
    s = c.s
    k = s * 0.30
    c.fill(cross_shape(s / 2.0, s / 2.0, k, c.s * 0.19 + 0.6), RED_DARK)
    c.fill(cross_shape(s / 2.0, s / 2.0, k, c.s * 0.19 - 0.6), RED)


def question_mark(cx, top, h, w):
    """A question mark of height h whose bowl is centred on cx."""
    r = h * 0.25
    bowl = arc_points(cx, top + r, r, 180, 360 + 60)
    ex, ey = bowl[-1]
    stem_y = top + h * 0.70
    path = bowl + [(cx, ey + r * 0.45), (cx, stem_y)]
    dot_r = w * 0.62
    return stroke(path, w, join="round") + ellipse(cx, top + h - dot_r, dot_r)


def draw_mark_uncertain(c):
    s = c.s
    c.fill(ellipse(s / 2.0, s / 2.0, s / 2.0 - 0.5), AMBER_DARK)
    c.fill(ellipse(s / 2.0, s / 2.0, s / 2.0 - 0.5 - c.line_width()), radial((255, 200, 70), AMBER, s * 0.4, s * 0.35, s * 0.6))
    c.fill(question_mark(s / 2.0, s * 0.19, s * 0.64, s * 0.14), WHITE)


def person(cx, top, h):
    """A head and shoulders of height h."""
    hr = h * 0.24
    head = ellipse(cx, top + hr, hr)
    body = ellipse(cx, top + h, h * 0.42, h * 0.44, math.pi, 2 * math.pi)
    return head, body


def draw_person(c, fill, rim):
    s = c.s
    head, body = person(s / 2.0, s * 0.06, s * 0.92)
    c.fill(body, rim)
    lw = c.line_width()
    c.fill(transform(body, lambda x, y: (s / 2.0 + (x - s / 2.0) * (1 - 2 * lw / s), y + lw)), fill)
    c.erase(ellipse(s / 2.0, s * 0.06 + s * 0.92 * 0.24, s * 0.92 * 0.24 + lw * 0.8))
    c.fill(head, rim)
    c.fill(ellipse(s / 2.0, s * 0.06 + s * 0.92 * 0.24, s * 0.92 * 0.24 - lw), fill)


def draw_mark_friend(c):
    draw_person(c, (96, 196, 96), GREEN_DARK)


def draw_mark_spammer(c):
    draw_person(c, (112, 114, 122), (52, 54, 60))
    s = c.s
    r = s * 0.47
    w = max(1.7, s * 0.14)
    c.fill(ellipse(s / 2.0, s / 2.0, r) + hole(ellipse(s / 2.0, s / 2.0, r - w)), RED)
    c.fill(stroke([(s / 2.0 - r * 0.72, s / 2.0 - r * 0.72), (s / 2.0 + r * 0.72, s / 2.0 + r * 0.72)], w), RED)


def exclamation(cx, top, h, w):
    dot_r = w * 0.58
    bar = poly((cx - w / 2.0, top), (cx + w / 2.0, top), (cx + w * 0.32, top + h * 0.66), (cx - w * 0.32, top + h * 0.66))
    return bar + ellipse(cx, top + h - dot_r, dot_r)


def draw_mark_high(c):
    s = c.s
    c.fill(exclamation(s / 2.0, s * 0.06, s * 0.88, s * 0.30), RED_DARK)
    c.fill(exclamation(s / 2.0, s * 0.06 + 0.7, s * 0.88 - 1.4, s * 0.30 - 1.4), RED)


def down_arrow(cx, top, bottom, w, head_w):
    hy = bottom - head_w * 0.55
    return rect(cx - w / 2.0, top, cx + w / 2.0, hy + 0.5) + poly((cx - head_w / 2.0, hy), (cx + head_w / 2.0, hy), (cx, bottom))


def draw_mark_low(c):
    s = c.s
    c.fill(down_arrow(s / 2.0, s * 0.06, s * 0.94, s * 0.30, s * 0.82), BLUE_DARK)
    c.fill(down_arrow(s / 2.0, s * 0.06 + 0.8, s * 0.94 - 1.6, s * 0.30 - 1.6, s * 0.82 - 2.8), (70, 150, 240))


def paperclip(s):
    """A paper clip drawn upright, then leant to the right."""
    cx = s / 2.0
    w = max(1.35, s * 0.09)
    r1 = s * 0.17
    r2 = s * 0.11
    top, bottom = s * 0.10 + r1, s * 0.90 - r1
    path = [(cx - r2, s * 0.34)]
    path += [(cx - r2, bottom - 0.01)]
    path += arc_points(cx - r2 + r1, bottom, r1, 180, 0)[1:]
    path += [(cx - r2 + 2 * r1, top)]
    path += arc_points(cx - r2 + 2 * r1 - (r1 + r2) / 2.0, top, (r1 + r2) / 2.0, 0, -180)[1:]
    path += [(cx - r2 + 2 * r1 - (r1 + r2), bottom - r1 * 0.5)]
    return rotate(stroke(path, w, join="round", cap="round"), s / 2.0, s / 2.0, 35)


def draw_mark_attach(c):
    c.fill(paperclip(c.s), (76, 86, 104))


def funnel(c, x0, y0, x1, y1):
    mid = (x0 + x1) / 2.0
    neck = (x1 - x0) * 0.14
    ny = y0 + (y1 - y0) * 0.48
    return poly((x0, y0), (x1, y0), (mid + neck, ny), (mid + neck, y1), (mid - neck, y1 - (y1 - y0) * 0.12),
                (mid - neck, ny))


def draw_funnel(c, fill=BLUE, rim=BLUE_DARK):
    s = c.s
    m = c.p(1.5)
    shape = funnel(c, m, c.p(2), s - m, s - c.p(1.5))
    c.fill(shape, rim)
    lw = c.line_width()
    inner = funnel(c, m + lw * 1.6, c.p(2) + lw, s - m - lw * 1.6, s - c.p(1.5) - lw * 1.6)
    c.fill(inner, vgrad(tuple(min(255, v + 70) for v in fill), fill, 0, s))


def draw_mark_filtered(c):
    draw_funnel(c)


def draw_certificate(c):
    s = c.s
    lw = c.line_width()
    bx0, bx1 = c.p(2.5), s - c.p(2.5)
    by0, by1 = c.p(7), s - c.p(1)
    sw = max(1.5, s * 0.13)
    shackle = arc_points(s / 2.0, c.p(6.5), (bx1 - bx0) / 2.0 - sw * 0.9, 180, 360)
    legs = [(shackle[0][0], by0 + 1)] + shackle + [(shackle[-1][0], by0 + 1)]
    c.fill(stroke(legs, sw), GREY_DARK)
    c.fill(stroke(legs, max(0.8, sw - 2 * lw * 0.6)), (196, 200, 206))
    c.fill(rrect(bx0, by0, bx1, by1, lw), GOLD_DARK)
    c.fill(rrect(bx0 + lw, by0 + lw, bx1 - lw, by1 - lw, 0), vgrad((255, 220, 100), GOLD, by0, by1))
    c.fill(exclamation(s / 2.0, by0 + (by1 - by0) * 0.16, (by1 - by0) * 0.70, max(1.6, s * 0.12)), RED_DARK)


# --- toolbar pictures (one square each, same order as the toolbar) ------------

def arrow_into(c, cx, top, bottom, fill, rim):
    w = max(2.0, c.s * 0.20)
    head = max(5.0, c.s * 0.5)
    c.fill(down_arrow(cx, top, bottom, w + 1.6, head + 2.6), rim)
    c.fill(down_arrow(cx, top + 0.8, bottom - 1.4, w, head), fill)


def draw_tb_check(c):
    s = c.s
    envelope(c, c.p(1), c.p(6), s - c.p(1), s - c.p(1))
    arrow_into(c, s / 2.0, 0.0, c.p(10.5), (90, 200, 90), GREEN_DARK)


def draw_tb_check_all(c):
    s = c.s
    envelope(c, c.p(4), c.p(4), s - c.p(0), c.p(12), ink=(96, 120, 156))
    envelope(c, c.p(0), c.p(7), s - c.p(4), s - c.p(1))
    arrow_into(c, c.p(6), 0.0, c.p(11), (90, 200, 90), GREEN_DARK)


def draw_tb_stop(c):
    s = c.s
    m = c.p(1.5)
    k = (s - 2 * m) * 0.29

    def octagon(mm, kk):
        a, b = mm, s - mm
        return poly((a + kk, a), (b - kk, a), (b, a + kk), (b, b - kk), (b - kk, b), (a + kk, b), (a, b - kk), (a, a + kk))
    c.fill(octagon(m, k), RED_DARK)
    lw = c.line_width()
    c.fill(octagon(m + lw, k - lw * 0.41), vgrad((240, 90, 80), (196, 30, 30), m, s - m))
    c.fill(rect(c.p(4.5), s / 2.0 - c.line_width(1.2), s - c.p(4.5), s / 2.0 + c.line_width(1.2)), WHITE)


def draw_tb_delete(c):
    s = c.s
    envelope(c, c.p(0.5), c.p(2), c.p(13), c.p(11))
    emblem_error(c)


def pencil(x0, y0, x1, y1, w):
    """A pencil from its tip (x0, y0) to its end (x1, y1)."""
    ln = math.hypot(x1 - x0, y1 - y0)
    dx, dy = (x1 - x0) / ln, (y1 - y0) / ln
    nx, ny = -dy * w / 2.0, dx * w / 2.0
    tip = w * 1.3
    bx, by = x0 + dx * tip, y0 + dy * tip
    wood = poly((x0, y0), (bx + nx, by + ny), (bx - nx, by - ny))
    body = poly((bx + nx, by + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (bx - nx, by - ny))
    return wood, body


def draw_tb_new(c):
    s = c.s
    lw = c.line_width()
    x0, y0, x1, y1 = c.p(2), c.p(1), c.p(12), s - c.p(1)
    fold = c.p(3.5)
    sheet = poly((x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1))
    c.fill(sheet, (110, 120, 136))
    inner = poly((x0 + lw, y0 + lw), (x1 - fold, y0 + lw), (x1 - lw, y0 + fold), (x1 - lw, y1 - lw), (x0 + lw, y1 - lw))
    c.fill(inner, vgrad(WHITE, (232, 236, 242), y0, y1))
    c.fill(poly((x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)), (190, 198, 210))
    for k in range(3):
        ly = c.p(6 + 2.5 * k)
        c.fill(rect(x0 + c.p(2), ly, x1 - c.p(3 + (k == 2) * 2), ly + lw), (160, 176, 200))
    wood, body = pencil(c.p(6.5), c.p(13.5), s - c.p(0.5), c.p(4), max(2.6, s * 0.2))
    c.fill(body, (232, 150, 20))
    c.fill(wood, (242, 214, 170))
    c.fill(stroke([(x, y) for x, y in body[0][:2]], max(0.8, lw * 0.8)), (150, 90, 0))
    c.fill(ellipse(c.p(6.5) + 0.4, c.p(13.5) - 0.4, max(0.8, s * 0.06)), (60, 60, 60))


def reply_arrow(s, w, inset):
    """A curved arrow pointing left; inset > 0 gives its inner fill."""
    cx, cy = s * 0.62, s * 0.78
    r = s * 0.36
    hx, hy = s * 0.36, cy - r
    pts = [(cx + r, s - 0.7 + inset * 0.5), (cx + r, cy)] + arc_points(cx, cy, r, 0, -90)[1:] + [(hx, hy)]
    half = (max(2.2, s * 0.19) + 1.4) * 1.45 - inset * 0.9
    head = poly((s * 0.05 + inset, hy), (hx - inset * 0.2, hy - half), (hx - inset * 0.2, hy + half))
    return stroke(pts, w, join="round") + head


def draw_tb_reply(c):
    s = c.s
    w = max(2.2, s * 0.19)
    c.fill(reply_arrow(s, w + 1.4, 0.0), (90, 40, 140))
    c.fill(reply_arrow(s, w, 1.0), (150, 96, 210))


def draw_tb_mailer(c):
    s = c.s
    lw = c.line_width()
    x0, y0, x1, y1 = c.p(0.5), c.p(1), s - c.p(0.5), s - c.p(1)
    c.fill(rect(x0, y0, x1, y1), (60, 80, 110))
    c.fill(rect(x0 + lw, y0 + lw, x1 - lw, y0 + c.p(3.5)), vgrad((90, 150, 230), (40, 100, 200), y0, y0 + c.p(3.5)))
    c.fill(rect(x0 + lw, y0 + c.p(3.5), x1 - lw, y1 - lw), (246, 248, 252))
    envelope(c, c.p(3.5), c.p(7), s - c.p(3.5), s - c.p(3))


def gear(cx, cy, r_out, r_in, teeth):
    pts = []
    for i in range(teeth):
        base = 360.0 / teeth * i
        for a, r in ((base - 360.0 / teeth * 0.22, r_out), (base + 360.0 / teeth * 0.22, r_out),
                     (base + 360.0 / teeth * 0.32, r_in), (base + 360.0 / teeth * 0.68, r_in)):
            t = math.radians(a)
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return poly(*pts)


def draw_tb_settings(c):
    s = c.s
    cx = cy = s / 2.0
    ro, ri = s * 0.48, s * 0.34
    lw = c.line_width()
    c.fill(gear(cx, cy, ro, ri, 8) + hole(ellipse(cx, cy, s * 0.15)), GREY_DARK)
    c.fill(gear(cx, cy, ro - lw, ri - lw, 8) + hole(ellipse(cx, cy, s * 0.15 + lw)),
           radial((214, 218, 224), (150, 156, 164), cx - s * 0.15, cy - s * 0.15, s * 0.6))


def draw_tb_filter(c):
    draw_funnel(c)


def draw_tb_encodings(c):
    s = c.s
    cx = cy = s / 2.0
    r = s / 2.0 - c.p(1)
    lw = c.line_width()
    disc = ellipse(cx, cy, r)
    c.fill(disc, BLUE_DARK)
    inner = ellipse(cx, cy, r - lw)
    c.fill(inner, radial((150, 210, 255), (50, 130, 220), cx - r * 0.35, cy - r * 0.35, r * 1.6))
    lines = (stroke([(cx - r, cy), (cx + r, cy)], lw)
             + stroke([(cx, cy - r), (cx, cy + r)], lw)
             + stroke([(x, y) for x, y in ellipse(cx, cy, r * 0.5, r)[0]], lw, closed=True)
             + stroke([(cx - r, cy - r * 0.48), (cx + r, cy - r * 0.48)], lw)
             + stroke([(cx - r, cy + r * 0.48), (cx + r, cy + r * 0.48)], lw))
    c.fill(lines, (236, 246, 255), clip=inner)


TOOLBAR = (draw_tb_check, draw_tb_check_all, draw_tb_stop, draw_tb_delete, draw_tb_new,
           draw_tb_reply, draw_tb_mailer, draw_tb_settings, draw_tb_filter, draw_tb_encodings)


# --- sort arrows and first-run pictures -------------------------------------

def draw_sort(c, up):
    s = c.s
    w = 2 * int(s * 0.22) + 1          # odd, so the point sits on a pixel centre
    h = (w + 1) // 2
    x0 = (s - w) // 2
    y0 = (s - h) // 2
    if up:
        shape = poly((x0, y0 + h), (x0 + w, y0 + h), (x0 + w / 2.0, y0))
    else:
        shape = poly((x0, y0), (x0 + w, y0), (x0 + w / 2.0, y0 + h))
    c.fill(shape, (96, 100, 108))


def round_emblem(c, cx, cy, r, hot):
    c.erase(ellipse(cx, cy, r + c.line_width()))
    c.fill(ellipse(cx, cy, r), GREEN_DARK)
    c.fill(ellipse(cx, cy, r - c.line_width()),
           radial((150, 236, 140) if hot else (110, 210, 110), GREEN, cx - r * 0.3, cy - r * 0.3, r * 1.4))


def glow(c):
    s = c.s
    c.fill(ellipse(s / 2.0, s / 2.0, s / 2.0), radial((255, 214, 90, 190), (255, 214, 90, 0), s / 2.0, s / 2.0, s / 2.0))


def brighten(c, k=0.18):
    c.map_pixels(lambda r, g, b, a: (r + (1 - r) * k, g + (1 - g) * k, b + (1 - b) * k, a))


def draw_setup(c, hot):
    """Setting up accounts: an envelope with a plus."""
    s = c.s
    if hot:
        glow(c)
    envelope(c, c.p(1.5), c.p(3.5), c.p(13), c.p(11.5), ink=(40, 92, 170) if hot else INK)
    r = s * 0.22
    cx = cy = s - r - c.p(0.5)
    round_emblem(c, cx, cy, r, hot)
    k, w = r * 0.55, r * 0.34
    c.fill(rect(cx - k, cy - w / 2.0, cx + k, cy + w / 2.0) + rect(cx - w / 2.0, cy - k, cx + w / 2.0, cy + k), WHITE)


def draw_launch(c, hot):
    """Going straight to the program: its tile with a start arrow."""
    s = c.s
    if hot:
        glow(c)
    tile = Canvas(int(c.p(12.5)))
    draw_app(tile)
    if hot:
        brighten(tile)
    c.blit(tile, int(c.p(1)), int(c.p(1.5)))
    r = s * 0.22
    cx = cy = s - r - c.p(0.5)
    round_emblem(c, cx, cy, r, hot)
    k = r * 0.5
    c.fill(poly((cx - k * 0.7, cy - k), (cx + k, cy), (cx - k * 0.7, cy + k)), WHITE)


IMAGES = []     # (file name, draw function, sizes)


def icon(name, fn, sizes=SMALL):
    IMAGES.append((name + ".ico", fn, sizes))


icon("kestrix", draw_app, LARGE)
icon("tray_normal", draw_tray_normal)
icon("tray_flash", draw_tray_flash)
icon("tray_error", draw_tray_error)
icon("tray_check", draw_tray_check, LARGE)
icon("tray_check_error", draw_tray_check_error)
icon("acct_checking", draw_acct_checking)
icon("acct_idle", draw_acct_idle)
icon("acct_failed", draw_acct_failed)
icon("acct_disabled", draw_acct_disabled)
icon("mark_deleted", draw_mark_deleted)
icon("mark_uncertain", draw_mark_uncertain)
icon("mark_spammer", draw_mark_spammer)
icon("mark_attach", draw_mark_attach)
icon("mark_high", draw_mark_high)
icon("mark_low", draw_mark_low)
icon("mark_friend", draw_mark_friend)
icon("mark_filtered", draw_mark_filtered)
icon("certificate", draw_certificate, LARGE)

BITMAPS = []    # (file name, draw function, width in squares, size)
for size in SMALL:
    BITMAPS.append((f"toolbar_{size}.bmp", "toolbar", size))
    BITMAPS.append((f"toolbar_disabled_{size}.bmp", "toolbar_disabled", size))
    BITMAPS.append((f"sort_up_{size}.bmp", lambda c: draw_sort(c, True), size))
    BITMAPS.append((f"sort_down_{size}.bmp", lambda c: draw_sort(c, False), size))
for size in (48, 60, 72, 96):
    BITMAPS.append((f"firstrun_setup_{size}.bmp", lambda c: draw_setup(c, False), size))
    BITMAPS.append((f"firstrun_setup_hot_{size}.bmp", lambda c: draw_setup(c, True), size))
    BITMAPS.append((f"firstrun_launch_{size}.bmp", lambda c: draw_launch(c, False), size))
    BITMAPS.append((f"firstrun_launch_hot_{size}.bmp", lambda c: draw_launch(c, True), size))


def render(fn, size):
    c = Canvas(size)
    fn(c)
    return c


def toolbar_strip(size, disabled):
    strip = Canvas(size * len(TOOLBAR), size)
    for i, fn in enumerate(TOOLBAR):
        one = render(fn, size)
        if disabled:
            desaturate(one, lighten=0.30, alpha=0.55)
        strip.blit(one, i * size, 0)
    return strip


def bitmap_canvas(what, size):
    if what == "toolbar":
        return toolbar_strip(size, False)
    if what == "toolbar_disabled":
        return toolbar_strip(size, True)
    return render(what, size)


# --- file formats ------------------------------------------------------------

def dib_bits(rows):
    """32-bit BGRA rows, bottom row first."""
    return b"".join(bytes(v for r, g, b, a in row for v in (b, g, r, a)) for row in reversed(rows))


def and_mask(rows):
    w = len(rows[0])
    stride = (w + 31) // 32 * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def info_header(w, h, image_bytes):
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, 32, 0, image_bytes, 2835, 2835, 0, 0)


def ico_bytes(canvases):
    images = []
    for c in canvases:
        rows = c.rgba()
        bits = dib_bits(rows)
        mask = and_mask(rows)
        images.append((c.w, c.h, info_header(c.w, c.h * 2, len(bits) + len(mask)) + bits + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


def bmp_bytes(c):
    bits = dib_bits(c.rgba())
    header = info_header(c.w, c.h, len(bits))
    return struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(bits), 0, 0, 14 + len(header)) + header + bits


def png_bytes(rows):
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    head = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6 if len(rows[0][0]) == 4 else 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def write_if_changed(path, data):
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def outputs():
    return [name for name, _, _ in IMAGES] + [name for name, _, _ in BITMAPS]


def write_all(outdir):
    os.makedirs(outdir, exist_ok=True)
    for name, fn, sizes in IMAGES:
        write_if_changed(os.path.join(outdir, name), ico_bytes([render(fn, s) for s in sizes]))
    for name, what, size in BITMAPS:
        write_if_changed(os.path.join(outdir, name), bmp_bytes(bitmap_canvas(what, size)))


def preview(path, group, zoom=6):
    """Pictures of one group at every size, over a light and a dark background."""
    if group == "icons":
        pictures = [[render(fn, s) for s in sizes if s <= 32] for _, fn, sizes in IMAGES]
    elif group == "toolbar":
        pictures = [[render(fn, s) for fn in TOOLBAR] for s in SMALL]
        pictures += [[toolbar_strip(s, True)] for s in (16, 32)]
    else:
        pictures = [[render(lambda c: draw_setup(c, False), s), render(lambda c: draw_setup(c, True), s),
                     render(lambda c: draw_launch(c, False), s), render(lambda c: draw_launch(c, True), s)]
                    for s in (48, 72)]
        pictures += [[render(lambda c: draw_sort(c, up), s) for up in (True, False) for s in SMALL]]
    pad = 4
    heights = [max(c.h for c in row) for row in pictures]
    half = max(sum(c.w + pad for c in row) for row in pictures) + pad
    width = half * 2
    height = sum(h + pad for h in heights) + pad
    sheet = [[(0, 0, 0)] * (width * zoom) for _ in range(height * zoom)]
    y = pad
    for row, h in zip(pictures, heights):
        for side, bg in ((0, (240, 240, 240)), (1, (40, 44, 52))):
            x = pad + side * half
            for c in row:
                rgba = c.rgba()
                for yy in range(c.h):
                    for xx in range(c.w):
                        r, g, b, a = rgba[yy][xx]
                        a /= 255.0
                        px = tuple(int(v * a + w * (1 - a)) for v, w in zip((r, g, b), bg))
                        for zy in range(zoom):
                            line = sheet[(y + yy) * zoom + zy]
                            for zx in range(zoom):
                                line[(x + xx) * zoom + zx] = px
                x += c.w + pad
        y += h + pad
    with open(path, "wb") as f:
        f.write(png_bytes(sheet))


def main(argv):
    if len(argv) == 2 and argv[1] == "--list":
        print("\n".join(outputs()))
    elif len(argv) in (3, 4) and argv[1] == "--preview":
        preview(argv[2], argv[3] if len(argv) == 4 else "icons")
    elif len(argv) == 2:
        write_all(argv[1])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
