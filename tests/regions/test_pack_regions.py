#!/usr/bin/env python3
"""The warning regions packer: bad input stops it with a message, exit status 1 and the old
file untouched; the sea-area rule and its exception; the boxes hold every original point; a
polygon's hole survives simplification."""

import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TOOL = os.path.join(ROOT, "tools", "regions", "pack_regions.py")
FIXTURES = os.path.join(ROOT, "tests", "provider", "regions")
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(TOOL))

import pack_regions  # noqa: E402


def feature(code, country, coordinates, kind="Polygon"):
    return {"type": "Feature", "properties": {"code": code, "country": country},
            "geometry": {"type": kind, "coordinates": coordinates}}


SQUARE = [[[10, 10], [12, 10], [12, 12], [10, 12], [10, 10]]]


class Packer(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="pack-regions-")
        self.aliases = os.path.join(self.folder, "aliases.tsv")
        with open(self.aliases, "w", encoding="utf-8") as stream:
            stream.write("alias_type\talias_code\temma_code\n")
        self.out = os.path.join(self.folder, "out.Regions")

    def tearDown(self):
        shutil.rmtree(self.folder)

    def run_tool(self, features, aliases=None):
        regions = os.path.join(self.folder, "regions.geojson")
        with open(regions, "w", encoding="utf-8") as stream:
            if isinstance(features, str):
                stream.write(features)
            else:
                json.dump({"type": "FeatureCollection", "features": features}, stream)
        if aliases is not None:
            with open(self.aliases, "w", encoding="utf-8") as stream:
                stream.write(aliases)
        return subprocess.run([sys.executable, TOOL, regions, self.aliases, self.out],
                              capture_output=True, text=True)

    def test_bad_input_fails_and_keeps_the_old_file(self):
        with open(self.out, "wb") as stream:
            stream.write(b"old")
        cases = {
            "not JSON": "{",
            "no features": [],
            "a code too long": [feature("ZZ0123456789", "ZZ", SQUARE)],
            "a country that is no ISO code": [feature("ZZ001", "Z1", SQUARE)],
            "a line for a geometry": [feature("ZZ001", "ZZ", [[0, 0], [1, 1]], "LineString")],
            "a coordinate off the earth": [feature("ZZ001", "ZZ", [[[0, 0], [200, 0], [0, 1],
                                                                    [0, 0]]])],
            "a text for a coordinate": [feature("ZZ001", "ZZ", [[[0, "0"], [1, 0], [0, 1],
                                                                 [0, 0]]])],
            "a code twice": [feature("ZZ001", "ZZ", SQUARE), feature("ZZ001", "ZZ", SQUARE)],
        }
        for what, features in cases.items():
            with self.subTest(what):
                result = self.run_tool(features)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("not written", result.stderr)
                with open(self.out, "rb") as stream:
                    self.assertEqual(stream.read(), b"old")
        for what, aliases in {"no header": "NUTS3\tZZ101\tZZ001\n",
                              "two fields": "alias_type\talias_code\temma_code\nNUTS3\tZZ1\n"}.items():
            with self.subTest(what):
                result = self.run_tool([feature("ZZ001", "ZZ", SQUARE)], aliases)
                self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(os.listdir(self.folder).count("out.Regions"), 1)
        self.assertEqual([n for n in os.listdir(self.folder) if n.startswith(".pack")], [])

    def test_sea_areas_are_8nn_codes_except_austrias(self):
        self.assertTrue(pack_regions.is_marine("PL801"))
        self.assertTrue(pack_regions.is_marine("EI825"))
        self.assertTrue(pack_regions.is_marine("FI899"))
        self.assertFalse(pack_regions.is_marine("AT801"))
        self.assertFalse(pack_regions.is_marine("FI800"))
        self.assertFalse(pack_regions.is_marine("PL8011"))
        self.assertFalse(pack_regions.is_marine("DE001"))

    def test_boxes_hold_every_original_point_and_holes_stay(self):
        data, summary = pack_regions.pack(os.path.join(FIXTURES, "test-regions.geojson"),
                                          os.path.join(FIXTURES, "test-aliases.tsv"), 0.002)
        self.assertEqual(summary["skipped"], 1)
        with open(os.path.join(FIXTURES, "test-regions.geojson"), encoding="utf-8") as stream:
            features = json.load(stream)["features"]
        magic, regions, rings, points, aliases = struct.unpack_from("<8s4I", data)
        self.assertEqual(magic, b"NIMREGN1")
        self.assertEqual(len(data), 24 + 40 * regions + 8 * rings + 8 * points + 28 * aliases)
        for i, source in enumerate(features):
            code, _, flags, _, south, north, west, east, first, count = struct.unpack_from(
                "<12s2sBB4i2I", data, 24 + 40 * i)
            self.assertEqual(code.rstrip(b"\0").decode(), source["properties"]["code"])
            geometry = source["geometry"]
            polygons = (geometry["coordinates"] if geometry["type"] == "MultiPolygon"
                        else [geometry["coordinates"]])
            for lon, lat in (p for polygon in polygons for ring in polygon for p in ring):
                self.assertTrue(south <= round(lat * 1e5) <= north, code)
                self.assertTrue(west <= round(lon * 1e5) <= east, code)
            kept = sum(len(polygon) for polygon in polygons)
            self.assertEqual(count, kept, f"{code}: a ring was lost")


if __name__ == "__main__":
    unittest.main()
