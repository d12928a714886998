#pragma once

namespace stylor {

struct Point2 {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point2&, const Point2&) = default;
};

constexpr double kPi = 3.141592653589793;

/// The point (x, y) turned counter-clockwise about the origin by `angleRad`, then moved by the
/// offset: (x cos - y sin + offsetX, x sin + y cos + offsetY).
Point2 RotatePoint(double x, double y, double angleRad, double offsetX, double offsetY);

}  // namespace stylor
