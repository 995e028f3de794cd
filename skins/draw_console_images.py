#!/usr/bin/env python3
"""Draws the console skin's images and its program icon (plain RGBA pixels, written as PNG and ICO).

    python3 skins/draw_console_images.py            # redraws skins/console/Head.png and btn/*.png
    python3 skins/draw_console_images.py --ico OUT  # writes the program icon 132 (used by the build)
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from draw_updater_images import Image, WHITE, cross, minus, shade, title_buttons  # noqa: E402

TEAL = (0x1A, 0x8C, 0x7E, 255)
GREY = (0xB8, 0xC2, 0xCC, 255)
LIGHT = (0xEE, 0xF2, 0xF5, 255)


def disc(img, cx, cy, r, c):
    for y in range(img.h):
        for x in range(img.w):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            a = max(0.0, min(1.0, r + 0.5 - d))
            if a > 0:
                img.blend(x, y, c, a)


def console_badge(size):
    """A rounded screen with a check mark: the console's icon."""
    img = Image(size, size)
    s = size / 32.0
    disc(img, size / 2.0, size / 2.0, size / 2.0 - 0.5, TEAL)
    img.line(9 * s, 16.5 * s, 14 * s, 21.5 * s, WHITE, 3.2 * s)
    img.line(14 * s, 21.5 * s, 23.5 * s, 11 * s, WHITE, 3.2 * s)
    return img


def default_photo():
    """The customer page's stand-in photo: a grey head and shoulders on a light ground."""
    w, h = 102, 126
    img = Image(w, h, LIGHT)
    disc(img, w / 2.0, 46, 22, GREY)
    for y in range(76, h):
        half = min(44.0, 20 + (y - 76) * 1.1)
        for x in range(w):
            d = abs(x + 0.5 - w / 2.0) - half
            a = max(0.0, min(1.0, 0.5 - d))
            if a > 0:
                img.blend(x, y, GREY, a)
    return img


def check_box():
    """Two 16 x 16 states side by side: cleared and ticked."""
    img = Image(32, 16)
    for i in range(2):
        x0 = i * 16
        img.rect(x0 + 1, 1, x0 + 15, 15, shade(GREY, 0.8))
        img.rect(x0 + 2, 2, x0 + 14, 14, WHITE if i == 0 else TEAL)
        if i == 1:
            img.line(x0 + 4.5, 8, x0 + 7, 10.5, WHITE, 1.6)
            img.line(x0 + 7, 10.5, x0 + 11.5, 5.5, WHITE, 1.6)
    return img


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--ico":
        with open(sys.argv[2], "wb") as f:
            f.write(console_badge(32).ico())
        return
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "console")
    os.makedirs(os.path.join(root, "btn"), exist_ok=True)
    images = {
        "Head.png": default_photo(),
        "btn/minBtn.png": title_buttons(minus, shade(TEAL, 1.25), shade(TEAL, 0.8)),
        "btn/CloseBtn.png": title_buttons(cross, (0xE8, 0x40, 0x40, 255), (0xC0, 0x28, 0x28, 255)),
        "btn/check.png": check_box(),
        "btn/logo.png": console_badge(24),
    }
    for name, img in images.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(img.png())


if __name__ == "__main__":
    main()
