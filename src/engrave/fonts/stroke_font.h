#pragma once

#include <array>
#include <cstdint>
#include <span>
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
/// Character codes that may have a glyph: every 8-bit code (Windows-1252 text).
constexpr int kGlyphCount = 256;
/// The gap a .fnt font leaves after every character, in glyph units (text heights).
constexpr double kFntLetterGap = 0.35;

/// The extents of one character's X and Y words and where its tool path lies among the moves of
/// the StrokeFont it came from (StrokeFont::Moves gives them).
struct Glyph {
  std::int32_t moveCount = 0;
  double maxX = 0;
  double maxY = 0;
  double minX = 0;
  double minY = 0;
  std::uint32_t firstMove = 0;  // index of its first move in the font's moves
};

/// The glyphs of a loaded font by 8-bit character code. It holds only what the font has: one
/// array of moves for all glyphs and a record for each code that a font has named, so creating
/// one costs next to nothing however many codes the table allows. Its parts are plain values and
/// indexes, never pointers into each other, so a copy or a move is a whole font of its own.
struct StrokeFont {
 public:
  /// The record of `code`, or nullptr when no font loaded into this table has named it.
  const Glyph* Find(unsigned char code) const {
    const std::size_t slot = m_slots[code];
    // A font moved from keeps its slots but not its records.
    return slot == 0 || slot > m_glyphs.size() ? nullptr : &m_glyphs[slot - 1];
  }
  /// The tool path of `glyph`, a record of this font (or the empty glyph), in file order.
  std::span<const GlyphMove> Moves(const Glyph& glyph) const {
    if (glyph.moveCount <= 0 || glyph.firstMove >= m_moves.size()) return {};
    return {m_moves.data() + glyph.firstMove, static_cast<std::size_t>(glyph.moveCount)};
  }
  /// Whether the font last loaded defined `code` (a code it lacks may keep an older glyph's
  /// extents, but has no moves).
  bool Names(unsigned char code) const { return (m_named[code / 64] >> (code % 64)) & 1u; }
  /// Whether any glyph has a move: false before the first load and after a refused one.
  bool HasMoves() const { return !m_moves.empty(); }
  /// The gap left after every character, in glyph units: the font's own letter spacing.
  double LetterGap() const { return m_letterGap; }

 private:
  friend class GlyphTableBuilder;
  Glyph& Record(unsigned char code);
  void Empty();

  std::array<std::uint16_t, kGlyphCount> m_slots{};  // 1 + index into m_glyphs; 0 for none
  std::array<std::uint64_t, kGlyphCount / 64> m_named{};
  double m_letterGap = kFntLetterGap;
  std::vector<Glyph> m_glyphs;
  std::vector<GlyphMove> m_moves;
};

/// The diagnostic lines that the last LoadFont wrote, one per glyph section.
using FontReport = std::vector<std::string>;

/// Running extents of a glyph section, starting at the sentinels that a section without any X
/// (or Y) word keeps.
struct GlyphExtents {
  double minX = 1000000;
  double minY = 1000000;
  double maxX = -1000000;
  double maxY = -1000000;
  void AddX(double x);
  void AddY(double y);
};

/// A line of the font report: "SYM-c: Moves:005 minX:0.000000 minY:... maxX:... maxY:...".
std::string FontReportLine(unsigned char code, int moveCount, const GlyphExtents& extents);

/// Fills a StrokeFont glyph by glyph, for every reader of font files: it empties the table's
/// moves first (the extents stay, as a font that lacks a character leaves that character's old
/// extents), then takes the glyphs in file order; a code given twice keeps its later glyph.
class GlyphTableBuilder {
 public:
  /// `expectedMoves` only sizes the first allocation.
  GlyphTableBuilder(StrokeFont& font, std::size_t expectedMoves);
  /// Starts the glyph of `code`; the moves that follow are its, replacing any earlier ones.
  void Open(unsigned char code);
  /// Makes room for `more` moves, doubling the room as appending does but never beyond `atMost`
  /// moves in all, so that a table near its cap does not take twice the memory it needs.
  void MakeRoom(std::size_t more, std::size_t atMost);
  /// Appends a move to the open glyph.
  void Add(const GlyphMove& move);
  /// Moves of the open glyph so far.
  int OpenMoveCount() const;
  /// Stores the extents of the open glyph.
  void SetExtents(const GlyphExtents& extents);
  /// Completes the table; `letterGap` is the gap after every character, in glyph units.
  void Finish(double letterGap);
  /// Every move count 0: the state that a font which does not load leaves.
  static void Empty(StrokeFont& font);
  /// Every glyph of the table at the .fnt limit; beyond it, replaced moves are dropped.
  static constexpr std::size_t kLiveMovesAtMost = std::size_t{kGlyphCount} * kMaxMoves;

 private:
  void DropReplacedMoves();

  StrokeFont& m_font;
  std::size_t m_open = 0;
  std::size_t m_replacedMoves = 0;
};

/// The glyph of an 8-bit character, never nullptr: a code that no font has named has an empty
/// glyph with extents 0; one the last font lacks keeps the extents an earlier font gave it.
const Glyph* GlyphOf(const StrokeFont& font, char c);

/// The tool path of the glyph of an 8-bit character: empty for a code that has no moves.
inline std::span<const GlyphMove> MovesOf(const StrokeFont& font, char c) {
  return font.Moves(*GlyphOf(font, c));
}

/// Width of a glyph in glyph units (maxX - minX). A glyph without any X word still holds the
/// extent sentinels; it measures 0, so that one bad glyph cannot throw a line of text two million
/// units off the work.
double GlyphWidth(const StrokeFont& font, char c);

/// The characters of the 8-bit `text` that the font last loaded does not define, each once, in
/// their order; the blank is never one (a font without it still leaves a blank).
std::string MissingGlyphs(const StrokeFont& font, std::string_view text);

/// Engraved width of `text` in machine units: each character's advance
/// (width + letter gap) x height x widthRatio x spacingRatio, less the gap after the last one.
double TextWidth(const StrokeFont& font, std::string_view text, double textHeight,
                 double widthRatio, double spacingRatio);

}  // namespace stylor
