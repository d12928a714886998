#include "engrave/line_font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "engrave/single_line_font.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {

constexpr double kPi = 3.141592653589793;
// Arcs are flattened so that no chord strays further from the arc than this share of the
// capital height: 0.01 mm on text 5 mm high, finer than a V cutter's edge follows.
constexpr double kChordToleranceOfCap = 1.0 / 500;
// Corners of a glyph with its references drawn in: every two make at least one move.
constexpr std::size_t kMaxCorners = 4 * std::size_t{kMaxConvertedMoves};
// A reference inside a reference inside ... deeper than any font draws its accents.
constexpr int kMaxReferenceDepth = 16;
// Characters machinists engrave that a font may draw only under a neighbouring code point: the
// micro sign as the Greek mu, the slashed O as the diameter sign.
constexpr std::pair<char32_t, char32_t> kStandIns[] = {{0x00B5, 0x03BC}, {0x00D8, 0x2300}};
// Flat-topped and flat-bottomed capitals: their strokes end on the cap line and the baseline.
constexpr std::string_view kMeasuredCapitals = "EFHIKLNTZ";

std::string CodePointName(char32_t codePoint) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string digits;
  for (char32_t rest = codePoint; rest != 0 || digits.size() < 4; rest >>= 4) {
    digits.insert(digits.begin(), kHex[rest & 0xF]);
  }
  return "U+" + digits;
}

std::string LineName(std::size_t line) {
  std::string text = "line ";
  AppendInteger(text, static_cast<long long>(line));
  return text;
}

std::optional<char32_t> ReadHex(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  return static_cast<char32_t>(value);
}

// The character a glyph header names: "[0041] A" and "[#0041]" by hexadecimal code point,
// "[A]" by the character itself.
std::optional<char32_t> HeaderCodePoint(std::string_view inside) {
  if (inside.starts_with('#')) return ReadHex(inside.substr(1));
  if (const auto single = SingleCodePoint(inside)) return single;
  if (inside.size() >= 4) return ReadHex(inside);
  return std::nullopt;
}

// "# LetterSpacing:   3" and the like: the value of a header metric, when the line is one.
std::optional<double> HeaderMetric(std::string_view line, std::string_view key) {
  line.remove_prefix(1);
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  if (!line.starts_with(key)) return std::nullopt;
  line.remove_prefix(key.size());
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  if (!line.starts_with(':')) return std::nullopt;
  line.remove_prefix(1);
  return TakeNumber(line, key, kMaxLineFontValue);
}

class LineSplitter {
 public:
  explicit LineSplitter(std::string_view bytes) : m_rest(bytes) {}
  bool Next(std::string_view& line) {
    if (m_rest.empty()) return false;
    const std::size_t lf = m_rest.find('\n');
    line = m_rest.substr(0, lf);
    m_rest.remove_prefix(lf == std::string_view::npos ? m_rest.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++m_number;
    return true;
  }
  std::size_t Number() const { return m_number; }

 private:
  std::string_view m_rest;
  std::size_t m_number = 0;
};

// ---- conversion ----

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};
using Polyline = std::vector<Point>;

// Appends the arc from `from` to `to` whose bulge is `bulge`, without its first point, in
// chords that stay within `tolerance` of it.
void AppendArc(Polyline& out, Point from, Point to, double bulge, double tolerance) {
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  const double chord = std::hypot(dx, dy);
  const double sweep = 4 * std::atan(bulge);
  const double halfSin = std::sin(std::abs(sweep) / 2);
  if (chord == 0 || halfSin == 0) {
    out.push_back(to);
    return;
  }
  const double radius = chord / (2 * halfSin);
  // The centre lies off the chord's middle, to the left for a counter-clockwise arc shorter
  // than a half circle.
  const double offset = chord / 2 / std::tan(sweep / 2);
  const Point centre{(from.x + to.x) / 2 - dy / chord * offset,
                     (from.y + to.y) / 2 + dx / chord * offset};
  const double startRad = std::atan2(from.y - centre.y, from.x - centre.x);
  const double stepRad = tolerance < radius ? 2 * std::acos(1 - tolerance / radius) : kPi;
  const double wanted = std::ceil(std::abs(sweep) / stepRad);
  // A huge radius asks for no more chords than any glyph may have moves.
  const int chords = static_cast<int>(std::clamp(wanted, 1.0, double{kMaxConvertedMoves}));
  for (int k = 1; k < chords; ++k) {
    const double angle = startRad + sweep * k / chords;
    out.push_back({centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
  }
  out.push_back(to);
}

// The path as points. A path of more points than a glyph may have moves is over the limit
// whatever follows, so flattening stops soon after, and a hostile glyph of many huge arcs
// cannot claim memory for millions of points.
Polyline Flatten(const LinePath& path, double tolerance) {
  Polyline points;
  for (const LineVertex& vertex : path) {
    const Point to{vertex.x, vertex.y};
    if (points.empty() || vertex.bulge == 0) points.push_back(to);
    else AppendArc(points, points.back(), to, vertex.bulge, tolerance);
    if (points.size() > static_cast<std::size_t>(kMaxConvertedMoves)) break;
  }
  points.erase(std::unique(points.begin(), points.end()), points.end());
  return points;
}

// Why a glyph is left out; thrown and caught inside the conversion only.
struct LeftOut {
  std::string reason;
};

Polyline Corners(const LinePath& path) {
  Polyline corners;
  for (const LineVertex& vertex : path) corners.push_back({vertex.x, vertex.y});
  return corners;
}

class Converter {
 public:
  Converter(const LineFont& source, const std::string& name)
      : m_source(source), m_name(name) {
    for (std::size_t g = 0; g < source.glyphs.size(); ++g) {
      m_index[source.glyphs[g].codePoint] = g;  // a code given twice keeps its later glyph
    }
  }

  // The 8-bit code glyph `g` fills: that of its code point, or of the character it stands in
  // for when the font lacks that one. -1 for none.
  int CodeOf(std::size_t g) const {
    const char32_t codePoint = m_source.glyphs[g].codePoint;
    if (m_index.at(codePoint) != g) return -1;  // a later glyph of the same code point wins
    for (const auto& [wanted, standIn] : kStandIns) {
      if (codePoint == standIn && !m_index.contains(wanted)) return Windows1252Of(wanted);
    }
    return Windows1252Of(codePoint);
  }

  void Run(StrokeFont& font, FontReport& report) {
    MeasureCapitals();
    const double tolerance = m_cap * kChordToleranceOfCap;
    GlyphTableBuilder table(font, 0);
    bool hasBlank = false;
    bool hasAny = false;
    for (std::size_t g = 0; g < m_source.glyphs.size(); ++g) {
      const LineGlyph& glyph = m_source.glyphs[g];
      const int code = CodeOf(g);
      if (code < 0) continue;
      std::vector<GlyphMove> moves;
      GlyphExtents extents;
      try {
        BuildMoves(Strokes(g, 0), tolerance, moves, extents);
        if (moves.size() > static_cast<std::size_t>(kMaxConvertedMoves)) {
          std::string reason = "more than ";
          AppendInteger(reason, kMaxConvertedMoves);
          throw LeftOut{reason + " moves once its arcs are cut into lines"};
        }
      } catch (const LeftOut& leftOut) {
        report.push_back("Left out " + GlyphName(glyph) + ": " + leftOut.reason);
        continue;
      }
      hasBlank = hasBlank || code == ' ';
      hasAny = true;
      Store(table, static_cast<unsigned char>(code), moves, extents, report);
    }
    if (!hasAny) Refuse("it has no glyph for a character of Windows-1252 text");
    if (!hasBlank) {
      // The fonts leave the blank to their word spacing.
      std::vector<GlyphMove> moves;
      GlyphExtents extents;
      BuildMoves({}, tolerance, moves, extents);
      Store(table, ' ', moves, extents, report);
    }
    report.insert(report.end(), m_source.notes.begin(), m_source.notes.end());
    table.Finish(m_source.letterSpacing / m_cap);
  }

 private:
  [[noreturn]] void Refuse(const std::string& reason) const {
    throw Error(FontLoadFailure(m_name, reason));
  }

  std::string GlyphName(const LineGlyph& glyph) const {
    return "the glyph " + CodePointName(glyph.codePoint) + " (" + LineName(glyph.line) + ")";
  }

  // The strokes of glyph `g` with those of the glyphs it refers to, in font units. Each glyph
  // is expanded once. Throws LeftOut for a glyph that does not read, refers to itself (directly
  // or through others) or to a glyph that is missing or left out.
  const std::vector<LinePath>& Strokes(std::size_t g, int depth) {
    if (const auto failed = m_failed.find(g); failed != m_failed.end()) {
      throw LeftOut{failed->second};
    }
    const auto [at, added] = m_expanded.try_emplace(g);
    // Elements of an unordered_map stay where they are while others are added; iterators not.
    std::vector<LinePath>& strokes = at->second;
    if (!added) {
      if (!m_done[g]) throw LeftOut{"it refers to itself"};
      return strokes;
    }
    try {
      strokes = Expand(m_source.glyphs[g], depth);
    } catch (const LeftOut& leftOut) {
      m_expanded.erase(g);
      m_failed[g] = leftOut.reason;
      throw;
    }
    m_done[g] = true;
    return strokes;
  }

  std::vector<LinePath> Expand(const LineGlyph& glyph, int depth) {
    if (!glyph.problem.empty()) throw LeftOut{glyph.problem};
    if (depth > kMaxReferenceDepth) throw LeftOut{"it lies under more than 16 references"};
    std::vector<LinePath> strokes;
    std::size_t corners = 0;
    const auto add = [&](const LinePath& path) {
      // References of references can multiply a glyph; a glyph this large could not keep to
      // the move limit even with every stroke joined to the one before.
      corners += path.size();
      if (corners > kMaxCorners) throw LeftOut{"more than 16000 corners with its references"};
      strokes.push_back(path);
    };
    std::size_t nextPath = 0;
    for (const LineReference& reference : glyph.references) {
      for (; nextPath < reference.beforePath; ++nextPath) add(glyph.paths[nextPath]);
      for (const LinePath& path : ReferredStrokes(reference.codePoint, depth)) add(path);
    }
    for (; nextPath < glyph.paths.size(); ++nextPath) add(glyph.paths[nextPath]);
    return strokes;
  }

  const std::vector<LinePath>& ReferredStrokes(char32_t codePoint, int depth) {
    const auto target = m_index.find(codePoint);
    if (target == m_index.end()) {
      throw LeftOut{"it refers to " + CodePointName(codePoint) + ", which the font lacks"};
    }
    try {
      return Strokes(target->second, depth + 1);
    } catch (const LeftOut& leftOut) {
      throw LeftOut{"it refers to " + CodePointName(codePoint) + ", which is left out (" +
                    leftOut.reason + ")"};
    }
  }

  // The capitals' usual top and bottom give the scale (capitals 1 unit high) and the baseline.
  // Their arcs count too: measured once on the corners, then on the arcs flattened at that size.
  void MeasureCapitals() {
    if (!MeasureCapitals(0)) {
      // A font of symbols: its tallest glyph stands for the capitals, on the font's baseline.
      for (const LineGlyph& glyph : m_source.glyphs) {
        for (const LinePath& path : glyph.paths) {
          for (const LineVertex& v : path) m_cap = std::max(m_cap, v.y);
        }
      }
      if (!(m_cap > 0)) Refuse("it has no capitals and no glyph above its baseline");
      return;
    }
    MeasureCapitals(m_cap * kChordToleranceOfCap);
  }

  // With `tolerance` 0 the corners alone count. False when the font has no such capital.
  bool MeasureCapitals(double tolerance) {
    std::vector<double> tops;
    std::vector<double> bottoms;
    for (const char capital : kMeasuredCapitals) {
      const auto found = m_index.find(static_cast<char32_t>(capital));
      if (found == m_index.end()) continue;
      double top = -kMaxLineFontValue;
      double bottom = kMaxLineFontValue;
      const std::vector<LinePath>* strokes = nullptr;
      try {
        strokes = &Strokes(found->second, 0);
      } catch (const LeftOut&) {
        continue;  // reported with the glyphs
      }
      for (const LinePath& path : *strokes) {
        for (const Point& p : tolerance > 0 ? Flatten(path, tolerance) : Corners(path)) {
          top = std::max(top, p.y);
          bottom = std::min(bottom, p.y);
        }
      }
      if (top > bottom) {
        tops.push_back(top);
        bottoms.push_back(bottom);
      }
    }
    if (tops.empty()) return false;
    std::nth_element(tops.begin(), tops.begin() + tops.size() / 2, tops.end());
    std::nth_element(bottoms.begin(), bottoms.begin() + bottoms.size() / 2, bottoms.end());
    m_base = bottoms[bottoms.size() / 2];
    m_cap = tops[tops.size() / 2] - m_base;
    return true;
  }

  // Travel, plunge, cuts and lift for every stroke, in glyph units; a stroke that starts (or
  // ends) where the tool already is goes on without lifting. The glyph keeps its place in its
  // cell: these fonts space their letters by the side bearings drawn into each glyph plus the
  // letter spacing, so the advance runs from X 0 to the glyph's right side.
  void BuildMoves(const std::vector<LinePath>& strokes, double tolerance,
                  std::vector<GlyphMove>& moves, GlyphExtents& extents) const {
    const auto toGlyph = [&](Point p) { return Point{p.x / m_cap, (p.y - m_base) / m_cap}; };
    extents.AddX(0);
    const auto cut = [&](Point p, int g) {
      moves.push_back(GlyphMove{p.x, p.y, 0, 0, 0, 0, g});
      extents.AddX(p.x);
      extents.AddY(p.y);
    };
    std::optional<Point> down;  // where the tool is while it is down
    for (const LinePath& path : strokes) {
      Polyline polyline = Flatten(path, tolerance);
      if (polyline.empty()) continue;
      for (Point& p : polyline) p = toGlyph(p);
      if (down && polyline.back() == *down && polyline.front() != *down) {
        std::reverse(polyline.begin(), polyline.end());
      }
      if (!down || polyline.front() != *down) {
        if (down) moves.push_back(GlyphMove{0, 0, 1, 0, 0, 0, 0});
        cut(polyline.front(), 0);
        moves.push_back(GlyphMove{0, 0, -1, 0, 0, 0, 1});
      }
      for (std::size_t k = 1; k < polyline.size(); ++k) cut(polyline[k], 1);
      down = polyline.back();
      if (moves.size() > static_cast<std::size_t>(kMaxConvertedMoves)) return;
    }
    if (down) {
      moves.push_back(GlyphMove{0, 0, 1, 0, 0, 0, 0});
      return;
    }
    // Nothing to cut: two rapids give the glyph the width of a word space, less the letter
    // gap that follows every character.
    const double width = std::max(0.0, m_source.wordSpacing - m_source.letterSpacing) / m_cap;
    cut({0, 0}, 0);
    cut({width, 0}, 0);
  }

  static void Store(GlyphTableBuilder& table, unsigned char code,
                    const std::vector<GlyphMove>& moves, const GlyphExtents& extents,
                    FontReport& report) {
    table.Open(code);
    for (const GlyphMove& move : moves) table.Add(move);
    table.SetExtents(extents);
    report.push_back(FontReportLine(code, static_cast<int>(moves.size()), extents));
  }

  const LineFont& m_source;
  const std::string& m_name;
  std::unordered_map<char32_t, std::size_t> m_index;
  std::unordered_map<std::size_t, std::vector<LinePath>> m_expanded;
  std::unordered_map<std::size_t, bool> m_done;
  std::unordered_map<std::size_t, std::string> m_failed;
  double m_cap = 0;
  double m_base = 0;
};

}  // namespace

double TakeNumber(std::string_view& text, std::string_view what, double limit) {
  const ScannedReal number = ScanReal(text);
  if (number.used == 0) {
    throw Error("no number for the " + std::string(what) + " at '" +
                std::string(text.substr(0, 20)) + "'");
  }
  if (!(std::abs(number.value) <= limit)) {
    throw Error("the " + std::string(what) + " " + FormatGeneral(number.value) +
                " is out of range (at most " + FormatGeneral(limit) + ")");
  }
  text.remove_prefix(number.used);
  return number.value;
}

LineFont ReadLineFont(std::string_view bytes, const std::string& name,
                      const GlyphLineReader& readLine) {
  if (std::memchr(bytes.data(), '\0', bytes.size()) != nullptr) {
    throw Error(FontLoadFailure(name, "it holds binary data, not text"));
  }
  LineFont font;
  LineSplitter lines(bytes);
  std::string_view line;
  LineGlyph* glyph = nullptr;
  bool skipping = false;  // inside a section whose header names no character
  try {
    while (lines.Next(line)) {
      if (line.size() > kMaxLineFontLineBytes) {
        throw Error("it is longer than 65536 characters");
      }
      const std::size_t first = line.find_first_not_of(" \t");
      if (first == std::string_view::npos) continue;
      if (line[first] == '#') {
        line.remove_prefix(first);
        if (const auto spacing = HeaderMetric(line, "LetterSpacing")) font.letterSpacing = *spacing;
        if (const auto spacing = HeaderMetric(line, "WordSpacing")) font.wordSpacing = *spacing;
        continue;
      }
      if (line.starts_with('[')) {
        const std::size_t close = line.find(']');
        const auto codePoint = close == std::string_view::npos
                                   ? std::nullopt
                                   : HeaderCodePoint(line.substr(1, close - 1));
        skipping = !codePoint || *codePoint > 0x10FFFF;
        if (skipping) {
          font.notes.push_back("Left out the section at " + LineName(lines.Number()) + ": '" +
                               std::string(line.substr(0, 40)) +
                               "' names no Unicode character");
          glyph = nullptr;
          continue;
        }
        glyph = &font.glyphs.emplace_back();
        glyph->codePoint = *codePoint;
        glyph->line = lines.Number();
        continue;
      }
      if (skipping) continue;
      if (glyph == nullptr) throw Error("it comes before the first glyph's header");
      if (!glyph->problem.empty()) continue;
      try {
        readLine(*glyph, line);
      } catch (const Error& reason) {
        glyph->problem = LineName(lines.Number()) + ": " + reason.what();
      }
    }
  } catch (const Error& reason) {
    throw Error(FontLoadFailure(name, LineName(lines.Number()) + ": " + reason.what()));
  }
  if (font.glyphs.empty()) throw Error(FontLoadFailure(name, "it defines no glyph"));
  if (!(font.letterSpacing >= 0) || !(font.wordSpacing >= 0)) {
    throw Error(FontLoadFailure(name, "its letter or word spacing is below 0"));
  }
  return font;
}

void ConvertLineFont(const LineFont& source, const std::string& name, StrokeFont& font,
                     FontReport& report) {
  report.clear();
  GlyphTableBuilder::Empty(font);
  try {
    Converter(source, name).Run(font, report);
  } catch (...) {
    report.clear();
    GlyphTableBuilder::Empty(font);
    throw;
  }
}

}  // namespace stylor
