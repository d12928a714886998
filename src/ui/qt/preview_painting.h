#pragma once

#include <QPointF>
#include <QRectF>

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

/// Paints `scene` into `area` on a white ground: the guide faint, rapids thin and dashed, cuts
/// solid, plunges as dots, the start point or centre marker, the program's start as a ring; then
/// the caption and note at the top, the message (or "No moves to draw") in the middle, the axis
/// arrows with their letters at the bottom left and a scale bar at the bottom right. Draws only
/// inside `area`, whatever the viewport.
void PaintScene(QPainter& painter, const QRectF& area, const PreviewScene& scene,
                const PreviewViewport& viewport);

}  // namespace stylor
