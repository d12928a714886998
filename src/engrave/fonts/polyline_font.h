#pragma once

// What the LFF and CXF readers share: the font as read (polylines with arc bulges, references)
// and its conversion into the glyph table.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engrave/fonts/stroke_font.h"

namespace stylor {

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

/// A corner of a stroke in font units. `bulge` shapes the way from the corner before to this
/// one: 0 a straight line, otherwise an arc of 4 x atan(bulge) radians, counter-clockwise when
/// positive.
struct LineVertex {
  double x = 0;
  double y = 0;
  double bulge = 0;
};
/// The corners of one stroke, held by the LineFont it belongs to.
using LinePath = std::span<const LineVertex>;

/// A reference to the strokes of another glyph, drawn before the glyph's path `beforePath`.
struct LineReference {
  std::uint32_t beforePath = 0;
  char32_t codePoint = 0;
};

/// One glyph as the file gives it. Its paths are kept by the font, one after another.
struct LineGlyph {
  char32_t codePoint = 0;
  std::uint32_t line = 0;  // of its header, for messages
  std::uint32_t firstPath = 0;
  std::uint32_t pathCount = 0;
  std::vector<LineReference> references;  // glyphs whose strokes it draws too, in file order
  std::string problem;  // why the glyph is left out (a line that does not read); empty if none
};

/// A whole font as the file gives it, in font units: the corners of all paths in one array, so
/// that a large font costs little more than its corners.
struct LineFont {
  std::vector<LineGlyph> glyphs;
  std::vector<LineVertex> corners;
  std::vector<std::uint32_t> pathEnds;  // path p: corners [pathEnds[p - 1], pathEnds[p])
  std::vector<std::string> notes;  // report lines on sections that were left out
  double letterSpacing = 3;
  double wordSpacing = 6.75;

  /// Path `k` of `glyph`.
  LinePath Path(const LineGlyph& glyph, std::size_t k) const {
    const std::size_t p = glyph.firstPath + k;
    const std::size_t begin = p == 0 ? 0 : pathEnds[p - 1];
    return {corners.data() + begin, pathEnds[p] - begin};
  }
  /// Appends a path to `glyph`, the glyph being read (the last one).
  void AddPath(LineGlyph& glyph, std::span<const LineVertex> path) {
    corners.insert(corners.end(), path.begin(), path.end());
    pathEnds.push_back(static_cast<std::uint32_t>(corners.size()));
    ++glyph.pathCount;
  }
};

/// Most corners and references an LFF or CXF file may hold together: twice those of the largest
/// fonts in use, and with the file's bytes well under 64 MB of memory.
constexpr std::size_t kMaxLineFontItems = 1000000;
/// Most glyph sections an LFF or CXF file may hold: nine times those of the largest fonts in use.
constexpr std::size_t kMaxLineFontGlyphs = 65536;

/// Largest magnitude of a coordinate, radius or arc angle in an LFF or CXF font, in font units.
constexpr double kMaxLineFontValue = 1e6;
/// Largest magnitude of a bulge: 1000 is an arc of 359.8 degrees.
constexpr double kMaxBulge = 1000;

/// Reads the lines of an LFF or CXF file: the "#" header metrics, the glyph headers
/// ("[0041] A", "[#0041]", "[A]") and, for every other line inside a glyph, `readLine`, which
/// throws Error with the reason when the line does not read, or puts the reason into the
/// glyph's `problem` (which spares a large font the cost of a throw); that glyph is then left
/// out. Throws Error naming the file for binary data, a line over kMaxLineFontLineBytes, lines
/// before the first glyph, no glyph at all, or more than kMaxLineFontItems or
/// kMaxLineFontGlyphs. A UTF-8 byte order mark before the first line is skipped.
using GlyphLineReader =
    std::function<void(LineFont& font, LineGlyph& glyph, std::string_view line)>;
LineFont ReadLineFont(std::string_view bytes, const std::string& name,
                      const GlyphLineReader& readLine);

/// Reads the number at the front of `text` (leading blanks allowed) and removes it; throws Error
/// with a reason naming `what` when there is none or it is beyond `limit`.
double TakeNumber(std::string_view& text, std::string_view what, double limit);

/// Removes the character `c` from the front of `text`; throws Error "'c' expected <where>" when
/// it is not there.
void ExpectCharacter(std::string_view& text, char c, std::string_view where);

/// Throws Error naming what follows when `text` holds more than blanks.
void ExpectLineEnd(std::string_view text);

/// The same three without a throw: false, with the reason they throw in `problem`.
bool TakeNumber(std::string_view& text, std::string_view what, double limit, double& value,
                std::string& problem);
bool ExpectCharacter(std::string_view& text, char c, std::string_view where,
                     std::string& problem);
bool ExpectLineEnd(std::string_view text, std::string& problem);

/// Fills the table from a font read by ReadLineFont, see ParseLffFont. A glyph that does not
/// read, refers to itself or to a glyph the font lacks, or is over kMaxConvertedMoves is left
/// out with a report line that says why. Throws Error naming the file when no glyph is left for
/// Windows-1252 text; the table then has every move count 0 and the report is empty.
void ConvertLineFont(const LineFont& source, const std::string& name, StrokeFont& font,
                     FontReport& report);

}  // namespace stylor
