#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the test pictures in pictures/ with ImageMagick, Pillow and giflib's gifbuild.
# The files are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/pictures"

convert -size 61x47 plasma:fractal -colors 256 +repage GIF87:magick_plasma.gif
convert -size 45x29 gradient:red-blue -colors 32 -interlace GIF +repage GIF87:magick_interlaced.gif
# ImageMagick's own GIF89a puts extension blocks before the image.
convert -size 12x9 gradient:yellow-green -colors 8 +repage magick_extension.gif
convert -size 12x9 gradient:yellow-green -colors 8 +repage GIF87:magick_no_extension.gif
convert -size 40x25 pattern:checkerboard -colors 2 +repage GIF87:magick_mono.gif

/usr/bin/python3 - <<'EOF'
import random
from PIL import Image

random.seed(4)
noise = Image.new("P", (96, 96))
noise.putdata([random.randrange(256) for _ in range(96 * 96)])
noise.putpalette([random.randrange(256) for _ in range(768)])
noise.save("pillow_noise.gif", interlace=False, optimize=False)

wide = Image.linear_gradient("L").resize((2100, 3)).quantize(colors=64)
wide.save("pillow_wide.gif", interlace=False, optimize=False)

narrow = Image.linear_gradient("L").resize((1, 64)).quantize(colors=16)
narrow.save("pillow_narrow.gif", interlace=True, optimize=False)

photo = Image.effect_mandelbrot((80, 70), (-2.2, -1.3, 0.9, 1.3), 90).convert("RGB").quantize(colors=100)
photo.save("pillow_interlaced.gif", interlace=True, optimize=False)
EOF

gifbuild > gifbuild_two_images.gif <<'EOF'
screen width 6
screen height 4
screen map
	rgb 000 000 000 is a
	rgb 255 000 000 is b
	rgb 000 255 000 is c
	rgb 000 000 255 is d
end
image # 1
image left 0
image top 0
image bits 6 by 4
abcdab
bcdabc
cdabcd
dabcda
image # 2
image left 0
image top 0
image bits 6 by 4
dddddd
dddddd
dddddd
dddddd
EOF

gifbuild > gifbuild_local_map.gif <<'EOF'
screen width 20
screen height 10
screen map
	rgb 010 020 030 is a
	rgb 040 050 060 is b
end
image # 1
image left 3
image top 2
image map
	rgb 200 100 000 is a
	rgb 100 200 000 is b
	rgb 000 100 200 is c
	rgb 050 050 050 is d
	rgb 250 250 250 is e
	rgb 001 002 003 is f
	rgb 004 005 006 is g
	rgb 007 008 009 is h
end
image bits 5 by 3
abcde
fghab
hhhha
EOF

gifbuild > gifbuild_interlaced.gif <<'EOF'
screen width 4
screen height 11
screen map
	rgb 000 000 000 is 0
	rgb 050 050 050 is 1
	rgb 100 100 100 is 2
	rgb 150 150 150 is 3
	rgb 200 200 200 is 4
	rgb 250 250 250 is 5
	rgb 255 000 000 is 6
	rgb 000 255 000 is 7
end
image # 1
image left 0
image top 0
image interlaced
image bits 4 by 11
0000
1111
2222
3333
4444
5555
6666
7777
0123
4567
7654
EOF
