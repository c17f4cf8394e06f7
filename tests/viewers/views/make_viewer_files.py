#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the viewer windows' test disc with Pillow and ImageMagick: pictures of each kind with
the pixels Pillow decodes from them (NAME.ppm), a JPEG whose data breaks after
a good header, and a BMP saved under a .GIF name."""

import os
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from make_pictures import palette_picture  # noqa: E402


def photo(width, height):
    image = Image.new("RGB", (width, height))
    image.putdata([((x * 255) // max(1, width - 1), (y * 255) // max(1, height - 1), ((x + y) * 4) % 256)
                   for y in range(height) for x in range(width)])
    return image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)

    def save_with_reference(image, file, **options):
        path = os.path.join(out, file)
        image.save(path, **options)
        Image.open(path).convert("RGB").save(path + ".ppm")

    save_with_reference(palette_picture(40, 30, 1), "PIC.GIF")
    # Larger than the image viewer's scroll area in both directions.
    save_with_reference(palette_picture(600, 500, 2), "BIG.GIF")
    # Many rows, so that the load reports progress often while it decodes.
    save_with_reference(palette_picture(16, 900, 3), "TALL.GIF")
    save_with_reference(photo(64, 48), "PHOTO.JPG", quality=95)
    save_with_reference(palette_picture(37, 23, 4), "PIC.BMP")
    # ImageMagick writes the icon in its classic bitmap form.
    png = os.path.join(out, "icon.png")
    photo(32, 32).save(png)
    subprocess.run(["convert", png, os.path.join(out, "PIC.ICO")], check=True)
    Image.open(png).convert("RGB").save(os.path.join(out, "PIC.ICO.ppm"))
    os.remove(png)

    # A progressive JPEG whose second scan names a component the frame does
    # not have: the header reads, the pixel data fails.
    progressive = os.path.join(out, "progressive.jpg")
    photo(64, 48).save(progressive, quality=90, progressive=True)
    with open(progressive, "rb") as f:
        data = bytearray(f.read())
    os.remove(progressive)
    first = data.find(b"\xff\xda")
    second = data.find(b"\xff\xda", first + 2)
    assert first > 0 and second > first
    data[second + 5] = 0x77
    with open(os.path.join(out, "BAD.JPG"), "wb") as f:
        f.write(data)

    with open(os.path.join(out, "PIC.BMP"), "rb") as f, open(os.path.join(out, "NOTGIF.GIF"), "wb") as g:
        g.write(f.read())
    with open(os.path.join(out, "PIC.IFF"), "wb") as f:
        f.write(b"FORM\0\0\0\x04ILBM")

    with open(os.path.join(out, "stamp"), "w") as f:
        f.write("done\n")


if __name__ == "__main__":
    main()
