#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The installed application icon: in the hicolor theme, exactly the expected
fixed sizes, each a PNG of the size its folder names with a drawing on it, and
the scalable source as a square SVG.

usage: icons_test.py PREFIX APP_ID SIZE...
"""
import pathlib
import sys
import xml.etree.ElementTree as ElementTree

from PIL import Image


def check_png(path, size):
    problems = []
    with Image.open(path) as image:
        if image.format != "PNG":
            return [f"{path}: {image.format}, not PNG"]
        if image.size != (size, size):
            problems.append(f"{path}: {image.size[0]}x{image.size[1]}, not {size}x{size}")
        image.load()  # decodes every row: a truncated file fails here
        pixels = image.convert("RGBA")
    width, height = pixels.size
    # The tile covers the middle; a blank or see-through picture is no icon.
    if pixels.getpixel((width // 2, height // 2))[3] < 255:
        problems.append(f"{path}: the middle is transparent")
    colours = pixels.getcolors(maxcolors=width * height)
    if colours is None or len(colours) < 4:
        problems.append(f"{path}: {len(colours or [])} colours, a blank picture")
    return problems


def main():
    prefix, app_id = pathlib.Path(sys.argv[1]), sys.argv[2]
    sizes = sorted(int(size) for size in sys.argv[3:])
    theme = prefix / "share" / "icons" / "hicolor"
    problems = []

    installed = {path.parent.parent.name: path for path in theme.glob(f"*/apps/{app_id}.png")}
    expected = {f"{size}x{size}": size for size in sizes}
    for missing in sorted(set(expected) - set(installed)):
        problems.append(f"no {missing} icon")
    for unexpected in sorted(set(installed) - set(expected)):
        problems.append(f"an icon in {unexpected}, which is not one of the sizes built")
    for folder, size in expected.items():
        if folder in installed:
            try:
                problems += check_png(installed[folder], size)
            except (OSError, SyntaxError) as error:
                problems.append(f"{installed[folder]}: {error}")

    svg = theme / "scalable" / "apps" / f"{app_id}.svg"
    try:
        root = ElementTree.parse(svg).getroot()
        view_box = [float(number) for number in root.get("viewBox", "").split()]
        if root.tag != "{http://www.w3.org/2000/svg}svg":
            problems.append(f"{svg}: the root is {root.tag}, not an SVG")
        elif len(view_box) != 4 or view_box[2] != view_box[3]:
            problems.append(f"{svg}: the view box {view_box} is not square")
    except (OSError, ElementTree.ParseError, ValueError) as error:
        problems.append(f"{svg}: {error}")

    for problem in problems:
        print("FAIL:", problem, file=sys.stderr)
    if not problems:
        print(f"icons: {', '.join(expected)} and scalable: all checks passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
