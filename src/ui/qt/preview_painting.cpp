#include "ui/qt/preview_painting.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "preview/palette.h"
#include "preview/preview_scene.h"
#include "preview/svg.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

constexpr double kFitMargin = 24;      // px between the fitted drawing and the edge
constexpr double kPointScale = 100;    // px a unit when there is no extent to fit
constexpr double kClipRoom = 8;        // px beyond the area, so that caps and dots are whole
constexpr double kCutWidth = 1.5;
constexpr double kPlungeRadius = 2;
constexpr double kMinPlungeRadius = 0.5;
// Dots cover at most about this share of the drawing; beyond it they shrink.
constexpr double kPlungeCover = 0.01;
constexpr int kDotImage = 9;  // px side of the image a plunge dot is stamped from
constexpr int kMinGuideChords = 64;
constexpr int kMaxGuideChords = 16384;

QColor ColourOf(Rgb colour) { return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)); }

const QColor kGround = ColourOf(palette::kGround);
const QColor kCut = ColourOf(palette::kCut);
const QColor kRapid = ColourOf(palette::kRapid);
const QColor kPlunge = ColourOf(palette::kPlunge);
const QColor kStart = ColourOf(palette::kStart);
const QColor kMarker = ColourOf(palette::kMarker);
const QColor kGuide = ColourOf(palette::kGuide);
const QColor kNote = ColourOf(palette::kNote);
const QColor kMessage = ColourOf(palette::kMessage);

bool Finite(QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// Cuts the line from `p` to `q` to `box` (Liang-Barsky); false when no part of it is inside.
// Painting a line that runs far outside the widget, dashed above all, costs time for every pixel
// of it, so only the visible part is handed to the painter.
bool ClipLine(const QRectF& box, QPointF& p, QPointF& q) {
  if (!Finite(p) || !Finite(q)) return false;
  const double dx = q.x() - p.x();
  const double dy = q.y() - p.y();
  const double towards[4] = {-dx, dx, -dy, dy};
  const double room[4] = {p.x() - box.left(), box.right() - p.x(), p.y() - box.top(),
                          box.bottom() - p.y()};
  double enter = 0;
  double leave = 1;
  for (int side = 0; side < 4; ++side) {
    if (towards[side] == 0) {
      if (room[side] < 0) return false;
      continue;
    }
    const double t = room[side] / towards[side];
    if (towards[side] < 0) {
      if (t > leave) return false;
      enter = std::max(enter, t);
    } else {
      if (t < enter) return false;
      leave = std::min(leave, t);
    }
  }
  const QPointF start = p;
  if (leave < 1) q = QPointF(start.x() + leave * dx, start.y() + leave * dy);
  if (enter > 0) p = QPointF(start.x() + enter * dx, start.y() + enter * dy);
  return true;
}

QString LetterText(char letter) {
  const auto c = static_cast<unsigned char>(letter);
  if (c < 0x20 || c == 0x7f) return QStringLiteral("?");
  return QString(QChar(c));
}

// A text on a pale ground so that it stays legible over the drawing; returns the box it took.
QRectF TextBox(QPainter& painter, const QRectF& within, int flags, const QString& text,
               const QColor& colour) {
  const int wrapped = flags | Qt::TextWordWrap;
  const QRectF box = painter.boundingRect(within, wrapped, text);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 215));
  painter.drawRoundedRect(box.adjusted(-3, -1, 3, 1), 3, 3);
  painter.setPen(colour);
  painter.drawText(box, wrapped, text);
  return box;
}

void PaintGuide(QPainter& painter, const QRectF& box, const PreviewGuide& guide,
                const PreviewViewport& viewport) {
  if (guide.kind == GuideKind::None) return;
  const double largest = std::max(guide.radius1, guide.radius2) * viewport.scale;
  if (!std::isfinite(largest) || largest < 0.5) return;
  // Chords short enough that a zoomed-in guide still looks round (under half a pixel off).
  const int chords = static_cast<int>(
      std::clamp(std::ceil(std::sqrt(largest) * 8), double{kMinGuideChords}, double{kMaxGuideChords}));
  const double c = std::cos(guide.angleRad);
  const double s = std::sin(guide.angleRad);
  auto at = [&](int k) {
    const double t = 2 * kPi * k / chords;
    const double u = guide.radius1 * std::cos(t);
    const double v = guide.radius2 * std::sin(t);
    return viewport.ToPixel({guide.centre.x + u * c - v * s, guide.centre.y + u * s + v * c});
  };
  std::vector<QLineF> lines;
  QPointF previous = at(0);
  for (int k = 1; k <= chords; ++k) {
    const QPointF next = at(k);
    QPointF p = previous;
    QPointF q = next;
    if (ClipLine(box, p, q)) lines.emplace_back(p, q);
    previous = next;
  }
  QPen pen(kGuide, 1);
  pen.setCosmetic(true);
  painter.setPen(pen);
  painter.drawLines(lines.data(), static_cast<int>(lines.size()));
}

// One antialiased dot, stamped for every plunge: drawing each dot as an ellipse costs ten
// times as much, and a page of text has hundreds of plunges.
QImage PlungeDot(double radius) {
  QImage image(kDotImage, kDotImage, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kPlunge);
  painter.drawEllipse(QPointF(kDotImage / 2.0, kDotImage / 2.0), radius, radius);
  return image;
}

void PaintSegments(QPainter& painter, const QRectF& box, const PreviewScene& scene,
                   const PreviewViewport& viewport, bool rapidsShown) {
  std::vector<QLineF> rapids;
  std::vector<QLineF> cuts;
  std::vector<QPointF> plunges;
  // A level of detail: of the segments shorter than a pixel, one a pixel and kind is drawn, so
  // that a program of a million moves seen whole costs what its picture holds, not its moves.
  const int columns = std::max(1, static_cast<int>(std::ceil(box.width())) + 1);
  const int rows = std::max(1, static_cast<int>(std::ceil(box.height())) + 1);
  std::vector<std::uint8_t> covered(static_cast<std::size_t>(columns) * rows, 0);
  const auto firstInPixel = [&](QPointF p, std::uint8_t kind) {
    const int column = std::clamp(static_cast<int>(p.x() - box.left()), 0, columns - 1);
    const int row = std::clamp(static_cast<int>(p.y() - box.top()), 0, rows - 1);
    std::uint8_t& cell = covered[static_cast<std::size_t>(row) * columns + column];
    if (cell & kind) return false;
    cell |= kind;
    return true;
  };
  std::size_t plungesShown = 0;
  for (const PreviewSegment& segment : scene.segments) {
    QPointF p = viewport.ToPixel(segment.from);
    if (segment.kind == SegmentKind::Plunge) {
      if (!Finite(p) || !box.contains(p)) continue;
      ++plungesShown;
      if (firstInPixel(p, 4)) plunges.push_back(p);
      continue;
    }
    if (segment.kind == SegmentKind::Rapid && !rapidsShown) continue;
    QPointF q = viewport.ToPixel(segment.to);
    if (!ClipLine(box, p, q)) continue;
    const bool cut = segment.kind == SegmentKind::Cut;
    if (std::abs(q.x() - p.x()) < 1 && std::abs(q.y() - p.y()) < 1 && !firstInPixel(p, cut ? 1 : 2)) {
      continue;
    }
    (cut ? cuts : rapids).emplace_back(p, q);
  }

  QPen rapidPen(kRapid, 1, Qt::CustomDashLine);
  rapidPen.setDashPattern({4, 3});
  rapidPen.setCosmetic(true);
  painter.setPen(rapidPen);
  painter.drawLines(rapids.data(), static_cast<int>(rapids.size()));

  // Square caps close the joints of a stroke as round ones do, at a quarter of the cost.
  // With a code the cuts are as wide as the tool, round as the tool cuts them.
  const double toolWidth = scene.cutWidth * viewport.scale;
  QPen cutPen(kCut, std::max(kCutWidth, toolWidth), Qt::SolidLine,
              toolWidth > kCutWidth ? Qt::RoundCap : Qt::SquareCap,
              toolWidth > kCutWidth ? Qt::RoundJoin : Qt::MiterJoin);
  painter.setPen(cutPen);
  painter.drawLines(cuts.data(), static_cast<int>(cuts.size()));

  if (plunges.empty()) return;
  if (toolWidth > kCutWidth) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kCut);
    for (const QPointF& at : plunges) painter.drawEllipse(at, toolWidth / 2, toolWidth / 2);
    return;
  }
  const QImage dot = PlungeDot(PlungeDotRadius(plungesShown, box.width() * box.height()));
  const QPointF centre(kDotImage / 2.0, kDotImage / 2.0);
  for (const QPointF& at : plunges) painter.drawImage((at - centre).toPoint(), dot);
}

void PaintMarkers(QPainter& painter, const QRectF& box, const PreviewScene& scene,
                  const PreviewViewport& viewport) {
  painter.setBrush(Qt::NoBrush);
  if (scene.marker) {
    const QPointF at = viewport.ToPixel(scene.marker->at);
    if (Finite(at) && box.contains(at)) {
      painter.setPen(QPen(kMarker, 1.5));
      if (scene.marker->kind == MarkerKind::Centre) {
        painter.drawLine(at + QPointF(-6, -6), at + QPointF(6, 6));
        painter.drawLine(at + QPointF(-6, 6), at + QPointF(6, -6));
      } else {
        painter.drawLine(at + QPointF(-8, 0), at + QPointF(8, 0));
        painter.drawLine(at + QPointF(0, -8), at + QPointF(0, 8));
      }
    }
  }
  if (scene.programStart) {
    const QPointF at = viewport.ToPixel(*scene.programStart);
    if (Finite(at) && box.contains(at)) {
      painter.setPen(QPen(kStart, 1.5));
      painter.drawEllipse(at, 5, 5);
    }
  }
}

void PaintAxes(QPainter& painter, const QRectF& area, const PreviewScene& scene) {
  const QPointF o(area.left() + 18, area.bottom() - 18);
  constexpr double kLength = 30;
  painter.setPen(QPen(kCut, 1));
  painter.drawLine(o, o + QPointF(kLength - 4, 0));
  painter.drawLine(o, o - QPointF(0, kLength - 4));
  painter.setPen(Qt::NoPen);
  painter.setBrush(kCut);
  const QPointF right = o + QPointF(kLength, 0);
  const QPointF up = o - QPointF(0, kLength);
  const QPointF rightHead[] = {right, right + QPointF(-7, -3.5), right + QPointF(-7, 3.5)};
  const QPointF upHead[] = {up, up + QPointF(-3.5, 7), up + QPointF(3.5, 7)};
  painter.drawPolygon(rightHead, 3);
  painter.drawPolygon(upHead, 3);
  painter.setPen(kCut);
  const QFontMetricsF metrics(painter.font());
  painter.drawText(right + QPointF(4, metrics.capHeight() / 2), LetterText(scene.axis1));
  painter.drawText(up + QPointF(6, metrics.capHeight()), LetterText(scene.axis2));
}

void PaintScaleBar(QPainter& painter, const QRectF& area, const PreviewViewport& viewport,
                   const QString& unit) {
  const double span = area.width() / viewport.scale;
  if (!(span > 0) || !std::isfinite(span)) return;
  const double length = ScaleBarLength(span);
  const double pixels = length * viewport.scale;
  if (!(length > 0) || !std::isfinite(pixels)) return;
  const double right = area.right() - 16;
  const double left = right - pixels;
  const double y = area.bottom() - 18;
  painter.setPen(QPen(kCut, 1.5));
  painter.drawLine(QPointF(left, y), QPointF(right, y));
  painter.setPen(QPen(kCut, 1));
  painter.drawLine(QPointF(left, y - 4), QPointF(left, y + 4));
  painter.drawLine(QPointF(right, y - 4), QPointF(right, y + 4));
  const QRectF label(left - 40, y - 20, pixels + 80, 14);
  QString text = QString::fromStdString(FormatGeneral(length));
  if (!unit.isEmpty()) text += ' ' + unit;
  painter.drawText(label, Qt::AlignHCenter | Qt::AlignBottom, text);
}

// The caption, the note, then the message (or word that nothing moves) from the top down, so
// that the marker at the centre of a guide stays in sight.
void PaintTexts(QPainter& painter, const QRectF& area, const PreviewScene& scene) {
  const QRectF inner = area.adjusted(8, 6, -8, -6);
  double top = inner.top();
  auto below = [&] { return QRectF(inner.left(), top, inner.width(), inner.bottom() - top); };
  QFont bold = painter.font();
  bold.setBold(true);
  const QFont plain = painter.font();
  if (!scene.caption.empty()) {
    painter.setFont(bold);
    top = TextBox(painter, below(), Qt::AlignLeft | Qt::AlignTop,
                  QString::fromStdString(scene.caption), kCut).bottom() + 4;
  }
  if (!scene.note.empty()) {
    painter.setFont(plain);
    top = TextBox(painter, below(), Qt::AlignLeft | Qt::AlignTop,
                  QString::fromStdString(scene.note), kNote).bottom() + 4;
  }
  if (!scene.message.empty()) {
    painter.setFont(bold);
    TextBox(painter, below().adjusted(16, 4, -16, 0), Qt::AlignHCenter | Qt::AlignTop,
            QString::fromStdString(scene.message), kMessage);
  } else if (scene.segments.empty()) {
    painter.setFont(plain);
    TextBox(painter, below().adjusted(16, 4, -16, 0), Qt::AlignHCenter | Qt::AlignTop,
            QStringLiteral("No moves to draw"), kNote);
  }
  painter.setFont(plain);
}

}  // namespace

double PlungeDotRadius(std::size_t plunges, double areaPixels) {
  if (plunges == 0 || !(areaPixels > 0)) return kPlungeRadius;
  // The radius at which all dots together cover kPlungeCover of the drawing.
  const double radius = std::sqrt(kPlungeCover * areaPixels / (kPi * static_cast<double>(plunges)));
  return std::clamp(radius, kMinPlungeRadius, kPlungeRadius);
}

PreviewViewport FitScene(const PreviewScene& scene, const QRectF& area) {
  const PreviewBounds bounds = BoundsOf(scene);
  PreviewViewport viewport;
  if (bounds.empty) {
    viewport.scale = kPointScale;
    viewport.origin = area.center();
    return viewport;
  }
  const double spanX = bounds.max.x - bounds.min.x;
  const double spanY = bounds.max.y - bounds.min.y;
  const double roomX = std::max(area.width() - 2 * kFitMargin, 1.0);
  const double roomY = std::max(area.height() - 2 * kFitMargin, 1.0);
  double scale = HUGE_VAL;
  if (spanX > 0) scale = std::min(scale, roomX / spanX);
  if (spanY > 0) scale = std::min(scale, roomY / spanY);
  if (scale == HUGE_VAL) scale = kPointScale;
  // Extents beyond what a double can span would give no usable scale.
  if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
  viewport.scale = scale;
  // Halves first, so that the centre of extremely wide bounds does not overflow.
  const double centreX = bounds.min.x / 2 + bounds.max.x / 2;
  const double centreY = bounds.min.y / 2 + bounds.max.y / 2;
  viewport.origin = QPointF(area.center().x() - centreX * scale, area.center().y() + centreY * scale);
  return viewport;
}

void PaintScene(QPainter& painter, const QRectF& area, const PreviewScene& scene,
                const PreviewViewport& viewport, const PaintOptions& options) {
  painter.save();
  painter.setClipRect(area);
  painter.fillRect(area, kGround);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF box = area.adjusted(-kClipRoom, -kClipRoom, kClipRoom, kClipRoom);
  PaintGuide(painter, box, scene.guide, viewport);
  PaintSegments(painter, box, scene, viewport, options.rapids);
  PaintMarkers(painter, box, scene, viewport);
  PaintAxes(painter, area, scene);
  PaintScaleBar(painter, area, viewport, options.unit);
  PaintTexts(painter, area, scene);
  painter.restore();
}

}  // namespace stylor
