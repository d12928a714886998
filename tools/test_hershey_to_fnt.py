#!/usr/bin/env python3
"""Tests for the Hershey converter.  Run: python3 tools/test_hershey_to_fnt.py"""

import contextlib
import io
import os
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hershey_to_fnt as h2f  # noqa: E402

FUTURAL = "/usr/share/hershey-fonts/futural.jhf"


def record(pairs):
    """A .jhf record line for a margin pair plus stroke pairs."""
    return "12345%3d%s" % (len(pairs) // 2, pairs)


def font(glyph_h=None, fill="JZ"):
    """A minimal ASCII-ordered face: an H, and a short bar everywhere else."""
    bar = fill + "MROR"
    recs = []
    for code in range(32, 128):
        if code == 32:
            recs.append(record("JZ"))
        elif code == ord("H") and glyph_h is not None:
            recs.append(record(glyph_h))
        else:
            recs.append(record(bar))
    # Capitals and digits need a common top and bottom for the cap height.
    for ch in "ABCDEFGIJKLMNOPQRSTUVWXYZ0123456789":
        recs[ord(ch) - 32] = record("JZMFM[")
    if glyph_h is None:
        recs[ord("H") - 32] = record("H\\LFL[ RXFX[ RLPXP")
    return recs


def segments_of_fnt(text, ch):
    """Undirected cut segments of one glyph, back in Hershey units
    (relative to the glyph's left edge and the baseline, Y up)."""
    segs = set()
    section = text.split("SYM " + ch + "\r\n", 1)[1].split("SYM ", 1)[0]
    down, pos = False, None
    for line in section.split("\r\n"):
        w = dict((t[0], t[1:]) for t in line.split())
        if "Z" in w:
            down = float(w["Z"]) < 0
        elif "X" in w:
            p = (round(float(w["X"]) * 21), round(float(w["Y"]) * 21))
            if down:
                segs.add(frozenset((pos, p)))
            pos = p
    return segs


class ConverterTest(unittest.TestCase):
    def test_wrapped_record_reads_like_one_line(self):
        recs = font()
        whole = "\n".join(recs) + "\n"
        wrapped = "\n".join(r[:30] + "\n" + r[30:] if len(r) > 30 else r
                            for r in recs) + "\n"
        self.assertEqual(h2f.convert(whole, "t")[0],
                         h2f.convert(wrapped, "t")[0])

    def test_cap_height_and_left_edge(self):
        fnt, _ = h2f.convert("\n".join(font()) + "\n", "t")
        h = fnt.split("SYM H\r\n")[1].split("SYM")[0]
        self.assertIn("G00 X0.0000 Y1.0000", h)
        self.assertIn("G01 X0.0000 Y0.0000", h)
        self.assertIn("X0.5714 Y0.0000", h)   # 12 units wide / 21 tall

    def test_glyph_over_move_limit_fails_loudly(self):
        # 100 separate two-point strokes: 400 moves.
        strokes = " R".join("M%sO%s" % (chr(70 + i % 20), chr(70 + i % 20))
                            for i in range(100))
        jhf = "\n".join(font(fill="JZ" + strokes + " R")) + "\n"
        with tempfile.TemporaryDirectory() as d:
            src = os.path.join(d, "big.jhf")
            dst = os.path.join(d, "big.fnt")
            with open(src, "w") as f:
                f.write(jhf)
            err = io.StringIO()
            with contextlib.redirect_stderr(err):
                rc = h2f.main([src, dst])
            self.assertEqual(rc, 1)
            self.assertIn("moves", err.getvalue())
            self.assertFalse(os.path.exists(dst))

    @unittest.skipUnless(os.path.exists(FUTURAL), "hershey-fonts-data missing")
    def test_joined_strokes_cut_the_same_lines(self):
        # Chaining and reversing strokes must not add, drop or move a cut.
        with open(FUTURAL) as f:
            text = f.read()
        glyphs = h2f.parse_jhf(text, "futural.jhf")
        fnt, _ = h2f.convert(text, "futural.jhf")
        for code in range(33, 127):
            g = glyphs[code - 32]
            min_x = min(x for s in g.strokes for x, _ in s)
            want = set()
            for s in g.strokes:
                pts = [(x - min_x, 9 - y) for x, y in s]
                want.update(frozenset(p) for p in zip(pts, pts[1:])
                            if p[0] != p[1])
            self.assertEqual(segments_of_fnt(fnt, chr(code)), want, chr(code))


class Windows1252Test(unittest.TestCase):
    """The characters beyond ASCII, composed from the face's own letters."""

    WANTED = "°±µØø×÷²³¼½¾©®§€éèêëàâäåçñöôüûïîßÉÈÊËÀÂÄÅÇÑÖÔÜÛÏÎ"

    def convert(self, **options):
        jhf = "\n".join(font()) + "\n"
        return h2f.convert(jhf, "t", greek_text=jhf, **options)[0]

    def sections(self, fnt):
        return dict((part[0], part[1:]) for part in fnt.split("\r\nSYM ")[1:])

    def test_each_wanted_character_has_a_cut(self):
        sections = self.sections("\r\n" + self.convert())
        for ch in self.WANTED:
            self.assertIn(ch, sections)
            self.assertIn("G01 Z-1", sections[ch], ch)

    def test_an_accent_keeps_the_letter_and_adds_strokes_above_it(self):
        fnt = self.convert()
        for plain, accented in (("E", "É"), ("O", "Ö"), ("C", "Ç")):
            # The mark may reach left of the letter: compare the letter's own cuts by length.
            def lengths(ch):
                return sorted(abs(a[0] - b[0]) + abs(a[1] - b[1])
                              for a, b in (tuple(s) for s in segments_of_fnt(fnt, ch)
                                           if len(s) == 2))
            self.assertGreater(len(lengths(accented)), len(lengths(plain)), accented)
            self.assertTrue(set(lengths(plain)) <= set(lengths(accented)), accented)
        # The acute sits above the cap height, the cedilla below the baseline.
        self.assertGreater(max(y for s in segments_of_fnt(fnt, "É") for _, y in s), 21)
        self.assertLess(min(y for s in segments_of_fnt(fnt, "Ç") for _, y in s), 0)

    def test_the_file_is_windows_1252_and_a_symbols_face_has_no_accents(self):
        fnt = self.convert(latin=False)
        sections = self.sections("\r\n" + fnt)
        self.assertIn("°", sections)
        self.assertNotIn("é", sections)
        self.assertNotIn("€", sections)
        self.assertIn(b"SYM \xb0\r\n", fnt.encode(h2f.ENCODING))


if __name__ == "__main__":
    unittest.main()
