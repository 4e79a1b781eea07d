#!/usr/bin/env python3
"""Writes resources/spot.tpl: the spot page template with its eight frame images.

The frame is a grey rounded outline on a #eeeeee box with a darker shadow along the bottom
and right, cut into four corners and four edges (8-bit greyscale PNGs, opaque, white outside)
that the style sheet lays over each other in nested div elements. Every image is a crop of one
frame drawn from the distances to the box's sides, so corners and edges meet without seams.
Run it again after changing the template text below; the output is the same byte for byte.
"""
import base64
import math
import os
import struct
import zlib

SAMPLES = 4  # supersampling per axis, for smooth curves
FAR = 1000.0  # distance to a side that an image does not touch

OUTSIDE, FILL, OUTLINE, SHADOW = 255, 238, 150, 125  # 238 is the box's #eeeeee
INSET_LEFT, INSET_TOP, INSET_RIGHT, INSET_BOTTOM = 3.0, 3.0, 8.0, 8.0
RADIUS, STROKE = 7.0, 1.5
SHADOW_OFFSET, SHADOW_BLUR = 4.0, 6.0

# name: (width, height, which sides the image touches)
FRAMES = {
    "tlc": (20, 16, "lt"),
    "trc": (30, 16, "rt"),
    "blc": (20, 16, "lb"),
    "brc": (30, 16, "rb"),
    "tb": (20, 16, "t"),
    "bb": (20, 16, "b"),
    "rb": (30, 10, "r"),
    "lb": (20, 10, "l"),
}


def rounded_distance(left, top, right, bottom, insets):
    """Signed distance to a rounded rectangle inset from the box's sides; negative inside."""
    il, it, ir, ib = insets
    qx = RADIUS - min(left - il, right - ir)
    qy = RADIUS - min(top - it, bottom - ib)
    return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - RADIUS


def shade(left, top, right, bottom):
    """Grey value at a point given by its distances to the four sides of the box."""
    d = rounded_distance(left, top, right, bottom, (INSET_LEFT, INSET_TOP, INSET_RIGHT, INSET_BOTTOM))
    if d < -STROKE:
        return FILL
    if d < 0.0:
        return OUTLINE
    shifted = (INSET_LEFT + SHADOW_OFFSET, INSET_TOP + SHADOW_OFFSET,
               INSET_RIGHT - SHADOW_OFFSET, INSET_BOTTOM - SHADOW_OFFSET)
    s = rounded_distance(left, top, right, bottom, shifted)
    a = min(max(0.5 - s / SHADOW_BLUR, 0.0), 1.0)
    a = a * a * (3.0 - 2.0 * a)
    return OUTSIDE - a * (OUTSIDE - SHADOW)


def image(width, height, sides):
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            total = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    total += shade(x if "l" in sides else FAR,
                                   y if "t" in sides else FAR,
                                   width - x if "r" in sides else FAR,
                                   height - y if "b" in sides else FAR)
            row.append(round(total / SAMPLES ** 2))
        rows.append(row)
    return rows


def png(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 0, 0, 0, 0)  # 8-bit greyscale
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


# "@name@" is replaced by the data URL of that frame image.
TEMPLATE = """\
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title>spot template</title>
<style type="text/css">
/* box, content and the eight frame pieces are classes of nested div elements */
td { font-size: small; }
.box { position: relative; margin-left: auto; margin-right: auto; margin-top: 1em; padding: 0; text-align: left; width: 99%; background-color: #eeeeee; }
.content { padding: 2em; font-size: small; }
.tlc { background: transparent url(@tlc@) no-repeat 0% 0%; }
.trc { background: transparent url(@trc@) no-repeat 100% 0%; }
.blc { background: transparent url(@blc@) no-repeat 0% 100%; }
.brc { background: transparent url(@brc@) no-repeat 100% 100%; }
.tb { background: transparent url(@tb@) repeat-x 0% 0%; }
.bb { background: transparent url(@bb@) repeat-x 50% 100%; }
.rb { background: url(@rb@) repeat-y 100% 0%; }
.lb { background: url(@lb@) repeat-y 0% 100%; }
/* the spot's picture is shown at most 500 pixels a side, and at full size under the pointer */
.spotimage:hover { max-width: none !important; max-height: none !important; }
</style>
</head>
<body>
<div class="box"><div class="lb"><div class="rb"><div class="bb"><div class="blc"><div class="brc"><div class="tb"><div class="tlc"><div class="trc">
<div class="content">{description}</div>
<br style="clear: both;">
</div></div></div></div></div></div></div></div></div>
<br><br>
<b><u>Informatie:</u></b>
<table>
<tr><td><b>Weblink</b></td><td>:</td><td> {website}</td></tr>
<tr><td><b>Grootte</b></td><td>:</td><td> {size}</td></tr>
<tr><td><b>Aantal&nbsp;bestanden</b></td><td>:</td><td> {numfiles}</td></tr>
<tr><td><b>Bestandsnaam</b></td><td>:</td><td style="white-space: nowrap;"> <span style="color: green;">{firstfile}</span> t/m <span style="color: green;">{lastfile}</span></td></tr>
<tr><td><b>Nieuwsgroep</b></td><td>:</td><td> {newsgroup}</td></tr>
</table>
<br><br>
{comments}
</body>
</html>
"""


def template():
    text = TEMPLATE
    for name, (width, height, sides) in FRAMES.items():
        url = "data:image/png;base64," + base64.b64encode(png(image(width, height, sides))).decode("ascii")
        text = text.replace("@" + name + "@", url)
    return text


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "spot.tpl"), "wb") as f:
        f.write(template().encode("ascii"))
