#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the picture tests' files with Pillow and ImageMagick, and beside each
one the pixels as Pillow decodes it (NAME.ppm), for comparison."""

import io
import os
import random
import subprocess
import sys

from PIL import Image


def photo(width, height, seed):
    """Smooth gradients with a little noise: JPEG-friendly, many colours."""
    rng = random.Random(seed)
    pixels = []
    for y in range(height):
        for x in range(width):
            r = (x * 255) // max(1, width - 1)
            g = (y * 255) // max(1, height - 1)
            b = ((x + y) * 4) % 256
            n = rng.randint(-6, 6)
            pixels.append(tuple(max(0, min(255, c + n)) for c in (r, g, b)))
    image = Image.new("RGB", (width, height))
    image.putdata(pixels)
    return image


def palette_picture(width, height, seed):
    """An 8-bit picture that uses all 256 palette entries."""
    rng = random.Random(seed)
    image = Image.new("P", (width, height))
    palette = []
    for i in range(256):
        palette += [i, (i * 7) % 256, 255 - i]
    image.putpalette(palette)
    image.putdata([(x * 3 + y * 5 + rng.randint(0, 3)) % 256 for y in range(height) for x in range(width)])
    return image


def write_reference(path, image):
    image.convert("RGB").save(path + ".ppm")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)

    def name(file):
        return os.path.join(out, file)

    # JPEG: baseline, progressive, grayscale; references decoded by Pillow.
    base = photo(97, 61, 1)
    base.save(name("photo.jpg"), quality=90)
    write_reference(name("photo.jpg"), Image.open(name("photo.jpg")))
    base.save(name("progressive.jpg"), quality=90, progressive=True)
    write_reference(name("progressive.jpg"), Image.open(name("progressive.jpg")))
    base.convert("L").save(name("gray.jpg"), quality=90)
    write_reference(name("gray.jpg"), Image.open(name("gray.jpg")))
    with open(name("photo.jpg"), "rb") as f:
        whole = f.read()
    with open(name("truncated.jpg"), "wb") as f:
        f.write(whole[: len(whole) * 2 // 3])
    open(name("empty.jpg"), "wb").close()
    # The baseline photo with a frame header claiming 60000 x 50000 pixels.
    sof = whole.find(b"\xff\xc0")
    assert sof > 0
    huge = bytearray(whole)
    huge[sof + 5:sof + 9] = (50000).to_bytes(2, "big") + (60000).to_bytes(2, "big")
    with open(name("huge.jpg"), "wb") as f:
        f.write(huge)
    with open(name("text.jpg"), "wb") as f:
        f.write(b"This is not a picture at all.\n")
    # A progressive file whose second scan names a component the frame does
    # not have: the header reads, the decode fails.
    with open(name("progressive.jpg"), "rb") as f:
        data = bytearray(f.read())
    first = data.find(b"\xff\xda")
    second = data.find(b"\xff\xda", first + 2)
    assert first > 0 and second > first
    data[second + 5] = 0x77
    with open(name("badscan.jpg"), "wb") as f:
        f.write(data)

    # Bitmaps: the 8-bit form, 24-bit, 4-bit, 1-bit and RLE-compressed 8-bit.
    pal = palette_picture(37, 23, 2)
    pal.save(name("indexed.bmp"))
    write_reference(name("indexed.bmp"), Image.open(name("indexed.bmp")))
    photo(33, 17, 3).save(name("truecolour.bmp"))
    write_reference(name("truecolour.bmp"), Image.open(name("truecolour.bmp")))
    subprocess.run(["convert", name("indexed.bmp"), "-colors", "16", "-type", "Palette",
                    "BMP3:" + name("sixteen.bmp")], check=True)
    write_reference(name("sixteen.bmp"), Image.open(name("sixteen.bmp")))
    subprocess.run(["convert", name("indexed.bmp"), "-monochrome", "BMP3:" + name("mono.bmp")], check=True)
    write_reference(name("mono.bmp"), Image.open(name("mono.bmp")))
    subprocess.run(["convert", name("indexed.bmp"), "-colors", "200", "-compress", "RLE",
                    "BMP3:" + name("rle.bmp")], check=True)
    write_reference(name("rle.bmp"), Image.open(name("rle.bmp")))
    with open(name("indexed.bmp"), "rb") as f:
        bmp = f.read()
    with open(name("short.bmp"), "wb") as f:
        f.write(bmp[: len(bmp) - 100])

    # Icons: two images, the smaller first; the reference is the larger one.
    photo(32, 32, 4).save(name("icon32.png"))
    photo(16, 16, 5).save(name("icon16.png"))
    subprocess.run(["convert", name("icon16.png"), name("icon32.png"), name("two.ico")], check=True)
    with open(name("two.ico"), "rb") as f:
        directory = f.read(6 + 2 * 16)
    assert directory[6] == 16 and directory[6 + 16] == 32, "ImageMagick reordered the icon"
    write_reference(name("two.ico"), Image.open(name("icon32.png")))
    for png in ("icon32.png", "icon16.png"):
        os.remove(name(png))

    # GIF: plain and interlaced (Pillow writes no extension blocks for these),
    # a 2-colour table, a BMP under a GIF name, and one with a graphic control
    # extension before the image.
    gif = palette_picture(45, 29, 6)
    gif.save(name("picture.gif"))
    write_reference(name("picture.gif"), Image.open(name("picture.gif")))
    gif.save(name("interlaced.gif"), interlace=True)
    write_reference(name("interlaced.gif"), Image.open(name("interlaced.gif")))
    two = Image.new("P", (9, 5))
    two.putpalette([10, 20, 30, 200, 100, 50])
    two.putdata([(x + y) % 2 for y in range(5) for x in range(9)])
    two.save(name("twocolour.gif"))
    write_reference(name("twocolour.gif"), Image.open(name("twocolour.gif")))
    with open(name("indexed.bmp"), "rb") as f, open(name("bitmap.gif"), "wb") as g:
        g.write(f.read())
    gif.save(name("extension.gif"), transparency=0)
    for file in ("picture.gif", "interlaced.gif", "twocolour.gif"):
        with open(name(file), "rb") as f:
            data = f.read()
        table = 3 * (2 << (data[10] & 7))
        assert data[13 + table] == 0x2C, file + " has a block before its image"
    with open(name("extension.gif"), "rb") as f:
        data = f.read()
    assert data[13 + 3 * (2 << (data[10] & 7))] == 0x21

    with open(name("stamp"), "w") as f:
        f.write("done\n")


if __name__ == "__main__":
    main()
