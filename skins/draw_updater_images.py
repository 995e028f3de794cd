#!/usr/bin/env python3
"""Draws the updater skin's images and its program icon (plain RGBA pixels, written as PNG and ICO).

    python3 skins/draw_updater_images.py            # redraws skins/updater/btn/*.png
    python3 skins/draw_updater_images.py --ico OUT  # writes the program icon (used by the build)
"""
import math
import os
import struct
import sys
import zlib

BLUE = (0x00, 0xA0, 0xE9, 255)
WHITE = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)


class Image:
    def __init__(self, w, h, fill=CLEAR):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = list(c)

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1.0):
        # Anti-aliased thick segment: coverage from the distance to the segment.
        for y in range(self.h):
            for x in range(self.w):
                px, py = x + 0.5, y + 0.5
                dx, dy = x1 - x0, y1 - y0
                t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)))
                d = math.hypot(px - (x0 + t * dx), py - (y0 + t * dy))
                a = max(0.0, min(1.0, width / 2 + 0.5 - d))
                if a > 0:
                    self.blend(x, y, c, a)

    def blend(self, x, y, c, a):
        p = self.px[y * self.w + x]
        sa = c[3] / 255.0 * a
        da = p[3] / 255.0
        oa = sa + da * (1 - sa)
        if oa <= 0:
            return
        for i in range(3):
            p[i] = int(round((c[i] * sa + p[i] * da * (1 - sa)) / oa))
        p[3] = int(round(oa * 255))

    def png(self):
        raw = b"".join(b"\0" + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
                       for y in range(self.h))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

    def ico(self):
        # One 32-bit DIB image: bottom-up BGRA rows, then an all-zero AND mask (alpha decides).
        xor = b"".join(bytes((p[2], p[1], p[0], p[3])) for y in reversed(range(self.h))
                       for p in self.px[y * self.w:(y + 1) * self.w])
        mask = b"\0" * (((self.w + 31) // 32) * 4 * self.h)
        dib = struct.pack("<IiiHHIIiiII", 40, self.w, self.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        dib += xor + mask
        return (struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", self.w, self.h, 0, 0, 1, 32, len(dib), 22)
                + dib)


def shade(c, f):
    return tuple(min(255, int(v * f)) for v in c[:3]) + (c[3],)


def title_buttons(glyph, hot_bg, pushed_bg):
    img = Image(75, 25)
    for i, bg in enumerate((None, hot_bg, pushed_bg)):
        if bg:
            img.rect(i * 25, 0, i * 25 + 25, 25, bg)
        glyph(img, i * 25)
    return img


def minus(img, x):
    img.line(x + 7.5, 12.5, x + 17.5, 12.5, WHITE, 1.6)


def cross(img, x):
    img.line(x + 8, 8, x + 17, 17, WHITE, 1.6)
    img.line(x + 17, 8, x + 8, 17, WHITE, 1.6)


def download_badge(size):
    img = Image(size, size)
    r = size / 2.0
    for y in range(size):
        for x in range(size):
            d = math.hypot(x + 0.5 - r, y + 0.5 - r)
            a = max(0.0, min(1.0, r - 0.5 - d + 0.5))
            if a > 0:
                img.blend(x, y, BLUE, a)
    s = size / 55.0
    w = 4.5 * s
    img.line(r, 13 * s, r, 36 * s, WHITE, w)
    img.line(r - 10 * s, 27 * s, r, 37 * s, WHITE, w)
    img.line(r + 10 * s, 27 * s, r, 37 * s, WHITE, w)
    img.line(16 * s, 42 * s, 39 * s, 42 * s, WHITE, w * 0.8)
    return img


def progress_fill():
    img = Image(181, 16)
    for y in range(16):
        c = shade(BLUE, 1.25 - 0.03 * y)
        img.rect(0, y, 181, y + 1, c)
    return img


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--ico":
        with open(sys.argv[2], "wb") as f:
            f.write(download_badge(32).ico())
        return
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "updater", "btn")
    os.makedirs(out, exist_ok=True)
    images = {
        "minBtn.png": title_buttons(minus, shade(BLUE, 1.25), shade(BLUE, 0.8)),
        "CloseBtn.png": title_buttons(cross, (0xE8, 0x40, 0x40, 255), (0xC0, 0x28, 0x28, 255)),
        "dl_large.png": download_badge(55),
        "prog.png": progress_fill(),
    }
    for name, img in images.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(img.png())


if __name__ == "__main__":
    main()
