#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the picture tests' files with Pillow and ImageMagick, and beside each
one the pixels as Pillow decodes it (NAME.ppm), for comparison."""

import io
import os
import random
import struct
import subprocess
import sys

from PIL import Image, ImageFile


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


def rle_bitmap(width, height, bits, palette, runs):
    """A run-length encoded BMP (RLE8 or RLE4) around the given run bytes."""
    colours = len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 1 if bits == 8 else 2,
                       len(runs), 2835, 2835, colours, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + len(info) + len(table)
    header = b"BM" + struct.pack("<IHHI", offset + len(runs), 0, 0, offset)
    return header + info + table + runs


def make_damaged_bitmaps(name):
    """Bitmaps that leave pixels out: runs that skip or stop early, a cut file,
    and the 56-byte header with an alpha mask. Every pixel the file does not
    give is index 0 (or black). ImageMagick's decoding is the reference for the
    runs (Pillow here mishandles the move escape), Pillow's for the cut file."""
    ImageFile.LOAD_TRUNCATED_IMAGES = True
    # Multiples of 17, which ImageMagick's four-bit reading keeps exact.
    palette = [(204, 34, 51), (17, 221, 34), (34, 51, 238), (255, 255, 0)]
    files = {
        # Runs, a move of 3 right and 1 up, an early line end, the end marker
        # before the last row.
        "rle8-skips.bmp": rle_bitmap(8, 4, 8, palette, bytes([
            3, 1, 0, 2, 3, 1, 2, 2, 0, 0,
            0, 3, 3, 2, 1, 0, 0, 0,
            0, 1])),
        # Stops without any end marker in the second row.
        "rle8-cut.bmp": rle_bitmap(8, 4, 8, palette, bytes([8, 2, 0, 0, 4, 3])),
        # Four-bit runs and an odd literal run, padded to a 16-bit boundary.
        "rle4-skips.bmp": rle_bitmap(8, 3, 4, palette, bytes([
            5, 0x12, 0, 3, 0x31, 0x20, 0, 0,
            0, 2, 2, 0, 2, 0x33, 0, 1])),
    }
    for file, data in files.items():
        with open(name(file), "wb") as f:
            f.write(data)
    with open(name("truecolour.bmp"), "rb") as f:
        truecolour = f.read()
    with open(name("truecolour-short.bmp"), "wb") as f:
        f.write(truecolour[: len(truecolour) - 500])
    # 32-bit bit fields with the 56-byte header: the masks, alpha included.
    width, height = 5, 3
    info = struct.pack("<IiiHHIIiiIIIIII", 56, width, height, 1, 32, 3, width * height * 4, 2835, 2835, 0, 0,
                       0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    pixels = b"".join(struct.pack("<BBBB", (x * 50) % 256, (y * 80) % 256, (x * y * 30) % 256, 255)
                      for y in range(height) for x in range(width))
    header = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(name("bitfields56.bmp"), "wb") as f:
        f.write(header + info + pixels)
    # Pillow does not read this header; ImageMagick is the reference.
    subprocess.run(["convert", name("bitfields56.bmp"), name("bitfields56.bmp") + ".ppm"], check=True)
    for file in files:
        # ImageMagick warns that the runs end early, and still writes the picture.
        subprocess.run(["convert", name(file), "-depth", "8", name(file) + ".ppm"], stderr=subprocess.DEVNULL)
        assert os.path.exists(name(file) + ".ppm"), file
    image = Image.open(name("truecolour-short.bmp"))
    image.load()
    write_reference(name("truecolour-short.bmp"), image)
    ImageFile.LOAD_TRUNCATED_IMAGES = False


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
    # A grey picture claiming 22000 x 23000: one byte a pixel fits the byte
    # bound, but decoding it would hold the window for seconds.
    with open(name("gray.jpg"), "rb") as f:
        gray = bytearray(f.read())
    sof = gray.find(b"\xff\xc0")
    assert sof > 0
    gray[sof + 5:sof + 9] = (23000).to_bytes(2, "big") + (22000).to_bytes(2, "big")
    with open(name("huge-gray.jpg"), "wb") as f:
        f.write(gray)
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
    make_damaged_bitmaps(name)

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
