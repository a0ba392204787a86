"""Reads PNG files with the standard library alone: the header, and the pixels of 8-bit RGBA
and RGB images (the kinds a renderer writes), for tests that look at what was drawn."""

import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


class PngError(Exception):
    pass


def chunks(data):
    """Yields (type, body) of every chunk, checking each chunk's CRC."""
    if data[:8] != SIGNATURE:
        raise PngError("not a PNG file")
    pos = 8
    while pos + 12 <= len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length or pos + 12 + length > len(data):
            raise PngError("chunk %r is cut short" % kind)
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            raise PngError("chunk %r has a bad CRC" % kind)
        yield kind, body
        if kind == b"IEND":
            return
        pos += 12 + length
    raise PngError("no IEND chunk")


def header(data):
    """(width, height, bit depth, colour type, interlace) from the IHDR chunk."""
    for kind, body in chunks(data):
        if kind != b"IHDR" or len(body) != 13:
            raise PngError("the first chunk is not a valid IHDR")
        width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        return width, height, depth, colour, interlace
    raise PngError("no chunks")


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def decode(data):
    """Returns (width, height, pixels) with pixels a list of rows, each a bytes object of
    width * 4 RGBA values. RGB images get an opaque alpha. Other kinds raise PngError."""
    width, height, depth, colour, interlace = header(data)
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise PngError("only 8-bit RGB or RGBA without interlace is read (depth %d, colour "
                       "type %d, interlace %d)" % (depth, colour, interlace))
    bpp = 4 if colour == 6 else 3
    raw = zlib.decompress(b"".join(body for kind, body in chunks(data) if kind == b"IDAT"))
    stride = width * bpp
    if len(raw) != height * (stride + 1):
        raise PngError("image data has %d bytes, not %d" % (len(raw), height * (stride + 1)))
    rows = []
    prev = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(bpp, stride):
                line[i] = (line[i] + line[i - bpp]) & 0xFF
        elif kind == 2:
            line = bytearray((a + b) & 0xFF for a, b in zip(line, prev))
        elif kind == 3:
            for i in range(stride):
                left = line[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                if i >= bpp:
                    line[i] = (line[i] + _paeth(line[i - bpp], prev[i], prev[i - bpp])) & 0xFF
                else:
                    line[i] = (line[i] + prev[i]) & 0xFF
        elif kind != 0:
            raise PngError("unknown filter %d in row %d" % (kind, y))
        prev = line
        if bpp == 3:
            rgba = bytearray(width * 4)
            rgba[0::4], rgba[1::4], rgba[2::4] = line[0::3], line[1::3], line[2::3]
            rgba[3::4] = b"\xff" * width
            line = rgba
        rows.append(bytes(line))
    return width, height, rows


def read(path):
    with open(path, "rb") as f:
        return decode(f.read())
