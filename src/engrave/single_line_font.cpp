#include "engrave/single_line_font.h"

#include <cctype>
#include <cmath>

#include "engrave/line_font.h"
#include "engrave/geometry.h"
#include "settings/error.h"

namespace stylor {
namespace {


bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(text[i]) != lower(prefix[i])) return false;
  }
  return true;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (StartsWithNoCase(text.substr(at), part)) return true;
  }
  return false;
}

bool IsCxfRecord(std::string_view line) {
  return line.starts_with("L ") || line.starts_with("A ") || line.starts_with("AR ");
}

void Expect(std::string_view& text, char c, std::string_view where) {
  if (text.empty() || text.front() != c) {
    throw Error("'" + std::string(1, c) + "' expected " + std::string(where));
  }
  text.remove_prefix(1);
}

void ExpectEnd(std::string_view text) {
  if (text.find_first_not_of(" \t") != std::string_view::npos) {
    throw Error("unexpected '" + std::string(text.substr(0, 20)) + "'");
  }
}

// "x,y" or "x,y,A<bulge>" (some fonts leave out the comma before the A): one corner of an LFF
// polyline.
LineVertex ReadLffVertex(std::string_view text) {
  LineVertex vertex;
  vertex.x = TakeNumber(text, "X", kMaxLineFontValue);
  Expect(text, ',', "after the X");
  vertex.y = TakeNumber(text, "Y", kMaxLineFontValue);
  if (!text.empty() && text.front() == ',') text.remove_prefix(1);
  if (!text.empty() && text.front() == 'A') {
    text.remove_prefix(1);
    vertex.bulge = TakeNumber(text, "bulge", kMaxBulge);
  }
  ExpectEnd(text);
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
    ExpectEnd(line.substr(digits));
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

// "L x1,y1,x2,y2" a line; "A cx,cy,r,a1,a2" an arc counter-clockwise from angle a1 to a2 in
// degrees, "AR ..." the same arc clockwise.
void ReadCxfLine(LineFont& font, LineGlyph& glyph, std::string_view line) {
  const bool reversed = line.starts_with("AR ");
  const bool arc = reversed || line.starts_with("A ");
  if (!arc && !line.starts_with("L ")) {
    throw Error("'" + std::string(line.substr(0, 20)) + "' is neither a line (L) nor an arc (A)");
  }
  line.remove_prefix(reversed ? 3 : 2);
  double values[5] = {};
  const std::string_view names[5] = {"first value", "second value", "third value",
                                     "fourth value", "fifth value"};
  const int count = arc ? 5 : 4;
  for (int i = 0; i < count; ++i) {
    if (i > 0) Expect(line, ',', "between the values");
    values[i] = TakeNumber(line, names[i], kMaxLineFontValue);
  }
  ExpectEnd(line);
  if (!arc) {
    const LineVertex ends[] = {{values[0], values[1], 0}, {values[2], values[3], 0}};
    font.AddPath(glyph, ends);
    return;
  }
  const double cx = values[0], cy = values[1], radius = values[2];
  if (!(radius > 0)) throw Error("an arc's radius must be above 0");
  // The sweep from a1 to a2 the way the arc turns, in (0, 360]: equal angles are a full circle.
  double sweepDeg = std::fmod(reversed ? values[3] - values[4] : values[4] - values[3], 360.0);
  if (sweepDeg <= 0) sweepDeg += 360;
  // Bulges of at most a half circle each, so that every piece has a finite bulge.
  const int pieces = static_cast<int>(std::ceil(sweepDeg / 180));
  const double pieceRad = sweepDeg / pieces * kPi / 180 * (reversed ? -1 : 1);
  const double startRad = values[3] * kPi / 180;
  std::vector<LineVertex> path;
  path.push_back({cx + radius * std::cos(startRad), cy + radius * std::sin(startRad), 0});
  for (int k = 1; k <= pieces; ++k) {
    const double angle = startRad + pieceRad * k;
    path.push_back({cx + radius * std::cos(angle), cy + radius * std::sin(angle),
                    std::tan(pieceRad / 4)});
  }
  font.AddPath(glyph, path);
}

}  // namespace

FontFormat DetectFontFormat(std::string_view bytes, std::string_view name) {
  bool inGlyph = false;
  bytes = WithoutByteOrderMark(bytes);
  std::string_view line;
  while (TakeLine(bytes, line)) {
    if (line.starts_with("SYM ")) return FontFormat::Fnt;
    if (line.starts_with('#')) {
      if (!ContainsNoCase(line, "Format:")) continue;
      if (ContainsNoCase(line, "LibreCAD")) return FontFormat::Lff;
      if (ContainsNoCase(line, "QCad")) return FontFormat::Cxf;
      continue;
    }
    if (line.starts_with('[')) {
      inGlyph = true;
      continue;
    }
    if (!inGlyph || line.find_first_not_of(" \t") == std::string_view::npos) continue;
    return IsCxfRecord(line) ? FontFormat::Cxf : FontFormat::Lff;
  }
  const std::size_t dot = name.rfind('.');
  const std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot);
  if (StartsWithNoCase(extension, ".lff") && extension.size() == 4) return FontFormat::Lff;
  if (StartsWithNoCase(extension, ".cxf") && extension.size() == 4) return FontFormat::Cxf;
  return FontFormat::Fnt;
}

void ParseLffFont(std::string_view bytes, const std::string& name, StrokeFont& font,
                  FontReport& report) {
  report.clear();
  GlyphTableBuilder::Empty(font);
  ConvertLineFont(ReadLineFont(bytes, name, ReadLffLine), name, font, report);
}

void ParseCxfFont(std::string_view bytes, const std::string& name, StrokeFont& font,
                  FontReport& report) {
  report.clear();
  GlyphTableBuilder::Empty(font);
  ConvertLineFont(ReadLineFont(bytes, name, ReadCxfLine), name, font, report);
}

}  // namespace stylor
