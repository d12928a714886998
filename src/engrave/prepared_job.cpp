#include "engrave/prepared_job.h"

#include <string>

#include "engrave/emitter.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

// A start value typed in degrees becomes the length of that arc on the cylinder whose radius is
// the cutting depth (the plunge axis holds absolute positions on a rotary machine).
double DegreesToLength(double degrees, double penDown) {
  return 2 * kPi * penDown * (degrees * (1.0 / 360));
}

void RequireLetter(char letter, const char* axisName) {
  // An empty axis box would put a NUL byte into every move of the program.
  if (letter == '\0') throw Error(std::string("The axis letter of ") + axisName + " is empty");
  // A word of a move is a letter and a number: a digit, sign, point, blank or line break as the
  // axis would run into the number or split the line, and the machine would read another move.
  const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
  if (!isLetter) {
    const auto code = static_cast<unsigned char>(letter);
    std::string shown = "the character of code ";
    AppendInteger(shown, code);
    if (code > 32 && code < 127) shown = std::string("'") + letter + "'";
    throw Error(std::string("The axis letter of ") + axisName + " must be a letter, not " +
                shown);
  }
}

}  // namespace

PreparedJob PrepareJob(const EngraveSettings& settings) {
  PreparedJob job;
  job.start.x = ReadReal(settings.Axis1StartE);
  job.start.y = ReadReal(settings.Axis2StartE);
  job.penUp = ReadReal(settings.PenUpE);
  job.penDown = ReadReal(settings.PenDownE);
  job.axis1 = ReadLetter(settings.Axis1E);
  job.axis2 = ReadLetter(settings.Axis2E);
  job.plungeAxis = ReadLetter(settings.Axis3E);
  job.textHeight = ReadReal(settings.TextHeightE);
  job.widthRatio = ReadReal(settings.WidthRatioE);
  job.spacingRatio = ReadReal(settings.SpacingRatioE);
  job.lineSpacing = ReadReal(settings.LineSpacingE);
  job.plungeFeed = ReadReal(settings.PlungeFeedE);
  job.engraveFeed = ReadReal(settings.EngraveFeedE);
  const double textAngle = ReadReal(settings.TextAngleE);
  job.textAngleRad = textAngle * kPi * (1.0 / 180);

  if (IsRotaryLetter(job.axis1)) job.start.x = DegreesToLength(job.start.x, job.penDown);
  if (IsRotaryLetter(job.axis2)) job.start.y = DegreesToLength(job.start.y, job.penDown);

  job.mode = &LatheMillModeOf(settings.IntegrexMode);
  job.feedRate = FeedRateOf(settings.FeedMode);
  if (job.mode->cylinderTurns) {
    if (settings.Axis1E == "Y") job.g16AxisMarker = 1;
    if (settings.Axis2E == "Y") job.g16AxisMarker = 2;
  }

  RequireLetter(job.axis1, "Axis 1");
  RequireLetter(job.axis2, "Axis 2");
  RequireLetter(job.plungeAxis, "the plunge axis");
  CheckEmitterValues(job);
  return job;
}

}  // namespace stylor
