#include "engrave/fonts/stroke_font.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

const Glyph kEmptyGlyph{};

}  // namespace

Glyph& StrokeFont::Record(unsigned char code) {
  std::uint16_t& slot = m_slots[code];
  if (slot == 0) {
    m_glyphs.emplace_back();
    slot = static_cast<std::uint16_t>(m_glyphs.size());
  }
  return m_glyphs[slot - 1];
}

// Every move count 0; the extents stay, as a font that lacks a character leaves that
// character's old extents in the table.
void StrokeFont::Empty() {
  for (Glyph& glyph : m_glyphs) {
    glyph.moveCount = 0;
    glyph.firstMove = 0;
  }
  m_moves.clear();
  m_named.fill(0);
  m_letterGap = kFntLetterGap;
}

void GlyphExtents::AddX(double x) {
  if (x < minX) minX = x;
  if (x > maxX) maxX = x;
}

void GlyphExtents::AddY(double y) {
  if (y < minY) minY = y;
  if (y > maxY) maxY = y;
}

GlyphTableBuilder::GlyphTableBuilder(StrokeFont& font, std::size_t expectedMoves) : m_font(font) {
  m_font.Empty();
  m_font.m_moves.reserve(expectedMoves);
}

void GlyphTableBuilder::Open(unsigned char code) {
  m_font.Record(code);
  m_font.m_named[code / 64] |= std::uint64_t{1} << (code % 64);
  m_open = m_font.m_slots[code] - 1u;
  Glyph& glyph = m_font.m_glyphs[m_open];
  m_replacedMoves += static_cast<std::size_t>(glyph.moveCount);
  glyph.moveCount = 0;
  if (m_replacedMoves > kLiveMovesAtMost) DropReplacedMoves();
  glyph.firstMove = static_cast<std::uint32_t>(m_font.m_moves.size());
}

void GlyphTableBuilder::MakeRoom(std::size_t more, std::size_t atMost) {
  std::vector<GlyphMove>& moves = m_font.m_moves;
  const std::size_t needed = moves.size() + more;
  if (needed <= moves.capacity()) return;
  moves.reserve(std::max(needed, std::min(2 * moves.capacity(), atMost)));
}

void GlyphTableBuilder::Add(const GlyphMove& move) {
  m_font.m_moves.push_back(move);
  ++m_font.m_glyphs[m_open].moveCount;
}

int GlyphTableBuilder::OpenMoveCount() const { return m_font.m_glyphs[m_open].moveCount; }

void GlyphTableBuilder::SetExtents(const GlyphExtents& extents) {
  Glyph& glyph = m_font.m_glyphs[m_open];
  glyph.minX = extents.minX;
  glyph.minY = extents.minY;
  glyph.maxX = extents.maxX;
  glyph.maxY = extents.maxY;
}

void GlyphTableBuilder::Finish(double letterGap) {
  m_font.m_letterGap = letterGap;
}

void GlyphTableBuilder::Empty(StrokeFont& font) { font.Empty(); }

// A file may define one code again and again; the moves of its earlier sections are dropped
// now and then, so that memory follows what the table holds, not the length of the file.
void GlyphTableBuilder::DropReplacedMoves() {
  std::vector<GlyphMove> kept;
  kept.reserve(m_font.m_moves.size() - m_replacedMoves);
  for (Glyph& glyph : m_font.m_glyphs) {
    const auto count = static_cast<std::size_t>(glyph.moveCount);
    const auto first = m_font.m_moves.begin() + glyph.firstMove;
    glyph.firstMove = static_cast<std::uint32_t>(kept.size());
    kept.insert(kept.end(), first, first + static_cast<std::ptrdiff_t>(count));
  }
  m_font.m_moves = std::move(kept);
  m_replacedMoves = 0;
}

std::string FontReportLine(unsigned char code, int moveCount, const GlyphExtents& extents) {
  std::string line = "SYM-";
  line.reserve(96);
  line += static_cast<char>(code);
  line += ": Moves:";
  if (moveCount < 100) line += moveCount < 10 ? "00" : "0";
  AppendInteger(line, moveCount);
  line += " minX:";
  AppendFixed(line, extents.minX, 6);
  line += " minY:";
  AppendFixed(line, extents.minY, 6);
  line += " maxX:";
  AppendFixed(line, extents.maxX, 6);
  line += " maxY:";
  AppendFixed(line, extents.maxY, 6);
  return line;
}

const Glyph* GlyphOf(const StrokeFont& font, char c) {
  const Glyph* glyph = font.Find(static_cast<unsigned char>(c));
  return glyph != nullptr ? glyph : &kEmptyGlyph;
}

double GlyphWidth(const StrokeFont& font, char c) {
  const Glyph* glyph = GlyphOf(font, c);
  if (glyph->maxX < glyph->minX) return 0;
  return glyph->maxX - glyph->minX;
}

std::string MissingGlyphs(const StrokeFont& font, std::string_view text) {
  std::string missing;
  for (const char c : text) {
    if (c != ' ' && !font.Names(static_cast<unsigned char>(c)) &&
        missing.find(c) == std::string::npos) {
      missing += c;
    }
  }
  return missing;
}

double TextWidth(const StrokeFont& font, std::string_view text, double textHeight,
                 double widthRatio, double spacingRatio) {
  if (text.empty()) return 0;
  const double scale = textHeight * widthRatio * spacingRatio;
  double width = 0;
  for (std::size_t pos = 0; pos + 1 < text.size(); ++pos) {
    width += (GlyphWidth(font, text[pos]) + font.LetterGap()) * scale;
  }
  return width + GlyphWidth(font, text.back()) * scale;
}

}  // namespace stylor
