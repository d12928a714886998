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

Beyond ASCII the face gains the Windows-1252 characters machinists engrave
(the .fnt files are 8-bit, Windows-1252): degree, plus-minus, times, divide,
superscripts and fractions, copyright, registered, section, euro, the slashed
O, and the accented Latin letters, composed from the face's own letters and
simple marks.  The micro sign and sharp s come from a Greek face of the same
family (mu and beta), when one is given.

Usage: hershey_to_fnt.py INPUT.jhf OUTPUT.fnt [--blank-width W]
           [--greek GREEK.jhf] [--symbols-only]
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
ENCODING = "cp1252"
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



# ---- Windows-1252 characters beyond ASCII ----
#
# Geometry in Hershey units (Y down), sized by the cap height `cap`, with the
# cap top at `top` and the baseline at `base`.

def bounds(strokes):
    xs = [x for s in strokes for x, _ in s]
    ys = [y for s in strokes for _, y in s]
    return min(xs), min(ys), max(xs), max(ys)


def moved(strokes, dx=0.0, dy=0.0, scale=1.0, about=(0.0, 0.0)):
    ax, ay = about
    return [[(ax + (x - ax) * scale + dx, ay + (y - ay) * scale + dy)
             for x, y in s] for s in strokes]


def circle(cx, cy, r, points=16):
    import math
    pts = [(cx + r * math.cos(2 * math.pi * k / points),
            cy + r * math.sin(2 * math.pi * k / points))
           for k in range(points)]
    return [pts + [pts[0]]]


def mark(kind, cx, t, cap, base):
    """Strokes of a diacritic centred on cx above the letter top t (or
    below the baseline for the cedilla)."""
    u = cap
    if kind == "acute":
        return [[(cx - 0.08 * u, t - 0.1 * u), (cx + 0.08 * u, t - 0.3 * u)]]
    if kind == "grave":
        return [[(cx + 0.08 * u, t - 0.1 * u), (cx - 0.08 * u, t - 0.3 * u)]]
    if kind == "circumflex":
        return [[(cx - 0.15 * u, t - 0.1 * u), (cx, t - 0.28 * u),
                 (cx + 0.15 * u, t - 0.1 * u)]]
    if kind == "diaeresis":
        # Dots as small diamonds, as the faces draw their full stops.
        return (circle(cx - 0.13 * u, t - 0.18 * u, 0.04 * u, 4) +
                circle(cx + 0.13 * u, t - 0.18 * u, 0.04 * u, 4))
    if kind == "tilde":
        return [[(cx - 0.18 * u, t - 0.13 * u), (cx - 0.1 * u, t - 0.22 * u),
                 (cx, t - 0.18 * u), (cx + 0.1 * u, t - 0.14 * u),
                 (cx + 0.18 * u, t - 0.23 * u)]]
    if kind == "ring":
        return circle(cx, t - 0.2 * u, 0.08 * u, 8)
    if kind == "cedilla":
        return [[(cx, base), (cx, base + 0.1 * u), (cx + 0.08 * u, base + 0.16 * u),
                 (cx, base + 0.24 * u), (cx - 0.07 * u, base + 0.22 * u)]]
    raise FontError("no mark %r" % kind)


# code, base letter, mark
ACCENTED = [
    (0xC0, "A", "grave"), (0xC1, "A", "acute"), (0xC2, "A", "circumflex"),
    (0xC3, "A", "tilde"), (0xC4, "A", "diaeresis"), (0xC5, "A", "ring"),
    (0xC7, "C", "cedilla"), (0xC8, "E", "grave"), (0xC9, "E", "acute"),
    (0xCA, "E", "circumflex"), (0xCB, "E", "diaeresis"), (0xCC, "I", "grave"),
    (0xCD, "I", "acute"), (0xCE, "I", "circumflex"), (0xCF, "I", "diaeresis"),
    (0xD1, "N", "tilde"), (0xD2, "O", "grave"), (0xD3, "O", "acute"),
    (0xD4, "O", "circumflex"), (0xD5, "O", "tilde"), (0xD6, "O", "diaeresis"),
    (0xD9, "U", "grave"), (0xDA, "U", "acute"), (0xDB, "U", "circumflex"),
    (0xDC, "U", "diaeresis"), (0xDD, "Y", "acute"), (0x9F, "Y", "diaeresis"),
    (0xE0, "a", "grave"), (0xE1, "a", "acute"), (0xE2, "a", "circumflex"),
    (0xE3, "a", "tilde"), (0xE4, "a", "diaeresis"), (0xE5, "a", "ring"),
    (0xE7, "c", "cedilla"), (0xE8, "e", "grave"), (0xE9, "e", "acute"),
    (0xEA, "e", "circumflex"), (0xEB, "e", "diaeresis"), (0xEC, "i", "grave"),
    (0xED, "i", "acute"), (0xEE, "i", "circumflex"), (0xEF, "i", "diaeresis"),
    (0xF1, "n", "tilde"), (0xF2, "o", "grave"), (0xF3, "o", "acute"),
    (0xF4, "o", "circumflex"), (0xF5, "o", "tilde"), (0xF6, "o", "diaeresis"),
    (0xF9, "u", "grave"), (0xFA, "u", "acute"), (0xFB, "u", "circumflex"),
    (0xFC, "u", "diaeresis"), (0xFD, "y", "acute"), (0xFF, "y", "diaeresis"),
]


def compose_extras(glyphs, top, base, greek=None, latin=True):
    """Glyphs for Windows-1252 codes from 128 up, as {code: strokes}."""
    cap = float(base - top)
    mid = top + 0.5 * cap

    def strokes_of(ch):
        return [list(s) for s in glyphs[ord(ch) - FIRST_CHAR].strokes]

    def letter(ch, dotless=False):
        strokes = strokes_of(ch)
        if dotless:
            # i without its dot: keep the strokes that reach the x-height.
            x_top = min(y for s in strokes_of("x") for _, y in s)
            stem = [s for s in strokes if max(y for _, y in s) > x_top + 0.1 * cap]
            strokes = stem or strokes
        return strokes

    def small(ch, scale, x, y_top):
        """The face's character `ch` at `scale`, its top left corner at (x, y_top)."""
        strokes = strokes_of(ch)
        x0, y0, _, _ = bounds(strokes)
        return moved(moved(strokes, -x0, -y0), x, y_top, scale)

    u = cap
    extras = {
        0xB0: circle(0.12 * u, top + 0.12 * u, 0.12 * u, 12),
        0xB1: [[(0.3 * u, mid - 0.35 * u), (0.3 * u, mid + 0.25 * u)],
               [(0, mid - 0.05 * u), (0.6 * u, mid - 0.05 * u)],
               [(0, mid + 0.45 * u), (0.6 * u, mid + 0.45 * u)]],
        0xD7: [[(0, mid - 0.25 * u), (0.5 * u, mid + 0.25 * u)],
               [(0.5 * u, mid - 0.25 * u), (0, mid + 0.25 * u)]],
        0xF7: [[(0, mid), (0.6 * u, mid)]] +
              circle(0.3 * u, mid - 0.25 * u, 0.05 * u, 4) +
              circle(0.3 * u, mid + 0.25 * u, 0.05 * u, 4),
        0xB7: circle(0.05 * u, mid, 0.05 * u, 4),
        0xB9: small("1", 0.6, 0, top),
        0xB2: small("2", 0.6, 0, top),
        0xB3: small("3", 0.6, 0, top),
        0xA9: circle(0.5 * u, mid, 0.5 * u, 24) + small("C", 0.5, 0.27 * u, top + 0.25 * u),
        0xAE: circle(0.5 * u, mid, 0.5 * u, 24) + small("R", 0.5, 0.3 * u, top + 0.25 * u),
        0xA7: small("S", 0.6, 0, top - 0.1 * u) + small("S", 0.6, 0, top + 0.35 * u),
    }
    for code, (num, den) in {0xBC: ("1", "4"), 0xBD: ("1", "2"), 0xBE: ("3", "4")}.items():
        extras[code] = (small(num, 0.45, 0, top) +
                        [[(0.1 * u, base), (0.7 * u, top)]] +
                        small(den, 0.45, 0.45 * u, mid + 0.05 * u))
    if greek is not None:
        # The micro sign is the Greek mu (on l: the Greek face runs in the order
        # of its alphabet), the sharp s is drawn as the beta.
        g_top, g_base = measure_caps(greek, "greek")
        scale = cap / float(g_base - g_top)
        for code, ch in ((0xB5, "l"), (0xDF, "b")):
            if code == 0xDF and not latin:
                continue
            strokes = [list(s) for s in greek[ord(ch) - FIRST_CHAR].strokes]
            extras[code] = moved(strokes, 0, base - g_base, scale, (0, g_base))
    if not latin:
        return extras

    # The euro: a C crossed by two bars.
    c = strokes_of("C")
    x0, _, x1, _ = bounds(c)
    extras[0x80] = c + [[(x0 - 0.12 * u, mid - 0.1 * u), (x0 + 0.55 * (x1 - x0), mid - 0.1 * u)],
                        [(x0 - 0.12 * u, mid + 0.1 * u), (x0 + 0.5 * (x1 - x0), mid + 0.1 * u)]]
    # The slashed O, capital and small, struck from corner to corner.
    for code, ch in ((0xD8, "O"), (0xF8, "o")):
        o = strokes_of(ch)
        x0, y0, x1, y1 = bounds(o)
        extras[code] = o + [[(x0 - 0.05 * u, y1 + 0.05 * u), (x1 + 0.05 * u, y0 - 0.05 * u)]]
    for code, ch, kind in ACCENTED:
        base_strokes = letter(ch, dotless=(ch == "i"))
        x0, y0, x1, _ = bounds(base_strokes)
        if ch == "i":
            y0 = min(y for s in strokes_of("x") for _, y in s)
        extras[code] = base_strokes + mark(kind, (x0 + x1) / 2, y0, cap, base)
    return extras

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


def convert(jhf_text, name, blank_width=None, greek_text=None, latin=True):
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

    greek = parse_jhf(greek_text, "greek") if greek_text is not None else None
    left_out = []
    for code, strokes in sorted(compose_extras(glyphs, top, base, greek, latin).items()):
        ch = bytes([code]).decode(ENCODING)
        moves = glyph_lines(Glyph(0, 0, strokes), top, base, None)
        if len(moves) >= MAX_MOVES:
            # A composed character of an ornate face can outgrow a glyph: the
            # face then lacks it, and the program says so when it is engraved.
            left_out.append(ch)
            continue
        worst = max(worst, len(moves))
        out.extend(["SYM " + ch] + moves)

    blank = out[out.index("SYM  ") + 2].split("X")[1].split()[0]
    summary = ("%s: cap top %d, baseline %d (cap height %d units), "
               "blank width %s, most moves in a glyph %d"
               % (name, top, base, base - top, blank, worst))
    if left_out:
        summary += ", left out (over %d moves): %s" % (MAX_MOVES - 1, " ".join(left_out))
    return EOL.join(out) + EOL, summary


def main(argv=None):
    ap = argparse.ArgumentParser(
        description="Convert a Hershey .jhf font to a Stylor .fnt font.")
    ap.add_argument("input", help="ASCII-ordered Hershey .jhf file")
    ap.add_argument("output", help=".fnt file to write")
    ap.add_argument("--greek", default=None,
                    help="Greek .jhf of the same family, for the micro sign "
                         "and the sharp s")
    ap.add_argument("--symbols-only", action="store_true",
                    help="no accented Latin letters, euro or slashed O (for "
                         "a face whose letters are not Latin)")
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
        greek_text = None
        if args.greek is not None:
            with open(args.greek, encoding="ascii") as f:
                greek_text = f.read()
        fnt, summary = convert(text, name, args.blank_width, greek_text,
                               not args.symbols_only)
    except (OSError, UnicodeDecodeError, FontError) as e:
        print("hershey_to_fnt: error: %s" % e, file=sys.stderr)
        return 1

    tmp = args.output + ".tmp"
    with open(tmp, "w", encoding=ENCODING, newline="") as f:
        f.write(fnt)
    os.replace(tmp, args.output)
    print("%s -> %s" % (summary, args.output), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
