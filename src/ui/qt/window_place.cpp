#include "ui/qt/window_place.h"

#include <algorithm>

namespace stylor {
namespace {

// One axis: the frame's start and length inside [freeStart, freeStart + freeLength).
void Fit(int& start, int& length, int freeStart, int freeLength) {
  length = std::min(length, freeLength);
  start = std::clamp(start, freeStart, freeStart + freeLength - length);
}

}  // namespace

QRect FirstPlacement(QSize wanted, QPoint usual, QMargins frame, QRect available) {
  const int frameWidth = frame.left() + frame.right();
  const int frameHeight = frame.top() + frame.bottom();
  int left = usual.x();
  int top = usual.y();
  int width = wanted.width() + frameWidth;
  int height = wanted.height() + frameHeight;
  Fit(left, width, available.left(), available.width());
  Fit(top, height, available.top(), available.height());
  return QRect(left + frame.left(), top + frame.top(), width - frameWidth, height - frameHeight);
}

}  // namespace stylor
