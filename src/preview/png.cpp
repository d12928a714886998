#include "preview/png.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace stylor {
namespace {

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xedb88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

void Put32(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value >> 24);
  out += static_cast<char>((value >> 16) & 0xff);
  out += static_cast<char>((value >> 8) & 0xff);
  out += static_cast<char>(value & 0xff);
}

void Chunk(std::string& out, std::string_view type, std::string_view data) {
  Put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out += type;
  out += data;
  std::uint32_t crc = 0xffffffffu;
  for (std::size_t k = start; k < out.size(); ++k) {
    crc = kCrcTable[(crc ^ static_cast<unsigned char>(out[k])) & 0xff] ^ (crc >> 8);
  }
  Put32(out, crc ^ 0xffffffffu);
}

}  // namespace

GreyImage WhiteImage(int width, int height) {
  GreyImage image;
  image.width = width;
  image.height = height;
  image.grey.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 255);
  return image;
}

std::string EncodePng(const GreyImage& image) {
  // The rows, each after its filter byte (0: none).
  const auto rowBytes = static_cast<std::size_t>(image.width);
  std::string raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(image.height));
  for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(image.grey.data()) + y * rowBytes, rowBytes);
  }
  // A zlib stream of stored blocks, with its Adler-32 check.
  std::string zlib = "\x78\x01";
  std::size_t pos = 0;
  do {
    const std::size_t length = std::min<std::size_t>(raw.size() - pos, 65535);
    const bool last = pos + length == raw.size();
    zlib += static_cast<char>(last ? 1 : 0);
    zlib += static_cast<char>(length & 0xff);
    zlib += static_cast<char>(length >> 8);
    zlib += static_cast<char>(~length & 0xff);
    zlib += static_cast<char>((~length >> 8) & 0xff);
    zlib.append(raw, pos, length);
    pos += length;
  } while (pos < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (char c : raw) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  Put32(zlib, (b << 16) | a);

  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  Put32(header, static_cast<std::uint32_t>(image.width));
  Put32(header, static_cast<std::uint32_t>(image.height));
  header += std::string_view("\x08\x00\x00\x00\x00", 5);  // 8 bits, greyscale, no interlace
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", zlib);
  Chunk(png, "IEND", {});
  return png;
}

}  // namespace stylor
