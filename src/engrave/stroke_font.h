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
/// Character codes that may have a glyph: 0 to 127.
constexpr int kGlyphCount = 128;

/// The tool path of one character and the extents of its X and Y words. The moves belong to the
/// StrokeFont the glyph came from and stay valid until that font is loaded again.
struct Glyph {
  std::int32_t moveCount = 0;
  double maxX = 0;
  double maxY = 0;
  double minX = 0;
  double minY = 0;
  const GlyphMove* moves = nullptr;  // moveCount moves in file order
};

/// The glyphs of a loaded font by 8-bit character code. It holds only what the font has: one
/// array of moves for all glyphs and a record for each code that a font has named, so creating
/// one costs next to nothing however many codes the table allows.
struct StrokeFont {
 public:
  StrokeFont() = default;
  StrokeFont(const StrokeFont& other);
  StrokeFont& operator=(const StrokeFont& other);
  StrokeFont(StrokeFont&& other) noexcept;
  StrokeFont& operator=(StrokeFont&& other) noexcept;

  /// The record of `code`, or nullptr when no font loaded into this table has named it.
  const Glyph* Find(unsigned char code) const {
    const std::uint16_t slot = m_slots[code];
    return slot == 0 ? nullptr : &m_glyphs[slot - 1];
  }
  /// Whether any glyph has a move: false before the first load and after a refused one.
  bool HasMoves() const { return !m_moves.empty(); }

 private:
  friend class FontParser;
  Glyph& Record(unsigned char code);
  void Empty();
  void Rebind();

  std::array<std::uint16_t, 256> m_slots{};      // 1 + index into m_glyphs; 0 for none
  std::vector<Glyph> m_glyphs;
  std::vector<std::uint32_t> m_firstMove;       // per record: index of its first move
  std::vector<GlyphMove> m_moves;
};

/// The diagnostic lines that the last LoadFont wrote, one per glyph section.
using FontReport = std::vector<std::string>;

/// The glyph of an 8-bit character; codes 128 and above have none (nullptr). A code below 128
/// that no font has named has an empty glyph with extents 0.
const Glyph* GlyphOf(const StrokeFont& font, char c);

/// Width of a glyph in glyph units (maxX - minX). A glyph without any X word still holds the
/// extent sentinels; it measures 0, so that one bad glyph cannot throw a line of text two million
/// units off the work. Characters of code 128 or more have no glyph and measure 0 too.
double GlyphWidth(const StrokeFont& font, char c);

/// Largest stroke font file that is read: far more than 128 glyphs of 200 moves take.
constexpr std::size_t kMaxFontFileBytes = std::size_t{16} << 20;

/// Reads the bytes of a stroke font file into `font` in place and writes one report line per
/// glyph section; `name` names the file in messages. Throws Error naming it when the bytes hold
/// binary data, define no character, name a character of code 128 or more, or give one character
/// more than 200 moves; the table then has every move count 0 and the report is empty.
void ParseFont(std::string_view bytes, const std::string& name, StrokeFont& font,
               FontReport& report);

/// Loads the stroke font file `fileName` (a regular file of at most kMaxFontFileBytes) with
/// ParseFont. Throws Error naming the file when it cannot be read, and what ParseFont throws;
/// the table then has every move count 0 and the report is empty.
void LoadFont(const std::string& fileName, StrokeFont& font, FontReport& report);

/// Engraved width of `text` in machine units: each character's advance
/// (width + 0.35) x height x widthRatio x spacingRatio, less the gap after the last one.
double TextWidth(const StrokeFont& font, std::string_view text, double textHeight,
                 double widthRatio, double spacingRatio);

}  // namespace stylor
