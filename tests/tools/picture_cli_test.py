#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs `iradudo-cli picture` on the generated picture files: sizes on stdout,
the PNG it writes compared with Pillow's own decoding, and the error messages
exactly as the viewer's error box would carry them."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops

CLI, DATA = sys.argv[1], sys.argv[2]
failures = []


# A load that blocks fails the check instead of hanging the run.
TIMEOUT = 60


def run(*args, cwd=None):
    return subprocess.run([CLI, "picture", *args], capture_output=True, cwd=cwd, timeout=TIMEOUT)


def check(condition, what):
    if not condition:
        failures.append(what)


def max_difference(png, name):
    mine = Image.open(png)
    check(mine.mode == "RGB", f"{png}: mode {mine.mode}, wanted RGB")
    reference = Image.open(os.path.join(DATA, name + ".ppm")).convert("RGB")
    if mine.size != reference.size:
        return 999
    return max(high for _, high in ImageChops.difference(mine.convert("RGB"), reference).getextrema())


with tempfile.TemporaryDirectory() as work:
    for name, size, tolerance in [("photo.jpg", "97 61", 2), ("picture.gif", "45 29", 0),
                                  ("interlaced.gif", "45 29", 0), ("truecolour.bmp", "33 17", 0),
                                  ("two.ico", "32 32", 0)]:
        png = os.path.join(work, name + ".png")
        result = run(os.path.join(DATA, name), "--png", png)
        check(result.returncode == 0, f"{name}: exit {result.returncode}, {result.stderr!r}")
        check(result.stdout.decode() == size + "\n", f"{name}: printed {result.stdout!r}")
        if result.returncode == 0:
            difference = max_difference(png, name)
            check(difference <= tolerance, f"{name}: PNG differs by {difference}")

    # The extension alone chooses the reader, in any letter case.
    shutil.copy(os.path.join(DATA, "picture.gif"), os.path.join(work, "Pic.Gif"))
    result = run("Pic.Gif", cwd=work)
    check(result.returncode == 0 and result.stdout == b"45 29\n", f"Pic.Gif: {result!r}")
    shutil.copy(os.path.join(DATA, "indexed.bmp"), os.path.join(work, "PIC.GIF"))
    shutil.copy(os.path.join(DATA, "empty.jpg"), os.path.join(work, "EMPTY.JPG"))
    # Entries that are no regular file, named like pictures: each fails at once
    # instead of blocking on the pipe or reading the device without end.
    os.mkfifo(os.path.join(work, "PIPE.GIF"))
    os.symlink("/dev/zero", os.path.join(work, "ZERO.JPG"))
    os.mkdir(os.path.join(work, "FOLDER.BMP"))

    for args, message in [
        (["PIC.GIF"], rb"Not a GIF file"),
        (["PIC.IFF"], rb"Unknown picture file extension \(\.IFF\)"),
        (["pic.iff"], rb"Unknown picture file extension \(\.iff\)"),
        (["[..]"], rb"Unknown picture file extension \(\.\]\)"),
        (["NOTHERE.JPG"], rb"Cannot open file NOTHERE\.JPG"),
        (["EMPTY.JPG"], rb"JPEG error #\d+"),
        (["PIPE.GIF"], rb"Cannot open file PIPE\.GIF"),
        (["ZERO.JPG"], rb"Cannot open file ZERO\.JPG"),
        (["FOLDER.BMP"], rb"Cannot open file FOLDER\.BMP"),
    ]:
        try:
            result = run(*args, cwd=work)
        except subprocess.TimeoutExpired:
            check(False, f"{args}: still running after {TIMEOUT} s")
            continue
        check(result.returncode == 1, f"{args}: exit {result.returncode}")
        check(re.fullmatch(message + rb"\n", result.stderr) is not None, f"{args}: stderr {result.stderr!r}")
        check(result.stdout == b"", f"{args}: stdout {result.stdout!r}")

    result = run(cwd=work)
    check(result.returncode == 2, f"no file: exit {result.returncode}")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("all picture command checks passed")
