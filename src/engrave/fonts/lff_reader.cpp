#include "engrave/fonts/lff_reader.h"

#include <cctype>
#include <vector>

#include "engrave/fonts/polyline_font.h"
#include "settings/error.h"

namespace stylor {
namespace {

// "x,y" or "x,y,A<bulge>" (some fonts leave out the comma before the A): one corner of an LFF
// polyline.
LineVertex ReadLffVertex(std::string_view text) {
  LineVertex vertex;
  vertex.x = TakeNumber(text, "X", kMaxLineFontValue);
  ExpectCharacter(text, ',', "after the X");
  vertex.y = TakeNumber(text, "Y", kMaxLineFontValue);
  if (!text.empty() && text.front() == ',') text.remove_prefix(1);
  if (!text.empty() && text.front() == 'A') {
    text.remove_prefix(1);
    vertex.bulge = TakeNumber(text, "bulge", kMaxBulge);
  }
  ExpectLineEnd(text);
  return vertex;
}

// A polyline "x,y;x,y,A0.4;..." or a reference "C0041" to the strokes of another glyph.
void ReadLffLine(LineFont& font, LineGlyph& glyph, std::string_view line) {
  if (line.starts_with('C')) {
    line.remove_prefix(1);
    char32_t codePoint = 0;
    std::size_t digits = 0;
    for (; digits < line.size() && digits < 8 && std::isxdigit(static_cast<unsigned char>(line[digits])); ++digits) {
      const char c = line[digits];
      codePoint = codePoint * 16 + static_cast<char32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    if (digits == 0) throw Error("a reference without a code point");
    ExpectLineEnd(line.substr(digits));
    glyph.references.push_back({glyph.pathCount, codePoint});
    return;
  }
  std::vector<LineVertex> path;
  while (true) {
    const std::size_t semicolon = line.find(';');
    path.push_back(ReadLffVertex(line.substr(0, semicolon)));
    if (semicolon == std::string_view::npos) break;
    line.remove_prefix(semicolon + 1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) break;  // a trailing ';'
  }
  path.front().bulge = 0;  // a bulge shapes the way to a corner; the first has none
  font.AddPath(glyph, path);
}

}  // namespace

void ParseLffFont(std::string_view bytes, const std::string& name, StrokeFont& font,
                  FontReport& report) {
  report.clear();
  GlyphTableBuilder::Empty(font);
  ConvertLineFont(ReadLineFont(bytes, name, ReadLffLine), name, font, report);
}

}  // namespace stylor
