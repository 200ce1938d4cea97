#!/usr/bin/env python3
"""Builds zcal's .ico from its pictures kept as text.

    make_icon.py --palette icon_palette.txt --output zcal.ico icon_16.txt icon_32.txt

The palette file has one line per colour, "<char> RRGGBB name", exactly 16 of
them. Each picture file has one line per pixel row, one character per pixel,
as many rows as columns; "." is a transparent pixel. Lines starting with "#"
are comments. Every image is written as a 16-colour (4 bits per pixel)
bitmap with its colour table, its pixels and its transparency mask, the
form every version of Windows reads.

Any mistake in the text (an unknown character, a ragged row, a palette of
the wrong size) stops the build with the file and line it is on.
"""

import argparse
import struct
import sys

TRANSPARENT = "."
PALETTE_SIZE = 16


class TextError(Exception):
    pass


def content_lines(path):
    """(line number, text) of every line that is neither blank nor a comment."""
    with open(path, encoding="ascii") as file:
        for number, line in enumerate(file, start=1):
            line = line.rstrip("\r\n")
            if line.strip() and not line.startswith("#"):
                yield number, line


def read_palette(path):
    """The 16 (char, (r, g, b)) pairs, in the file's order."""
    palette = []
    for number, line in content_lines(path):
        fields = line.split(None, 2)
        where = f"{path}:{number}"
        if len(fields) < 2 or len(fields[0]) != 1:
            raise TextError(f"{where}: expected '<char> RRGGBB name', got {line!r}")
        char, rgb = fields[0], fields[1]
        if char == TRANSPARENT:
            raise TextError(f"{where}: {TRANSPARENT!r} is kept for transparent pixels")
        if any(char == known for known, _ in palette):
            raise TextError(f"{where}: the character {char!r} is given twice")
        if len(rgb) != 6 or any(c not in "0123456789abcdefABCDEF" for c in rgb):
            raise TextError(f"{where}: colour {rgb!r} is not RRGGBB")
        palette.append((char, (int(rgb[0:2], 16), int(rgb[2:4], 16), int(rgb[4:6], 16))))
    if len(palette) != PALETTE_SIZE:
        raise TextError(f"{path}: {len(palette)} colours, a 4-bit icon needs exactly {PALETTE_SIZE}")
    return palette


def read_picture(path, palette):
    """(size, rows of palette indices or None for transparent), top row first."""
    index_of = {char: index for index, (char, _) in enumerate(palette)}
    rows = []
    for number, line in content_lines(path):
        row = []
        for column, char in enumerate(line):
            if char == TRANSPARENT:
                row.append(None)
            elif char in index_of:
                row.append(index_of[char])
            else:
                raise TextError(f"{path}:{number}: column {column}: {char!r} is not in the palette")
        if rows and len(row) != len(rows[0]):
            raise TextError(f"{path}:{number}: {len(row)} pixels, the first row has {len(rows[0])}")
        rows.append(row)
    size = len(rows)
    if size == 0 or len(rows[0]) != size:
        raise TextError(f"{path}: the picture must be square, it is {len(rows[0]) if rows else 0} x {size}")
    if size > 256:
        raise TextError(f"{path}: {size} pixels is larger than an icon can be")
    return size, rows


def padded(row_bytes):
    """Bitmap rows are stored in whole 32-bit words."""
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def icon_image(size, rows, palette):
    """One icon image: header, colour table, 4-bit pixels, 1-bit mask."""
    pixels = b""
    mask = b""
    # Bitmaps are stored bottom row first.
    for row in reversed(rows):
        indices = [0 if index is None else index for index in row]
        if len(indices) % 2:
            indices.append(0)
        pixels += padded(bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2)))
        bits = [1 if index is None else 0 for index in row]
        bits += [0] * (-len(bits) % 8)
        mask += padded(bytes(sum(bit << (7 - i) for i, bit in enumerate(bits[j:j + 8]))
                             for j in range(0, len(bits), 8)))
    # The height counts the pixel rows and the mask rows together.
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(pixels) + len(mask), 0, 0, PALETTE_SIZE, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in palette)
    return header + colours + pixels + mask


def icon_file(images):
    """The .ico container: directory, then the images, smallest first."""
    images = sorted(images)
    directory_size = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for size, image in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, PALETTE_SIZE, 0, 1, 4,
                                 len(image), directory_size + len(data))
        data += image
    return directory + data


def main(argv):
    parser = argparse.ArgumentParser(description="Builds an .ico from pictures kept as text.")
    parser.add_argument("--palette", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("pictures", nargs="+")
    arguments = parser.parse_args(argv)
    try:
        palette = read_palette(arguments.palette)
        images = []
        for path in arguments.pictures:
            size, rows = read_picture(path, palette)
            if any(size == known for known, _ in images):
                raise TextError(f"{path}: a {size} x {size} picture is given twice")
            images.append((size, icon_image(size, rows, palette)))
    except (TextError, OSError, UnicodeDecodeError) as error:
        print(f"make_icon: {error}", file=sys.stderr)
        return 1
    with open(arguments.output, "wb") as file:
        file.write(icon_file(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
