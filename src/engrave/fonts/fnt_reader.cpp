#include "engrave/fonts/fnt_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engrave/fonts/font_file.h"
#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

constexpr std::size_t kPieceLength = 99;  // the reader takes lines in pieces of at most 99 chars

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

void ParseFont(std::string_view bytes, const std::string& name, StrokeFont& font,
               FontReport& report) {
  FontParser(bytes, name, font, report).Run();
}

}  // namespace stylor
