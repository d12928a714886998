#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace stylor {

/// One line of a glyph: a move in the text plane (zDirection 0) or a plunge (-1) or lift (+1).
struct GlyphMove {
  double x = 0;  // glyph units along the baseline
  double y = 0;  // glyph units across it; one unit is one text height
  double zDirection = 0;
  double i = 0;
  double j = 0;
  double k = 0;
  std::int32_t g = 0;
  friend bool operator==(const GlyphMove&, const GlyphMove&) = default;
};

constexpr int kMaxMoves = 200;
constexpr int kGlyphCount = 128;

/// The tool path of one character and the extents of its X and Y words.
struct Glyph {
  std::int32_t moveCount = 0;
  double maxX = 0;
  double maxY = 0;
  double minX = 0;
  double minY = 0;
  std::array<GlyphMove, kMaxMoves> moves{};
};

/// The glyph table, indexed by character code 0 to 127. About 1.4 MB: keep it off the stack.
struct StrokeFont {
  std::array<Glyph, kGlyphCount> glyphs{};
};

/// The diagnostic lines that the last LoadFont wrote, one per glyph section.
using FontReport = std::vector<std::string>;

/// The glyph of an 8-bit character; codes 128 and above have none (nullptr).
const Glyph* GlyphOf(const StrokeFont& font, char c);

/// Width of a glyph in glyph units (maxX - minX). A glyph without any X word still holds the
/// extent sentinels; it measures 0, so that one bad glyph cannot throw a line of text two million
/// units off the work. Characters of code 128 or more have no glyph and measure 0 too.
double GlyphWidth(const StrokeFont& font, char c);

/// Loads a stroke font file into `font` in place and writes one report line per glyph section.
/// Throws Error naming the file when it cannot be opened or read, is not a regular file (a pipe
/// or a device would keep the reader waiting), holds binary data, defines no
/// character, names a character of code 128 or more, or gives one character more than 200 moves;
/// the table then has every move count 0 and the report is empty.
void LoadFont(const std::string& fileName, StrokeFont& font, FontReport& report);

/// Engraved width of `text` in machine units: each character's advance
/// (width + 0.35) x height x widthRatio x spacingRatio, less the gap after the last one.
double TextWidth(const StrokeFont& font, std::string_view text, double textHeight,
                 double widthRatio, double spacingRatio);

}  // namespace stylor
