#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the text viewer's test files: WordPad-like rich text with pictures made by
Pillow, and pandoc's rich text of a Markdown file. Run from this folder."""
import io
import subprocess

from PIL import Image, ImageDraw


def picture(fmt, size, colour):
    image = Image.new("RGB", size, colour)
    ImageDraw.Draw(image).rectangle([2, 2, size[0] // 2, size[1] // 2], fill=(255, 255, 0))
    out = io.BytesIO()
    image.save(out, fmt)
    return out.getvalue()


def hexlines(data):
    text = data.hex()
    return "\n".join(text[i:i + 128] for i in range(0, len(text), 128))


png = picture("PNG", (24, 16), (0, 0, 200))
jpeg = picture("JPEG", (20, 10), (0, 150, 0))
dib = picture("BMP", (8, 6), (200, 0, 0))[14:]  # a bitmap file less its file header

wordpad = r"""{\rtf1\ansi\ansicpg1252\deff0\deflang1040{\fonttbl{\f0\fswiss\fcharset0 Arial;}{\f1\froman\fprq2\fcharset0 Times New Roman;}{\f2\fmodern\fprq1\fcharset0 Courier New;}{\f3\fnil\fcharset2 Symbol;}}
{\colortbl ;\red255\green0\blue0;\red0\green0\blue128;}
{\info{\title Prova di stampa}{\author Redazione}{\creatim\yr1997\mo5\dy12}}
{\*\generator Msftedit 5.41.15.1503;}\viewkind4\uc1\pard\lang1040\f0\fs20 Caff\'e8 e citt\'e0 costano 3 \u8364?.\par
\b Grassetto\b0  normale \cf1 rosso\cf0  e \i corsivo\i0 .\par
\pard\qc\cf2\fs28 Titolo centrato\cf0\fs20\par
\pard\qr A destra\par
\pard\qj\li720\ri360\fi-360\sb120\sa240 Paragrafo giustificato con rientri.\par
\pard{\pntext\f3\'b7\tab}{\*\pn\pnlvlblt\pnf3\pnindent0{\pntxtb\'b7}}\fi-360\li360 Primo punto\par
\pard\trowd\trgaph108\trleft-108\cellx2000\cellx4000\pard\intbl\b Nome\b0\cell Valore\cell\row
\trowd\trgaph108\trleft-108\cellx2000\cellx4000\pard\intbl Caff\'e8\cell 2\cell\row
\pard Immagine: {\pict\pngblip\picw24\pich16\picwgoal720\pichgoal480
""" + hexlines(png) + r"""
} fine.\par
{\pict\jpegblip\picw20\pich10
""" + hexlines(jpeg) + r"""
}{\pict\dibitmap0\wbmbitspixel24\picw8\pich6\picscalex200\picscaley200
""" + hexlines(dib) + r"""
}\par
{\pict\wmetafile8\picw100\pich100 0100090000}Ultima riga\par
}
"""
with open("wordpad.rtf", "w", newline="\r\n") as f:
    f.write(wordpad)

subprocess.run(["pandoc", "-s", "-f", "markdown", "-t", "rtf", "-o", "pandoc.rtf", "pandoc.md"], check=True)
