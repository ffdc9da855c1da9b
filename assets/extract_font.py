#!/usr/bin/env python3
"""Writes one face of a font collection as a standalone OpenType file.

Opening a .ttc by file name gives its first face (the Japanese forms of the
CJK fonts), so the Simplified Chinese face is extracted by family name.
Usage: extract_font.py COLLECTION FAMILY OUTPUT
"""
import sys

from fontTools.ttLib import TTCollection


def main() -> int:
    collection, family, output = sys.argv[1:4]
    for font in TTCollection(collection).fonts:
        if font["name"].getDebugName(1) == family:
            font.save(output)
            return 0
    print(f"extract_font: no face named {family!r} in {collection}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
