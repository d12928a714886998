#include "engrave/geometry.h"

#include <cmath>

namespace stylor {

Point2 RotatePoint(double x, double y, double angleRad, double offsetX, double offsetY) {
  const double c = std::cos(angleRad);
  const double s = std::sin(angleRad);
  return {x * c - y * s + offsetX, x * s + y * c + offsetY};
}

}  // namespace stylor
