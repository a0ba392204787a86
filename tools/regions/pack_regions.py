#!/usr/bin/env python3
"""Packs MeteoAlarm's warning regions into the module's compact regions file.

    pack_regions.py REGIONS.geojson[.gz] ALIASES.tsv OUT [--tolerance DEGREES]

REGIONS is one GeoJSON FeatureCollection whose features carry the properties `code` (the EMMA_ID,
such as "PL3001") and `country` (ISO 3166-1 alpha-2) and a Polygon or MultiPolygon in longitude,
latitude order; it may be gzipped. ALIASES is a tab-separated table with the header
`alias_type alias_code emma_code`: the other codes (NUTS3, NUTS2, FIPS, WARNCELLID) that warnings
use for the same regions. OUT is written whole (a temporary file beside it, then renamed) or not
at all; bad input stops the tool with a message on stderr and exit status 1.

The file, little-endian throughout (src/provider/warning_regions.h reads it):

    header     8 bytes  magic "NIMREGN1"
               u32      region count, u32 ring count, u32 point count, u32 alias count
    regions    40 bytes each:
               12 bytes code, NUL-padded (at most 11 characters)
                2 bytes country ISO code
                1 byte  flags: bit 0 set for a marine (sea and coast) region
                1 byte  zero
               4 x i32  box of the original outline: south, north, west, east, in 1e-5 degrees
               u32      index of its first ring, u32 its ring count
    rings      8 bytes each: u32 index of its first point, u32 its point count (closed: the
               last point repeats the first)
    points     8 bytes each: i32 latitude, i32 longitude, in 1e-5 degrees
    aliases    28 bytes each:
               12 bytes type, NUL-padded ("NUTS3", "NUTS2", "FIPS", "WARNCELLID")
               12 bytes code, NUL-padded
               u32      index of the region it stands for

The size of a whole file is exactly 24 + 40 regions + 8 rings + 8 points + 28 aliases bytes.

Each ring is simplified with Douglas-Peucker at --tolerance degrees (0.002, about 200 m), but a
ring keeps at least 4 points: one that would collapse keeps its original points, and one without
any area is dropped. The boxes come from the original points, so that no point of a region lies
outside its box.
"""

import argparse
import gzip
import json
import os
import struct
import sys
import tempfile

MAGIC = b"NIMREGN1"
HEADER = struct.Struct("<8s4I")
REGION = struct.Struct("<12s2sBB4i2I")
RING = struct.Struct("<2I")
POINT = struct.Struct("<2i")
ALIAS = struct.Struct("<12s12sI")
TEXT_FIELD = 12  # bytes of a code or type field, NUL included
SCALE = 100000  # points are stored in 1e-5 degrees
MARINE_FLAG = 1

# EMMA codes of five characters whose number is 801 to 899 ("PL801", "EI805") are sea and coast
# areas in every country of the data, except the countries below, whose 8nn codes are land.
MARINE_EXCEPTIONS = {
    "AT": "AT801 to AT804 are districts of Vorarlberg",
}


class InputError(Exception):
    pass


def is_marine(code):
    """Whether an EMMA code names a sea or coast area (see MARINE_EXCEPTIONS)."""
    if len(code) != 5 or not code[2:].isdigit() or code[:2] in MARINE_EXCEPTIONS:
        return False
    return 801 <= int(code[2:]) <= 899


def text_field(text, what):
    data = text.encode("ascii", "strict") if text.isascii() else None
    if data is None or not data or len(data) >= TEXT_FIELD or b"\0" in data:
        raise InputError(f"{what} {text!r} is not 1 to {TEXT_FIELD - 1} ASCII characters")
    return data


def read_json(path):
    with open(path, "rb") as stream:
        data = stream.read()
    if data[:2] == b"\x1f\x8b":
        data = gzip.decompress(data)
    return json.loads(data)


def scaled(position, what):
    if not isinstance(position, (list, tuple)) or len(position) < 2:
        raise InputError(f"{what}: a position is not [longitude, latitude]")
    lon, lat = position[0], position[1]
    if not all(isinstance(v, (int, float)) and not isinstance(v, bool) for v in (lon, lat)):
        raise InputError(f"{what}: a coordinate is not a number")
    if not (-180 <= lon <= 180 and -90 <= lat <= 90):
        raise InputError(f"{what}: position {lon}, {lat} is outside the earth's coordinates")
    return (round(lat * SCALE), round(lon * SCALE))


def twice_area(ring):
    """Twice the signed area of a closed ring of (lat, lon) points."""
    return sum(a[1] * b[0] - b[1] * a[0] for a, b in zip(ring, ring[1:]))


def douglas_peucker(points, tolerance):
    """The points of an open line kept by Douglas-Peucker (the two ends always)."""
    keep = [False] * len(points)
    keep[0] = keep[-1] = True
    stack = [(0, len(points) - 1)]
    limit = tolerance * tolerance
    while stack:
        first, last = stack.pop()
        (ay, ax), (by, bx) = points[first], points[last]
        dx, dy = bx - ax, by - ay
        length = dx * dx + dy * dy
        farthest, distance = -1, limit
        for i in range(first + 1, last):
            py, px = points[i]
            if length == 0:
                d = (px - ax) ** 2 + (py - ay) ** 2
            else:
                cross = dx * (py - ay) - dy * (px - ax)
                d = cross * cross / length
            if d > distance:
                farthest, distance = i, d
        if farthest >= 0:
            keep[farthest] = True
            stack.append((first, farthest))
            stack.append((farthest, last))
    return [p for p, k in zip(points, keep) if k]


def simplify_ring(ring, tolerance):
    """A closed ring simplified, the original when the simplified one would have fewer than 4
    points, or None when the ring has no area."""
    cleaned = [p for i, p in enumerate(ring) if i == 0 or p != ring[i - 1]]
    if cleaned[0] != cleaned[-1]:
        cleaned.append(cleaned[0])
    if len(cleaned) < 4 or twice_area(cleaned) == 0:
        return None
    # The ring is split at its first point and the point farthest from it, so that both halves
    # are open lines with distinct ends.
    y0, x0 = cleaned[0]
    far = max(range(len(cleaned) - 1),
              key=lambda i: (cleaned[i][0] - y0) ** 2 + (cleaned[i][1] - x0) ** 2)
    scaled_tolerance = tolerance * SCALE
    simplified = (douglas_peucker(cleaned[:far + 1], scaled_tolerance)[:-1] +
                  douglas_peucker(cleaned[far:], scaled_tolerance))
    if len(simplified) < 4 or twice_area(simplified) == 0:
        return cleaned
    return simplified


def polygons_of(geometry, what):
    if not isinstance(geometry, dict):
        raise InputError(f"{what}: no geometry")
    kind, coordinates = geometry.get("type"), geometry.get("coordinates")
    if kind == "Polygon" and isinstance(coordinates, list):
        return [coordinates]
    if kind == "MultiPolygon" and isinstance(coordinates, list):
        return coordinates
    raise InputError(f"{what}: geometry {kind!r} is not a Polygon or MultiPolygon")


def pack(regions_path, aliases_path, tolerance):
    try:
        collection = read_json(regions_path)
    except (OSError, ValueError, EOFError) as error:
        raise InputError(f"{regions_path}: {error}") from None
    features = collection.get("features") if isinstance(collection, dict) else None
    if not isinstance(features, list) or not features:
        raise InputError(f"{regions_path}: not a FeatureCollection with features")

    regions, rings, points = [], [], []
    index_of = {}
    total_points = 0
    for number, feature in enumerate(features):
        properties = feature.get("properties") if isinstance(feature, dict) else None
        if not isinstance(properties, dict):
            raise InputError(f"{regions_path}: feature {number} has no properties")
        code, country = properties.get("code"), properties.get("country")
        if not isinstance(code, str) or not isinstance(country, str):
            raise InputError(f"{regions_path}: feature {number} lacks a code or a country")
        what = f"{regions_path}: region {code}"
        code_bytes = text_field(code, "code")
        if len(country) != 2 or not country.isascii() or not country.isalpha():
            raise InputError(f"{what}: country {country!r} is not an ISO code")
        if code in index_of:
            raise InputError(f"{what} appears twice")
        originals = []
        for polygon in polygons_of(feature.get("geometry"), what):
            if not isinstance(polygon, list):
                raise InputError(f"{what}: a polygon is not a list of rings")
            for ring in polygon:
                if not isinstance(ring, list):
                    raise InputError(f"{what}: a ring is not a list of positions")
                originals.append([scaled(position, what) for position in ring])
        every_point = [p for ring in originals for p in ring]
        if not every_point:
            raise InputError(f"{what} has no points")
        total_points += len(every_point)
        box = (min(p[0] for p in every_point), max(p[0] for p in every_point),
               min(p[1] for p in every_point), max(p[1] for p in every_point))
        first_ring = len(rings)
        for ring in originals:
            kept = simplify_ring(ring, tolerance) if ring else None
            if kept is not None:
                rings.append((len(points), len(kept)))
                points.extend(kept)
        index_of[code] = len(regions)
        flags = MARINE_FLAG if is_marine(code) else 0
        regions.append(REGION.pack(code_bytes, country.upper().encode("ascii"), flags, 0, *box,
                                   first_ring, len(rings) - first_ring))

    aliases, skipped = [], 0
    try:
        with open(aliases_path, encoding="utf-8") as stream:
            lines = stream.read().splitlines()
    except (OSError, UnicodeDecodeError) as error:
        raise InputError(f"{aliases_path}: {error}") from None
    if not lines or lines[0].split("\t") != ["alias_type", "alias_code", "emma_code"]:
        raise InputError(f"{aliases_path}: the header is not alias_type, alias_code, emma_code")
    for number, line in enumerate(lines[1:], start=2):
        if not line.strip():
            continue
        fields = line.split("\t")
        if len(fields) != 3:
            raise InputError(f"{aliases_path}:{number}: not three tab-separated fields")
        kind, code, emma = (field.strip() for field in fields)
        what = f"{aliases_path}:{number}:"
        kind_bytes, code_bytes = text_field(kind, f"{what} type"), text_field(code, f"{what} code")
        if emma not in index_of:
            skipped += 1
            continue
        aliases.append(ALIAS.pack(kind_bytes, code_bytes, index_of[emma]))

    data = bytearray(HEADER.pack(MAGIC, len(regions), len(rings), len(points), len(aliases)))
    for region in regions:
        data += region
    for ring in rings:
        data += RING.pack(*ring)
    for point in points:
        data += POINT.pack(*point)
    for alias in aliases:
        data += alias
    summary = {"regions": len(regions), "rings": len(rings), "points": len(points),
               "total_points": total_points, "aliases": len(aliases), "skipped": skipped}
    return bytes(data), summary


def write_whole(path, data):
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(prefix=".pack-regions-", dir=folder)
    try:
        with os.fdopen(handle, "wb") as stream:
            stream.write(data)
        # mkstemp makes the file private; the regions file is read by whoever runs the module.
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temporary, 0o666 & ~umask)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("regions", help="the regions' GeoJSON FeatureCollection (gzipped or not)")
    parser.add_argument("aliases", help="the aliases' table (alias_type alias_code emma_code)")
    parser.add_argument("out", help="the regions file to write")
    parser.add_argument("--tolerance", type=float, default=0.002,
                        help="Douglas-Peucker tolerance in degrees (0.002, about 200 m)")
    arguments = parser.parse_args()
    if not 0 <= arguments.tolerance < 1:
        parser.error("--tolerance must be 0 or more and under 1 degree")
    try:
        data, summary = pack(arguments.regions, arguments.aliases, arguments.tolerance)
        write_whole(arguments.out, data)
    except InputError as error:
        print(f"pack_regions: {error}; {arguments.out} not written", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"pack_regions: cannot write {arguments.out}: {error}", file=sys.stderr)
        return 1
    if summary["skipped"]:
        print(f"pack_regions: {summary['skipped']} aliases name no region of the file: left out",
              file=sys.stderr)
    print(f"{os.path.basename(arguments.out)}: {summary['regions']} regions, {summary['rings']} "
          f"rings, {summary['points']} of {summary['total_points']} points kept, "
          f"{summary['aliases']} aliases, {len(data)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
