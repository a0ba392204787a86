#!/usr/bin/env python3
"""Draws a small weather panel as a person sees it in the host: the current conditions beside
their picture, and five forecast days, each with its picture. The texts and picture paths come
from the module; this only lays them out, as one SVG with the pictures embedded, and renders it
to a PNG with rsvg-convert.

  panel.py RESULTS OUT.png

RESULTS holds the module's answers one a line, escaped as nimbrel-host --batch writes them:
  1. the current conditions: "%b"-separated lines, the first the place, the second the
     temperature, the rest smaller lines under it
  2. the path of the current conditions' picture
  3. to 12. for each of five days: its text ("%b"-separated: day name, high/low, condition),
     then the path of its picture
A picture path that is not a readable PNG draws a dashed empty frame, and its text stays, so a
failure shows in the picture as it would on a panel.
"""
import base64
import os
import subprocess
import sys
from xml.sax.saxutils import escape

WIDTH = 600
DAYS = 5
FONT = "DejaVu Sans, sans-serif"
INK = "#f2f5f8"
MUTED = "#a9b8c8"
BACKGROUND_TOP = "#24384f"
BACKGROUND_BOTTOM = "#16222f"


def unescape(line):
    """Undoes nimbrel-host --batch's escapes: \\\\ \\n \\r \\t."""
    out = []
    i = 0
    while i < len(line):
        if line[i] == "\\" and i + 1 < len(line):
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(line[i + 1],
                                                                         line[i:i + 2]))
            i += 2
        else:
            out.append(line[i])
            i += 1
    return "".join(out)


def lines_of(text):
    return [part.strip() for part in text.replace("\n", "%b").split("%b")]


def picture(path, x, y, size):
    """An embedded PNG, or a dashed frame where the module's path holds no picture."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        data = b""
    if not data.startswith(b"\x89PNG"):
        return ('<rect x="%d" y="%d" width="%d" height="%d" rx="8" fill="none" stroke="%s" '
                'stroke-dasharray="4 4"/>' % (x, y, size, size, MUTED))
    return ('<image x="%d" y="%d" width="%d" height="%d" xlink:href="data:image/png;base64,%s"/>'
            % (x, y, size, size, base64.b64encode(data).decode("ascii")))


def text(x, y, content, size, colour=INK, weight="normal", anchor="start"):
    return ('<text x="%d" y="%d" font-family="%s" font-size="%d" font-weight="%s" fill="%s" '
            'text-anchor="%s">%s</text>' % (x, y, FONT, size, weight, colour, anchor,
                                            escape(content)))


def fit(content, size, width, bold=False):
    """Cuts a text that would not fit `width` pixels (DejaVu Sans averages 0.6 em a letter, its
    bold face 0.64)."""
    letters = max(1, int(width / (size * (0.64 if bold else 0.6))))
    return content if len(content) <= letters else content[:letters - 1].rstrip() + "\u2026"


def wrap(content, size, width, rows):
    """Breaks a text into at most `rows` lines of `width` pixels, at blanks or slashes."""
    letters = max(1, int(width / (size * 0.6)))
    words = content.replace("/", "/ ").split()
    out = [""]
    for word in words:
        joined = out[-1] + ("" if not out[-1] or out[-1].endswith("/") else " ") + word
        if len(joined) <= letters or not out[-1]:
            out[-1] = joined
        elif len(out) < rows:
            out.append(word)
        else:
            out[-1] = fit(joined, size, width)
            break
    return [fit(line, size, width) for line in out]


def panel(results):
    current = lines_of(results[0])
    parts = []
    # The current conditions: a large picture, the place, the temperature, the details.
    parts.append(text(176, 52, fit(current[0], 17, WIDTH - 200, True), 17, MUTED, "bold"))
    if len(current) > 1:
        parts.append(text(174, 104, fit(current[1], 46, WIDTH - 200, True), 46, INK, "bold"))
    y = 134
    for line in current[2:]:
        size = 17 if y == 134 else 13
        parts.append(text(176, y, fit(line, size, WIDTH - 200), size, INK if size == 17 else MUTED))
        y += 22 if size == 17 else 19
    # The picture stands in the middle of the text beside it.
    bottom = y - 14
    icon_y = max(24, (36 + bottom) // 2 - 64)
    parts.append(picture(results[1], 28, icon_y, 128))
    top = max(bottom, icon_y + 128) + 16
    parts.append('<line x1="24" y1="%d" x2="%d" y2="%d" stroke="%s" stroke-opacity="0.35"/>'
                 % (top, WIDTH - 24, top, MUTED))
    # Five days in equal columns: name, picture, high and low, condition.
    column = (WIDTH - 48) // DAYS
    for day in range(DAYS):
        lines = lines_of(results[2 + 2 * day])
        centre = 24 + column * day + column // 2
        name, temps, cond = (lines + ["", "", ""])[:3]
        parts.append(text(centre, top + 28, fit(name, 14, column - 8, True), 14, INK, "bold", "middle"))
        parts.append(picture(results[3 + 2 * day], centre - 32, top + 38, 64))
        parts.append(text(centre, top + 122, fit(temps, 15, column - 8, True), 15, INK, "bold",
                          "middle"))
        for row, line in enumerate(wrap(cond, 12, column - 10, 2)):
            parts.append(text(centre, top + 142 + 16 * row, line, 12, MUTED, "normal", "middle"))
    height = top + 172
    return ('<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
            'width="%d" height="%d" viewBox="0 0 %d %d">'
            '<defs><linearGradient id="sky" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/>'
            '</linearGradient></defs>'
            '<rect width="%d" height="%d" rx="16" fill="url(#sky)"/>%s</svg>'
            % (WIDTH, height, WIDTH, height, BACKGROUND_TOP, BACKGROUND_BOTTOM, WIDTH, height,
               "".join(parts)))


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8", errors="replace") as f:
        results = [unescape(line.rstrip("\n")) for line in f]
    if len(results) < 2 + 2 * DAYS:
        print("panel: %s holds %d answers, not %d" % (argv[1], len(results), 2 + 2 * DAYS),
              file=sys.stderr)
        return 1
    svg = os.path.splitext(argv[2])[0] + ".svg"
    with open(svg, "w", encoding="utf-8") as f:
        f.write(panel(results))
    subprocess.run(["rsvg-convert", "-o", argv[2], svg], check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
