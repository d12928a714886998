#pragma once

#include <cstdint>

#include "engrave/cutting/cutting.h"
#include "engrave/geometry.h"
#include "settings/engrave_settings.h"
#include "settings/machine_modes.h"

namespace stylor {

/// The plane axis whose F a program of the Mazak G16 mode writes in degrees per minute.
enum class DegreesAxis { None, Axis1, Axis2 };

/// In a mode that turns the cylinder, the plane axis typed as "Y" (Axis 2 when both are);
/// None in every other mode. The jobs and the program reader take it from here alike.
DegreesAxis G16DegreesAxis(const EngraveSettings& settings);

/// The common settings of every engrave job, converted once when the job starts. Lengths are in
/// machine units; start values on rotary axes are already lengths on the cylinder of radius
/// penDown.
struct PreparedJob {
  Point2 start;
  double penUp = 0.001;
  double penDown = -0.001;
  char axis1 = 'X';
  char axis2 = 'Y';
  char plungeAxis = 'Z';
  double textHeight = 0.125;
  double widthRatio = 1;
  double spacingRatio = 1;
  double lineSpacing = 1.5;
  double plungeFeed = 25;
  double engraveFeed = 50;
  double textAngleRad = 0;
  DegreesAxis g16AxisMarker = DegreesAxis::None;
  const LatheMillMode* mode = &kLatheMillModes[0];
  FeedRate feedRate = FeedRate::PerMinute;
  CuttingOptions cutting;  // all off: one plunge, one cut and one lift per stroke
  friend bool operator==(const PreparedJob&, const PreparedJob&) = default;
};

/// Reads the common settings in the fixed order of every job (start values, pen levels, axis
/// letters, height and ratios, feeds, text angle), converts the angle to radians and rotary start
/// values to lengths, and derives the G16 axis marker. Throws the conversion message of the first
/// field that does not convert, or a message for values no machine program can hold.
PreparedJob PrepareJob(const EngraveSettings& settings);

}  // namespace stylor
