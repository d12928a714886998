#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace stylor {

/// The axis letters (Axis1E, Axis2E, Axis3E) a lathe-mill mode selects for one head.
using ModeAxes = std::array<std::string_view, 3>;

/// One lathe-mill programming mode (an IntegrexMode item): everything that tells its programs
/// apart. The move writer, the framing and the program reader all read these rows, so a new
/// mode is one more row.
struct LatheMillMode {
  std::string_view caption = {};
  /// What choosing the mode writes, for its tooltip, the help and the manual.
  std::string_view meaning = {};
  /// The start of the milling-plane block for Head 1 and Head 2 ("\n" line ends).
  std::array<std::string_view, 2> preamble = {};
  /// The preamble ends with "G16 C" and takes the pen down level as the cylinder radius.
  bool preambleTakesRadius = false;
  std::string_view postamble = {};
  /// The axes for Head 1 and Head 2; a mode that leaves the axes as typed has none.
  bool selectsAxes = false;
  std::array<ModeAxes, 2> axes = {};
  /// Rotary axis words (A, B, C) are degrees on the cylinder of the pen down radius, not lengths.
  bool rotaryInDegrees = false;
  /// G16: whole turns of the cylinder come off the Axis 1 word, and the axis typed "Y" sets F in
  /// degrees per minute.
  bool cylinderTurns = false;
  /// G07.1 has no rapid in the plane: a positioning move there is a feed move at this rate.
  double planeRapidFeed = 0;
  /// Whether Degrees Per Min writes F in degrees per minute for this mode's rotary moves.
  bool feedInDegrees = true;
  /// G138: M15 or M16 (turning up or down) on a rotary move that changes the direction.
  bool directionCodes = false;
};

namespace mode_axes {
inline constexpr ModeAxes kYZX = {"Y", "Z", "X"};
inline constexpr ModeAxes kCZX = {"C", "Z", "X"};
}  // namespace mode_axes

/// Every lathe-mill mode, in the order of the IntegrexMode items.
inline constexpr LatheMillMode kLatheMillModes[] = {
    {.caption = "None",
     .meaning = "No preamble or postamble; the axis letters stay as typed", .rotaryInDegrees = true},
    {.caption = "Mazak G16   (Y, Z, X)",
     .meaning = "Writes G00 C0.0, G12.1 and G16 C<down> (head 2: G110C2 first); ends with G13.1",
     .preamble = {"G00 C0.0\nG12.1\nG16 C", "G110C2\nG00 C0.0\nG12.1\nG16 C"},
     .preambleTakesRadius = true,
     .postamble = "G13.1\n",
     .selectsAxes = true,
     .axes = {mode_axes::kYZX, mode_axes::kYZX},
     .rotaryInDegrees = true,
     .cylinderTurns = true},
    {.caption = "Mazak G07.1 (C, Z, X)",
     .meaning = "Writes no preamble; the rotary axis is programmed in degrees",
     .selectsAxes = true,
     .axes = {mode_axes::kCZX, mode_axes::kCZX},
     .rotaryInDegrees = true,
     .planeRapidFeed = 200,
     .feedInDegrees = false},
    {.caption = "Mazak G12.1 Standard",
     .meaning = "Writes G00 C0.0 and G12.1; ends with G13.1",
     .preamble = {"G00 C0.0\nG12.1\n", "G00 C0.0\nG12.1\n"},
     .postamble = "G13.1\n",
     .selectsAxes = true,
     .axes = {ModeAxes{"X", "C", "Z"}, ModeAxes{"C", "X", "Z"}}},
    {.caption = "Mazak G12.1 T-32",
     .meaning = "Writes G00 C0.0 and G12.1 (head 2: G110C2 first); ends with G13.1",
     .preamble = {"G00 C0.0\nG12.1\n", "G110C2\nG00 C0.0\nG12.1\n"},
     .postamble = "G13.1\n",
     .selectsAxes = true,
     .axes = {ModeAxes{"X", "Y", "Z"}, ModeAxes{"Y", "X", "Z"}}},
    {.caption = "Mazak G12.1 Matrix",
     .meaning = "Writes G00 C0.0, G17UH, G12.1 and G122.1; ends with G13.1",
     .preamble = {"G00 C0.0\nG17UH\nG12.1\nG122.1\n", "G00 C0.0\nG17UH\nG12.1\nG122.1\n"},
     .postamble = "G13.1\n",
     .selectsAxes = true,
     .axes = {ModeAxes{"X", "C", "Z"}, ModeAxes{"C", "X", "Z"}}},
    // The Okuma mode programs Y, Z, X whatever its caption shows.
    {.caption = "Okuma G138  (C, Z, X)",
     .meaning = "Writes G138; ends with G136",
     .preamble = {"G138\n", "G138\n"},
     .postamble = "G136\n",
     .selectsAxes = true,
     .axes = {mode_axes::kYZX, mode_axes::kYZX},
     .rotaryInDegrees = true,
     .feedInDegrees = false,
     .directionCodes = true},
};

inline constexpr LatheMillMode kNoModeSelected = {.postamble = "G13.1\n"};

/// The mode of an IntegrexMode index. An index outside the list (-1: nothing selected) has a
/// row of its own (kNoModeSelected): no preamble, rotary words as lengths, and the "G13.1"
/// postamble that closes a milling-plane block the way the Mazak modes do.
inline const LatheMillMode& LatheMillModeOf(std::int32_t integrexMode) {
  constexpr auto kCount = static_cast<std::int32_t>(std::size(kLatheMillModes));
  if (integrexMode < 0 || integrexMode >= kCount) return kNoModeSelected;
  return kLatheMillModes[integrexMode];
}

/// The head of an IntegrexHead index: Head 1 is item 0; every other index, nothing selected
/// included, counts as Head 2.
inline int HeadOf(std::int32_t integrexHead) { return integrexHead == 0 ? 0 : 1; }

/// The item index of the Mazak G16 mode, whose start block holds the pen down level.
constexpr std::int32_t kModeG16 = 1;

}  // namespace stylor
