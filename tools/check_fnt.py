#!/usr/bin/env python3
"""Check .fnt stroke fonts before they are shipped.

Reads each file the way the program does (SYM lines start a glyph, every
other line is one move) and checks what the engraving relies on:

  - nothing before the first SYM line, CR LF line ends, lines short enough
    for the reader, fewer than 200 moves per glyph;
  - every character 32..126 defined once (and any from 128 up at most once,
    Windows-1252), with X and Y words so its width is known;
  - every stroke is rapid travel, plunge, one or more cuts, lift; the blank
    and empty glyphs only travel; every glyph ends lifted; no cut goes
    nowhere;
  - leftmost X of each glyph is 0, and H stands on Y 0 with its top at
    Y 1 (text height = cap height);
  - coordinates written with 4 decimals.

Usage: check_fnt.py FILE.fnt...   (exit status 1 on any fault)
"""

import re
import sys

MAX_MOVES = 200
MAX_LINE = 99
WORD = re.compile(r"([GXYZ])(-?\d+(?:\.\d+)?)$")
COORD = re.compile(r"-?\d+\.\d{4}$")


def read_glyphs(raw, faults):
    if b"\r\n" not in raw or raw.replace(b"\r\n", b"").count(b"\n"):
        faults.append("line ends are not all CR LF")
    if not raw.endswith(b"\r\n"):
        faults.append("last line has no line end")
    lines = raw.decode("cp1252").split("\r\n")[:-1]
    glyphs = {}
    current = None
    for n, line in enumerate(lines, 1):
        if len(line) + 2 >= MAX_LINE:
            faults.append("line %d is %d characters" % (n, len(line)))
        if line.startswith("SYM "):
            if len(line) < 5:
                faults.append("line %d: SYM line names no glyph" % n)
                continue
            current = line[4]
            if current in glyphs:
                faults.append("glyph %r defined twice" % current)
            glyphs[current] = []
            continue
        if current is None:
            faults.append("line %d: move before the first SYM line" % n)
            continue
        words = {}
        for w in line.split():
            m = WORD.match(w)
            if not m or m.group(1) in words:
                faults.append("glyph %r: bad move %r" % (current, line))
                break
            if m.group(1) in "XY" and not COORD.match(m.group(2)):
                faults.append("glyph %r: not 4 decimals: %r" % (current, line))
            words[m.group(1)] = m.group(2)
        glyphs[current].append(words)
    return glyphs


def check_glyph(ch, moves, faults):
    where = "glyph %r" % ch
    if len(moves) >= MAX_MOVES:
        faults.append("%s: %d moves" % (where, len(moves)))
    if not any("X" in m for m in moves) or not any("Y" in m for m in moves):
        faults.append("%s: no X or no Y word, width undefined" % where)
        return

    down = False
    cuts = 0
    last = None
    for m in moves:
        g = m.get("G")
        if "Z" in m:
            if "X" in m or "Y" in m:
                faults.append("%s: Z move with X/Y: %r" % (where, m))
            plunge = float(m["Z"]) < 0
            if plunge == down:
                faults.append("%s: %s while already %s" % (
                    where, "plunge" if plunge else "lift",
                    "down" if down else "up"))
            if plunge and g != "01":
                faults.append("%s: plunge is not G01" % where)
            if not plunge and down and cuts == 0:
                faults.append("%s: lift with no cut after the plunge" % where)
            down, cuts = plunge, 0
            continue
        if "X" not in m or "Y" not in m:
            faults.append("%s: move without both X and Y: %r" % (where, m))
            continue
        p = (m["X"], m["Y"])
        if down:
            if g != "01":
                faults.append("%s: cut is not G01" % where)
            if p == last:
                faults.append("%s: repeated point %s" % (where, p))
            cuts += 1
        elif g != "00":
            faults.append("%s: travel is not G00" % where)
        last = p
    if down:
        faults.append("%s: ends with the tool down" % where)

    xs = [float(m["X"]) for m in moves if "X" in m]
    if min(xs) != 0.0:
        faults.append("%s: leftmost X is %g, not 0" % (where, min(xs)))
    if max(xs) <= 0.0 and not any("Z" in m for m in moves):
        faults.append("%s: nothing to cut and no width" % where)


def check_file(path):
    faults = []
    with open(path, "rb") as f:
        raw = f.read()
    if not raw.startswith(b"SYM "):
        faults.append("does not start with a SYM line")
    glyphs = read_glyphs(raw, faults)
    for code in range(32, 127):
        ch = chr(code)
        if ch not in glyphs:
            faults.append("glyph %r missing" % ch)
        else:
            check_glyph(ch, glyphs[ch], faults)
    for ch, moves in glyphs.items():
        if ord(ch) > 127:
            check_glyph(ch, moves, faults)
    if "H" in glyphs:
        ys = [float(m["Y"]) for m in glyphs["H"] if "Y" in m]
        if ys and (min(ys) != 0.0 or max(ys) != 1.0):
            faults.append("H spans Y %g..%g, not 0..1" % (min(ys), max(ys)))
    return faults


def main(paths):
    bad = 0
    for path in paths:
        faults = check_file(path)
        for fault in faults:
            print("%s: %s" % (path, fault), file=sys.stderr)
        bad += bool(faults)
    return 1 if bad else 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    sys.exit(main(sys.argv[1:]))
