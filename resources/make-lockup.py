#!/usr/bin/python3
"""Draws the OstraTape-delay lockup: a tape-reel mark and the wordmark in Roboto Condensed
Bold outlines (the editor's SVG reader draws paths, not text). Needs python3-fonttools and
fonts-roboto-unhinted; run it only to change the artwork, the SVG is kept in the repository."""
from fontTools.ttLib import TTFont
from fontTools.pens.svgPathPen import SVGPathPen
from fontTools.pens.transformPen import TransformPen

FONT = "/usr/share/fonts/truetype/roboto/unhinted/RobotoCondensed-Bold.ttf"
TEXT = "OSTRATAPE-DELAY"
HEIGHT = 44.0          # artwork units; the editor draws it 22 units tall
CAP = 26.0             # cap height of the lettering
TRACKING = 1.6         # extra space between letters
GAP = 12.0             # between the mark and the lettering

font = TTFont(FONT)
glyphs = font.getGlyphSet()
cmap = font.getBestCmap()
capHeight = font["OS/2"].sCapHeight
scale = CAP / capHeight
baseline = (HEIGHT + CAP) / 2

# The mark: a reel (ring with three windows) and its tape running off to the right.
r = HEIGHT / 2 - 1
cx, cy = r + 1, HEIGHT / 2
mark = [
    f'<circle cx="{cx:.2f}" cy="{cy:.2f}" r="{r:.2f}" fill="none" stroke="#fafafa" stroke-width="3"/>',
    f'<circle cx="{cx:.2f}" cy="{cy:.2f}" r="4" fill="#fafafa"/>',
]
for angle in (0, 120, 240):
    mark.append(
        f'<path transform="rotate({angle} {cx:.2f} {cy:.2f})" fill="#fafafa" '
        f'd="M {cx - 4.5:.2f} {cy - 8:.2f} L {cx + 4.5:.2f} {cy - 8:.2f} '
        f'L {cx + 6.5:.2f} {cy - r + 5.5:.2f} A {r - 5.5:.2f} {r - 5.5:.2f} 0 0 0 '
        f'{cx - 6.5:.2f} {cy - r + 5.5:.2f} Z"/>')

x = 2 * r + 2 + GAP
letters = []
for ch in TEXT:
    name = cmap[ord(ch)]
    pen = SVGPathPen(glyphs, ntos=lambda v: f"{v:.2f}".rstrip("0").rstrip("."))
    glyphs[name].draw(TransformPen(pen, (scale, 0, 0, -scale, x, baseline)))
    letters.append(f'<path d="{pen.getCommands()}"/>')
    x += glyphs[name].width * scale + TRACKING
width = x - TRACKING

svg = [
    f'<svg xmlns="http://www.w3.org/2000/svg" width="{width:.0f}px" height="{HEIGHT:.0f}px" '
    f'viewBox="0 0 {width:.2f} {HEIGHT:.2f}">',
    '<g opacity="0.42">', *mark, '</g>',
    '<g fill="#fafafa" opacity="0.42">', *letters, '</g>',
    '</svg>',
]
with open(__file__.replace("make-lockup.py", "ostratape-delay-lockup.svg"), "w") as out:
    out.write("\n".join(svg) + "\n")
