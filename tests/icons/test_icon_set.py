#!/usr/bin/env python3
"""The icon set as the image folder receives it: renders it with scripts/icons.sh into a
temporary folder and reads the pictures back, pixel by pixel."""

import itertools
import math
import operator
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SCRIPT = os.path.join(ROOT, "scripts", "icons.sh")
GENERATOR = os.path.join(ROOT, "tools", "icons", "icons.py")
# Importing the generator and the reader leaves no compiled files in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.dirname(GENERATOR))

import icons  # noqa: E402  the generator, for its palette and where it puts the moon
import png_reader  # noqa: E402

NIGHT_CODES = (27, 29, 31, 33, 45, 46, 47)
# The air-quality badges: each index's six bands, best first, in the colour its agency gives
# the band (the US EPA's, the EEA's).
BAND_COLOURS = {
    "AQUS": ("#00E400", "#FFFF00", "#FF7E00", "#FF0000", "#8F3F97", "#7E0023"),
    "AQEU": ("#50F0E6", "#50CCAA", "#F0E641", "#FF5050", "#960032", "#7D2181"),
}
BADGES = ["%s%d" % (scale, band) for scale in BAND_COLOURS for band in range(1, 7)]
REQUIRED = ([str(c) for c in range(48)] + ["NA", "WEATHERALERT"] +
            ["%d_%d" % (c, k) for c in NIGHT_CODES for k in range(1, 9)] + BADGES)

# What each condition code means; codes of one meaning may share a picture, codes of different
# meanings may not.
MEANING = {
    0: "Thunderstorms", 1: "Windy Rain", 2: "Windy Rain", 3: "Thunderstorms",
    4: "Heavy Thunderstorm", 5: "Snow/Rain Mix", 6: "Hail", 7: "Snow/Rain Icy Mix",
    8: "Light Rain Icy", 9: "Light Rain", 10: "Heavy Rain Icy", 11: "Rain", 12: "Heavy Rain",
    13: "Light Snow", 14: "Snow", 15: "Snowflakes", 16: "Heavy Snow", 17: "Thunderstorms",
    18: "Hail", 19: "Dust", 20: "Fog", 21: "Haze", 22: "Smoke", 23: "Windy", 24: "Windy",
    25: "Frigid", 26: "Cloudy", 27: "Mostly Cloudy Night", 28: "Mostly Cloudy Day",
    29: "Partly Cloudy Night", 30: "Partly Cloudy Day", 31: "Clear Night", 32: "Sunny Day",
    33: "Fair Night", 34: "Light Partly Cloudy Day", 35: "Thunderstorms", 36: "Hot Sunny Day",
    37: "Isolated Thunderstorms", 38: "Lightning", 39: "Heavy Rain", 40: "Heavy Rain",
    41: "Heavy Snow", 42: "Heavy Snow", 43: "Windy/Snowy", 44: "Partly Cloudy Day",
    45: "Rainy Night", 46: "Snowy Night", 47: "Thunderstorms Night",
}

# Which codes show which element, found by the element's own colour.
SHOWS = {
    "sun": {21, 28, 30, 32, 34, 36, 37, 44},
    "moon_lit": {27, 29, 31, 33, 45, 46, 47},
    "bolt": {0, 3, 4, 17, 35, 37, 38, 47},
    "rain": {0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 17, 35, 39, 40, 45, 47},
    "snow": {5, 7, 13, 14, 15, 16, 25, 41, 42, 43, 46},
    "hot": {36},
    "cold": {25},
}
# Pictures of the same sky by day and by night.
DAY_NIGHT = [(32, 31), (34, 33), (30, 29), (44, 29), (28, 27), (11, 45), (14, 46), (0, 47),
             (37, 47)]


def hex_rgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def pixels(rows):
    """Every pixel as (x, y, r, g, b, a)."""
    for y, row in enumerate(rows):
        for x in range(len(row) // 4):
            r, g, b, a = row[4 * x:4 * x + 4]
            yield x, y, r, g, b, a


def count_colour(rows, colour, tolerance=6):
    """Opaque pixels of the given colour: the inside of a flat shape of that fill."""
    cr, cg, cb = hex_rgb(colour)
    return sum(1 for _, _, r, g, b, a in pixels(rows)
               if a == 255 and abs(r - cr) <= tolerance and abs(g - cg) <= tolerance and
               abs(b - cb) <= tolerance)


def moon_light(rows, size, spot):
    """(lit, shadow) pixel counts of the moon disc's left and right halves, each a pair, and
    the lit share of each half's visible moon. Only the inside of the disc is looked at, clear
    of its edge; a cloud in front counts as neither lit nor shadow."""
    scale = size / icons.CANVAS
    cx, cy, r = (v * scale for v in spot)
    inner = (0.85 * r) ** 2
    lit_colour = hex_rgb(icons.PALETTE["moon_lit"])
    dark_colour = hex_rgb(icons.PALETTE["moon_dark"])
    lit = [0, 0]
    dark = [0, 0]
    for x, y, red, green, blue, alpha in pixels(rows):
        dx, dy = x + 0.5 - cx, y + 0.5 - cy
        if dx * dx + dy * dy > inner or alpha < 250:
            continue
        half = 0 if dx < 0 else 1
        if all(abs(p - q) <= 12 for p, q in zip((red, green, blue), lit_colour)):
            lit[half] += 1
        elif all(abs(p - q) <= 12 for p, q in zip((red, green, blue), dark_colour)):
            dark[half] += 1
    share = [lit[h] / (lit[h] + dark[h]) if lit[h] + dark[h] else 0.0 for h in (0, 1)]
    return lit, dark, share


def contrast_ratio(a, b):
    """WCAG's contrast ratio of two (r, g, b) colours."""
    def luminance(rgb):
        linear = [c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
                  for c in (v / 255 for v in rgb)]
        return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]
    high, low = sorted((luminance(a), luminance(b)), reverse=True)
    return (high + 0.05) / (low + 0.05)


def marks(rows, fill, tolerance=40):
    """The separate marks drawn on a badge: groups of opaque pixels, touching side by side,
    that are clearly not the fill and not its rim (far from the fill and from its darker
    shades). Returns each group's size and mean colour, largest first."""
    fill = hex_rgb(fill)
    size = len(rows)

    def is_mark(x, y):
        r, g, b, a = rows[y][4 * x:4 * x + 4]
        if a < 250:
            return False
        # The rim and the fill's anti-aliased edge are the fill scaled towards black.
        for shade in (1.0, 0.8, 0.65, 0.5):
            if all(abs(p - q * shade) <= tolerance for p, q in zip((r, g, b), fill)):
                return False
        return True

    seen = set()
    groups = []
    for y in range(size):
        for x in range(size):
            if (x, y) in seen or not is_mark(x, y):
                continue
            stack, members = [(x, y)], []
            seen.add((x, y))
            while stack:
                px, py = stack.pop()
                members.append((px, py))
                for nx, ny in ((px + 1, py), (px - 1, py), (px, py + 1), (px, py - 1)):
                    if 0 <= nx < size and 0 <= ny < size and (nx, ny) not in seen and \
                            is_mark(nx, ny):
                        seen.add((nx, ny))
                        stack.append((nx, ny))
            colour = tuple(sum(rows[py][4 * px + c] for px, py in members) / len(members)
                           for c in range(3))
            groups.append((len(members), colour))
    return sorted(groups, reverse=True)


def differing_pixels(a, b):
    """How many pixels of two pictures of one size differ clearly in colour or cover (any
    channel in another eighth of its range)."""
    return sum(map(operator.ne, quantised(a), quantised(b)))


_QUANTISED = {}


def quantised(rows):
    key = id(rows)
    if key not in _QUANTISED:
        flat = b"".join(rows)
        _QUANTISED[key] = (rows, [(flat[i] >> 5) << 9 | (flat[i + 1] >> 5) << 6 |
                                  (flat[i + 2] >> 5) << 3 | flat[i + 3] >> 5
                                  for i in range(0, len(flat), 4)])
    return _QUANTISED[key][1]


class IconSet(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.out = tempfile.mkdtemp(prefix="nimbrel-icons-")
        subprocess.run([SCRIPT, cls.out], check=True)
        cls.cache = {}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.out, ignore_errors=True)

    def image(self, name, size=128):
        key = (name, size)
        if key not in self.cache:
            width, height, rows = png_reader.read(os.path.join(self.out, str(size),
                                                               name + ".png"))
            self.assertEqual((width, height), (size, size), name)
            self.cache[key] = rows
        return self.cache[key]

    def test_names_files_sizes_and_alpha(self):
        listed = subprocess.run([sys.executable, GENERATOR, "--names"], check=True,
                                capture_output=True, text=True).stdout.split("\n")
        self.assertEqual(listed[-1], "")
        self.assertEqual(sorted(listed[:-1]), sorted(REQUIRED))
        for name, size in itertools.product(REQUIRED, (64, 128)):
            with open(os.path.join(self.out, str(size), name + ".png"), "rb") as f:
                width, height, depth, colour, _ = png_reader.header(f.read())
            self.assertEqual((width, height, depth, colour), (size, size, 8, 6),
                             "%s at %d pixels: 8-bit RGBA of that size" % (name, size))
            self.assertTrue(os.path.isfile(os.path.join(self.out, "svg", name + ".svg")))

    def test_transparent_corners_and_something_drawn(self):
        for name, size in itertools.product(REQUIRED, (64, 128)):
            rows = self.image(name, size)
            edge = size // 16
            for x, y in itertools.product((0, size - 1), (0, size - 1)):
                corner = [rows[yy][4 * xx + 3]
                          for xx in range(min(x, size - edge), min(x, size - edge) + edge)
                          for yy in range(min(y, size - edge), min(y, size - edge) + edge)]
                self.assertEqual(max(corner), 0, "%s at %d: corner (%d, %d)" % (name, size,
                                                                                 x, y))
            opaque = sum(1 for row in rows for a in row[3::4] if a > 128)
            self.assertGreater(opaque, size * size // 12, "%s at %d pixels is nearly empty"
                               % (name, size))

    def test_moon_pictures_show_their_phase(self):
        lit_share = []
        for k in range(1, 9):
            lit, dark, _ = moon_light(self.image("31_%d" % k), 128, icons.moon_spot(31))
            total = sum(lit) + sum(dark)
            self.assertGreater(total, 0.8 * math.pi * (0.85 * icons.MOON_DISC[2] * 2) ** 2,
                               "31_%d: the disc is where it should be" % k)
            share = sum(lit) / total
            lit_share.append(share)
            if k in (2, 3, 4):
                self.assertGreater(lit[1], lit[0] + 100, "31_%d waxes: lit on the right" % k)
            if k in (6, 7, 8):
                self.assertGreater(lit[0], lit[1] + 100, "31_%d wanes: lit on the left" % k)
        self.assertLess(lit_share[0], 0.03, "new moon is unlit")
        self.assertGreater(lit_share[4], 0.97, "full moon is lit all over")
        for k in (3, 7):
            self.assertAlmostEqual(lit_share[k - 1], 0.5, delta=0.1,
                                   msg="the quarters are half lit")
        for k in range(1, 5):
            self.assertLess(lit_share[k - 1], lit_share[k], "light grows from %d to %d"
                            % (k, k + 1))
        for k in range(5, 8):
            self.assertGreater(lit_share[k - 1], lit_share[k], "light wanes from %d to %d"
                               % (k, k + 1))
        for a, b in ((2, 8), (3, 7), (4, 6)):
            self.assertAlmostEqual(lit_share[a - 1], lit_share[b - 1], delta=0.05,
                                   msg="31_%d and 31_%d show as much light" % (a, b))

    def test_night_variants_show_the_moon_of_each_phase(self):
        for code in NIGHT_CODES:
            spot = icons.moon_spot(code)
            plain = self.image(str(code))
            variants = [self.image("%d_%d" % (code, k)) for k in range(1, 9)]
            for k, rows in enumerate(variants, 1):
                lit, dark, share = moon_light(rows, 128, spot)
                name = "%d_%d" % (code, k)
                self.assertGreater(sum(lit) + sum(dark), 200, "%s shows its moon" % name)
                if k == 1:
                    self.assertLess(sum(lit), 0.03 * (sum(lit) + sum(dark)), name)
                elif k == 5:
                    self.assertLess(sum(dark), 0.03 * (sum(lit) + sum(dark)), name)
                elif k < 5:
                    self.assertGreater(share[1], share[0] + 0.05, "%s waxes on the right" % name)
                else:
                    self.assertGreater(share[0], share[1] + 0.05, "%s wanes on the left" % name)
                self.assertGreater(differing_pixels(plain, rows), 100,
                                   "%s differs from %d" % (name, code))
            for (i, a), (j, b) in itertools.combinations(enumerate(variants, 1), 2):
                self.assertGreater(differing_pixels(a, b), 40, "%d_%d and %d_%d look alike"
                                   % (code, i, code, j))

    def test_each_picture_shows_its_elements(self):
        for element, codes in SHOWS.items():
            for code in range(48):
                # Where two other colours blend at an edge, a few pixels may match by chance;
                # a shape of the colour fills many more.
                found = count_colour(self.image(str(code)), icons.PALETTE[element])
                if code in codes:
                    self.assertGreater(found, 80, "%d (%s) shows %s" % (code, MEANING[code],
                                                                         element))
                else:
                    self.assertLess(found, 20, "%d (%s) shows no %s" % (code, MEANING[code],
                                                                        element))
        for code in NIGHT_CODES:
            for k in range(1, 9):
                self.assertLess(count_colour(self.image("%d_%d" % (code, k)),
                                             icons.PALETTE["sun"]), 20, "no sun at night")

    def test_day_and_night_differ_and_meanings_differ(self):
        for day, night in DAY_NIGHT:
            self.assertGreater(differing_pixels(self.image(str(day)), self.image(str(night))),
                               500, "%d and %d" % (day, night))
        for a, b in itertools.combinations(range(48), 2):
            if MEANING[a] != MEANING[b]:
                self.assertGreater(differing_pixels(self.image(str(a), 64),
                                                    self.image(str(b), 64)), 30,
                                   "%d (%s) and %d (%s) look alike"
                                   % (a, MEANING[a], b, MEANING[b]))
        for special in ("NA", "WEATHERALERT"):
            for code in range(48):
                self.assertGreater(differing_pixels(self.image(special, 64),
                                                    self.image(str(code), 64)), 30)

    def test_air_quality_badges_show_their_band(self):
        for name, size in itertools.product(BADGES, (64, 128)):
            with self.subTest(name=name, size=size):
                rows = self.image(name, size)
                fill = BAND_COLOURS[name[:4]][int(name[4:]) - 1]
                opaque = sum(1 for row in rows for a in row[3::4] if a > 128)
                self.assertGreater(count_colour(rows, fill), 0.6 * opaque,
                                   "the band's colour fills most of the badge")
                # The band's number as separate marks, each big enough to see (a pip of 3 px
                # across at 64 px would be one), and no crumbs.
                found = marks(rows, fill)
                big = [g for g in found if g[0] >= (size / 64) ** 2 * 25]
                self.assertEqual(len(big), int(name[4:]), "one mark per band step: %s" % found)
                self.assertLessEqual(sum(g[0] for g in found) - sum(g[0] for g in big),
                                     (size / 64) ** 2 * 20, "stray marks: %s" % found)
                # WCAG asks 3:1 of a graphic's parts against what is next to them.
                for _, colour in big:
                    self.assertGreaterEqual(contrast_ratio(colour, hex_rgb(fill)), 3.0,
                                            "the mark reads on the band's colour")

    def test_light_and_dark_bands_take_marks_of_their_own(self):
        # Yellow cannot take a white mark nor the darkest red a black one: both kinds occur.
        shades = set()
        for name in BADGES:
            fill = BAND_COLOURS[name[:4]][int(name[4:]) - 1]
            _, colour = marks(self.image(name), fill)[0]
            shades.add("light" if sum(colour) > 3 * 128 else "dark")
        self.assertEqual(shades, {"light", "dark"})

    def test_the_two_scales_badges_differ_in_shape(self):
        # The US badge is a disc: nothing drawn beyond its rim. The European shield fills the
        # frame's upper corners, which the disc leaves empty.
        for band in range(1, 7):
            for size in (64, 128):
                us, eu = self.image("AQUS%d" % band, size), self.image("AQEU%d" % band, size)
                k = size / 64
                outside = [(x, y) for x, y, _, _, _, a in pixels(us)
                           if a > 0 and math.hypot((x + 0.5) / k - 32, (y + 0.5) / k - 32) > 29]
                self.assertEqual(outside, [], "AQUS%d at %d is round" % (band, size))
                for x, y in ((10, 9), (54, 9)):
                    self.assertEqual(us[int(y * k)][4 * int(x * k) + 3], 0)
                    self.assertEqual(eu[int(y * k)][4 * int(x * k) + 3], 255,
                                     "AQEU%d at %d has square shoulders" % (band, size))
                self.assertGreater(differing_pixels(us, eu), 300 * k * k)
        for a, b in itertools.combinations(BADGES, 2):
            self.assertGreater(differing_pixels(self.image(a, 64), self.image(b, 64)), 100,
                               "%s and %s look alike" % (a, b))

    def test_contact_sheet(self):
        width, height, rows = png_reader.read(os.path.join(self.out, "contact-sheet.png"))
        self.assertGreaterEqual(width * height, len(REQUIRED) * 64 * 64 * 2,
                                "room for every icon and its name")
        r, g, b, a = rows[1][4:8]
        self.assertEqual(a, 255, "an opaque background")
        self.assertGreater(min(r, g, b), 200, "a light background")
        # The labels are dark text on the light cells.
        dark = sum(1 for row in rows for i in range(0, len(row), 4)
                   if row[i + 3] == 255 and max(row[i:i + 3]) < 80)
        self.assertGreater(dark, len(REQUIRED) * 20)


class Failures(unittest.TestCase):
    """The script stops with a nonzero status when a picture does not come out."""

    def run_with_renderer(self, refuse):
        """Runs the script with a stand-in renderer that writes a token file for every
        picture except those whose source path matches the shell pattern of refuse, where it
        runs the shell text given with it instead ($out is the output path)."""
        work = tempfile.mkdtemp(prefix="nimbrel-icons-fail-")
        try:
            bin_dir = os.path.join(work, "bin")
            os.mkdir(bin_dir)
            fake = os.path.join(bin_dir, "rsvg-convert")
            pattern, action = refuse
            with open(fake, "w") as f:
                f.write('#!/bin/sh\nout=\nwhile [ $# -gt 0 ]; do\n'
                        '  case "$1" in --output) out=$2; shift;; %s) %s;; esac\n'
                        '  shift\ndone\necho token >"$out"\n' % (pattern, action))
            os.chmod(fake, 0o755)
            env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"])
            return subprocess.run([SCRIPT, os.path.join(work, "out")], env=env,
                                  capture_output=True, text=True)
        finally:
            shutil.rmtree(work, ignore_errors=True)

    def test_a_failed_render_fails_the_script(self):
        # Like a renderer that dies half way: a file is there, but the status says it failed.
        result = self.run_with_renderer(("*/17.svg", 'echo half >"$out"; exit 1'))
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("17", result.stderr)

    def test_a_render_that_writes_nothing_fails_the_script(self):
        result = self.run_with_renderer(("*/WEATHERALERT.svg", "exit 0"))
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("WEATHERALERT", result.stderr)

    def test_the_stand_in_renderer_alone_passes(self):
        # The two cases above fail for the picture they name, not for the stand-in itself.
        result = self.run_with_renderer(("*/no-such-picture.svg", "exit 1"))
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_usage(self):
        result = subprocess.run([SCRIPT], capture_output=True, text=True)
        self.assertEqual(result.returncode, 2)
        self.assertIn("usage", result.stderr)


if __name__ == "__main__":
    unittest.main()
