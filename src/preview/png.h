#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stylor {

/// A black-and-white picture, row 0 at the top; a pixel is 1 for black.
struct BitImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> black;  // width x height
  void Set(int x, int y) {
    black[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
          static_cast<std::size_t>(x)] = 1;
  }
  bool At(int x, int y) const {
    return black[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                 static_cast<std::size_t>(x)] != 0;
  }
};

/// A blank (white) picture of that size.
BitImage BlankImage(int width, int height);

/// The picture as a PNG file: one bit a pixel (0 black, 1 white), stored without compression,
/// which every reader takes.
std::string EncodePng(const BitImage& image);

}  // namespace stylor
