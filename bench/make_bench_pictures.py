#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the benchmark pictures: two 2048 x 2048 GIFs (a dithered photo-like
picture and a flat graphic) and a 4000 x 3000 JPEG photo."""

import os
import sys

from PIL import Image, ImageDraw, ImageFilter


def photo(width, height):
    """Soft gradients, a fractal and fine grain: colour everywhere, like a photo."""
    red = Image.linear_gradient("L").resize((width, height))
    green = Image.radial_gradient("L").resize((width, height))
    blue = Image.effect_mandelbrot((width, height), (-2.2, -1.3, 0.8, 1.3), 60)
    base = Image.merge("RGB", (red, green, blue)).filter(ImageFilter.GaussianBlur(3))
    grain = Image.merge("RGB", [Image.effect_noise((width, height), 48).filter(ImageFilter.GaussianBlur(0.6))
                                for _ in range(3)])
    return Image.blend(base, grain, 0.3)


def flat(width, height):
    """Large areas of a few colours with outlines and lettering, like a drawing."""
    image = Image.new("P", (width, height), 0)
    image.putpalette([0, 0, 0, 255, 255, 255, 200, 40, 40, 40, 160, 60, 30, 60, 200, 230, 210, 40,
                      120, 120, 120, 250, 140, 0] + [0] * (256 - 8) * 3)
    draw = ImageDraw.Draw(image)
    for i in range(60):
        x, y = (i * 337) % width, (i * 541) % height
        draw.rectangle([x, y, x + 200 + i * 5, y + 120 + i * 3], fill=2 + i % 6, outline=1, width=3)
        draw.ellipse([y % width, x % height, y % width + 180, x % height + 140], fill=1 + i % 7)
    for row in range(0, height, 64):
        draw.text((20, row), "Amiga cover disc  " * 12, fill=0)
    return image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    picture = photo(2048, 2048)
    picture.quantize(256, dither=Image.Dither.FLOYDSTEINBERG).save(os.path.join(out, "photo.gif"))
    flat(2048, 2048).save(os.path.join(out, "flat.gif"))
    photo(4000, 3000).save(os.path.join(out, "photo.jpg"), quality=90)
    with open(os.path.join(out, "stamp"), "w") as f:
        f.write("done\n")


if __name__ == "__main__":
    main()
