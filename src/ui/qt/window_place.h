#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace stylor {

/// Where a window first shows: its client area of `wanted` size at `usual` (the top left of the
/// frame), the whole frame (`frame`: title bar and borders around the client area) kept inside
/// the screen's free area `available`, moved in first and shrunk only where the screen is too
/// small. Returns the client area.
QRect FirstPlacement(QSize wanted, QPoint usual, QMargins frame, QRect available);

}  // namespace stylor
