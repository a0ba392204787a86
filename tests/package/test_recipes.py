#!/usr/bin/env python3
"""The panel recipes the Linux package ships, read as the panels read them: the conky recipe's
pictures keep clear of its texts, and the waybar style stands on its own with readable
colours."""

import os
import re
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
RECIPES = os.path.join(ROOT, "package", "linux")
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tools", "package"))

import package_tool  # noqa: E402


def read(name):
    with open(os.path.join(RECIPES, name), encoding="utf-8") as f:
        return f.read()


def conky_with_text(text):
    return "conky.config = {}\nconky.text = [[\n%s\n]]\n" % text


ICON = '${execpi 600 echo "\\${image `nimbrel-host IconForecast \'\' 1 1 \'\'` %s}"}'


class ConkyLayout(unittest.TestCase):
    def test_the_shipped_recipe_keeps_pictures_and_texts_apart(self):
        conf = read("conky.conf")
        self.assertEqual(package_tool.conky_layout_faults(conf), [])
        # Every picture of the recipe is checked: the current one, the air-quality badge and
        # three forecast days.
        self.assertEqual(len(re.findall(r"-i \d+ -s \d+x\d+", conf)), 6)

    def test_pictures_that_meet_a_text_are_found(self):
        faults = {
            # A fixed place drifts from the lines as soon as a font differs.
            "a fixed place": ICON % "-p 0,170 -s 48x48" + "\\\n${voffset 56}3°/-8°",
            "no anchor": ICON % "-i 2 -s 48x48" + "${voffset 52}3°/-8°",
            "an anchor of another slot": "${save_coordinates 3}" + ICON % "-i 2 -s 48x48" +
                                         "${voffset 52}3°/-8°",
            "no size": "${save_coordinates 2}" + ICON % "-i 2" + "${voffset 52}3°/-8°",
            "text under a picture, no room": "${save_coordinates 2}" + ICON % "-i 2 -s 48x48" +
                                             "${voffset 40}${goto 5}3°/-8°",
            "room made before the anchor": "${voffset 52}${save_coordinates 2}" +
                                           ICON % "-i 2 -s 48x48" + "${goto 5}3°/-8°",
            "text beside, too close": "${save_coordinates 1}" + ICON % "-i 1 -s 64x64" +
                                      "${goto 50}-6°C",
            "a second column under the first's room": "${goto 0}${save_coordinates 2}" +
                ICON % "-i 2 -s 48x48" + "${goto 105}${save_coordinates 3}" +
                ICON % "-i 3 -s 48x48" + "${voffset 52}${goto 5}3°${goto 110}${voffset -10}0°",
        }
        for name, text in faults.items():
            with self.subTest(name):
                self.assertNotEqual(package_tool.conky_layout_faults(conky_with_text(text)), [])

    def test_pictures_with_room_pass(self):
        fine = [
            "${goto 0}${save_coordinates 2}" + ICON % "-i 2 -s 48x48" + "${goto 105}"
            "${save_coordinates 3}" + ICON % "-i 3 -s 48x48" + "\\\n${voffset 52}${goto 5}3°"
            "${goto 110}0°",
            "${font DejaVu Sans:size=22}${save_coordinates 1}" + ICON % "-i 1 -s 64x64" +
            "${goto 80}-6°C$font",
        ]
        for text in fine:
            with self.subTest(text):
                self.assertEqual(package_tool.conky_layout_faults(conky_with_text(text)), [])

    def test_precipitation_is_not_called_rain(self):
        # The chance covers snow and hail as much as rain.
        for name in ("conky.conf", "waybar-config.jsonc"):
            with self.subTest(name):
                self.assertNotRegex(read(name), r"rain <precip")
                self.assertIn("precip <precip", read(name))


class WaybarStyle(unittest.TestCase):
    """The style must read on any bar: waybar's default theme, a bare GTK bar (the style as the
    only style file) or the user's own. So the module paints its own background and text in
    both states, and each text colour stands out from its background."""

    @staticmethod
    def rules(css):
        css = re.sub(r"/\*.*?\*/", "", css, flags=re.S)
        rules = {}
        for selectors, body in re.findall(r"([^{}]+)\{([^}]*)\}", css):
            values = dict((k.strip(), v.strip()) for k, v in
                          (d.split(":", 1) for d in body.split(";") if ":" in d))
            for selector in selectors.split(","):
                rules.setdefault(selector.strip(), {}).update(values)
        return rules

    @staticmethod
    def luminance(colour):
        digits = re.fullmatch(r"#([0-9a-fA-F]{6})", colour)
        assert digits, "not a #rrggbb colour: " + colour
        channels = [int(digits.group(1)[i:i + 2], 16) / 255 for i in (0, 2, 4)]
        linear = [c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4 for c in channels]
        return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]

    def contrast(self, a, b):
        high, low = sorted((self.luminance(a), self.luminance(b)), reverse=True)
        return (high + 0.05) / (low + 0.05)

    def test_each_state_paints_readable_colours_of_its_own(self):
        rules = self.rules(read("waybar-style.css"))
        states = {"normal": rules.get("#custom-nimbrel", {}),
                  "error": rules.get("#custom-nimbrel.error", {})}
        for state, rule in states.items():
            with self.subTest(state):
                self.assertIn("background-color", rule)
                self.assertIn("color", rule)
                # WCAG's ratio for normal text.
                self.assertGreaterEqual(self.contrast(rule["color"], rule["background-color"]),
                                        4.5)

    def test_only_the_module_is_styled(self):
        # Added to a user's own style, it must not repaint their bar or other modules.
        for selector in self.rules(read("waybar-style.css")):
            with self.subTest(selector):
                self.assertTrue(selector.startswith("#custom-nimbrel"), selector)

    def test_the_contrast_measure_tells_readable_from_unreadable(self):
        self.assertLess(self.contrast("#f38ba8", "#ffffff"), 4.5)  # pink text on a bare bar
        self.assertGreater(self.contrast("#000000", "#ffffff"), 20)


if __name__ == "__main__":
    unittest.main()
