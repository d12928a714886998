#pragma once

#include <string>
#include <string_view>

#include "engrave/stroke_font.h"

namespace stylor {

/// The formats of font file that LoadFont reads.
enum class FontFormat { Fnt, Lff, Cxf };

/// The format of a font file: by its content (a "SYM " line is .fnt; a "# Format:" header or
/// the first glyph's lines tell LFF from CXF), and by the extension of `name` only when the
/// content tells nothing; .fnt when neither does.
FontFormat DetectFontFormat(std::string_view bytes, std::string_view name);

/// Most moves a glyph converted from an LFF or CXF font may have. Arcs are flattened within a
/// chord tolerance of 1/500 of the capital height, and an ornate glyph can need far more than
/// the 200 lines of a .fnt section; the table stores each glyph's moves at their own length,
/// so the limit only bounds what a hostile file can ask for.
constexpr int kMaxConvertedMoves = 4000;

/// Most moves all glyphs of a converted font may have together: far more than the ornate fonts
/// need, and a table of at most 14 MB. A glyph that would go beyond it is left out, with a report
/// line that says why.
constexpr std::size_t kMaxFontMoves = 256 * 1024;

/// Longest line an LFF or CXF file may hold (the longest of the usual fonts is under 10,000).
constexpr std::size_t kMaxLineFontLineBytes = 65536;

/// Reads the bytes of an LFF single-line font into `font`: code points that Windows-1252 holds
/// become glyphs of their 8-bit code, arcs are flattened into line moves, references resolved,
/// capitals scaled to 1 unit and the letter gap taken from the font's LetterSpacing. Writes a
/// report line per glyph. Throws Error naming the file (`name`) when the bytes cannot be a font;
/// the table then has every move count 0 and the report is empty.
void ParseLffFont(std::string_view bytes, const std::string& name, StrokeFont& font,
                  FontReport& report);

/// Reads the bytes of a CXF single-line font into `font`, as ParseLffFont does (lines "L" and
/// arcs "A" / "AR" in place of polylines and references).
void ParseCxfFont(std::string_view bytes, const std::string& name, StrokeFont& font,
                  FontReport& report);

}  // namespace stylor
