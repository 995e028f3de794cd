#!/usr/bin/env python3
"""Lays out the sample skin that the screenshot tests load three ways: a folder (the markup of
tests/ui/data/sample with images drawn here), a zip file of that folder and, through the test
program's resources, the same zip as a "ZIPRES" resource.
    make_sample_skin.py <source folder> <output folder> <output zip>"""
import os
import shutil
import struct
import sys
import zipfile
import zlib


def png(width, height, pixel):
    """A 32-bit RGBA PNG; pixel(x, y) -> (r, g, b, a)."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


def framed(width, height, top, bottom, edge):
    """A vertical gradient from top to bottom colour inside a one-pixel edge."""
    def pixel(x, y):
        if x in (0, width - 1) or y in (0, height - 1):
            return edge + (255,)
        return mix(top, bottom, y / (height - 1)) + (255,)
    return png(width, height, pixel)


def box(checked):
    def pixel(x, y):
        if x in (0, 15) or y in (0, 15):
            return (60, 80, 110, 255)
        if checked and 3 <= x <= 12 and 3 <= y <= 12:
            return (40, 150, 70, 255)
        return (255, 255, 255, 255)
    return png(16, 16, pixel)


def radio(selected):
    def pixel(x, y):
        d = (x - 7.5) ** 2 + (y - 7.5) ** 2
        if d > 56:
            return (0, 0, 0, 0)
        if d > 40:
            return (60, 80, 110, 255)
        if selected and d < 12:
            return (40, 90, 190, 255)
        return (255, 255, 255, 255)
    return png(16, 16, pixel)


def tiles():
    """Three 40x40 tiles side by side (the skin picks one with source=)."""
    colours = [(220, 80, 60), (60, 160, 90), (70, 110, 200)]
    def pixel(x, y):
        c = colours[x // 40]
        lx, ly = x % 40, y
        if lx < 2 or ly < 2 or lx > 37 or ly > 37:
            return (255, 255, 255, 255)
        return mix(c, (255, 255, 255), ly / 80) + (255,)
    return png(120, 40, pixel)


def close_glyph():
    def pixel(x, y):
        if abs(x - y) <= 1 or abs(x + y - 15) <= 1:
            if 3 <= x <= 12:
                return (255, 255, 255, 255)
        return (0, 0, 0, 0)
    return png(16, 16, pixel)


def gif(width, height, frames):
    """An animated GIF of solid frames [(rgb, delay in 1/100 s)], each frame's graphic-control
    extension directly before its image (GDI+ then reads every frame's delay). A clear code before
    every pixel keeps the LZW code width at three bits."""
    table = [rgb for rgb, _ in frames][:4]
    table += [(0, 0, 0)] * (4 - len(table))
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", width, height, 0x81, 0, 0))
    for rgb in table:
        out.extend(rgb)
    for index, (_, delay) in enumerate(frames):
        out.extend(b"\x21\xf9\x04\x04" + struct.pack("<H", delay) + b"\x00\x00")
        out.extend(b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0) + b"\x02")
        acc, bits, data = 0, 0, bytearray()
        for code in [4, index] * (width * height) + [5]:
            acc |= code << bits
            bits += 3
            while bits >= 8:
                data.append(acc & 0xFF)
                acc >>= 8
                bits -= 8
        if bits:
            data.append(acc & 0xFF)
        for i in range(0, len(data), 255):
            part = data[i:i + 255]
            out.append(len(part))
            out.extend(part)
        out.append(0)
    out.append(0x3B)
    return bytes(out)


IMAGES = {
    "images/button.png": lambda: framed(40, 24, (250, 250, 252), (200, 210, 225), (90, 110, 140)),
    "images/button_hot.png": lambda: framed(40, 24, (255, 255, 255), (170, 200, 240), (50, 90, 160)),
    "images/check.png": lambda: box(False),
    "images/check_on.png": lambda: box(True),
    "images/radio.png": lambda: radio(False),
    "images/radio_on.png": lambda: radio(True),
    "images/progress_fore.png": lambda: png(16, 10, lambda x, y: (40, 170, 80, 255) if (x + y) % 8 < 5
                                            else (90, 200, 120, 255)),
    "images/track.png": lambda: png(40, 20, lambda x, y: ((130, 140, 160, 255) if y in (7, 12) or x in (0, 39)
                                                          else (215, 222, 232, 255)) if 7 <= y <= 12 else (0, 0, 0, 0)),
    "images/thumb.png": lambda: framed(12, 20, (90, 130, 200), (40, 80, 160), (20, 40, 90)),
    "images/tiles.png": tiles,
    "images/close.png": close_glyph,
    "images/anim.gif": lambda: gif(24, 24, [((230, 120, 30), 10), ((40, 160, 90), 20), ((60, 90, 200), 25)]),
}


def main():
    src, out, zip_path = sys.argv[1], sys.argv[2], sys.argv[3]
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(os.path.join(out, "images"))
    files = {}
    for name in sorted(os.listdir(src)):
        with open(os.path.join(src, name), "rb") as f:
            files[name] = f.read()
    for name, make in IMAGES.items():
        files[name] = make()
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED) as z:
        for name in sorted(files):
            z.writestr(name, files[name])


main()
