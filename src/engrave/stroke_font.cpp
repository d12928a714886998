#include "engrave/stroke_font.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/regular_file.h"

namespace stylor {
namespace {

constexpr std::size_t kPieceLength = 99;  // the reader takes lines in pieces of at most 99 chars
constexpr double kExtentSentinel = 1000000;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads a text file in pieces the way a C text stream with a 100-byte line buffer does: each piece
// ends after a line end or at 99 characters; a CR directly before LF is dropped.
class PieceReader {
 public:
  explicit PieceReader(std::FILE* file) : m_file(file) {}

  /// False at the end of the file; throws nothing, see Failed().
  bool Next(std::string& piece) {
    piece.clear();
    while (piece.size() < kPieceLength) {
      int c = Get();
      if (c == EOF) break;
      if (c == '\r' && Peek() == '\n') c = Get();
      piece += static_cast<char>(c);
      if (c == '\n') break;
    }
    return !piece.empty();
  }

  bool Failed() const { return m_failed; }
  int ErrorNumber() const { return m_errno; }

 private:
  int Get() {
    if (m_pos == m_size && !Fill()) return EOF;
    return static_cast<unsigned char>(m_buffer[m_pos++]);
  }
  int Peek() {
    if (m_pos == m_size && !Fill()) return EOF;
    return static_cast<unsigned char>(m_buffer[m_pos]);
  }
  bool Fill() {
    errno = 0;
    m_size = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
    m_pos = 0;
    if (m_size == 0 && std::ferror(m_file)) {
      m_failed = true;
      m_errno = errno;
    }
    return m_size > 0;
  }

  std::FILE* m_file;
  std::array<char, 16384> m_buffer{};
  std::size_t m_pos = 0;
  std::size_t m_size = 0;
  bool m_failed = false;
  int m_errno = 0;
};

struct Extents {
  double minX = kExtentSentinel;
  double minY = kExtentSentinel;
  double maxX = -kExtentSentinel;
  double maxY = -kExtentSentinel;
};

std::string ReportLine(int code, const Glyph& glyph, const Extents& extents) {
  std::string line = "SYM-";
  if (code != 0) line += static_cast<char>(code);  // "%c" of code 0 ends the C string
  line += ": Moves:";
  if (glyph.moveCount < 100) line += glyph.moveCount < 10 ? "00" : "0";
  AppendInteger(line, glyph.moveCount);
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

void StoreExtents(Glyph& glyph, const Extents& extents) {
  glyph.minX = extents.minX;
  glyph.minY = extents.minY;
  glyph.maxX = extents.maxX;
  glyph.maxY = extents.maxY;
}

// The number after the first occurrence of `letter`; `found` tells whether the letter occurs.
double RealAfter(std::string_view line, char letter, bool& found) {
  const std::size_t at = line.find(letter);
  found = at != std::string_view::npos;
  return found ? ScanReal(line.substr(at + 1)).value : 0;
}

GlyphMove ParseMoveLine(std::string& line, Extents& extents) {
  for (char& c : line) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  GlyphMove move;
  bool hasX = false, hasY = false, hasZ = false, unused = false;
  move.x = RealAfter(line, 'X', hasX);
  move.y = RealAfter(line, 'Y', hasY);
  const std::size_t z = line.find('Z');
  hasZ = z != std::string::npos;
  if (hasZ) move.zDirection = ScanReal(std::string_view(line).substr(z + 1)).value > 0 ? 1 : -1;
  move.i = RealAfter(line, 'I', unused);
  move.j = RealAfter(line, 'J', unused);
  move.k = RealAfter(line, 'K', unused);
  const std::size_t g = line.find('G');
  if (g != std::string::npos) move.g = ScanInteger(std::string_view(line).substr(g + 1)).value;
  if (hasX) {
    if (move.x < extents.minX) extents.minX = move.x;
    if (move.x > extents.maxX) extents.maxX = move.x;
  }
  if (hasY) {
    if (move.y < extents.minY) extents.minY = move.y;
    if (move.y > extents.maxY) extents.maxY = move.y;
  }
  return move;
}

std::string CharacterName(int code) {
  std::string name = "'";
  name += static_cast<char>(code);
  name += "' (code ";
  AppendInteger(name, code);
  return name + ")";
}

[[noreturn]] void Refuse(StrokeFont& font, FontReport& report, const std::string& fileName,
                         const std::string& reason) {
  for (Glyph& glyph : font.glyphs) glyph.moveCount = 0;
  report.clear();
  throw Error("Cannot load the font file '" + fileName + "': " + reason);
}

}  // namespace

const Glyph* GlyphOf(const StrokeFont& font, char c) {
  const auto code = static_cast<unsigned char>(c);
  return code < kGlyphCount ? &font.glyphs[code] : nullptr;
}

double GlyphWidth(const StrokeFont& font, char c) {
  const Glyph* glyph = GlyphOf(font, c);
  if (glyph == nullptr || glyph->maxX < glyph->minX) return 0;
  return glyph->maxX - glyph->minX;
}

void LoadFont(const std::string& fileName, StrokeFont& font, FontReport& report) {
  for (Glyph& glyph : font.glyphs) glyph.moveCount = 0;
  report.clear();
  std::string reason;
  FilePtr file(OpenRegularFile(fileName, reason));
  if (!file) Refuse(font, report, fileName, reason);

  PieceReader reader(file.get());
  int code = 0;
  bool sawSymbol = false;
  Extents extents;
  std::string piece;
  piece.reserve(kPieceLength + 1);
  while (reader.Next(piece)) {
    if (piece.find('\0') != std::string::npos) {
      Refuse(font, report, fileName, "it holds binary data, not text");
    }
    Glyph& glyph = font.glyphs[code];
    if (piece.starts_with("SYM ")) {
      report.push_back(ReportLine(code, glyph, extents) + " ");
      StoreExtents(glyph, extents);
      code = piece.size() > 4 ? static_cast<unsigned char>(piece[4]) : 0;
      if (code >= kGlyphCount) {
        Refuse(font, report, fileName,
               "it defines the character of code " + std::to_string(code) +
                   ", but only codes 0 to 127 have glyphs");
      }
      sawSymbol = true;
      font.glyphs[code].moveCount = 0;
      extents = Extents{};
      continue;
    }
    if (glyph.moveCount == kMaxMoves) {
      Refuse(font, report, fileName,
             "the character " + CharacterName(code) + " has more than 200 moves");
    }
    glyph.moves[glyph.moveCount++] = ParseMoveLine(piece, extents);
  }
  if (reader.Failed()) Refuse(font, report, fileName, std::strerror(reader.ErrorNumber()));
  if (!sawSymbol) Refuse(font, report, fileName, "it defines no character (no \"SYM \" line)");
  report.push_back(ReportLine(code, font.glyphs[code], extents));
  StoreExtents(font.glyphs[code], extents);
}

double TextWidth(const StrokeFont& font, std::string_view text, double textHeight,
                 double widthRatio, double spacingRatio) {
  if (text.empty()) return 0;
  const double scale = textHeight * widthRatio * spacingRatio;
  double width = 0;
  for (std::size_t pos = 0; pos + 1 < text.size(); ++pos) {
    width += (GlyphWidth(font, text[pos]) + 0.35) * scale;
  }
  return width + GlyphWidth(font, text.back()) * scale;
}

}  // namespace stylor
