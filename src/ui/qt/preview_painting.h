#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstddef>

#include "engrave/geometry.h"

class QPainter;

namespace stylor {

struct PreviewScene;

/// Where the text plane lies on a drawing: Axis 1 to the right, Axis 2 up.
struct PreviewViewport {
  double scale = 1;  // pixels per machine unit
  QPointF origin;    // the pixel of the plane's origin

  /// The pixel of a plane point.
  QPointF ToPixel(Point2 p) const { return {origin.x() + p.x * scale, origin.y() - p.y * scale}; }
  /// The plane point under a pixel.
  Point2 ToPlane(QPointF pixel) const {
    return {(pixel.x() - origin.x()) / scale, (origin.y() - pixel.y()) / scale};
  }
};

/// The viewport that shows everything of `scene` (BoundsOf) centred in `area` with a margin; a
/// scene with nothing to draw, or a single point, gets 100 pixels a unit about its centre.
PreviewViewport FitScene(const PreviewScene& scene, const QRectF& area);

/// What the user chose to see of a scene.
struct PaintOptions {
  bool rapids = true;  // the dashed positioning moves
  QString unit;        // after the scale bar's length ("mm"); empty for none
};

/// The radius in pixels of the dot drawn at each plunge: 2 where plunges stand apart, smaller
/// where `plunges` dots share `areaPixels` so densely that they would hide the strokes (a page
/// of small text), never below half a pixel.
double PlungeDotRadius(std::size_t plunges, double areaPixels);

/// Paints `scene` into `area` on a white ground: the guide faint, rapids thin and dashed (unless
/// hidden), cuts solid, plunges as dots, the start point or centre marker, the program's start
/// as a ring; then the caption and note at the top, the message (or "No moves to draw") in the
/// middle, the axis arrows with their letters at the bottom left and a scale bar at the bottom
/// right. Draws only inside `area`, whatever the viewport.
void PaintScene(QPainter& painter, const QRectF& area, const PreviewScene& scene,
                const PreviewViewport& viewport, const PaintOptions& options = {});

}  // namespace stylor
