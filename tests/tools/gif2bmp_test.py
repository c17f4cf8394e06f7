#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""iradudo-cli gif2bmp: the written bitmap must read back, through Pillow and
ImageMagick, as the same picture those tools decode from the GIF."""
import os
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

CLI = sys.argv.pop(1)


def run(*args):
    return subprocess.run([CLI, *args], capture_output=True)


def imagemagick_rgb(path):
    return subprocess.run(["convert", path + "[0]", "rgb:-"], capture_output=True, check=True).stdout


class Gif2Bmp(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def convert(self, gif):
        out = self.path(os.path.basename(gif) + ".bmp")
        result = run("gif2bmp", gif, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, b"")
        return out

    def assert_same_picture(self, gif, bmp):
        with Image.open(gif) as g, Image.open(bmp) as b:
            self.assertEqual(b.format, "BMP")
            self.assertEqual(b.mode, "P")
            self.assertEqual(b.size, g.size)
            self.assertEqual(b.tobytes(), g.tobytes())
            palette = g.getpalette()
            padded = palette + [0] * (768 - len(palette))
            self.assertEqual(b.getpalette(), padded)
        self.assertEqual(imagemagick_rgb(bmp), imagemagick_rgb(gif))

    def pillow_gif(self, name, size, colours, interlace=False):
        image = Image.effect_mandelbrot(size, (-2.2, -1.3, 0.9, 1.3), 60).convert("RGB")
        image = image.quantize(colors=colours)
        path = self.path(name)
        image.save(path, interlace=interlace, optimize=False)
        return path

    def magick_gif(self, name, *args):
        path = self.path(name)
        subprocess.run(["convert", *args, "+repage", "GIF87:" + path], check=True)
        return path

    def test_pillow_pictures(self):
        for name, size, colours, interlace in [
            ("mono.gif", (33, 17), 2, False),
            ("sixteen.gif", (64, 48), 16, False),
            ("interlaced.gif", (50, 37), 200, True),
            ("one_wide.gif", (1, 29), 4, False),
            ("wide.gif", (2600, 5), 64, False),
        ]:
            with self.subTest(name):
                gif = self.pillow_gif(name, size, colours, interlace)
                self.assert_same_picture(gif, self.convert(gif))

    def test_imagemagick_pictures(self):
        for name, args in [
            ("plasma.gif", ["-size", "97x61", "plasma:fractal", "-colors", "256"]),
            ("interlaced.gif", ["-size", "45x29", "gradient:red-blue", "-colors", "32", "-interlace", "GIF"]),
            ("shapes.gif", ["-size", "120x90", "xc:white", "-fill", "red", "-draw", "circle 60,45 80,60"]),
        ]:
            with self.subTest(name):
                gif = self.magick_gif(name, *args)
                self.assert_same_picture(gif, self.convert(gif))

    def test_written_verbatim_with_padded_rows(self):
        gif = self.pillow_gif("three.gif", (3, 2), 4)
        bmp = self.convert(gif)
        with open(bmp, "rb") as file:
            data = file.read()
        self.assertEqual(len(data), 1078 + 4 * 2)
        self.assertEqual(data[:2], b"BM")
        self.assertEqual(int.from_bytes(data[2:6], "little"), len(data))
        self.assertEqual(data[1078 + 3], 0)
        self.assertEqual(data[1078 + 7], 0)

    def assert_fails(self, args, message, status=1):
        result = run("gif2bmp", *args)
        self.assertEqual(result.returncode, status)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(result.stderr, message)

    def test_errors(self):
        out = self.path("out.bmp")
        self.assert_fails([self.path("missing.gif"), out], b"Cannot open file " + self.path("missing.gif").encode() + b"\n")
        self.assert_fails([self.dir.name, out], b"Cannot open file " + self.dir.name.encode() + b"\n")

        bmp = self.path("picture.gif")
        Image.new("RGB", (4, 4)).save(bmp, format="BMP")
        self.assert_fails([bmp, out], b"Not a GIF file\n")

        animated = self.path("transparent.gif")
        Image.new("P", (4, 4)).save(animated, transparency=0)
        self.assert_fails([animated, out], b"Bad data\n")

        good = self.pillow_gif("good.gif", (40, 30), 16)
        truncated = self.path("truncated.gif")
        with open(good, "rb") as source, open(truncated, "wb") as target:
            target.write(source.read()[:200])
        self.assert_fails([truncated, out], b"Unexpected EOF\n")
        self.assertFalse(os.path.exists(out), "a failed conversion must not leave a file")

        odd = self.path("b\xe9d.gif".encode("latin-1").decode("utf-8", "surrogateescape"))
        self.assert_fails([os.fsencode(odd), out], b"Cannot open file " + os.fsencode(odd) + b"\n")

        self.assert_fails([good], b"usage: iradudo-cli gif2bmp FILE OUT\n", status=2)
        self.assert_fails([good, self.path("no/such/dir/out.bmp")],
                          b"Cannot create file " + self.path("no/such/dir/out.bmp").encode() + b"\n")


if __name__ == "__main__":
    unittest.main()
