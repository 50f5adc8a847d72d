#!/usr/bin/env python3
"""Draws every image of the installer's skin archive.

Usage: make_skin_art.py OUT_DIR [--contact-sheet PNG]

OUT_DIR receives the images and manifest.txt, their names in archive order.

Images are drawn at three times their logical size (a 600 x 400 view is a 1800 x 1200 image) so
that they stay sharp on high-DPI monitors; the toolkit scales them down at 100 %. Button images
are vertical strips of four equal states (normal, hot, pushed, disabled); the check boxes hold the
unticked set above the ticked set. Drawing uses only Pillow and the WenQuanYi Micro Hei font and no
random numbers, and the PNG writer adds no time stamps, so the same sources give the same bytes.

The contact sheet puts every image on one page, together with mock-ups of the windows that place
the images where the layouts put them, for reviewing the artwork by eye.
"""

import argparse
import math
import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

S = 3                       # image pixels per logical pixel
SUPERSAMPLE = 4             # shapes are drawn this much larger and averaged down, for smooth edges
FONT_FILE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
MANIFEST = "manifest.txt"      # names of the images, in archive order, for pack_skin.py
CORNER_RADIUS = 7.5         # the windows' roundcorner "15,15" is an ellipse 15 logical pixels wide

NORMAL, HOT, PUSHED, DISABLED = range(4)
STATES = (NORMAL, HOT, PUSHED, DISABLED)

WHITE = (255, 255, 255)
INK = (48, 68, 186)             # brand blue for text and marks on white
INK_HOT = (34, 96, 230)
INK_PUSHED = (34, 48, 140)
SHADOW = (14, 20, 72)
LINK = (168, 232, 255)          # links on the blue backgrounds
CLOSE_RED = (232, 72, 85)
CLOSE_RED_PUSHED = (190, 50, 64)
FILL_TOP = (44, 50, 138)        # background gradient stops, top left to bottom right
FILL_MID = (50, 88, 194)
FILL_END = (40, 142, 214)
GLOW_CYAN = (120, 222, 255)
GLOW_VIOLET = (150, 118, 240)
WARNING = (236, 128, 36)        # the failure view's warning mark


# ---------------------------------------------------------------------------------------------
# Drawing primitives

_fonts = {}


def font(px):
    """WenQuanYi Micro Hei at `px` image pixels; the basic layout engine keeps glyph placement
    independent of whether the machine has libraqm."""
    px = int(round(px))
    if px not in _fonts:
        _fonts[px] = ImageFont.truetype(FONT_FILE, px, index=0, layout_engine=ImageFont.Layout.BASIC)
    return _fonts[px]


def blank(w, h):
    return Image.new("RGBA", (w, h), (0, 0, 0, 0))


def scaled_alpha(mask, factor):
    if factor >= 1.0:
        return mask
    lut = [int(v * factor + 0.5) for v in range(256)]
    return mask.point(lut)


def paint(base, mask, fill, at=(0, 0), opacity=1.0):
    """Composites `fill` onto `base` through the coverage `mask` placed at `at`. `fill` is an RGB
    or RGBA colour, or an RGBA image of the mask's size (a gradient)."""
    if isinstance(fill, tuple):
        factor = opacity * (fill[3] / 255.0 if len(fill) == 4 else 1.0)
        layer = Image.new("RGBA", mask.size, tuple(fill[:3]) + (0,))
        layer.putalpha(scaled_alpha(mask, factor))
    else:
        layer = fill.copy()
        layer.putalpha(scaled_alpha(ImageChops.multiply(fill.getchannel("A"), mask), opacity))
    x, y = int(at[0]), int(at[1])
    # alpha_composite refuses negative offsets, so a layer reaching past the top or left is cut first.
    if x < 0 or y < 0:
        layer = layer.crop((max(0, -x), max(0, -y), layer.width, layer.height))
        x, y = max(0, x), max(0, y)
    base.alpha_composite(layer, dest=(x, y))


def shape_mask(w, h, draw_shapes):
    """Coverage mask of w x h pixels; `draw_shapes(draw, k)` draws with every coordinate times k."""
    k = SUPERSAMPLE
    big = Image.new("L", (w * k, h * k), 0)
    draw_shapes(ImageDraw.Draw(big), k)
    return big.resize((w, h), Image.BOX)


def rounded_rect_mask(w, h, box, radius, outline=0.0):
    """A filled (or, with `outline` > 0, stroked) rounded rectangle; box and sizes in pixels."""
    x0, y0, x1, y1 = box
    radius = min(radius, (x1 - x0) / 2, (y1 - y0) / 2)

    def shapes(d, k):
        rect = [x0 * k, y0 * k, x1 * k - 1, y1 * k - 1]
        if outline > 0:
            d.rounded_rectangle(rect, radius=radius * k, outline=255, width=max(1, round(outline * k)))
        else:
            d.rounded_rectangle(rect, radius=radius * k, fill=255)
    return shape_mask(w, h, shapes)


def ellipse_mask(w, h, box, outline=0.0):
    x0, y0, x1, y1 = box

    def shapes(d, k):
        rect = [x0 * k, y0 * k, x1 * k - 1, y1 * k - 1]
        if outline > 0:
            d.ellipse(rect, outline=255, width=max(1, round(outline * k)))
        else:
            d.ellipse(rect, fill=255)
    return shape_mask(w, h, shapes)


def polyline_mask(w, h, points, width):
    """A stroked open path with round joins and round caps."""
    def shapes(d, k):
        pts = [(x * k, y * k) for x, y in points]
        d.line(pts, fill=255, width=max(1, round(width * k)), joint="curve")
        r = width * k / 2
        for x, y in (pts[0], pts[-1]):
            d.ellipse([x - r, y - r, x + r, y + r], fill=255)
    return shape_mask(w, h, shapes)


def vertical_gradient(w, h, top, bottom):
    """RGBA image fading from colour `top` to colour `bottom` (RGBA tuples)."""
    column = Image.new("RGBA", (1, 256))
    for i in range(256):
        t = i / 255.0
        column.putpixel((0, i), tuple(int(round(a + (b - a) * t)) for a, b in zip(top, bottom)))
    return column.resize((w, h), Image.BILINEAR)


def horizontal_gradient(w, h, left, right):
    return vertical_gradient(h, w, left, right).transpose(Image.TRANSPOSE)


def soft_shadow(w, h, mask, radius, offset_y, alpha):
    """Blurred copy of `mask`, moved down by `offset_y` pixels, as an RGBA shadow layer."""
    moved = Image.new("L", (w, h), 0)
    moved.paste(mask, (0, int(round(offset_y))))
    blurred = moved.filter(ImageFilter.GaussianBlur(radius))
    layer = Image.new("RGBA", (w, h), SHADOW + (0,))
    layer.putalpha(scaled_alpha(blurred, alpha / 255.0))
    return layer


# ---------------------------------------------------------------------------------------------
# Text

REFERENCE_GLYPH = "国"


def text_extent(text, px, tracking=0.0):
    """Ink box (x0, y0, x1, y1) of `text` drawn at the origin, with extra `tracking` between
    characters, and the per-character pen positions."""
    f = font(px)
    pens, x = [], 0.0
    x0 = y0 = float("inf")
    x1 = y1 = float("-inf")
    for ch in text:
        pens.append(x)
        bx0, by0, bx1, by1 = f.getbbox(ch)
        if bx1 > bx0:
            x0, y0, x1, y1 = min(x0, x + bx0), min(y0, by0), max(x1, x + bx1), max(y1, by1)
        x += f.getlength(ch) + tracking
    return (x0, y0, x1, y1), pens


def text_mask(w, h, text, px, box, align="center", tracking=0.0, own_height=False, bold=0):
    """Coverage mask of `text` placed in `box` (pixels). Horizontally by its ink; vertically by the
    height of a CJK reference glyph, so that captions of different texts share one baseline, or by
    its own ink with `own_height` (for Latin-only words such as the product name)."""
    (ix0, iy0, ix1, iy1), pens = text_extent(text, px, tracking)
    bx0, by0, bx1, by1 = box
    if align == "left":
        x = bx0 - ix0
    elif align == "right":
        x = bx1 - ix1
    else:
        x = (bx0 + bx1) / 2 - (ix0 + ix1) / 2
    if own_height:
        ry0, ry1 = iy0, iy1
    else:
        _, ry0, _, ry1 = font(px).getbbox(REFERENCE_GLYPH)
    y = (by0 + by1) / 2 - (ry0 + ry1) / 2
    mask = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(mask)
    for ch, pen in zip(text, pens):
        d.text((round(x + pen), round(y)), ch, font=font(px), fill=255, stroke_width=bold, stroke_fill=255)
    return mask, (x + ix0, y + iy0, x + ix1, y + iy1)


# ---------------------------------------------------------------------------------------------
# Strips of states

def strip(w, h, panes):
    """Stacks the pane images (each w x h) top to bottom."""
    out = blank(w, h * len(panes))
    for i, pane in enumerate(panes):
        out.alpha_composite(pane, dest=(0, i * h))
    return out


def pill_button(w, h, caption, px, style):
    """A rounded button, `style` "primary" (white, brand-blue caption) or "ghost" (outlined, white
    caption), in four states."""
    margin_x, margin_top, margin_bottom = 1.0 * S, 1.0 * S, 3.0 * S
    panes = []
    for state in STATES:
        pane = blank(w, h)
        shift = 1.0 * S if state == PUSHED else 0.0
        box = (margin_x, margin_top + shift, w - margin_x, h - margin_bottom + shift)
        radius = (box[3] - box[1]) / 2
        body = rounded_rect_mask(w, h, box, radius)
        if style == "primary":
            if state != DISABLED:
                lift = {NORMAL: (2.0, 90), HOT: (3.0, 120), PUSHED: (0.8, 70)}[state]
                pane.alpha_composite(soft_shadow(w, h, body, 1.6 * S, lift[0] * S, lift[1]))
            fills = {
                NORMAL: ((255, 255, 255, 255), (236, 242, 255, 255)),
                HOT: ((240, 250, 255, 255), (214, 236, 255, 255)),
                PUSHED: ((210, 222, 250, 255), (196, 210, 246, 255)),
                DISABLED: ((255, 255, 255, 80), (255, 255, 255, 64)),
            }[state]
            paint(pane, body, vertical_gradient(w, h, *fills))
            if state == HOT:
                paint(pane, rounded_rect_mask(w, h, box, radius, outline=0.8 * S), (255, 255, 255, 255))
            ink = {NORMAL: INK, HOT: INK_HOT, PUSHED: INK_PUSHED, DISABLED: WHITE + (170,)}[state]
        else:
            fill_alpha = {NORMAL: 18, HOT: 52, PUSHED: 84, DISABLED: 0}[state]
            if fill_alpha:
                paint(pane, body, (255, 255, 255, fill_alpha))
            border_alpha = {NORMAL: 200, HOT: 255, PUSHED: 235, DISABLED: 80}[state]
            paint(pane, rounded_rect_mask(w, h, box, radius, outline=1.1 * S), (255, 255, 255, border_alpha))
            ink = WHITE + ({NORMAL: 255, HOT: 255, PUSHED: 235, DISABLED: 110}[state],)
        mask, _ = text_mask(w, h, caption, px, box, tracking=px * 0.08)
        paint(pane, mask, ink)
        panes.append(pane)
    return strip(w, h, panes)


def window_button(glyph, danger):
    """Title-bar button, 30 x 30 logical: a minimise bar or a close cross."""
    size = 30 * S
    panes = []
    for state in STATES:
        pane = blank(size, size)
        disc = ellipse_mask(size, size, (5 * S, 5 * S, 25 * S, 25 * S))
        if state == HOT:
            paint(pane, disc, CLOSE_RED if danger else (255, 255, 255, 56))
        elif state == PUSHED:
            paint(pane, disc, CLOSE_RED_PUSHED if danger else (255, 255, 255, 96))
        c = size / 2
        half = 4.5 * S
        if glyph == "close":
            strokes = [[(c - half, c - half), (c + half, c + half)], [(c - half, c + half), (c + half, c - half)]]
        else:
            strokes = [[(c - half - 0.5 * S, c + 0.5 * S), (c + half + 0.5 * S, c + 0.5 * S)]]
        alpha = {NORMAL: 225, HOT: 255, PUSHED: 255, DISABLED: 80}[state]
        for points in strokes:
            paint(pane, polyline_mask(size, size, points, 1.3 * S), (255, 255, 255, alpha))
        panes.append(pane)
    return strip(size, size, panes)


def check_mark_points(x0, y0, side):
    return [(x0 + side * 0.24, y0 + side * 0.52), (x0 + side * 0.43, y0 + side * 0.70),
            (x0 + side * 0.77, y0 + side * 0.32)]


def checkbox_strip(w, h, caption, px):
    """Agreement-style check box: box on the left, caption right-aligned so that a link placed
    right after the control reads on. Eight panes: unticked normal..disabled, then ticked. Without a
    caption only the box is drawn: the agreement box's button draws its caption as text."""
    side = 12 * S
    bx, by = 1.5 * S, (h - side) / 2
    box = (bx, by, bx + side, by + side)
    panes = []
    for ticked in (False, True):
        for state in STATES:
            pane = blank(w, h)
            body = rounded_rect_mask(w, h, box, 3 * S)
            ring = rounded_rect_mask(w, h, box, 3 * S, outline=1.2 * S)
            if ticked:
                fill = {NORMAL: (255, 255, 255, 255), HOT: (226, 244, 255, 255),
                        PUSHED: (196, 212, 248, 255), DISABLED: (255, 255, 255, 90)}[state]
                paint(pane, body, fill)
                if state == HOT:
                    halo = rounded_rect_mask(w, h, (box[0] - 0.2 * S, box[1] - 0.2 * S, box[2] + 0.2 * S,
                                                    box[3] + 0.2 * S), 3.2 * S, outline=0.9 * S)
                    paint(pane, halo, (255, 255, 255, 255))
                mark = {NORMAL: INK, HOT: INK_HOT, PUSHED: INK_PUSHED, DISABLED: WHITE + (200,)}[state]
                paint(pane, polyline_mask(w, h, check_mark_points(bx, by, side), 1.7 * S), mark)
            else:
                inner = {NORMAL: 20, HOT: 60, PUSHED: 100, DISABLED: 0}[state]
                if inner:
                    paint(pane, body, (255, 255, 255, inner))
                paint(pane, ring, (255, 255, 255, {NORMAL: 215, HOT: 255, PUSHED: 255, DISABLED: 80}[state]))
            if caption:
                text_alpha = {NORMAL: 235, HOT: 255, PUSHED: 215, DISABLED: 110}[state]
                mask, _ = text_mask(w, h, caption, px, (box[2] + 4 * S, 0, w - 1, h), align="right")
                paint(pane, mask, (255, 255, 255, text_alpha))
            panes.append(pane)
    return strip(w, h, panes)


def link_strip(w, h, caption, px, align="left", chevron=None, colour=LINK, stretch_x=1.0):
    """Text link in four states: a light colour, underlined while hot, dimmer while pushed and
    faint when disabled. `chevron` "down" or "up" adds a small arrow after the text.
    `stretch_x` widens the drawing for images that the layout squeezes horizontally."""
    panes = []
    for state in STATES:
        inner_w = int(round(w / stretch_x))
        pane = blank(inner_w, h)
        rgb = {NORMAL: colour, HOT: (255, 255, 255), PUSHED: tuple(int(c * 0.82) for c in colour),
               DISABLED: colour}[state]
        alpha = {NORMAL: 255, HOT: 255, PUSHED: 255, DISABLED: 100}[state]
        arrow_w = 4.0 * px / 10 if chevron else 0.0
        gap = px * 0.28 if chevron else 0.0
        region = (0, 0, inner_w - 1 - arrow_w - gap, h) if align == "right" else (0, 0, inner_w - 1, h)
        mask, ink = text_mask(inner_w, h, caption, px, region, align=align)
        paint(pane, mask, rgb + (alpha,))
        if state == HOT:
            under_y = ink[3] + px * 0.12
            paint(pane, polyline_mask(inner_w, h, [(ink[0], under_y), (ink[2], under_y)], px * 0.07),
                  rgb + (alpha,))
        if chevron:
            cx = ink[2] + gap + arrow_w / 2
            cy = (ink[1] + ink[3]) / 2
            dy = arrow_w * 0.28 * (1 if chevron == "down" else -1)
            points = [(cx - arrow_w / 2, cy - dy), (cx, cy + dy), (cx + arrow_w / 2, cy - dy)]
            paint(pane, polyline_mask(inner_w, h, points, px * 0.1), rgb + (alpha,))
        if stretch_x != 1.0:
            pane = pane.resize((w, h), Image.LANCZOS)
        panes.append(pane)
    return strip(w, h, panes)


# ---------------------------------------------------------------------------------------------
# Product marks

def quad_bezier(p0, c, p1, steps=48):
    out = []
    for i in range(steps + 1):
        t = i / steps
        a, b, d = (1 - t) ** 2, 2 * (1 - t) * t, t * t
        out.append((a * p0[0] + b * c[0] + d * p1[0], a * p0[1] + b * c[1] + d * p1[1]))
    return out


def thick_curve(points, width_start, width_end):
    """Polygon outlining a path whose width tapers from `width_start` to `width_end`."""
    left, right = [], []
    n = len(points)
    for i, (x, y) in enumerate(points):
        ax, ay = points[max(0, i - 1)]
        bx, by = points[min(n - 1, i + 1)]
        dx, dy = bx - ax, by - ay
        length = math.hypot(dx, dy) or 1.0
        half = (width_start + (width_end - width_start) * i / (n - 1)) / 2
        nx, ny = -dy / length * half, dx / length * half
        left.append((x + nx, y + ny))
        right.append((x - nx, y - ny))
    return left + right[::-1]


def quill_mask(size):
    """A feather quill in a size x size box: a curved vane with notches in its edges, cut through
    by its shaft, which runs on into a tapering nib."""
    u = size / 100.0

    def shapes(d, k):
        def poly(points):
            return [(x * u * k, y * u * k) for x, y in points]
        tip, base = (88, 7), (31, 71)
        vane = quad_bezier(tip, (30, 18), base) + quad_bezier(base, (92, 64), tip)[1:]
        d.polygon(poly(vane), fill=255)
        for notch in ([(99, 33), (70, 45), (99, 45)], [(86, 58), (58, 59), (80, 68)], [(40, 30), (56, 34), (38, 40)]):
            d.polygon(poly(notch), fill=0)
        d.polygon(poly(thick_curve(quad_bezier((81, 14), (60, 38), (34, 69)), 1.6, 3.4)), fill=0)
        d.polygon(poly(thick_curve(quad_bezier((33, 69), (24, 79), (13, 93)), 4.6, 2.2)), fill=255)
    return shape_mask(size, size, shapes)


def draw_emblem(base, cx, cy, side):
    """App emblem centred at (cx, cy), `side` pixels: a white rounded tile holding the quill."""
    pad = int(side * 0.35)
    w = h = int(side + 2 * pad)
    x0, y0 = int(cx - w / 2), int(cy - h / 2)
    tile_box = (pad, pad, pad + side, pad + side)
    tile = rounded_rect_mask(w, h, tile_box, side * 0.26)
    base.alpha_composite(soft_shadow(w, h, tile, side * 0.08, side * 0.06, 110), dest=(x0, y0))
    paint(base, tile, vertical_gradient(w, h, (255, 255, 255, 255), (226, 236, 255, 255)), at=(x0, y0))
    quill = Image.new("L", (w, h), 0)
    inner = int(side * 0.64)
    quill.paste(quill_mask(inner), (int(pad + (side - inner) / 2), int(pad + (side - inner) / 2)))
    paint(base, quill, vertical_gradient(w, h, (46, 130, 226, 255), (52, 56, 170, 255)), at=(x0, y0))


def draw_wordmark(base, cx, cy, px, tagline=None, tagline_px=None, gap=0):
    """The name "Quillon" centred at (cx, cy), with an optional tagline under it."""
    w, h = base.size
    mask, ink = text_mask(w, h, "Quillon", px, (cx - 1, cy - 1, cx + 1, cy + 1), own_height=True,
                          tracking=px * 0.02, bold=max(1, int(px / 60)))
    paint(base, mask, (255, 255, 255, 255))
    if tagline:
        ty = ink[3] + gap + tagline_px / 2
        mask, _ = text_mask(w, h, tagline, tagline_px, (cx - 1, ty - 1, cx + 1, ty + 1), tracking=tagline_px * 0.18)
        paint(base, mask, (255, 255, 255, 215))
    return ink


# The feature chips' pills, in logical pixels: main.xml puts its three chip labels on exactly these boxes
# (a row 243 pixels from the top, centred, 62 wide with gaps of 8), and the labels draw the words as text
# at the monitor's resolution, where words baked into the artwork would blur when it is scaled down.
CHIP_TOP, CHIP_HEIGHT, CHIP_WIDTH, CHIP_GAP, CHIP_COUNT = 243, 21, 62, 8, 3


def draw_chip_pills(base):
    """The row of small outlined pills behind the feature chips' labels."""
    w, h = base.size
    x = (600 - (CHIP_COUNT * CHIP_WIDTH + (CHIP_COUNT - 1) * CHIP_GAP)) // 2
    for _ in range(CHIP_COUNT):
        box = (x * S, CHIP_TOP * S, (x + CHIP_WIDTH) * S, (CHIP_TOP + CHIP_HEIGHT) * S)
        radius = CHIP_HEIGHT * S / 2
        paint(base, rounded_rect_mask(w, h, box, radius), (255, 255, 255, 26))
        paint(base, rounded_rect_mask(w, h, box, radius, outline=0.8 * S), (255, 255, 255, 110))
        x += CHIP_WIDTH + CHIP_GAP


# ---------------------------------------------------------------------------------------------
# Backgrounds

def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


_backdrops = {}


def backdrop(w_logical, h_logical, rings=True):
    """The shared backdrop: a diagonal indigo-to-azure gradient lit by two soft glows and crossed
    by a few faint rings. Several views start from the same one, so it is made once per size."""
    key = (w_logical, h_logical, rings)
    if key not in _backdrops:
        _backdrops[key] = make_backdrop(w_logical, h_logical, rings)
    return _backdrops[key].copy()


def make_backdrop(w_logical, h_logical, rings):
    # The gradient has no detail, so it is computed on a coarse grid and smoothed up.
    step = 2  # logical pixels per grid cell
    gw, gh = w_logical // step + 1, h_logical // step + 1
    grid = Image.new("RGB", (gw, gh))
    glows = ((0.86, 0.10, 0.48, GLOW_CYAN, 0.42), (0.08, 0.95, 0.55, GLOW_VIOLET, 0.38))
    for gy in range(gh):
        ny = gy * step / float(h_logical)
        for gx in range(gw):
            nx = gx * step / float(w_logical)
            t = min(1.0, max(0.0, 0.42 * nx + 0.58 * ny))
            c = lerp(FILL_TOP, FILL_MID, t / 0.55) if t < 0.55 else lerp(FILL_MID, FILL_END, (t - 0.55) / 0.45)
            for gx0, gy0, radius, colour, strength in glows:
                dist = math.hypot((nx - gx0) * w_logical / h_logical, ny - gy0) / radius
                if dist < 1.0:
                    c = lerp(c, colour, strength * (1.0 - dist) ** 2)
            grid.putpixel((gx, gy), tuple(int(round(v)) for v in c))
    w, h = w_logical * S, h_logical * S
    out = grid.resize((gw * step * S, gh * step * S), Image.BICUBIC).crop((0, 0, w, h)).convert("RGBA")
    if rings:
        lines = Image.new("L", (w, h), 0)
        for cx, cy, radii in (((600 + 30) * S, -30 * S, (120, 175, 230)), (-50 * S, (h_logical + 60) * S, (170, 235))):
            for r in radii:
                ring = ellipse_mask(w, h, (cx - r * S, cy - r * S, cx + r * S, cy + r * S), outline=0.9 * S)
                lines = ImageChops.lighter(lines, ring)
        paint(out, lines, (255, 255, 255, 30))
    return out


def round_corners(img, radius):
    """Makes the image's four corners transparent outside circles of `radius` pixels, so that a
    per-pixel-alpha window shows rounded corners."""
    r = int(math.ceil(radius))
    quarter = ellipse_mask(2 * r, 2 * r, (0, 0, 2 * r, 2 * r)).crop((0, 0, r, r))
    alpha = img.getchannel("A")
    w, h = img.size
    for corner, (x, y) in ((quarter, (0, 0)),
                           (quarter.transpose(Image.FLIP_LEFT_RIGHT), (w - r, 0)),
                           (quarter.transpose(Image.FLIP_TOP_BOTTOM), (0, h - r)),
                           (quarter.transpose(Image.ROTATE_180), (w - r, h - r))):
        region = alpha.crop((x, y, x + r, y + r))
        alpha.paste(ImageChops.multiply(region, corner), (x, y))
    img.putalpha(alpha)
    return img


def caption_text(base, text, px, box, align="left", alpha=230):
    mask, ink = text_mask(base.width, base.height, text, px, box, align=align)
    paint(base, mask, (255, 255, 255, alpha))
    return ink


def welcome_canvas():
    """The full-height welcome artwork; the welcome view uses its top 400 logical pixels."""
    img = backdrop(600, 467)
    draw_emblem(img, 300 * S, 104 * S, 64 * S)
    draw_wordmark(img, 300 * S, 172 * S, 44 * S, "轻盈书写  灵感随行", 14 * S, gap=14 * S)
    draw_chip_pills(img)
    return img


def background_welcome(canvas):
    return round_corners(canvas.crop((0, 0, 600 * S, 400 * S)), CORNER_RADIUS * S)


def background_welcome_more(canvas):
    img = canvas.copy()
    w = img.width
    paint(img, polyline_mask(w, img.height, [(20 * S, 408 * S), (580 * S, 408 * S)], 0.7 * S), (255, 255, 255, 60))
    return round_corners(img, CORNER_RADIUS * S)


def background_installing():
    img = backdrop(600, 467).crop((0, 0, 600 * S, 400 * S))
    cx, cy = 300 * S, 118 * S
    for r, alpha in ((58, 70), (80, 44), (104, 24)):
        paint(img, ellipse_mask(img.width, img.height, (cx - r * S, cy - r * S, cx + r * S, cy + r * S),
                                outline=0.8 * S), (255, 255, 255, alpha))
    for angle, r, dot in ((-30, 80, 3.0), (145, 104, 2.4), (70, 58, 2.0)):
        x = cx + r * S * math.cos(math.radians(angle))
        y = cy + r * S * math.sin(math.radians(angle))
        paint(img, ellipse_mask(img.width, img.height, (x - dot * S, y - dot * S, x + dot * S, y + dot * S)),
              (255, 255, 255, 200))
    draw_emblem(img, cx, cy, 72 * S)
    title_y = 226 * S
    mask, _ = text_mask(img.width, img.height, "正在安装 Quillon", 22 * S, (0, title_y - 1, img.width, title_y + 1),
                        tracking=1.2 * S)
    paint(img, mask, (255, 255, 255, 255))
    caption_text(img, "稍候片刻，全新的书写体验即将就绪", 13 * S, (0, 262 * S, img.width, 282 * S), align="center", alpha=200)
    caption_text(img, "正在安装，请稍候…", 12 * S, (20 * S, 350 * S, 300 * S, 372 * S), alpha=215)
    return round_corners(img, CORNER_RADIUS * S)


def background_finish():
    img = backdrop(600, 467).crop((0, 0, 600 * S, 400 * S))
    w, h = img.size
    cx, cy, r = 300 * S, 122 * S, 38 * S
    halo = ellipse_mask(w, h, (cx - r * 1.45, cy - r * 1.45, cx + r * 1.45, cy + r * 1.45))
    paint(img, halo, (255, 255, 255, 34))
    disc = ellipse_mask(w, h, (cx - r, cy - r, cx + r, cy + r))
    img.alpha_composite(soft_shadow(w, h, disc, 4 * S, 3 * S, 100))
    paint(img, disc, vertical_gradient(w, h, (255, 255, 255, 255), (226, 236, 255, 255)))
    side = 2 * r
    paint(img, polyline_mask(w, h, check_mark_points(cx - r, cy - r, side), 6 * S), INK)
    mask, ink = text_mask(w, h, "安装完成", 26 * S, (0, 200 * S, w, 202 * S), tracking=3 * S)
    paint(img, mask, (255, 255, 255, 255))
    caption_text(img, "Quillon 已准备就绪，开始你的创作吧", 13 * S, (0, 236 * S, w, 256 * S), align="center", alpha=210)
    return round_corners(img, CORNER_RADIUS * S)


def background_failed():
    """The failure view: the finish view's disc holding a warning mark instead of the tick, and the
    title; the cause, the buttons and the log file's place are drawn by the window above it."""
    img = backdrop(600, 467).crop((0, 0, 600 * S, 400 * S))
    w, h = img.size
    cx, cy, r = 300 * S, 112 * S, 36 * S
    halo = ellipse_mask(w, h, (cx - r * 1.45, cy - r * 1.45, cx + r * 1.45, cy + r * 1.45))
    paint(img, halo, (255, 255, 255, 34))
    disc = ellipse_mask(w, h, (cx - r, cy - r, cx + r, cy + r))
    img.alpha_composite(soft_shadow(w, h, disc, 4 * S, 3 * S, 100))
    paint(img, disc, vertical_gradient(w, h, (255, 255, 255, 255), (226, 236, 255, 255)))
    paint(img, polyline_mask(w, h, [(cx, cy - r * 0.5), (cx, cy + r * 0.16)], 6.5 * S), WARNING)
    dot = 3.8 * S
    paint(img, ellipse_mask(w, h, (cx - dot, cy + r * 0.46 - dot, cx + dot, cy + r * 0.46 + dot)), WARNING)
    mask, _ = text_mask(w, h, "安装失败", 26 * S, (0, 186 * S, w, 188 * S), tracking=3 * S)
    paint(img, mask, (255, 255, 255, 255))
    return round_corners(img, CORNER_RADIUS * S)


def box_background(mark):
    """The small box's background with its round mark: "?" for the quit question, "!" for a notice."""
    img = backdrop(380, 190, rings=False)
    w, h = img.size
    cx, cy, r = 44 * S, 74 * S, 14 * S
    paint(img, ellipse_mask(w, h, (cx - r, cy - r, cx + r, cy + r)), (255, 255, 255, 40))
    paint(img, ellipse_mask(w, h, (cx - r, cy - r, cx + r, cy + r), outline=1.4 * S), (255, 255, 255, 230))
    if mark == "!":
        # The font's exclamation mark reads like an "I" at this size: a bar and a dot instead.
        paint(img, polyline_mask(w, h, [(cx, cy - r * 0.5), (cx, cy + r * 0.14)], 2.4 * S), (255, 255, 255, 255))
        dot = 1.5 * S
        paint(img, ellipse_mask(w, h, (cx - dot, cy + r * 0.45 - dot, cx + dot, cy + r * 0.45 + dot)),
              (255, 255, 255, 255))
    else:
        mask, _ = text_mask(w, h, mark, 18 * S, (cx - 1, cy - 1, cx + 1, cy + 1), own_height=True, bold=1)
        paint(img, mask, (255, 255, 255, 255))
    draw_box_edge(img)
    return round_corners(img, CORNER_RADIUS * S)


def draw_box_edge(img):
    """The box opens over the main window, whose backdrop is the same gradient: a dark outer line and a
    light line inside it outline the box, each one logical pixel on whole pixels so that it stays sharp."""
    w, h = img.size
    paint(img, rounded_rect_mask(w, h, (0, 0, w, h), CORNER_RADIUS * S, outline=S), SHADOW + (200,))
    paint(img, rounded_rect_mask(w, h, (S, S, w - S, h - S), (CORNER_RADIUS - 1) * S, outline=S),
          (255, 255, 255, 90))


def background_messagebox():
    return box_background("?")


def background_uninstall():
    img = backdrop(600, 467).crop((0, 0, 600 * S, 400 * S))
    draw_emblem(img, 300 * S, 98 * S, 60 * S)
    draw_wordmark(img, 300 * S, 160 * S, 36 * S, "卸载向导", 13 * S, gap=12 * S)
    return round_corners(img, CORNER_RADIUS * S)


# ---------------------------------------------------------------------------------------------
# Progress

def progress_track(w, h):
    img = blank(w, h)
    paint(img, rounded_rect_mask(w, h, (0, 0, w, h), h / 2), (255, 255, 255, 64))
    return img


def progress_fill(w, h, left, right):
    img = blank(w, h)
    body = rounded_rect_mask(w, h, (0, 0, w, h), h / 2)
    paint(img, body, horizontal_gradient(w, h, left, right))
    shine = rounded_rect_mask(w, h, (h * 0.3, h * 0.18, w - h * 0.3, h * 0.42), h * 0.12)
    paint(img, shine, (255, 255, 255, 90))
    return img


# ---------------------------------------------------------------------------------------------
# The archive's images

def unused_support_pill(w, h):
    """An earlier design of the support-group link, kept in the archive: a small outlined pill."""
    pane_h = 40
    panes = []
    for state in STATES:
        pane = blank(w, pane_h)
        box = (4, 2, w - 4, pane_h - 2)
        fill = {NORMAL: 26, HOT: 60, PUSHED: 90, DISABLED: 0}[state]
        if fill:
            paint(pane, rounded_rect_mask(w, pane_h, box, 18), (255, 255, 255, fill))
        paint(pane, rounded_rect_mask(w, pane_h, box, 18, outline=2), (255, 255, 255, 90 if state == DISABLED else 220))
        mask, _ = text_mask(w, pane_h, "加入 Quillon 用户交流群", 26, box)
        paint(pane, mask, (255, 255, 255, 100 if state == DISABLED else 255))
        panes.append(pane)
    img = blank(w, h)
    img.alpha_composite(strip(w, pane_h, panes))
    return img


def support_link(w, h):
    """The support-group link: 640 x 40 source pixels shown in 150 x 10 logical pixels, so the
    drawing is widened by 16/15 to look undistorted; four 40-row states, the rest of the image
    is empty."""
    pane_h = 40
    links = link_strip(640, pane_h, "遇到问题？加入用户交流群", 32, align="center", colour=(222, 236, 255),
                       stretch_x=(640 / 40) / (150 / 10))
    img = blank(w, h)
    img.alpha_composite(links)
    return img


def legacy_progress_bmp():
    """The bitmap progress fill of older skins: opaque, one logical pixel per image pixel."""
    return progress_fill(560, 6, (140, 232, 255, 255), (255, 255, 255, 255)).convert("RGB")


def build_images():
    """Every image of the archive, by entry name."""
    canvas = welcome_canvas()
    cyan_to_white = ((142, 232, 255, 255), (255, 255, 255, 255))
    return {
        "background_welcome.png": background_welcome(canvas),
        "background_welcome_more.png": background_welcome_more(canvas),
        "background_installing.png": background_installing(),
        "background_finish.png": background_finish(),
        "background_messagebox.png": background_messagebox(),
        "button_minimize.png": window_button("minimize", danger=False),
        "button_close.png": window_button("close", danger=True),
        "button_setup_or_next.png": pill_button(534, 129, "立即安装", 17 * S, "primary"),
        "button_setup_qq.png": support_link(641, 162),
        "checkbox_license.png": checkbox_strip(279, 51, None, 31),
        "button_license.png": link_strip(288, 36, "《用户协议》", 31),
        "button_customize_setup.png": link_strip(234, 42, "自定义安装", 32, align="right", chevron="down",
                                                 colour=(236, 242, 255)),
        "button_uncustomize_setup.png": link_strip(234, 42, "自定义安装", 32, align="right", chevron="up",
                                                   colour=(236, 242, 255)),
        "button_browse.png": pill_button(225, 72, "浏览", 12 * S, "ghost"),
        "progressbar_background.png": progress_track(560, 6),
        "progressbar_foreground_.png": progress_fill(1680, 18, *cyan_to_white),
        "button_finish.png": pill_button(540, 132, "立即体验", 17 * S, "primary"),
        "button_ok.png": pill_button(228, 84, "确定", 13 * S, "primary"),
        "button_cancel.png": pill_button(228, 84, "取消", 13 * S, "ghost"),
        "button111_setup_qq.png": unused_support_pill(641, 162),
        "button_auto_start.png": checkbox_strip(279, 51, "开机自动启动", 31),
        "checkbox_setdefault.png": checkbox_strip(279, 51, "设为默认应用", 31),
        "progressbar_foreground.bmp": legacy_progress_bmp(),
        "un_bg.png": background_uninstall(),
        "un_btn_ok.png": pill_button(534, 129, "确认卸载", 17 * S, "ghost"),
        "un_cancle.png": window_button("close", danger=True),
        "un_continue.png": pill_button(534, 129, "继续使用", 17 * S, "primary"),
        "un_done.png": pill_button(534, 129, "完成", 17 * S, "primary"),
        "un_loading.png": progress_fill(1680, 18, (255, 214, 140, 255), (255, 255, 255, 255)),
        "background_failed.png": background_failed(),
        "button_retry.png": pill_button(420, 120, "重试", 16 * S, "primary"),
        "button_failed_close.png": pill_button(420, 120, "关闭", 16 * S, "ghost"),
        "background_notice.png": box_background("!"),
    }


def save(image, path):
    if path.endswith(".bmp"):
        image.save(path, format="BMP")
    else:
        # No pnginfo: Pillow then writes no text or time chunks, only the pixels.
        image.save(path, format="PNG", optimize=False, compress_level=9)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("--contact-sheet", help="also write a review page of all images to this PNG")
    args = parser.parse_args(argv)
    if not os.path.exists(FONT_FILE):
        print(f"make_skin_art: {FONT_FILE} is missing (Debian package fonts-wqy-microhei)", file=sys.stderr)
        return 1
    os.makedirs(args.out_dir, exist_ok=True)
    images = build_images()
    for name, image in images.items():
        save(image, os.path.join(args.out_dir, name))
    # Written last: its presence tells the build that every image above is complete.
    with open(os.path.join(args.out_dir, MANIFEST), "w", encoding="utf-8", newline="\n") as handle:
        handle.writelines(name + "\n" for name in images)
    if args.contact_sheet:
        sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
        from skin_contact_sheet import contact_sheet
        save(contact_sheet(images), args.contact_sheet)
    return 0


if __name__ == "__main__":
    sys.exit(main())
