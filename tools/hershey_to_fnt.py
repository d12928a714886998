#!/usr/bin/env python3
"""Convert a Hershey .jhf font into a Stylor .fnt stroke font.

The .jhf file must be one of the ASCII-ordered faces: record n is the glyph
for character 32 + n.  Output glyphs are scaled so that the capital height
is one glyph unit, with the baseline at Y 0 (Y up) and the leftmost ink of
each glyph at X 0, so the text height typed by the user is the cap height.

Each stroke is written as travel, plunge, cuts, lift:

    G00 X.. Y..     rapid to the stroke start at travel height
    G01 Z-1         plunge
    G01 X.. Y..     one line per cut
    G00 Z1          lift

Usage: hershey_to_fnt.py INPUT.jhf OUTPUT.fnt [--blank-width W]
"""

import argparse
import collections
import os
import sys

FIRST_CHAR = 32
LAST_CHAR = 126

# Gap the emitter leaves after every glyph, in glyph units (cap heights).
EMITTER_GAP = 0.35

# The reader keeps at most this many move lines per glyph and reads lines in
# pieces of at most this many characters (line end included).
MAX_MOVES = 200
MAX_LINE = 99

EOL = "\r\n"
PEN_UP = (" ", "R")


class FontError(Exception):
    pass


class Glyph:
    def __init__(self, left, right, strokes):
        self.left = left          # Hershey margins, used for spacing
        self.right = right
        self.strokes = strokes    # lists of (x, y) in Hershey units, Y down


def parse_jhf(text, name):
    """Return the glyph records of a .jhf file, in file order.

    A record is a 5-character number, a 3-character pair count (the margin
    pair included) and that many character pairs.  Long records may wrap
    onto continuation lines, so line ends are dropped and the pair count
    says where each record stops.
    """
    data = text.replace("\r", "").replace("\n", "")
    glyphs = []
    pos = 0
    while pos < len(data):
        if not data[pos:pos + 8].strip():
            break  # trailing blanks
        head = data[pos:pos + 8]
        try:
            int(head[:5])
            count = int(head[5:8])
        except ValueError:
            raise FontError("%s: record %d: bad header %r"
                            % (name, len(glyphs), head))
        body = data[pos + 8:pos + 8 + 2 * count]
        if count < 1 or len(body) != 2 * count:
            raise FontError("%s: record %d: truncated (%d pairs expected)"
                            % (name, len(glyphs), count))
        pos += 8 + 2 * count

        pairs = [(body[i], body[i + 1]) for i in range(0, len(body), 2)]
        left, right = (ord(c) - ord("R") for c in pairs[0])
        strokes = []
        current = []
        for pair in pairs[1:]:
            if pair == PEN_UP:
                if current:
                    strokes.append(current)
                current = []
                continue
            x, y = (ord(c) - ord("R") for c in pair)
            if not (-50 <= x <= 50 and -50 <= y <= 50):
                raise FontError("%s: record %d: coordinate pair %r out of range"
                                % (name, len(glyphs), "".join(pair)))
            current.append((x, y))
        if current:
            strokes.append(current)
        glyphs.append(Glyph(left, right, strokes))
    return glyphs


def clean_strokes(strokes):
    """Drop repeated points and zero-length strokes, and chain a stroke onto
    the previous one when they share an end point (either may be cut
    backwards), so the tool stays down instead of lifting and plunging
    again at the same spot.  The apex of an A becomes one cut, not two."""
    paths = []
    for stroke in strokes:
        pts = []
        for p in stroke:
            if not pts or pts[-1] != p:
                pts.append(p)
        if len(pts) < 2:
            continue
        prev = paths[-1] if paths else None
        if prev is None:
            paths.append(pts)
        elif prev[-1] == pts[0]:
            prev.extend(pts[1:])
        elif prev[-1] == pts[-1]:
            prev.extend(reversed(pts[:-1]))
        elif prev[0] == pts[-1]:
            paths[-1] = pts + prev[1:]
        elif prev[0] == pts[0]:
            paths[-1] = pts[::-1] + prev[1:]
        else:
            paths.append(pts)
    return paths


def most_common(values, what, name):
    counts = collections.Counter(values).most_common()
    if not counts:
        raise FontError("%s: no capitals or digits to measure the %s from"
                        % (name, what))
    value, n = counts[0]
    if n * 2 <= len(values):
        raise FontError("%s: no clear %s (%s)" % (name, what, counts))
    return value


def measure_caps(glyphs, name):
    """Cap top and baseline in Hershey units (Y down).

    Taken as the usual top of the capitals and the usual bottom of the
    capitals and digits, so a swash capital with a tail below the line
    (some blackletter faces) does not move the baseline.
    """
    tops, bottoms = [], []
    for ch in "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789":
        ys = [y for s in glyphs[ord(ch) - FIRST_CHAR].strokes for _, y in s]
        if not ys:
            continue
        bottoms.append(max(ys))
        if ch.isalpha():
            tops.append(min(ys))
    top = most_common(tops, "cap top", name)
    base = most_common(bottoms, "baseline", name)
    if base <= top:
        raise FontError("%s: baseline %d is not below cap top %d"
                        % (name, base, top))
    return top, base


def fmt(v):
    s = "%.4f" % v
    return "0.0000" if s == "-0.0000" else s


def glyph_lines(glyph, top, base, blank_width):
    cap = float(base - top)
    paths = clean_strokes(glyph.strokes)

    if not paths:
        # Nothing to cut (the blank, or a slot the face leaves empty).  Two
        # rapids give the glyph its width without touching the work.
        width = blank_width
        if width is None:
            # Advance as far as the Hershey margins do: the emitter adds its
            # own gap after the glyph, so take that off.
            width = max(0.0, (glyph.right - glyph.left) / cap - EMITTER_GAP)
        return ["G00 X0.0000 Y0.0000",
                "G00 X%s Y0.0000" % fmt(width)]

    min_x = min(x for path in paths for x, _ in path)

    def xy(p):
        return "X%s Y%s" % (fmt((p[0] - min_x) / cap), fmt((base - p[1]) / cap))

    lines = []
    for path in paths:
        lines.append("G00 " + xy(path[0]))
        lines.append("G01 Z-1")
        for p in path[1:]:
            lines.append("G01 " + xy(p))
        lines.append("G00 Z1")
    return lines


def convert(jhf_text, name, blank_width=None):
    """Return the .fnt text for a .jhf font, and a summary line."""
    glyphs = parse_jhf(jhf_text, name)
    needed = LAST_CHAR - FIRST_CHAR + 1
    if len(glyphs) < needed:
        raise FontError("%s: %d records, need %d for characters %d..%d"
                        % (name, len(glyphs), needed, FIRST_CHAR, LAST_CHAR))
    top, base = measure_caps(glyphs, name)

    out = []
    worst = 0
    for code in range(FIRST_CHAR, LAST_CHAR + 1):
        glyph = glyphs[code - FIRST_CHAR]
        bw = blank_width if code == 32 else None
        moves = glyph_lines(glyph, top, base, bw)
        if len(moves) >= MAX_MOVES:
            raise FontError("%s: glyph %r needs %d moves, the limit is %d"
                            % (name, chr(code), len(moves), MAX_MOVES - 1))
        worst = max(worst, len(moves))
        section = ["SYM " + chr(code)] + moves
        for line in section:
            if len(line) + len(EOL) >= MAX_LINE:
                raise FontError("%s: glyph %r: line too long (%d chars): %s"
                                % (name, chr(code), len(line), line))
        out.extend(section)

    blank = out[out.index("SYM  ") + 2].split("X")[1].split()[0]
    summary = ("%s: cap top %d, baseline %d (cap height %d units), "
               "blank width %s, most moves in a glyph %d"
               % (name, top, base, base - top, blank, worst))
    return EOL.join(out) + EOL, summary


def main(argv=None):
    ap = argparse.ArgumentParser(
        description="Convert a Hershey .jhf font to a Stylor .fnt font.")
    ap.add_argument("input", help="ASCII-ordered Hershey .jhf file")
    ap.add_argument("output", help=".fnt file to write")
    ap.add_argument("--blank-width", type=float, default=None,
                    help="width of the blank in cap heights (default: from "
                         "the Hershey margins of the space)")
    args = ap.parse_args(argv)

    name = os.path.basename(args.input)
    if args.blank_width is not None and not args.blank_width >= 0:
        ap.error("--blank-width must be zero or more")
    try:
        with open(args.input, encoding="ascii") as f:
            text = f.read()
        fnt, summary = convert(text, name, args.blank_width)
    except (OSError, UnicodeDecodeError, FontError) as e:
        print("hershey_to_fnt: error: %s" % e, file=sys.stderr)
        return 1

    tmp = args.output + ".tmp"
    with open(tmp, "w", encoding="ascii", newline="") as f:
        f.write(fnt)
    os.replace(tmp, args.output)
    print("%s -> %s" % (summary, args.output), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
