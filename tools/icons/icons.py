#!/usr/bin/env python3
"""The plugin's icon set, drawn as SVG from a few shared shapes.

Every picture the icon functions look up in the image folder is composed here: the condition
codes 0 to 47, NA, WEATHERALERT, the night codes with the moon of each phase (27_1 ... 47_8;
31_1 ... 31_8 are also the moon pictures), and the air-quality badges of the US index (AQUS1 ...
AQUS6) and the European one (AQEU1 ... AQEU6). The style block below holds the palette and the
line weights; every shape reads them, so one change there restyles the whole set.

    icons.py --names               every picture name, one per line
    icons.py --svg DIR             writes DIR/NAME.svg for every name
    icons.py --sheet FILE [COLS]   writes one SVG of every icon with its name beneath it

Drawing is on a 64 x 64 canvas, y downwards. Shapes take positions and sizes in canvas units
and scale their geometry, never their strokes, so every outline has the same weight whatever
the size of the shape it belongs to.
"""

import math
import os
import sys

# ---- Style: palette and line weights -----------------------------------------------------------

CANVAS = 64
EDGE = 2.0  # weight of every outline
LINE = 3.0  # weight of free-standing strokes: rays, rain streaks, wind, fog and haze bands

PALETTE = {
    "sun": "#ffc531",
    "sun_edge": "#f08c00",
    "cloud": "#f7f9fb",
    "cloud_back": "#d3dae2",
    "cloud_dark": "#a2afbd",
    "cloud_edge": "#5f6e7e",
    "moon_lit": "#ffe89a",
    "moon_dark": "#46536b",
    "moon_edge": "#b59a3b",
    "star": "#ffd65c",
    "rain": "#2f86d6",
    "snow": "#45a8e0",
    "ice": "#c4ecfb",
    "ice_edge": "#2b8fc0",
    "hail": "#ffffff",
    "hail_edge": "#4f7fa8",
    "bolt": "#ffd43b",
    "bolt_edge": "#d9790b",
    "fog": "#8e9cab",
    "haze": "#c7a56a",
    "smoke": "#a9b0b8",
    "smoke_edge": "#5b636d",
    "dust": "#b9843e",
    "wind": "#6f95b5",
    "hot": "#e4412c",
    "cold": "#1d5fae",
    "glass": "#ffffff",
    "glass_edge": "#5f6e7e",
    "alert": "#ffc21a",
    "alert_edge": "#c77800",
    "mark": "#3b3f45",
    "na": "#8593a2",
    "badge_mark_dark": "#1b1e22",
    "badge_mark_light": "#ffffff",
}

# The air-quality bands of each index, best first, in the colours their agencies publish: the
# US EPA's for the US AQI, the EEA's for the European AQI. A badge's number is its band's
# place here, 1 to 6.
AIR_QUALITY_BANDS = {
    "AQUS": ("#00e400", "#ffff00", "#ff7e00", "#ff0000", "#8f3f97", "#7e0023"),
    "AQEU": ("#50f0e6", "#50ccaa", "#f0e641", "#ff5050", "#960032", "#7d2181"),
}

# Where the moon sits (centre x, centre y, radius): alone in the clear night and moon pictures,
# behind a cloud in the cloudy nights, and clear of a cloud that rains or snows. The sun takes
# the same places by day.
MOON_DISC = (33.0, 33.0, 20.0)
CLOUDY_DISC = (22.0, 20.0, 13.0)
SHOWER_DISC = (15.0, 15.0, 9.5)

NIGHT_CODES = (27, 29, 31, 33, 45, 46, 47)
PHASES = range(1, 9)


def fmt(v):
    """Shortest text of a coordinate: two decimals at most, no trailing zeros."""
    text = "%.2f" % v
    text = text.rstrip("0").rstrip(".")
    return "0" if text == "-0" else text


def pts(*coords):
    """Coordinates as SVG writes them: separated by blanks."""
    return " ".join(fmt(c) for c in coords)


# ---- Shared shapes -----------------------------------------------------------------------------


def sun(cx, cy, r, rays=True):
    """A sun disc of radius r; its rays reach 1.25 r + 4.5 from the centre."""
    out = []
    if rays:
        for i in range(8):
            a = math.radians(45 * i)
            r0, r1 = r + 3, r * 1.25 + 4.5
            out.append(
                '<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s"'
                ' stroke-linecap="round"/>'
                % (pts(cx + r0 * math.cos(a)), pts(cy + r0 * math.sin(a)),
                   pts(cx + r1 * math.cos(a)), pts(cy + r1 * math.sin(a)),
                   PALETTE["sun_edge"], fmt(LINE)))
    out.append('<circle cx="%s" cy="%s" r="%s" fill="%s" stroke="%s" stroke-width="%s"/>'
               % (pts(cx), pts(cy), fmt(r), PALETTE["sun"], PALETTE["sun_edge"], fmt(EDGE)))
    return "".join(out)


def _circle_union(circles, rects, fill, edge):
    """Circles and rectangles drawn as one outlined shape: the edge is stroked at twice its
    weight under the fill, so only its outer half shows and inner seams vanish."""
    body = "".join('<circle cx="%s" cy="%s" r="%s"/>' % (pts(x), pts(y), fmt(r))
                   for x, y, r in circles)
    body += "".join('<rect x="%s" y="%s" width="%s" height="%s"/>' % (pts(x), pts(y), fmt(w),
                                                                       fmt(h))
                    for x, y, w, h in rects)
    return ('<g fill="%s" stroke="%s" stroke-width="%s">%s</g><g fill="%s">%s</g>'
            % (edge, edge, fmt(2 * EDGE), body, fill, body))


def cloud(x, bottom, w, shade="cloud"):
    """A cloud w wide with its flat base at y = bottom and its left end at x; it stands
    0.66 w tall. shade is "cloud", "cloud_back" or "cloud_dark"."""
    circles = [
        (x + 0.19 * w, bottom - 0.19 * w, 0.19 * w),
        (x + 0.79 * w, bottom - 0.21 * w, 0.21 * w),
        (x + 0.55 * w, bottom - 0.39 * w, 0.27 * w),
        (x + 0.31 * w, bottom - 0.31 * w, 0.19 * w),
    ]
    rects = [(x + 0.19 * w, bottom - 0.3 * w, 0.6 * w, 0.3 * w)]
    return _circle_union(circles, rects, PALETTE[shade], PALETTE["cloud_edge"])


def crescent(cx, cy, r):
    """The plain night moon: a crescent of radius r, lit towards the lower right."""
    # The crescent is the disc less a disc of the same radius moved up and to the left; the two
    # circles cross at the ends of the horns.
    dx, dy = -0.52 * r, -0.42 * r
    d = math.hypot(dx, dy)
    ux, uy = dx / d, dy / d
    mx, my = cx + dx / 2, cy + dy / 2
    h = math.sqrt(r * r - (d / 2) ** 2)
    p1 = (mx - uy * h, my + ux * h)
    p2 = (mx + uy * h, my - ux * h)
    path = "M %s A %s %s 0 1 1 %s A %s %s 0 0 0 %s Z" % (
        pts(*p1), fmt(r), fmt(r), pts(*p2), fmt(r), fmt(r), pts(*p1))
    return ('<path d="%s" fill="%s" stroke="%s" stroke-width="%s" stroke-linejoin="round"/>'
            % (path, PALETTE["moon_lit"], PALETTE["moon_edge"], fmt(EDGE)))


def phase_fraction(k):
    """The part of the lunation that phase index k (1 new moon ... 5 full moon ... 8 waning
    crescent) stands for: the middle of its eighth."""
    return (k - 1) / 8.0


def moon_disc(cx, cy, r, k):
    """The moon in phase k as the northern hemisphere sees it: the whole disc in shadow, the
    lit part over it. Waxing phases (2 to 4) are lit on the right, waning ones (6 to 8) on the
    left. The terminator is the half-ellipse that a lit sphere shows."""
    out = ['<circle cx="%s" cy="%s" r="%s" fill="%s"/>'
           % (pts(cx), pts(cy), fmt(r), PALETTE["moon_dark"])]
    f = phase_fraction(k)
    c = math.cos(2 * math.pi * f)  # 1 at new moon, -1 at full moon
    if f == 0.5:
        out.append('<circle cx="%s" cy="%s" r="%s" fill="%s"/>'
                   % (pts(cx), pts(cy), fmt(r), PALETTE["moon_lit"]))
    elif f != 0:
        waxing = f < 0.5
        top, bottom = pts(cx, cy - r), pts(cx, cy + r)
        rx = r * abs(c)
        crescent_shape = c > 0
        # Limb: from the top down the lit side. Terminator: back up, bulging towards the lit
        # side for a crescent and away from it for a gibbous moon.
        limb_sweep = 1 if waxing else 0
        term_sweep = (0 if crescent_shape else 1) if waxing else (1 if crescent_shape else 0)
        path = "M %s A %s %s 0 0 %d %s A %s %s 0 0 %d %s Z" % (
            top, fmt(r), fmt(r), limb_sweep, bottom, fmt(rx), fmt(r), term_sweep, top)
        out.append('<path d="%s" fill="%s"/>' % (path, PALETTE["moon_lit"]))
    out.append('<circle cx="%s" cy="%s" r="%s" fill="none" stroke="%s" stroke-width="%s"/>'
               % (pts(cx), pts(cy), fmt(r), PALETTE["moon_edge"], fmt(EDGE)))
    return "".join(out)


def star(cx, cy, r):
    """A four-pointed twinkle of radius r."""
    i = r * 0.3
    path = "M %s L %s L %s L %s L %s L %s L %s L %s Z" % (
        pts(cx, cy - r), pts(cx + i, cy - i), pts(cx + r, cy), pts(cx + i, cy + i),
        pts(cx, cy + r), pts(cx - i, cy + i), pts(cx - r, cy), pts(cx - i, cy - i))
    return '<path d="%s" fill="%s"/>' % (path, PALETTE["star"])


def drop(x, y, s, fill="rain", edge=None):
    """A rain drop whose round end has radius s and centre (x, y); it leans with the wind."""
    path = "M %s L %s A %s %s 0 1 1 %s Z" % (
        pts(x, y - 2.1 * s), pts(x + 0.9 * s, y - 0.44 * s), fmt(s), fmt(s),
        pts(x - 0.9 * s, y - 0.44 * s))
    stroke = ' stroke="%s" stroke-width="%s" stroke-linejoin="round"' % (
        PALETTE[edge], fmt(EDGE * 0.75)) if edge else ""
    return '<path d="%s" fill="%s"%s transform="rotate(20 %s)"/>' % (
        path, PALETTE[fill], stroke, pts(x, y))


def rain(points, s=3.1):
    return "".join(drop(x, y, s) for x, y in points)


def drizzle(points):
    """Fine drizzle: small round droplets."""
    return "".join('<circle cx="%s" cy="%s" r="2.1" fill="%s"/>' % (pts(x), pts(y),
                                                                   PALETTE["rain"])
                   for x, y in points)


def streaks(points, length=9.0, colour="rain"):
    """Heavy rain: long slanted streaks starting at each point."""
    dx, dy = -math.sin(math.radians(20)) * length, math.cos(math.radians(20)) * length
    return "".join(
        '<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s"'
        ' stroke-linecap="round"/>' % (pts(x), pts(y), pts(x + dx), pts(y + dy),
                                       PALETTE[colour], fmt(LINE))
        for x, y in points)


def icicles(x0, x1, bottom):
    """Ice hanging under a cloud base at y = bottom, between x0 and x1: freezing rain."""
    out = []
    n = 4
    step = (x1 - x0) / n
    for i in range(n):
        x = x0 + step * (i + 0.5)
        length = 7.0 if i % 2 == 0 else 4.5
        out.append('<path d="M %s L %s L %s Z" fill="%s" stroke="%s" stroke-width="%s"'
                   ' stroke-linejoin="round"/>'
                   % (pts(x - 2.2, bottom - 1), pts(x + 2.2, bottom - 1),
                      pts(x, bottom + length), PALETTE["ice"], PALETTE["ice_edge"],
                      fmt(EDGE * 0.75)))
    return "".join(out)


def pellet(x, y, r=2.3):
    """A sleet pellet: a small grain of ice."""
    return ('<circle cx="%s" cy="%s" r="%s" fill="%s" stroke="%s" stroke-width="%s"/>'
            % (pts(x), pts(y), fmt(r), PALETTE["ice"], PALETTE["ice_edge"], fmt(EDGE * 0.75)))


def hailstone(x, y, r=3.6):
    return ('<circle cx="%s" cy="%s" r="%s" fill="%s" stroke="%s" stroke-width="%s"/>'
            % (pts(x), pts(y), fmt(r), PALETTE["hail"], PALETTE["hail_edge"], fmt(EDGE)))


def flake(cx, cy, r, colour="snow"):
    """A six-armed snow flake of radius r; flakes from radius 8 up carry side branches."""
    out = []
    width = EDGE if r < 8 else EDGE * 1.1
    for i in range(6):
        a = math.radians(90 + 60 * i)
        ex, ey = cx + r * math.cos(a), cy - r * math.sin(a)
        out.append("M %s L %s" % (pts(cx, cy), pts(ex, ey)))
        if r >= 8:
            bx, by = cx + 0.58 * r * math.cos(a), cy - 0.58 * r * math.sin(a)
            for side in (-1, 1):
                b = a + side * math.radians(45)
                out.append("M %s L %s" % (pts(bx, by), pts(bx + 0.36 * r * math.cos(b),
                                                          by - 0.36 * r * math.sin(b))))
    return ('<path d="%s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round"/>'
            % (" ".join(out), PALETTE[colour], fmt(width)))


def bolt(x, y, h):
    """A lightning bolt h tall with its upper edge at (x, y), about 0.6 h wide."""
    shape = [(0.30, 0), (0.62, 0), (0.44, 0.38), (0.66, 0.38), (0.22, 1.0), (0.32, 0.52),
             (0.1, 0.52)]
    path = "M " + " L ".join(pts(x + px * h, y + py * h) for px, py in shape) + " Z"
    return ('<path d="%s" fill="%s" stroke="%s" stroke-width="%s" stroke-linejoin="round"/>'
            % (path, PALETTE["bolt"], PALETTE["bolt_edge"], fmt(EDGE)))


def bands(rows, colour):
    """Horizontal bands, each (x0, x1, y): fog and haze."""
    return "".join(
        '<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s"'
        ' stroke-linecap="round"/>' % (pts(x0), pts(y), pts(x1), pts(y), PALETTE[colour],
                                       fmt(LINE))
        for x0, x1, y in rows)


def gusts(rows, colour="wind"):
    """Wind streaks, each (x0, x1, y, curl): a line that ends in a curl of radius curl turning
    upwards at x1 (curl 0 for a plain streak)."""
    out = []
    for x0, x1, y, curl in rows:
        d = "M %s L %s" % (pts(x0, y), pts(x1, y))
        if curl:
            d += " A %s %s 0 1 0 %s" % (fmt(curl), fmt(curl), pts(x1, y - 2 * curl))
            d += " A %s %s 0 0 0 %s" % (fmt(curl * 0.55), fmt(curl * 0.55),
                                         pts(x1 - 1.1 * curl, y - 1.1 * curl))
        out.append(d)
    return ('<path d="%s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round"'
            ' stroke-linejoin="round"/>' % (" ".join(out), PALETTE[colour], fmt(LINE)))


def smoke(x, bottom):
    """Smoke from a chimney whose foot is at (x, bottom): a plume that billows up and to the
    right, its puffs growing as they rise."""
    stack = ('<path d="M %s L %s L %s L %s Z" fill="%s" stroke="%s" stroke-width="%s"'
             ' stroke-linejoin="round"/>'
             % (pts(x - 6, bottom), pts(x - 4.5, bottom - 18), pts(x + 4.5, bottom - 18),
                pts(x + 6, bottom), PALETTE["smoke_edge"], PALETTE["smoke_edge"], fmt(EDGE)))
    puffs = [(x, bottom - 23, 5.0), (x + 6, bottom - 30, 7.0), (x + 15, bottom - 37, 9.0),
             (x + 27, bottom - 41, 10.5), (x + 38, bottom - 46, 9.0)]
    return stack + _circle_union(puffs, [], PALETTE["smoke"], PALETTE["smoke_edge"])


def grains(points, colour="dust"):
    return "".join('<circle cx="%s" cy="%s" r="1.6" fill="%s"/>' % (pts(x), pts(y),
                                                                   PALETTE[colour])
                   for x, y in points)


def thermometer(x, top, h, mercury, level):
    """A thermometer with its tube centred on x from y = top, h tall to the foot of the bulb;
    level (0 to 1) is how far up the tube the column reaches."""
    tube_w, bulb_r = 7.0, 6.0
    bulb_y = top + h - bulb_r
    # The tube's sides meet the bulb where they cross its circle; the outline runs down the
    # left side, round the bulb, up the right side and over the rounded top.
    neck_y = bulb_y - math.sqrt(bulb_r ** 2 - (tube_w / 2) ** 2)
    tube = "M %s L %s A %s %s 0 1 0 %s L %s A %s %s 0 0 0 %s Z" % (
        pts(x - tube_w / 2, top + tube_w / 2),
        pts(x - tube_w / 2, neck_y),
        fmt(bulb_r), fmt(bulb_r),
        pts(x + tube_w / 2, neck_y),
        pts(x + tube_w / 2, top + tube_w / 2),
        fmt(tube_w / 2), fmt(tube_w / 2),
        pts(x - tube_w / 2, top + tube_w / 2))
    column_top = bulb_y - (bulb_y - top - tube_w / 2) * level
    out = ['<path d="%s" fill="%s" stroke="%s" stroke-width="%s"/>'
           % (tube, PALETTE["glass"], PALETTE["glass_edge"], fmt(EDGE)),
           '<circle cx="%s" cy="%s" r="%s" fill="%s"/>' % (pts(x), pts(bulb_y), fmt(bulb_r - 2.2),
                                                          PALETTE[mercury]),
           '<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s"'
           ' stroke-linecap="round"/>' % (pts(x), pts(bulb_y), pts(x), pts(column_top),
                                          PALETTE[mercury], fmt(LINE))]
    for i in range(3):
        ty = top + tube_w / 2 + 3 + i * 4.5
        out.append('<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s"'
                   ' stroke-linecap="round"/>' % (pts(x + tube_w / 2 + 1.5), pts(ty),
                                                  pts(x + tube_w / 2 + 4), pts(ty),
                                                  PALETTE["glass_edge"], fmt(EDGE * 0.75)))
    return "".join(out)


def alert_triangle(cx, top, size):
    """A warning triangle size wide with an exclamation mark."""
    h = size * 0.88
    path = "M %s L %s L %s Z" % (pts(cx, top), pts(cx + size / 2, top + h),
                                 pts(cx - size / 2, top + h))
    return ('<path d="%s" fill="%s" stroke="%s" stroke-width="%s" stroke-linejoin="round"/>'
            '<line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s"'
            ' stroke-linecap="round"/>'
            '<circle cx="%s" cy="%s" r="%s" fill="%s"/>'
            % (path, PALETTE["alert"], PALETTE["alert_edge"], fmt(EDGE * 2),
               pts(cx), pts(top + h * 0.36), pts(cx), pts(top + h * 0.68), PALETTE["mark"],
               fmt(LINE * 1.6), pts(cx), pts(top + h * 0.84), fmt(LINE * 0.9), PALETTE["mark"]))


def na_mark(cx, cy, r):
    """No picture for this period: the letters N and A in a ring."""
    s = r * 0.34
    n = "M %s L %s L %s L %s" % (pts(cx - 2.1 * s, cy + s), pts(cx - 2.1 * s, cy - s),
                                 pts(cx - 0.35 * s, cy + s), pts(cx - 0.35 * s, cy - s))
    a = "M %s L %s L %s M %s L %s" % (pts(cx + 0.35 * s, cy + s), pts(cx + 1.2 * s, cy - s),
                                      pts(cx + 2.05 * s, cy + s), pts(cx + 0.7 * s, cy + 0.35 * s),
                                      pts(cx + 1.7 * s, cy + 0.35 * s))
    return ('<circle cx="%s" cy="%s" r="%s" fill="none" stroke="%s" stroke-width="%s"'
            ' stroke-dasharray="6 4"/>'
            '<path d="%s %s" fill="none" stroke="%s" stroke-width="%s" stroke-linecap="round"'
            ' stroke-linejoin="round"/>'
            % (pts(cx), pts(cy), fmt(r), PALETTE["na"], fmt(LINE), n, a, PALETTE["na"],
               fmt(LINE)))


def relative_luminance(colour):
    """WCAG's relative luminance of a #rrggbb colour, 0 for black to 1 for white."""
    channels = [int(colour[i:i + 2], 16) / 255 for i in (1, 3, 5)]
    linear = [c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4 for c in channels]
    return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]


def contrast_ratio(a, b):
    """WCAG's contrast ratio of two #rrggbb colours, 1 to 21."""
    high, low = sorted((relative_luminance(a), relative_luminance(b)), reverse=True)
    return (high + 0.05) / (low + 0.05)


def badge_mark_colour(fill):
    """The mark that reads best on a badge of this fill: dark on light colours, light on dark."""
    dark, light = PALETTE["badge_mark_dark"], PALETTE["badge_mark_light"]
    return dark if contrast_ratio(fill, dark) >= contrast_ratio(fill, light) else light


def darker(colour, share):
    """The colour mixed with black: share 0 keeps it, 1 is black."""
    return "#" + "".join("%02x" % round(int(colour[i:i + 2], 16) * (1 - share)) for i in (1, 3, 5))


# Where the pips of a band stand, as on a die, in steps of the pip spacing from the centre.
PIPS = {
    1: [(0, 0)],
    2: [(-1, -1), (1, 1)],
    3: [(-1, -1), (0, 0), (1, 1)],
    4: [(-1, -1), (1, -1), (-1, 1), (1, 1)],
    5: [(-1, -1), (1, -1), (0, 0), (-1, 1), (1, 1)],
    6: [(-0.85, -1.2), (-0.85, 0), (-0.85, 1.2), (0.85, -1.2), (0.85, 0), (0.85, 1.2)],
}


def pips(cx, cy, band, colour, step=10.0, r=4.2):
    """The band's number as a die shows it: 1 to 6 round pips around (cx, cy)."""
    return "".join('<circle cx="%s" cy="%s" r="%s" fill="%s"/>'
                   % (pts(cx + dx * step), pts(cy + dy * step), fmt(r), colour)
                   for dx, dy in PIPS[band])


def air_quality_badge(scale, band):
    """The badge of one air-quality band: a disc for the US index, a shield for the European
    one, in the band's colour with a slightly darker rim, and the band's number as die pips in
    the mark colour that reads on it. The panel writes the band's name itself."""
    fill = AIR_QUALITY_BANDS[scale][band - 1]
    rim = darker(fill, 0.35)
    mark = badge_mark_colour(fill)
    if scale == "AQUS":
        body = ('<circle cx="32" cy="32" r="27" fill="%s" stroke="%s" stroke-width="%s"/>'
                % (fill, rim, fmt(EDGE)))
        return body + pips(32, 32, band, mark)
    # A shield: a flat top with rounded corners, straight sides, and a point at the foot.
    path = ("M 13 5 L 51 5 Q 57 5 57 11 L 57 34 Q 57 50 32 60 Q 7 50 7 34 L 7 11 Q 7 5 13 5 Z")
    body = ('<path d="%s" fill="%s" stroke="%s" stroke-width="%s" stroke-linejoin="round"/>'
            % (path, fill, rim, fmt(EDGE)))
    return body + pips(32, 29, band, mark, step=9.5)


# ---- Compositions ------------------------------------------------------------------------------

def night_moon(phase, spot):
    """The moon at spot (centre x, centre y, radius): the plain crescent with a star when phase
    is None, else the disc in that phase."""
    cx, cy, r = spot
    if phase is None:
        return crescent(cx, cy, r) + star(cx - 0.35 * r, cy - 0.3 * r, 0.22 * r + 0.8)
    return moon_disc(cx, cy, r, phase)


def moon_spot(code):
    """Where the moon of a night code's pictures sits: (centre x, centre y, radius)."""
    if code == 31:
        return MOON_DISC
    if code in (27, 29, 33):
        return CLOUDY_DISC
    return SHOWER_DISC


def behind(day, phase, spot):
    """The sun or the moon, where a cloud in front leaves it showing."""
    if day:
        return sun(spot[0], spot[1], spot[2] * 0.78)
    return night_moon(phase, spot)


def clear(day, phase=None, hot=False):
    """A cloudless sky: the sun (with a hot thermometer when hot), or the night moon with
    stars, large enough that its phase reads at a glance."""
    if day:
        if hot:
            return sun(25, 28, 13) + thermometer(51, 16, 42, "hot", 0.85)
        return sun(32, 32, 14)
    if phase is None:
        return (crescent(31, 32, 22) + star(22, 22, 4.4) + star(9, 13, 3.0) +
                star(11, 42, 2.6))
    cx, cy, r = MOON_DISC
    return moon_disc(cx, cy, r, phase) + star(9, 11, 3.6) + star(19, 5, 2.4)


def cloudy_sky(amount, day, phase=None):
    """Sun or moon with a cloud in front: amount 1 a few clouds, 2 partly, 3 mostly cloudy."""
    sky = behind(day, phase, CLOUDY_DISC)
    if amount == 1:
        return sky + cloud(27, 56, 32)
    if amount == 2:
        return sky + cloud(17, 57, 42)
    return cloud(22, 44, 34, "cloud_back") + sky + cloud(6, 58, 46)


def precipitation_cloud(body, dark=False, sky=None):
    """A cloud over the upper half with what falls from it below; sky, the sun or the moon,
    shows at the upper left, clear of the cloud."""
    shade = "cloud_dark" if dark else "cloud"
    if sky is None:
        return cloud(8, 38, 48, shade) + body
    return sky + cloud(18, 42, 42, shade) + '<g transform="translate(7 2)">%s</g>' % body


RAIN3 = [(20, 48), (32, 54), (44, 48)]
FALL_ROWS = [(17, 45), (31, 46), (45, 45), (24, 56), (38, 57), (51, 54)]
GUST_ROWS = [(5, 22, 44, 0), (7, 18, 50, 0), (5, 20, 56, 0)]


# One function per picture; each takes the moon phase index (None for the plain night moon),
# which only the night pictures use.


def thunderstorm(_):
    return precipitation_cloud(bolt(24, 33, 28) + rain([(15, 49), (46, 49)]), dark=True)


def heavy_thunderstorm(_):
    return precipitation_cloud(bolt(24, 34, 27) + streaks([(16, 44), (44, 44), (50, 52)]),
                               dark=True)


def isolated_thunderstorm(_):
    return precipitation_cloud(bolt(28, 36, 24), sky=behind(True, None, SHOWER_DISC))


def lightning(_):
    return precipitation_cloud(bolt(16, 36, 20) + bolt(34, 37, 24), dark=True)


def night_thunderstorm(phase):
    return precipitation_cloud(bolt(25, 33, 26) + rain([(17, 49), (46, 49)]),
                               sky=night_moon(phase, SHOWER_DISC))


def windy_rain(_):
    return cloud(14, 38, 46) + rain([(30, 47), (42, 51), (54, 47)]) + gusts(GUST_ROWS)


def windy_snow(_):
    return (cloud(14, 38, 46) + flake(30, 48, 4.6) + flake(43, 54, 4.6) + flake(54, 46, 4.6) +
            gusts(GUST_ROWS))


def rain_snow(_):
    return precipitation_cloud(rain([(18, 49), (46, 49)]) + flake(32, 52, 6))


def sleet(_):
    return precipitation_cloud(flake(20, 50, 4.5) + pellet(32, 47) + pellet(27, 57) +
                               flake(44, 53, 4.5) + pellet(38, 58))


def hail(_):
    return precipitation_cloud("".join(hailstone(x, y) for x, y in [(19, 47), (32, 51),
                                                                    (45, 47), (25, 58),
                                                                    (39, 59)]))


def freezing_drizzle(_):
    return precipitation_cloud(icicles(14, 50, 40) +
                               drizzle([(18, 53), (30, 56), (42, 53), (24, 60), (36, 61)]))


def freezing_rain(_):
    return precipitation_cloud(icicles(14, 50, 40) + rain([(20, 55), (32, 59), (44, 55)]),
                               dark=True)


def light_rain(_):
    return precipitation_cloud(drizzle([(18, 47), (30, 50), (42, 47), (24, 56), (36, 58),
                                        (48, 55)]))


def showers(_):
    return precipitation_cloud(rain(RAIN3))


def heavy_rain(_):
    return precipitation_cloud(streaks([(16, 44), (26, 44), (36, 44), (46, 44), (21, 53),
                                        (31, 53), (41, 53)], length=7), dark=True)


def night_rain(phase):
    return precipitation_cloud(rain(RAIN3), sky=night_moon(phase, SHOWER_DISC))


def light_snow(_):
    return precipitation_cloud(flake(24, 50, 6) + flake(41, 53, 6))


def snow(_):
    return precipitation_cloud(flake(17, 48, 6) + flake(32, 55, 6) + flake(47, 48, 6))


def snowflakes(_):
    return flake(24, 24, 16) + flake(46, 46, 10) + flake(14, 50, 8)


def heavy_snow(_):
    return precipitation_cloud("".join(flake(x, y, 4.8) for x, y in FALL_ROWS), dark=True)


def night_snow(phase):
    return precipitation_cloud(flake(19, 48, 5.5) + flake(33, 54, 5.5) + flake(47, 48, 5.5),
                               sky=night_moon(phase, SHOWER_DISC))


def dust(_):
    return (gusts([(6, 46, 22, 6), (12, 54, 34, 0), (6, 40, 46, 5)], "dust") +
            grains([(50, 22), (56, 28), (22, 28), (34, 40), (46, 42), (24, 54), (36, 56),
                    (50, 52)]))


def fog(_):
    return cloud(10, 34, 44, "cloud_back") + bands(
        [(8, 48, 40), (16, 56, 47), (6, 42, 54), (20, 52, 61)], "fog")


def haze(_):
    return sun(32, 26, 12) + bands([(6, 58, 38), (12, 52, 46), (6, 58, 54)], "haze")


def chimney_smoke(_):
    return smoke(14, 60)


def windy(_):
    return gusts([(6, 44, 22, 6), (6, 52, 33, 0), (10, 38, 44, 5)])


def frigid(_):
    return thermometer(24, 6, 52, "cold", 0.2) + flake(46, 24, 12)


def cloudy(_):
    return cloud(22, 40, 38, "cloud_back") + cloud(4, 56, 48)


def mostly_cloudy_night(phase):
    return cloudy_sky(3, False, phase)


def mostly_cloudy_day(_):
    return cloudy_sky(3, True)


def partly_cloudy_night(phase):
    return cloudy_sky(2, False, phase)


def partly_cloudy_day(_):
    return cloudy_sky(2, True)


def clear_night(phase):
    return clear(False, phase)


def sunny(_):
    return clear(True)


def fair_night(phase):
    return cloudy_sky(1, False, phase)


def fair_day(_):
    return cloudy_sky(1, True)


def hot(_):
    return clear(True, hot=True)


# The picture of each condition code.
PICTURES = {
    0: thunderstorm, 1: windy_rain, 2: windy_rain, 3: thunderstorm, 4: heavy_thunderstorm,
    5: rain_snow, 6: hail, 7: sleet, 8: freezing_drizzle, 9: light_rain, 10: freezing_rain,
    11: showers, 12: heavy_rain, 13: light_snow, 14: snow, 15: snowflakes, 16: heavy_snow,
    17: thunderstorm, 18: hail, 19: dust, 20: fog, 21: haze, 22: chimney_smoke, 23: windy,
    24: windy, 25: frigid, 26: cloudy, 27: mostly_cloudy_night, 28: mostly_cloudy_day,
    29: partly_cloudy_night, 30: partly_cloudy_day, 31: clear_night, 32: sunny, 33: fair_night,
    34: fair_day, 35: thunderstorm, 36: hot, 37: isolated_thunderstorm, 38: lightning,
    39: heavy_rain, 40: heavy_rain, 41: heavy_snow, 42: heavy_snow, 43: windy_snow,
    44: partly_cloudy_day, 45: night_rain, 46: night_snow, 47: night_thunderstorm,
}


def composition(name):
    """The SVG body of one picture, by name: a code, a code with a phase, NA, WEATHERALERT or an
    air-quality badge. Raises KeyError or ValueError for a name that is none of them."""
    if name[:4] in AIR_QUALITY_BANDS:
        band = int(name[4:])
        if not 1 <= band <= len(AIR_QUALITY_BANDS[name[:4]]):
            raise KeyError(name)
        return air_quality_badge(name[:4], band)
    if name == "NA":
        return na_mark(32, 32, 24)
    if name == "WEATHERALERT":
        return alert_triangle(32, 6, 54)
    code, _, phase = name.partition("_")
    return PICTURES[int(code)](int(phase) if phase else None)


# ---- Names and documents -----------------------------------------------------------------------


def names():
    """Every picture name the icon functions may ask for."""
    out = [str(code) for code in range(48)] + ["NA", "WEATHERALERT"]
    out += ["%d_%d" % (code, k) for code in NIGHT_CODES for k in PHASES]
    out += ["%s%d" % (scale, band) for scale, colours in AIR_QUALITY_BANDS.items()
            for band in range(1, len(colours) + 1)]
    return out


def icon_svg(name):
    """The whole SVG document of one picture."""
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
            '%s</svg>\n' % (CANVAS, CANVAS, CANVAS, CANVAS, composition(name)))


def sheet_svg(columns=10, cell=96, label=16):
    """Every icon at cell size in a grid on a light background, its name beneath it."""
    all_names = names()
    rows = (len(all_names) + columns - 1) // columns
    pad = 12
    width = columns * (cell + pad) + pad
    height = rows * (cell + label + pad) + pad
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d">' % (width, height),
             '<rect width="%d" height="%d" fill="#eef1f4"/>' % (width, height)]
    for i, name in enumerate(all_names):
        x = pad + (i % columns) * (cell + pad)
        y = pad + (i // columns) * (cell + label + pad)
        parts.append('<rect x="%d" y="%d" width="%d" height="%d" rx="6" fill="#ffffff"/>'
                     % (x - 4, y - 4, cell + 8, cell + label + 6))
        parts.append('<svg x="%d" y="%d" width="%d" height="%d" viewBox="0 0 %d %d">%s</svg>'
                     % (x, y, cell, cell, CANVAS, CANVAS, composition(name)))
        parts.append('<text x="%d" y="%d" font-family="DejaVu Sans" font-size="13"'
                     ' text-anchor="middle" fill="#2b3138">%s</text>'
                     % (x + cell // 2, y + cell + label - 3, name))
    parts.append("</svg>\n")
    return "".join(parts)


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main(argv):
    """Runs one command line; returns the exit status: 0 done, 1 a file could not be written,
    2 a wrong command line."""
    usage = "usage: icons.py --names | --svg DIR | --sheet FILE [COLUMNS]"
    try:
        if len(argv) == 1 and argv[0] == "--names":
            sys.stdout.write("".join(n + "\n" for n in names()))
            return 0
        if len(argv) == 2 and argv[0] == "--svg":
            os.makedirs(argv[1], exist_ok=True)
            for name in names():
                write(os.path.join(argv[1], name + ".svg"), icon_svg(name))
            return 0
        if len(argv) in (2, 3) and argv[0] == "--sheet":
            columns = argv[2] if len(argv) == 3 else "10"
            if not columns.isdigit() or not 1 <= int(columns) <= 100:
                sys.stderr.write("icons.py: COLUMNS is a number from 1 to 100\n")
                return 2
            write(argv[1], sheet_svg(int(columns)))
            return 0
    except OSError as e:
        sys.stderr.write("icons.py: %s\n" % e)
        return 1
    sys.stderr.write(usage + "\n")
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
