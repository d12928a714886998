#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stylor {

/// A greyscale picture, row 0 at the top; a pixel is 0 for black to 255 for white.
struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> grey;  // width x height
  std::uint8_t& At(int x, int y) {
    return grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(x)];
  }
};

/// A white picture of that size.
GreyImage WhiteImage(int width, int height);

/// The picture as a PNG file, 8-bit greyscale, stored without compression, which every reader
/// takes.
std::string EncodePng(const GreyImage& image);

}  // namespace stylor
