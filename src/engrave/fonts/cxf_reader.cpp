#include "engrave/fonts/cxf_reader.h"

#include <cmath>
#include <vector>

#include "engrave/fonts/polyline_font.h"
#include "engrave/geometry.h"
#include "settings/error.h"

namespace stylor {
namespace {

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
    if (i > 0) ExpectCharacter(line, ',', "between the values");
    values[i] = TakeNumber(line, names[i], kMaxLineFontValue);
  }
  ExpectLineEnd(line);
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

void ParseCxfFont(std::string_view bytes, const std::string& name, StrokeFont& font,
                  FontReport& report) {
  report.clear();
  GlyphTableBuilder::Empty(font);
  ConvertLineFont(ReadLineFont(bytes, name, ReadCxfLine), name, font, report);
}

}  // namespace stylor
