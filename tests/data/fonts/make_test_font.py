#!/usr/bin/python3
"""Builds a small TrueType font: a few square glyphs under a family name no
system has, style "Book", with its names in both the Windows and the Macintosh
records. The fonts are committed, so only a change to them needs this script
(and Debian's python3-fonttools):
  tests/data/fonts/make_test_font.py tests/data/fonts/dptest.ttf "Dptest Sans"
  tests/data/fonts/make_test_font.py examples/sample/dpsample.ttf "Dpsample Sans"
"""
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen


def square(size):
    pen = TTGlyphPen(None)
    pen.moveTo((50, 0))
    pen.lineTo((50, size))
    pen.lineTo((size, size))
    pen.lineTo((size, 0))
    pen.closePath()
    return pen.glyph()


def main(out, family):
    names = [".notdef", "space", "A", "B"]
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(names)
    fb.setupCharacterMap({0x20: "space", 0x41: "A", 0x42: "B"})
    empty = TTGlyphPen(None).glyph()
    fb.setupGlyf({".notdef": square(500), "space": empty, "A": square(700), "B": square(600)})
    fb.setupHorizontalMetrics({n: (750, 50) for n in names})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({
        "familyName": family,
        "styleName": "Book",
        "uniqueFontIdentifier": "Deployator: %s Book" % family,
        "fullName": "%s Book" % family,
        "psName": "%s-Book" % family.replace(" ", ""),
        "version": "Version 1.000",
    })
    fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200)
    fb.setupPost()
    fb.font["head"].created = fb.font["head"].modified = 0x7c259dc0  # fixed: the same bytes every time
    fb.save(out)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
