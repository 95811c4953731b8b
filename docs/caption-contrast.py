#!/usr/bin/env python3
"""Measures the contrast of the main window's fixed-background captions in a screenshot.

Usage: docs/caption-contrast.py CLIENT.png  (the window's inside at 96 dpi, as `import -window` takes it)

For each caption (the two frame titles and the seven option buttons, without their circles) the
background is the commonest colour of its rectangle and the text colour is the pixel of the
rectangle that differs most from it; the figure is their WCAG 2 contrast ratio. Reads the pixels
with ImageMagick's `convert ... txt:-`.
"""
import collections
import re
import subprocess
import sys

# x, y, width, height in pixels of the window's inside (twips / 15), from the main window's layout.
CAPTIONS = {
    "Frame2 title": (8, 250, 200, 16),
    "Option5": (44, 270, 357, 17),
    "Option6": (44, 293, 421, 17),
    "Frame1 title": (8, 322, 230, 16),
    "Option1": (44, 342, 357, 17),
    "Option2": (44, 365, 421, 17),
    "Option3": (44, 389, 421, 17),
    "Option4": (44, 412, 337, 17),
    "Option7": (44, 435, 361, 17),
}


def luminance(rgb):
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


def pixels(image, x, y, w, h):
    out = subprocess.run(["convert", image, "-crop", f"{w}x{h}+{x}+{y}", "-depth", "8", "txt:-"],
                         check=True, capture_output=True, text=True).stdout
    return [tuple(int(v) for v in m.groups()[:3])
            for m in re.finditer(r"^\d+,\d+: \((\d+),(\d+),(\d+)", out, re.M)]


def main():
    image = sys.argv[1]
    worst = None
    for name, box in CAPTIONS.items():
        colours = pixels(image, *box)
        background = collections.Counter(colours).most_common(1)[0][0]
        text = max(colours, key=lambda c: contrast(c, background))
        ratio = contrast(text, background)
        worst = ratio if worst is None else min(worst, ratio)
        print(f"{name:13} text #{bytes(text).hex()} on #{bytes(background).hex()}: {ratio:5.2f} : 1")
    print(f"lowest {worst:.2f} : 1 (WCAG asks at least 4.5 : 1)")


if __name__ == "__main__":
    main()
