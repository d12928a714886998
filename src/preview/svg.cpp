#include "preview/svg.h"

#include "preview/palette.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "preview/palette.h"
#include "preview/preview_scene.h"
#include "settings/error.h"
#include "settings/files.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

constexpr double kMaxSide = 960;   // px, the longer side of the drawing
constexpr double kMargin = 24;     // px around the drawing
constexpr double kBand = 64;       // px below it for the axes, the scale bar and the texts
constexpr double kMinWidth = 480;  // px, room for the texts of the band

const std::string kCutColour = HexColour(palette::kCut);
const std::string kRapidColour = HexColour(palette::kRapid);
const std::string kPlungeColour = HexColour(palette::kPlunge);
const std::string kStartColour = HexColour(palette::kStart);
const std::string kMarkerColour = HexColour(palette::kMarker);
const std::string kGuideColour = HexColour(palette::kGuide);
const std::string kNoteColour = HexColour(palette::kNote);
const std::string kMessageColour = HexColour(palette::kMessage);

void Number(std::string& out, double value) { AppendFixed(out, value, 2); }

// Room for a point as written, two numbers of up to 312 characters (a finite double in fixed
// notation with two decimals) and a space.
constexpr std::size_t kPointRoom = 640;

// Text for an XML text node: the markup characters escaped, control characters and broken UTF-8
// (a letter or a file name given as raw bytes) shown as '?'.
std::string XmlText(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c == '<') out += "&lt;";
      else if (c == '>') out += "&gt;";
      else if (c == '&') out += "&amp;";
      else if (c == '"') out += "&quot;";
      else if (c < 0x20 || c == 0x7f) out += '?';
      else out += static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t length = c >= 0xf0 && c <= 0xf4 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 0;
    bool whole = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; whole && k < length; ++k) {
      whole = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
    }
    if (whole) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

// One path of a kind of segment, written as the segments come: a segment that starts where the
// previous one ended continues it. Points are compared as written, to the drawing's resolution:
// a segment that ends where it starts draws nothing and is left out, and one that starts within
// it of the pen continues the line.
class PathWriter {
 public:
  explicit PathWriter(std::string& out) : m_out(out) {}

  bool Any() const { return m_any; }

  // The points `from` and `to` as written.
  void Add(const char* from, std::size_t fromSize, const char* to, std::size_t toSize,
           const char* head) {
    if (!m_penDown || std::string_view(from, fromSize) != Pen()) {
      std::copy(from, from + fromSize, m_pen);
      m_penSize = fromSize;
      m_penDown = false;
    }
    if (std::string_view(to, toSize) == Pen()) return;
    if (!m_any) m_out += head;
    if (!m_penDown) {
      if (m_any) m_out += ' ';
      m_out += 'M';
      m_out.append(m_pen, m_penSize);
    }
    m_any = true;
    m_out += " L";
    m_out.append(to, toSize);
    std::copy(to, to + toSize, m_pen);
    m_penSize = toSize;
    m_penDown = true;
  }

 private:
  std::string_view Pen() const { return {m_pen, m_penSize}; }

  std::string& m_out;
  bool m_any = false;
  bool m_penDown = false;  // the pen's point is written: a segment from it needs no M
  char m_pen[kPointRoom];  // the pen's point as written
  std::size_t m_penSize = 0;
};

// Writes the picture in order: the head and the guide as soon as the bounds are known, then the
// segments one by one (rapids straight into the picture, cuts and plunges aside, as they come
// after the rapids), then the rest.
class SvgWriter {
 public:
  // `bounds` holds every segment that will be added and the scene's start, marker and guide;
  // `anySegments` tells whether one will be.
  // The counts of segments a kind, when known, spare the copies of growing texts.
  SvgWriter(const PreviewScene& scene, const PreviewBounds& bounds, bool anySegments,
            std::size_t rapids = 0, std::size_t cuts = 0, std::size_t plunges = 0)
      : m_scene(scene), m_bounds(bounds), m_anySegments(anySegments) {
    const double spanX = m_bounds.empty ? 0 : m_bounds.max.x - m_bounds.min.x;
    const double spanY = m_bounds.empty ? 0 : m_bounds.max.y - m_bounds.min.y;
    m_span = std::max(spanX, spanY);
    // A program that never leaves one point still gets a picture, at 100 px a unit.
    m_scale = m_span > 0 && std::isfinite(kMaxSide / m_span) ? kMaxSide / m_span : 100;
    const double drawWidth = spanX * m_scale;
    const double drawHeight = spanY * m_scale;
    m_width = std::max(drawWidth + 2 * kMargin, kMinWidth);
    m_left = (m_width - drawWidth) / 2;
    m_drawBottom = kMargin + drawHeight;
    m_height = m_drawBottom + kMargin + kBand;
    m_out.reserve(1024 + rapids * 16);
    m_cutText.reserve(cuts * 16);
    m_plungeText.reserve(plunges * 48);
    Head();
  }

  void Add(const PreviewSegment& segment) {
    if (segment.kind == SegmentKind::Plunge) {
      Plunge(segment);
      return;
    }
    char from[kPointRoom];
    char to[kPointRoom];
    const std::size_t fromSize = WritePoint(from, segment.from);
    const std::size_t toSize = WritePoint(to, segment.to);
    if (segment.kind == SegmentKind::Rapid) {
      m_rapid.Add(from, fromSize, to, toSize, "<path class=\"rapid\" d=\"");
    } else {
      m_cut.Add(from, fromSize, to, toSize, "<path class=\"cut\" d=\"");
    }
  }

  // Hands `write` the picture's text in pieces, in order.
  template <typename Write>
  void Finish(Write&& write) {
    EndPath(m_out, m_rapid, std::string("fill=\"none\" stroke=\"") + kRapidColour +
                                "\" stroke-width=\"0.75\" stroke-dasharray=\"4 3\"");
    write(std::string_view(m_out));
    write(std::string_view(m_cutText));
    m_out.clear();
    // With a code the cuts are as wide as the tool, so that the picture shows the modules.
    std::string cutWidth = "1.5";
    if (m_scene.cutWidth * m_scale > 1.5) cutWidth = FormatFixed(m_scene.cutWidth * m_scale, 2);
    EndPath(m_out, m_cut, std::string("fill=\"none\" stroke=\"") + kCutColour +
                              "\" stroke-width=\"" + cutWidth + "\" stroke-linecap=\"round\" "
                              "stroke-linejoin=\"round\"");
    if (!m_plungeText.empty()) {
      m_out += "<g class=\"plunge\" fill=\"";
      m_out += kPlungeColour;
      m_out += "\">\n";
      write(std::string_view(m_out));
      write(std::string_view(m_plungeText));
      m_out.clear();
      m_out += "</g>\n";
    }
    Markers();
    Band();
    m_out += "</svg>\n";
    write(std::string_view(m_out));
  }

 private:
  void Head() {
    m_out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"";
    Number(m_out, m_width);
    m_out += "\" height=\"";
    Number(m_out, m_height);
    m_out += "\" viewBox=\"0 0 ";
    Number(m_out, m_width);
    m_out += ' ';
    Number(m_out, m_height);
    m_out += "\">\n<title>Stylor preview</title>\n";
    m_out += "<rect width=\"100%\" height=\"100%\" fill=\"" + HexColour(palette::kGround) +
             "\"/>\n";
    Guide();
  }

  static void EndPath(std::string& out, const PathWriter& path, const std::string& style) {
    if (!path.Any()) return;
    out += "\" ";
    out += style;
    out += "/>\n";
  }

  void Plunge(const PreviewSegment& segment) {
    std::string& out = m_plungeText;
    out += "<circle cx=\"";
    Number(out, X(segment.to.x));
    out += "\" cy=\"";
    Number(out, Y(segment.to.y));
    out += "\" r=\"";
    out += m_scene.cutWidth * m_scale / 2 > 1.6 ? FormatFixed(m_scene.cutWidth * m_scale / 2, 2)
                                               : std::string("1.6");
    out += "\"/>\n";
  }

  // Writes the point as the picture shows it, "x y", and returns its length.
  std::size_t WritePoint(char* out, Point2 p) const {
    // Most points take the short route; the others, far away or next to a rounding tie, the
    // general one.
    if (char* end = WriteShortFixed2(out, X(p.x)); end != nullptr) {
      *end++ = ' ';
      if (char* last = WriteShortFixed2(end, Y(p.y)); last != nullptr) {
        return static_cast<std::size_t>(last - out);
      }
    }
    std::string& text = m_pointText;
    text.clear();
    Number(text, X(p.x));
    text += ' ';
    Number(text, Y(p.y));
    const std::size_t size = std::min(text.size(), kPointRoom);
    std::copy(text.data(), text.data() + size, out);
    return size;
  }

  double X(double x) const { return m_left + (x - m_bounds.min.x) * m_scale; }
  double Y(double y) const { return kMargin + (m_bounds.max.y - y) * m_scale; }

  void Point(Point2 p) { PointTo(m_out, p); }

  void PointTo(std::string& out, Point2 p) const {
    Number(out, X(p.x));
    out += ' ';
    Number(out, Y(p.y));
  }

  void Attribute(const char* name, double value) {
    m_out += ' ';
    m_out += name;
    m_out += "=\"";
    Number(m_out, value);
    m_out += '"';
  }

  void Guide() {
    const PreviewGuide& guide = m_scene.guide;
    if (guide.kind == GuideKind::None) return;
    m_out += "<ellipse class=\"guide\"";
    Attribute("cx", X(guide.centre.x));
    Attribute("cy", Y(guide.centre.y));
    Attribute("rx", guide.radius1 * m_scale);
    Attribute("ry", guide.radius2 * m_scale);
    if (guide.angleRad != 0) {
      // Axis 2 points down on the screen, so a counter-clockwise turn is a negative rotate().
      m_out += " transform=\"rotate(";
      AppendFixed(m_out, -guide.angleRad * 180 / kPi, 4);
      m_out += ' ';
      Point(guide.centre);
      m_out += ")\"";
    }
    m_out += " fill=\"none\" stroke=\"";
    m_out += kGuideColour;
    m_out += "\" stroke-width=\"1\" stroke-dasharray=\"2 2\"/>\n";
  }

  void Line(double x1, double y1, double x2, double y2, std::string_view colour,
            const char* width) {
    m_out += "<line";
    Attribute("x1", x1);
    Attribute("y1", y1);
    Attribute("x2", x2);
    Attribute("y2", y2);
    m_out += " stroke=\"";
    m_out += colour;
    m_out += "\" stroke-width=\"";
    m_out += width;
    m_out += "\"/>\n";
  }

  void Markers() {
    if (m_scene.marker) {
      const double x = X(m_scene.marker->at.x);
      const double y = Y(m_scene.marker->at.y);
      m_out += "<g class=\"";
      m_out += m_scene.marker->kind == MarkerKind::Centre ? "centre" : "start-point";
      m_out += "\">\n";
      if (m_scene.marker->kind == MarkerKind::Centre) {
        Line(x - 6, y - 6, x + 6, y + 6, kMarkerColour, "1.5");
        Line(x - 6, y + 6, x + 6, y - 6, kMarkerColour, "1.5");
      } else {
        Line(x - 8, y, x + 8, y, kMarkerColour, "1.5");
        Line(x, y - 8, x, y + 8, kMarkerColour, "1.5");
      }
      m_out += "</g>\n";
    }
    if (m_scene.programStart) {
      m_out += "<circle class=\"start\"";
      Attribute("cx", X(m_scene.programStart->x));
      Attribute("cy", Y(m_scene.programStart->y));
      m_out += " r=\"5\" fill=\"none\" stroke=\"";
      m_out += kStartColour;
      m_out += "\" stroke-width=\"1.5\"/>\n";
    }
  }

  void Text(double x, double y, const char* anchor, std::string_view colour,
            std::string_view text) {
    m_out += "<text";
    Attribute("x", x);
    Attribute("y", y);
    m_out += " text-anchor=\"";
    m_out += anchor;
    m_out += "\" fill=\"";
    m_out += colour;
    m_out += "\">";
    m_out += XmlText(text);
    m_out += "</text>\n";
  }

  void Band() {
    const double top = m_drawBottom + kMargin;
    m_out += "<g class=\"legend\" font-family=\"sans-serif\" font-size=\"12\">\n";
    // Axis arrows: Axis 1 to the right, Axis 2 up, from one corner.
    const double ox = kMargin;
    const double oy = top + 40;
    Line(ox, oy, ox + 28, oy, kCutColour, "1");
    Line(ox, oy, ox, oy - 28, kCutColour, "1");
    m_out += "<path d=\"M";
    Point2Raw(ox + 32, oy);
    m_out += " L";
    Point2Raw(ox + 26, oy - 3);
    m_out += " L";
    Point2Raw(ox + 26, oy + 3);
    m_out += " Z M";
    Point2Raw(ox, oy - 32);
    m_out += " L";
    Point2Raw(ox - 3, oy - 26);
    m_out += " L";
    Point2Raw(ox + 3, oy - 26);
    m_out += " Z\" fill=\"" + kCutColour + "\"/>\n";
    Text(ox + 36, oy + 4, "start", kCutColour, std::string_view(&m_scene.axis1, 1));
    Text(ox + 6, oy - 30, "start", kCutColour, std::string_view(&m_scene.axis2, 1));

    double textY = top + 10;
    auto line = [&](const std::string& text, std::string_view colour) {
      if (text.empty()) return;
      Text(ox + 60, textY, "start", colour, text);
      textY += 16;
    };
    line(m_scene.caption, kCutColour);
    line(m_scene.note, kNoteColour);
    line(m_scene.message, kMessageColour);
    if (!m_anySegments && m_scene.message.empty()) line("No moves to draw", kNoteColour);

    if (m_span > 0) {
      const double length = ScaleBarLength(m_span);
      const double right = m_width - kMargin;
      const double left = right - length * m_scale;
      const double y = top + 40;
      m_out += "<g class=\"scale\">\n";
      Line(left, y, right, y, kCutColour, "1.5");
      Line(left, y - 4, left, y + 4, kCutColour, "1");
      Line(right, y - 4, right, y + 4, kCutColour, "1");
      m_out += "</g>\n";
      Text((left + right) / 2, y - 8, "middle", kCutColour, FormatGeneral(length));
    }
    m_out += "</g>\n";
  }

  void Point2Raw(double x, double y) {
    Number(m_out, x);
    m_out += ' ';
    Number(m_out, y);
  }

  const PreviewScene& m_scene;
  PreviewBounds m_bounds;
  bool m_anySegments = false;
  double m_span = 0;
  double m_scale = 1;
  double m_width = 0;
  double m_height = 0;
  double m_left = 0;
  double m_drawBottom = 0;
  std::string m_out;
  std::string m_cutText;
  std::string m_plungeText;
  mutable std::string m_pointText;
  PathWriter m_rapid{m_out};
  PathWriter m_cut{m_cutText};
};

}  // namespace

double ScaleBarLength(double span) {
  const double raw = span / 5;
  const double base = std::pow(10.0, std::floor(std::log10(raw)));
  const double factor = raw / base;
  return (factor >= 5 ? 5 : factor >= 2 ? 2 : 1) * base;
}

std::string DrawSvg(const PreviewScene& scene) {
  SvgWriter writer(scene, BoundsOf(scene), !scene.segments.empty());
  for (const PreviewSegment& segment : scene.segments) writer.Add(segment);
  std::string svg;
  writer.Finish([&](std::string_view piece) { svg += piece; });
  return svg;
}

namespace {

// Draws the program file at `path`, handing the picture to `write` in pieces. The head needs the
// bounds of the drawing before its first point: one reading for them, one for the picture,
// rather than a list of every segment between the two.
template <typename Write>
void DrawProgramFile(const std::string& path, const ReaderOptions& options, Write&& write) {
  PreviewBounds bounds;
  std::size_t counts[3] = {};
  PreviewScene scene = ReadProgramFileSegments(path, options, [&](const PreviewSegment& segment) {
    IncludeInBounds(bounds, segment.from);
    IncludeInBounds(bounds, segment.to);
    ++counts[static_cast<int>(segment.kind)];
  });
  if (scene.programStart) IncludeInBounds(bounds, *scene.programStart);
  const std::size_t cuts = counts[static_cast<int>(SegmentKind::Cut)];
  const std::size_t rapids = counts[static_cast<int>(SegmentKind::Rapid)];
  const std::size_t plunges = counts[static_cast<int>(SegmentKind::Plunge)];
  SvgWriter writer(scene, bounds, cuts + rapids + plunges > 0, rapids, cuts, plunges);
  ReadProgramFileSegments(path, options, [&](const PreviewSegment& segment) { writer.Add(segment); });
  writer.Finish(write);
}

}  // namespace

std::string DrawProgramFileSvg(const std::string& path, const ReaderOptions& options) {
  std::string svg;
  DrawProgramFile(path, options, [&](std::string_view piece) { svg += piece; });
  return svg;
}

void SaveProgramFileSvg(const std::string& path, const ReaderOptions& options,
                        const std::string& svgPath) {
  std::optional<ReplacingFile> file;
  DrawProgramFile(path, options, [&](std::string_view piece) {
    if (!file) file.emplace(svgPath, "Cannot write the file");
    file->Write(piece);
  });
  file->Commit();
}

void SaveTextFile(const std::string& path, std::string_view text) {
  ReplaceFile(path, text, "Cannot write the file");
}

}  // namespace stylor
