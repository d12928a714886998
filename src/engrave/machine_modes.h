#pragma once

namespace stylor {

// Item indices of the lathe-mill modes (IntegrexMode) and the feed modes (FeedMode) that change
// how moves are written and read back.
constexpr int kModeG16 = 1;
constexpr int kModeG071 = 2;
constexpr int kModeOkumaG138 = 6;
constexpr int kDegreesPerMin = 1;
constexpr int kInverseTime = 2;

/// True for the lathe-mill modes that program a rotary axis in degrees rather than as a length.
constexpr bool WritesDegrees(int mode) {
  return mode == 0 || mode == 1 || mode == 2 || mode == 6;
}

}  // namespace stylor
