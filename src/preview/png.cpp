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

BitImage BlankImage(int width, int height) {
  BitImage image;
  image.width = width;
  image.height = height;
  image.black.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  return image;
}

std::string EncodePng(const BitImage& image) {
  // The rows, each after its filter byte (0: none), packed eight pixels a byte, white as 1.
  const std::size_t rowBytes = (static_cast<std::size_t>(image.width) + 7) / 8;
  std::string raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    raw += '\0';
    for (std::size_t b = 0; b < rowBytes; ++b) {
      unsigned byte = 0;
      for (int bit = 0; bit < 8; ++bit) {
        const int x = static_cast<int>(b * 8) + bit;
        const bool white = x >= image.width || !image.At(x, y);
        if (white) byte |= 0x80u >> bit;
      }
      raw += static_cast<char>(byte);
    }
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
  header += std::string_view("\x01\x00\x00\x00\x00", 5);  // 1 bit, greyscale, no interlace
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", zlib);
  Chunk(png, "IEND", {});
  return png;
}

}  // namespace stylor
