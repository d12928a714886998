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

class SvgWriter {
 public:
  explicit SvgWriter(const PreviewScene& scene) : m_scene(scene), m_bounds(BoundsOf(scene)) {
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
  }

  std::string Draw() {
    m_out.reserve(256 + m_scene.segments.size() * 28);
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
    Paths(SegmentKind::Rapid, std::string("fill=\"none\" stroke=\"") + kRapidColour +
                                  "\" stroke-width=\"0.75\" stroke-dasharray=\"4 3\"");
    // With a code the cuts are as wide as the tool, so that the picture shows the modules.
    std::string cutWidth = "1.5";
    if (m_scene.cutWidth * m_scale > 1.5) cutWidth = FormatFixed(m_scene.cutWidth * m_scale, 2);
    Paths(SegmentKind::Cut, std::string("fill=\"none\" stroke=\"") + kCutColour +
                                "\" stroke-width=\"" + cutWidth + "\" stroke-linecap=\"round\" "
                                "stroke-linejoin=\"round\"");
    Plunges();
    Markers();
    Band();
    m_out += "</svg>\n";
    return std::move(m_out);
  }

 private:
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

  // One path per kind; a segment that starts where the previous one ended continues it. Points
  // are compared as written, to the drawing's resolution: a segment that ends where it starts
  // draws nothing and is left out, and one that starts within it of the pen continues the line.
  void Paths(SegmentKind kind, const std::string& style) {
    bool any = false;
    bool penDown = false;  // the pen's point is written: a segment from it needs no M
    std::string pen;       // the pen's point as written
    std::string from;
    std::string to;
    for (const PreviewSegment& segment : m_scene.segments) {
      if (segment.kind != kind) continue;
      from.clear();
      PointTo(from, segment.from);
      if (!penDown || from != pen) {
        pen.swap(from);
        penDown = false;
      }
      to.clear();
      PointTo(to, segment.to);
      if (to == pen) continue;
      if (!any) {
        m_out += "<path class=\"";
        m_out += kind == SegmentKind::Cut ? "cut" : "rapid";
        m_out += "\" d=\"";
      }
      if (!penDown) {
        if (any) m_out += ' ';
        m_out += 'M';
        m_out += pen;
      }
      any = true;
      m_out += " L";
      m_out += to;
      pen.swap(to);
      penDown = true;
    }
    if (!any) return;
    m_out += "\" ";
    m_out += style;
    m_out += "/>\n";
  }

  void Plunges() {
    bool any = false;
    for (const PreviewSegment& segment : m_scene.segments) {
      if (segment.kind != SegmentKind::Plunge) continue;
      if (!any) {
        m_out += "<g class=\"plunge\" fill=\"";
        m_out += kPlungeColour;
        m_out += "\">\n";
        any = true;
      }
      m_out += "<circle";
      Attribute("cx", X(segment.to.x));
      Attribute("cy", Y(segment.to.y));
      m_out += " r=\"";
      m_out += m_scene.cutWidth * m_scale / 2 > 1.6 ? FormatFixed(m_scene.cutWidth * m_scale / 2, 2)
                                                    : std::string("1.6");
      m_out += "\"/>\n";
    }
    if (any) m_out += "</g>\n";
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
    if (m_scene.segments.empty() && m_scene.message.empty()) line("No moves to draw", kNoteColour);

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
  double m_span = 0;
  double m_scale = 1;
  double m_width = 0;
  double m_height = 0;
  double m_left = 0;
  double m_drawBottom = 0;
  std::string m_out;
};

}  // namespace

double ScaleBarLength(double span) {
  const double raw = span / 5;
  const double base = std::pow(10.0, std::floor(std::log10(raw)));
  const double factor = raw / base;
  return (factor >= 5 ? 5 : factor >= 2 ? 2 : 1) * base;
}

std::string DrawSvg(const PreviewScene& scene) { return SvgWriter(scene).Draw(); }

void SaveTextFile(const std::string& path, std::string_view text) {
  ReplaceFile(path, text, "Cannot write the file");
}

}  // namespace stylor
