#pragma once

#include <cstdint>

#include "engrave/geometry.h"
#include "settings/engrave_settings.h"
#include "settings/machine_modes.h"

namespace stylor {

/// The plane axis whose F a program of the Mazak G16 mode writes in degrees per minute.
enum class DegreesAxis { None, Axis1, Axis2 };

/// In a mode that turns the cylinder, the plane axis typed as "Y" (Axis 2 when both are);
/// None in every other mode. The jobs and the program reader take it from here alike.
DegreesAxis G16DegreesAxis(const EngraveSettings& settings);

/// What the numbers of a program mean on the machine, for writing a job and for reading a program
/// back alike: which letters span the text plane and which one plunges, the pen levels, and the
/// modes the program is written in.
struct MachineAxes {
  char axis1 = 'X';
  char axis2 = 'Y';
  char plungeAxis = 'Z';
  double penUp = 0.001;    // travel level of the plunge axis
  double penDown = -0.001; // cutting level; on a rotary axis the radius of the engraved cylinder
  FeedRate feedRate = FeedRate::PerMinute;
  const LatheMillMode* mode = &kLatheMillModes[0];
  DegreesAxis g16AxisMarker = DegreesAxis::None;  // Mazak G16: F in degrees per minute
  friend bool operator==(const MachineAxes&, const MachineAxes&) = default;
};

/// The settings' pen levels (up, then down) and axis letters (Axis 1, 2, 3), in that order, then
/// the feed mode, the lathe-mill mode and the G16 marker. Throws the conversion message of the
/// first field that does not convert. Checks nothing else: see CheckMachineAxes.
MachineAxes ReadMachineAxes(const EngraveSettings& settings);

/// Throws Error when no program can be written or read with these axes: an axis letter that is
/// empty or no letter, the letter of a word every program or the lathe-mill mode writes of its
/// own, one letter on two axes; a pen down level of 0 where it is the cylinder's radius. The
/// letters are checked first, one by one, then the pen levels (CheckPenDown), then the words.
void CheckMachineAxes(const MachineAxes& axes);

/// Throws Error when the pen down level is 0 where it is the radius of the engraved cylinder: a
/// rotary plane axis written in degrees, or the Mazak G16 mode.
void CheckPenDown(const MachineAxes& axes);

/// The common settings of every engrave job, converted once when the job starts. Lengths are in
/// machine units; start values on rotary axes are already lengths on the cylinder of radius
/// penDown.
struct PreparedJob : MachineAxes {
  Point2 start;
  double textHeight = 0.125;
  double widthRatio = 1;
  double spacingRatio = 1;
  double lineSpacing = 1.5;
  double plungeFeed = 25;
  double engraveFeed = 50;
  double textAngleRad = 0;
  friend bool operator==(const PreparedJob&, const PreparedJob&) = default;
};

/// Reads the common settings in the fixed order of every job (start values, pen levels, axis
/// letters, height and ratios, feeds, text angle), converts the angle to radians and rotary start
/// values to lengths, and derives the G16 axis marker. Throws the conversion message of the first
/// field that does not convert, what CheckMachineAxes throws, or a message for other values no
/// machine program can hold.
PreparedJob PrepareJob(const EngraveSettings& settings);

}  // namespace stylor
