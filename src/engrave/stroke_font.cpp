#include "engrave/stroke_font.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "settings/error.h"
#include "settings/files.h"
#include "settings/numbers.h"
#include "engrave/single_line_font.h"

namespace stylor {
namespace {

constexpr std::size_t kPieceLength = 99;  // the reader takes lines in pieces of at most 99 chars
constexpr std::string_view kLoadFailure = "Cannot load the font file";

// Which word a letter of a move line starts, after upper-casing: X Y Z I J K G, or none.
enum Word : std::int8_t { kX, kY, kZ, kI, kJ, kK, kG, kWordCount, kNone = -1 };

constexpr std::array<std::int8_t, 256> kWordOf = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(kNone);
  const char letters[] = "XYZIJKG";
  for (int w = 0; w < kWordCount; ++w) {
    table[static_cast<unsigned char>(letters[w])] = static_cast<std::int8_t>(w);
    table[static_cast<unsigned char>(letters[w] - 'A' + 'a')] = static_cast<std::int8_t>(w);
  }
  return table;
}();

// A move line is read upper-cased: x1.5 reads as X1.5. Only the first occurrence of each letter
// counts, so "(MAX) X1" has X 0: its first X is the one in MAX. The numbers themselves read the
// same in either case ("1e3" and "1E3"), so the line is looked at as it is.
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The move line of nearly every font: "G0n X<decimal> Y<decimal>" or "G0n Z<decimal>", upper
// case, one blank between words, plain decimals. Such a line holds each word letter once, so it is
// read in one pass to the move the word-by-word reading gives; false for any other line.
bool ParseUsualMoveLine(std::string_view piece, GlyphMove& move, GlyphExtents& extents) {
  if (piece.size() < 5 || piece[0] != 'G' || !IsDigit(piece[1])) return false;
  std::size_t pos = 2;
  if (IsDigit(piece[pos])) ++pos;
  if (piece[pos] != ' ') return false;
  const int g = pos == 2 ? piece[1] - '0' : (piece[1] - '0') * 10 + (piece[2] - '0');
  const char word = piece[pos + 1];
  ScannedReal first;
  if ((word != 'X' && word != 'Z') || !ScanPlainReal(piece, pos + 2, first)) return false;
  if (word == 'Z') {
    if (first.used != piece.size()) return false;
    move.zDirection = first.value > 0 ? 1 : -1;
    move.g = g;
    return true;
  }
  ScannedReal second;
  if (first.used + 2 >= piece.size() || piece[first.used] != ' ' || piece[first.used + 1] != 'Y' ||
      !ScanPlainReal(piece, first.used + 2, second) || second.used != piece.size()) {
    return false;
  }
  move.x = first.value;
  move.y = second.value;
  move.g = g;
  extents.AddX(move.x);
  extents.AddY(move.y);
  return true;
}

GlyphMove ParseMoveLine(std::string_view piece, GlyphExtents& extents) {
  if (GlyphMove usual; ParseUsualMoveLine(piece, usual, extents)) return usual;
  std::array<std::int16_t, kWordCount> at;
  at.fill(-1);
  for (std::size_t p = 0; p < piece.size(); ++p) {
    const std::int8_t word = kWordOf[static_cast<unsigned char>(piece[p])];
    if (word != kNone && at[word] < 0) at[word] = static_cast<std::int16_t>(p);
  }
  const auto real = [&](Word word) {
    return at[word] < 0 ? 0.0 : ScanReal(piece.substr(at[word] + 1)).value;
  };
  GlyphMove move;
  move.x = real(kX);
  move.y = real(kY);
  if (at[kZ] >= 0) move.zDirection = real(kZ) > 0 ? 1 : -1;
  move.i = real(kI);
  move.j = real(kJ);
  move.k = real(kK);
  if (at[kG] >= 0) move.g = ScanInteger(piece.substr(at[kG] + 1)).value;
  if (at[kX] >= 0) extents.AddX(move.x);
  if (at[kY] >= 0) extents.AddY(move.y);
  return move;
}

std::string CharacterName(int code) {
  std::string name = "'";
  name += static_cast<char>(code);
  name += "' (code ";
  AppendInteger(name, code);
  return name + ")";
}

// Splits the bytes into the pieces a C text stream with a 100-byte line buffer gives: each piece
// ends after a line end or at 99 characters, and a CR directly before LF is dropped. A piece is
// handed over without its line end; `ended` tells whether it had one. A file without any LF but
// with CRs was saved with the line ends of old Macs: its CRs end its lines.
class PieceReader {
 public:
  explicit PieceReader(std::string_view bytes)
      : m_rest(bytes),
        m_lineEnd(bytes.find('\n') == std::string_view::npos && bytes.find('\r') != std::string_view::npos
                      ? '\r'
                      : '\n') {}

  bool Next(std::string_view& piece, bool& ended) {
    if (m_pendingLineEnd) {
      // A line of a multiple of 99 characters leaves its line end as a piece of its own.
      m_pendingLineEnd = false;
      piece = {};
      ended = true;
      return true;
    }
    if (m_line.empty()) {
      if (!NextLine()) return false;
      if (m_pendingLineEnd) {  // an empty line
        m_pendingLineEnd = false;
        piece = {};
        ended = true;
        return true;
      }
    }
    const std::size_t take = std::min(m_line.size(), kPieceLength);
    piece = m_line.substr(0, take);
    m_line.remove_prefix(take);
    // The line end joins the last piece of its line when that piece has room for it.
    ended = false;
    if (m_line.empty() && m_lineHasEnd) {
      if (take < kPieceLength) ended = true;
      else m_pendingLineEnd = true;
      m_lineHasEnd = false;
    }
    return true;
  }

 private:
  bool NextLine() {
    if (m_rest.empty()) return false;
    const std::size_t lf = m_rest.find(m_lineEnd);
    if (lf == std::string_view::npos) {
      m_line = m_rest;
      m_lineHasEnd = false;
      m_rest = {};
    } else {
      m_line = m_rest.substr(0, lf);
      if (!m_line.empty() && m_line.back() == '\r') m_line.remove_suffix(1);
      m_lineHasEnd = true;
      m_rest.remove_prefix(lf + 1);
    }
    if (m_line.empty() && m_lineHasEnd) {
      m_lineHasEnd = false;
      m_pendingLineEnd = true;
    }
    return true;
  }

  std::string_view m_rest;
  char m_lineEnd;
  std::string_view m_line;
  bool m_lineHasEnd = false;
  bool m_pendingLineEnd = false;
};

const Glyph kEmptyGlyph{};

std::size_t LineCount(std::string_view bytes) {
  std::size_t lines = 1;
  const char* at = bytes.data();
  const char* const end = at + bytes.size();
  while (const void* lf = std::memchr(at, '\n', static_cast<std::size_t>(end - at))) {
    ++lines;
    at = static_cast<const char*>(lf) + 1;
  }
  return lines;
}

}  // namespace

class FontParser {
 public:
  FontParser(std::string_view bytes, const std::string& name, StrokeFont& font,
             FontReport& report)
      : m_bytes(bytes), m_name(name), m_font(font), m_report(report) {}

  void Run() {
    m_report.clear();
    GlyphTableBuilder::Empty(m_font);
    if (std::memchr(m_bytes.data(), '\0', m_bytes.size()) != nullptr) {
      Refuse("it holds binary data, not text");
    }
    // Room for one move a line, so that the moves of a usual font are never copied while they
    // are read, but no more than a whole table holds: a hostile file of empty lines is refused
    // at its 201st line, not after claiming memory for millions of moves.
    GlyphTableBuilder table(m_font, std::min(LineCount(m_bytes), GlyphTableBuilder::kLiveMovesAtMost));
    PieceReader reader(m_bytes);
    int code = 0;
    table.Open(0);
    bool sawSymbol = false;
    GlyphExtents extents;
    std::string_view piece;
    bool ended = false;
    while (reader.Next(piece, ended)) {
      if (piece.starts_with("SYM ")) {
        m_report.push_back(ReportLine(code, table.OpenMoveCount(), extents, " "));
        table.SetExtents(extents);
        // The fifth character names the glyph; a bare "SYM " line ending there names the line
        // end itself, as the C reader sees it.
        code = piece.size() > 4 ? static_cast<unsigned char>(piece[4]) : ended ? '\n' : 0;
        sawSymbol = true;
        table.Open(static_cast<unsigned char>(code));
        extents = GlyphExtents{};
        continue;
      }
      if (table.OpenMoveCount() == kMaxMoves) {
        Refuse("the character " + CharacterName(code) + " has more than 200 moves");
      }
      table.Add(ParseMoveLine(piece, extents));
    }
    if (!sawSymbol) Refuse("it defines no character (no \"SYM \" line)");
    m_report.push_back(ReportLine(code, table.OpenMoveCount(), extents, ""));
    table.SetExtents(extents);
    table.Finish(kFntLetterGap);
  }

 private:
  static std::string ReportLine(int code, int moveCount, const GlyphExtents& extents,
                                std::string_view end) {
    // "%c" of code 0 ends the C string, so the line of glyph 0 (the moves before the first
    // symbol line) reads "SYM-" and nothing more.
    if (code == 0) return "SYM-";
    return FontReportLine(static_cast<unsigned char>(code), moveCount, extents) + std::string(end);
  }

  [[noreturn]] void Refuse(const std::string& reason) {
    m_report.clear();
    GlyphTableBuilder::Empty(m_font);
    throw Error(FontLoadFailure(m_name, reason));
  }

  std::string_view m_bytes;
  const std::string& m_name;
  StrokeFont& m_font;
  FontReport& m_report;
};

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

std::string FontLoadFailure(const std::string& name, const std::string& reason) {
  return std::string(kLoadFailure) + " '" + name + "': " + reason;
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

void ParseFont(std::string_view bytes, const std::string& name, StrokeFont& font,
               FontReport& report) {
  FontParser(bytes, name, font, report).Run();
}

void LoadFont(const std::string& fileName, StrokeFont& font, FontReport& report) {
  std::string bytes;
  try {
    bytes = ReadWholeFile(fileName, kMaxFontFileBytes, kLoadFailure);
  } catch (const Error&) {
    GlyphTableBuilder::Empty(font);
    report.clear();
    throw;
  }
  switch (DetectFontFormat(bytes, fileName)) {
    case FontFormat::Lff: ParseLffFont(bytes, fileName, font, report); break;
    case FontFormat::Cxf: ParseCxfFont(bytes, fileName, font, report); break;
    case FontFormat::Fnt: ParseFont(bytes, fileName, font, report); break;
  }
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
