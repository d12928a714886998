#include "engrave/fonts/lff_reader.h"

#include <cctype>
#include <vector>

#include "engrave/fonts/polyline_font.h"
#include "settings/error.h"

namespace stylor {
namespace {

// "x,y" or "x,y,A<bulge>" (some fonts leave out the comma before the A): one corner of an LFF
// polyline. False, with the reason in `problem`, when it does not read: a large font holds a
// damaged glyph now and then, and a throw costs more than reading the whole of some fonts.
bool ReadLffVertex(std::string_view text, LineVertex& vertex, std::string& problem) {
  if (!TakeNumber(text, "X", kMaxLineFontValue, vertex.x, problem) ||
      !ExpectCharacter(text, ',', "after the X", problem) ||
      !TakeNumber(text, "Y", kMaxLineFontValue, vertex.y, problem)) {
    return false;
  }
  if (!text.empty() && text.front() == ',') text.remove_prefix(1);
  if (!text.empty() && text.front() == 'A') {
    text.remove_prefix(1);
    if (!TakeNumber(text, "bulge", kMaxBulge, vertex.bulge, problem)) return false;
  }
  return ExpectLineEnd(text, problem);
}

// A polyline "x,y;x,y,A0.4;..." or a reference "C0041" to the strokes of another glyph. The
// corners go straight into the font; a line that does not read leaves its reason in the glyph,
// and ReadLineFont takes the glyph's corners back out.
void ReadLffLine(LineFont& font, LineGlyph& glyph, std::string_view line) {
  if (line.starts_with('C')) {
    line.remove_prefix(1);
    char32_t codePoint = 0;
    std::size_t digits = 0;
    for (; digits < line.size() && digits < 8 && std::isxdigit(static_cast<unsigned char>(line[digits])); ++digits) {
      const char c = line[digits];
      codePoint = codePoint * 16 + static_cast<char32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    if (digits == 0) {
      glyph.problem = "a reference without a code point";
      return;
    }
    if (!ExpectLineEnd(line.substr(digits), glyph.problem)) return;
    glyph.references.push_back({glyph.pathCount, codePoint});
    return;
  }
  const std::size_t first = font.corners.size();
  while (true) {
    const std::size_t semicolon = line.find(';');
    LineVertex& vertex = font.corners.emplace_back();
    if (!ReadLffVertex(line.substr(0, semicolon), vertex, glyph.problem)) return;
    if (semicolon == std::string_view::npos) break;
    line.remove_prefix(semicolon + 1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) break;  // a trailing ';'
  }
  font.corners[first].bulge = 0;  // a bulge shapes the way to a corner; the first has none
  font.pathEnds.push_back(static_cast<std::uint32_t>(font.corners.size()));
  ++glyph.pathCount;
}

}  // namespace

void ParseLffFont(std::string_view bytes, const std::string& name, StrokeFont& font,
                  FontReport& report) {
  report.clear();
  GlyphTableBuilder::Empty(font);
  ConvertLineFont(ReadLineFont(bytes, name, ReadLffLine), name, font, report);
}

}  // namespace stylor
