#pragma once

#include <cstdint>
#include <string>

namespace stylor {

/// A colour as 0xRRGGBB.
using Rgb = std::uint32_t;

/// The colours of a drawn program, one set for the window's preview, its legend and the SVG
/// picture, so that a program looks the same wherever it is shown.
namespace palette {
inline constexpr Rgb kGround = 0xffffff;   // behind the drawing
inline constexpr Rgb kCut = 0x1e2a36;      // feed moves with the tool down, axes, scale bar
inline constexpr Rgb kRapid = 0x8c8c8c;    // positioning moves
inline constexpr Rgb kPlunge = 0xd62728;   // where the tool goes down
inline constexpr Rgb kStart = 0x2ca02c;    // the first point the program reaches
inline constexpr Rgb kMarker = 0x1f77b4;   // the start point or the centre of the settings
inline constexpr Rgb kGuide = 0x9ecae1;    // the circle or ellipse the text follows
inline constexpr Rgb kNote = 0x5a6673;     // what the picture leaves out
inline constexpr Rgb kMessage = 0xb01e1e;  // why nothing is drawn
}  // namespace palette

inline constexpr std::uint8_t RedOf(Rgb colour) { return (colour >> 16) & 0xff; }
inline constexpr std::uint8_t GreenOf(Rgb colour) { return (colour >> 8) & 0xff; }
inline constexpr std::uint8_t BlueOf(Rgb colour) { return colour & 0xff; }

/// "#rrggbb", as SVG and Qt's rich text write a colour.
inline std::string HexColour(Rgb colour) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text = "#";
  for (int shift = 20; shift >= 0; shift -= 4) text += kDigits[(colour >> shift) & 0xf];
  return text;
}

}  // namespace stylor
