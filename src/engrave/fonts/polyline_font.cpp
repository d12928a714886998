#include "engrave/fonts/polyline_font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "engrave/fonts/font_file.h"
#include "engrave/geometry.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/text8.h"
#include "settings/text_lines.h"

namespace stylor {
namespace {

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
// Sections whose header names no character that the report names one by one.
constexpr std::size_t kNamedLeftOutSections = 100;
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
    if (!TakeLine(m_rest, line)) return false;
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
void FlattenInto(Polyline& points, const LinePath& path, double tolerance) {
  points.clear();
  for (const LineVertex& vertex : path) {
    const Point to{vertex.x, vertex.y};
    if (points.empty() || vertex.bulge == 0) points.push_back(to);
    else AppendArc(points, points.back(), to, vertex.bulge, tolerance);
    if (points.size() > static_cast<std::size_t>(kMaxConvertedMoves)) break;
  }
  points.erase(std::unique(points.begin(), points.end()), points.end());
}

Polyline Flatten(const LinePath& path, double tolerance) {
  Polyline points;
  FlattenInto(points, path, tolerance);
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

class Converter;

// Travel, plunge, cuts and lift for every stroke, in glyph units; a stroke that starts (or ends)
// where the tool already is goes on without lifting. The glyph keeps its place in its cell: these
// fonts space their letters by the side bearings drawn into each glyph plus the letter spacing,
// so the advance runs from X 0 to the glyph's right side.
class MoveBuilder {
 public:
  MoveBuilder(const Converter& converter, double tolerance);
  void Add(const LinePath& path);
  // Over the move limit: whatever follows, the glyph is left out.
  bool Full() const { return moves.size() > static_cast<std::size_t>(kMaxConvertedMoves); }
  void Finish();

  std::vector<GlyphMove> moves;
  GlyphExtents extents;

 private:
  Point ToGlyph(Point p) const { return {p.x / m_cap, (p.y - m_base) / m_cap}; }
  void Cut(Point p, int g) {
    moves.push_back(GlyphMove{p.x, p.y, 0, 0, 0, 0, g});
    extents.AddX(p.x);
    extents.AddY(p.y);
  }

  double m_tolerance;
  double m_cap;
  double m_base;
  double m_blankWidth;
  std::optional<Point> m_down;  // where the tool is while it is down
  Polyline m_points;
};

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
      MoveBuilder builder(*this, tolerance);
      try {
        Resolve(g, 0);
        Walk(g, [&builder](const LinePath& path) {
          builder.Add(path);
          return !builder.Full();
        });
        builder.Finish();
        if (builder.moves.size() > static_cast<std::size_t>(kMaxConvertedMoves)) {
          std::string reason = "more than ";
          AppendInteger(reason, kMaxConvertedMoves);
          throw LeftOut{reason + " moves once its arcs are cut into lines"};
        }
        if (builder.moves.size() > kMaxFontMoves - m_storedMoves) {
          std::string reason = "the glyphs before it take up the ";
          AppendInteger(reason, static_cast<long long>(kMaxFontMoves));
          throw LeftOut{reason + " moves a font may have"};
        }
      } catch (const LeftOut& leftOut) {
        report.push_back("Left out " + GlyphName(glyph) + ": " + leftOut.reason);
        continue;
      }
      m_storedMoves += builder.moves.size();
      const std::vector<GlyphMove>& moves = builder.moves;
      const GlyphExtents& extents = builder.extents;
      hasBlank = hasBlank || code == ' ';
      hasAny = true;
      Store(table, static_cast<unsigned char>(code), moves, extents, report);
    }
    if (!hasAny) Refuse("it has no glyph for a character of Windows-1252 text");
    if (!hasBlank) {
      // The fonts leave the blank to their word spacing.
      MoveBuilder builder(*this, tolerance);
      builder.Finish();
      Store(table, ' ', builder.moves, builder.extents, report);
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

  // Checks that glyph `g` can be drawn with the glyphs it refers to, each checked once: it
  // reads, refers to no glyph that is missing, left out or itself (directly or through others),
  // and its corners and references, counted through every reference, stay within kMaxCorners.
  // Returns that count; throws LeftOut otherwise. The strokes themselves are never copied: a
  // glyph of references of references is drawn by walking them (Walk), so that a font of
  // reference chains costs memory for what it holds, not for what it multiplies out to.
  std::size_t Resolve(std::size_t g, int depth) {
    if (const auto failed = m_failed.find(g); failed != m_failed.end()) {
      throw LeftOut{failed->second};
    }
    const auto [at, added] = m_items.try_emplace(g, kOpen);
    if (!added) {
      if (at->second == kOpen) throw LeftOut{"it refers to itself"};
      return at->second;
    }
    try {
      const std::size_t items = Count(m_source.glyphs[g], depth);
      m_items[g] = items;  // the element may have moved while the references were resolved
      return items;
    } catch (const LeftOut& leftOut) {
      m_items.erase(g);
      m_failed[g] = leftOut.reason;
      throw;
    }
  }

  std::size_t Count(const LineGlyph& glyph, int depth) {
    if (!glyph.problem.empty()) throw LeftOut{glyph.problem};
    if (depth > kMaxReferenceDepth) throw LeftOut{"it lies under more than 16 references"};
    std::size_t items = 0;
    const auto add = [&](std::size_t more) {
      // References of references can multiply a glyph; a glyph this large could not keep to
      // the move limit even with every stroke joined to the one before.
      items += more;
      if (items > kMaxCorners) throw LeftOut{"more than 16000 corners with its references"};
    };
    for (std::size_t k = 0; k < glyph.pathCount; ++k) add(m_source.Path(glyph, k).size());
    for (const LineReference& reference : glyph.references) {
      add(1 + ResolveReferred(reference.codePoint, depth));
    }
    return items;
  }

  std::size_t ResolveReferred(char32_t codePoint, int depth) {
    const auto target = m_index.find(codePoint);
    if (target == m_index.end()) {
      throw LeftOut{"it refers to " + CodePointName(codePoint) + ", which the font lacks"};
    }
    try {
      return Resolve(target->second, depth + 1);
    } catch (const LeftOut& leftOut) {
      throw LeftOut{"it refers to " + CodePointName(codePoint) + ", which is left out (" +
                    leftOut.reason + ")"};
    }
  }

  // Hands the strokes of a resolved glyph, those of its references in their place, to `visit`
  // until it returns false; false then.
  template <typename Visit>
  bool Walk(std::size_t g, Visit&& visit) const {
    const LineGlyph& glyph = m_source.glyphs[g];
    std::size_t nextPath = 0;
    for (const LineReference& reference : glyph.references) {
      for (; nextPath < reference.beforePath; ++nextPath) {
        if (!visit(m_source.Path(glyph, nextPath))) return false;
      }
      if (!Walk(m_index.at(reference.codePoint), visit)) return false;
    }
    for (; nextPath < glyph.pathCount; ++nextPath) {
      if (!visit(m_source.Path(glyph, nextPath))) return false;
    }
    return true;
  }

  // The capitals' usual top and bottom give the scale (capitals 1 unit high) and the baseline.
  // Their arcs count too: measured once on the corners, then on the arcs flattened at that size.
  void MeasureCapitals() {
    if (!MeasureCapitals(0)) {
      // A font of symbols: its tallest glyph stands for the capitals, on the font's baseline.
      for (const LineVertex& v : m_source.corners) m_cap = std::max(m_cap, v.y);
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
      try {
        Resolve(found->second, 0);
      } catch (const LeftOut&) {
        continue;  // reported with the glyphs
      }
      Walk(found->second, [&](const LinePath& path) {
        for (const Point& p : tolerance > 0 ? Flatten(path, tolerance) : Corners(path)) {
          top = std::max(top, p.y);
          bottom = std::min(bottom, p.y);
        }
        return true;
      });
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

  static void Store(GlyphTableBuilder& table, unsigned char code,
                    const std::vector<GlyphMove>& moves, const GlyphExtents& extents,
                    FontReport& report) {
    table.Open(code);
    table.MakeRoom(moves.size(), kMaxFontMoves + 2);
    for (const GlyphMove& move : moves) table.Add(move);
    table.SetExtents(extents);
    report.push_back(FontReportLine(code, static_cast<int>(moves.size()), extents));
  }

  friend class MoveBuilder;
  static constexpr std::size_t kOpen = ~std::size_t{0};

  const LineFont& m_source;
  const std::string& m_name;
  std::unordered_map<char32_t, std::size_t> m_index;
  // Per glyph checked: its corners and references (kOpen while its references are checked).
  std::unordered_map<std::size_t, std::size_t> m_items;
  std::unordered_map<std::size_t, std::string> m_failed;
  std::size_t m_storedMoves = 0;
  double m_cap = 0;
  double m_base = 0;
};

MoveBuilder::MoveBuilder(const Converter& converter, double tolerance)
    : m_tolerance(tolerance), m_cap(converter.m_cap), m_base(converter.m_base),
      m_blankWidth(std::max(0.0, converter.m_source.wordSpacing -
                                     converter.m_source.letterSpacing) /
                   converter.m_cap) {
  extents.AddX(0);
}

void MoveBuilder::Add(const LinePath& path) {
  if (Full()) return;
  // One buffer for every stroke of the glyph: a glyph of references draws thousands.
  Polyline& polyline = m_points;
  FlattenInto(polyline, path, m_tolerance);
  if (polyline.empty()) return;
  for (Point& p : polyline) p = ToGlyph(p);
  if (m_down && polyline.back() == *m_down && polyline.front() != *m_down) {
    std::reverse(polyline.begin(), polyline.end());
  }
  if (!m_down || polyline.front() != *m_down) {
    if (m_down) moves.push_back(GlyphMove{0, 0, 1, 0, 0, 0, 0});
    Cut(polyline.front(), 0);
    moves.push_back(GlyphMove{0, 0, -1, 0, 0, 0, 1});
  }
  for (std::size_t k = 1; k < polyline.size(); ++k) Cut(polyline[k], 1);
  m_down = polyline.back();
}

void MoveBuilder::Finish() {
  if (Full()) return;
  if (m_down) {
    moves.push_back(GlyphMove{0, 0, 1, 0, 0, 0, 0});
    return;
  }
  // Nothing to cut: two rapids give the glyph the width of a word space, less the letter gap
  // that follows every character.
  Cut({0, 0}, 0);
  Cut({m_blankWidth, 0}, 0);
}

}  // namespace

bool ExpectCharacter(std::string_view& text, char c, std::string_view where,
                     std::string& problem) {
  if (text.empty() || text.front() != c) {
    problem = "'" + std::string(1, c) + "' expected " + std::string(where);
    return false;
  }
  text.remove_prefix(1);
  return true;
}

bool ExpectLineEnd(std::string_view text, std::string& problem) {
  if (text.find_first_not_of(" \t") != std::string_view::npos) {
    problem = "unexpected '" + std::string(text.substr(0, 20)) + "'";
    return false;
  }
  return true;
}

bool TakeNumber(std::string_view& text, std::string_view what, double limit, double& value,
                std::string& problem) {
  const ScannedReal number = ScanReal(text);
  if (number.used == 0) {
    problem = "no number for the " + std::string(what) + " at '" +
              std::string(text.substr(0, 20)) + "'";
    return false;
  }
  if (!(std::abs(number.value) <= limit)) {
    problem = "the " + std::string(what) + " " + FormatGeneral(number.value) +
              " is out of range (at most " + FormatGeneral(limit) + ")";
    return false;
  }
  text.remove_prefix(number.used);
  value = number.value;
  return true;
}

void ExpectCharacter(std::string_view& text, char c, std::string_view where) {
  if (std::string problem; !ExpectCharacter(text, c, where, problem)) throw Error(problem);
}

void ExpectLineEnd(std::string_view text) {
  if (std::string problem; !ExpectLineEnd(text, problem)) throw Error(problem);
}

double TakeNumber(std::string_view& text, std::string_view what, double limit) {
  double value = 0;
  if (std::string problem; !TakeNumber(text, what, limit, value, problem)) throw Error(problem);
  return value;
}

LineFont ReadLineFont(std::string_view bytes, const std::string& name,
                      const GlyphLineReader& readLine) {
  if (std::memchr(bytes.data(), '\0', bytes.size()) != nullptr) {
    throw Error(FontLoadFailure(name, "it holds binary data, not text"));
  }
  LineFont font;
  // Room for what the lines can hold at most, so that the arrays are never copied while they
  // grow; memory is only taken as they fill.
  std::size_t lineEnds = 0;
  std::size_t semicolons = 0;
  for (const char c : bytes) {
    lineEnds += c == '\n' || c == '\r';
    semicolons += c == ';';
  }
  const std::size_t lineCount = lineEnds + 1;
  const std::size_t cornerCount = lineCount + semicolons;
  // A line of corners may go past the cap before the cap is looked at.
  font.corners.reserve(std::min(cornerCount, kMaxLineFontItems + kMaxLineFontLineBytes / 4 + 1));
  font.pathEnds.reserve(std::min(lineCount, kMaxLineFontItems + 1));
  std::size_t references = 0;
  std::size_t leftOutSections = 0;
  LineSplitter lines(WithoutByteOrderMark(bytes));
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
          // Each such section once in the report, up to a hundred; then how many more.
          if (++leftOutSections <= kNamedLeftOutSections) {
            font.notes.push_back("Left out the section at " + LineName(lines.Number()) + ": '" +
                                 std::string(line.substr(0, 40)) +
                                 "' names no Unicode character");
          }
          glyph = nullptr;
          continue;
        }
        if (font.glyphs.size() == kMaxLineFontGlyphs) {
          throw Error("it has more than 65536 glyphs, more than a font holds");
        }
        glyph = &font.glyphs.emplace_back();
        glyph->codePoint = *codePoint;
        glyph->line = static_cast<std::uint32_t>(lines.Number());
        glyph->firstPath = static_cast<std::uint32_t>(font.pathEnds.size());
        continue;
      }
      if (skipping) continue;
      if (glyph == nullptr) throw Error("it comes before the first glyph's header");
      if (!glyph->problem.empty()) continue;
      const std::size_t referencesBefore = glyph->references.size();
      try {
        readLine(font, *glyph, line);
      } catch (const Error& reason) {
        glyph->problem = reason.what();
      }
      if (!glyph->problem.empty()) {
        glyph->problem = LineName(lines.Number()) + ": " + glyph->problem;
        // The glyph is left out: its strokes are of no use.
        font.pathEnds.resize(glyph->firstPath);
        font.corners.resize(font.pathEnds.empty() ? 0 : font.pathEnds.back());
        glyph->pathCount = 0;
        references -= referencesBefore;
        glyph->references = {};
        continue;
      }
      references += glyph->references.size() - referencesBefore;
      if (font.corners.size() + references > kMaxLineFontItems) {
        throw Error("it holds more than 1000000 corners and references, more than a font draws");
      }
    }
    if (leftOutSections > kNamedLeftOutSections) {
      std::string note = "Left out ";
      AppendInteger(note, static_cast<long long>(leftOutSections - kNamedLeftOutSections));
      font.notes.push_back(note + " more sections that name no Unicode character");
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
