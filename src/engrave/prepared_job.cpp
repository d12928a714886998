#include "engrave/prepared_job.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

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

char Upper(char letter) {
  return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

// The words every program of Stylor may hold besides the axes: G and M codes, N labels, F feeds,
// and the words of the start and end blocks a control reads (T tool, S spindle speed, O program
// number, P dwell and subprogram, R retract level). An axis of one of these letters turns every
// move into a command: "G00 S0.0952" sets the spindle speed.
constexpr std::string_view kCommandLetters = "GMNFTSOPR";

// A letter a lathe-mill mode writes as a word of its own in its start or end block (the U and H
// of "G17UH"), and no mode uses as an axis. Such a letter in a move would be read as that word.
bool IsModeWordLetter(char upper, const LatheMillMode& mode) {
  if (upper == 'G' || upper == 'M') return false;  // already command letters
  for (const LatheMillMode& any : kLatheMillModes) {
    for (const ModeAxes& axes : any.axes) {
      for (const std::string_view axis : axes) {
        if (!axis.empty() && Upper(axis.front()) == upper) return false;
      }
    }
  }
  const auto holds = [upper](std::string_view block) {
    return std::any_of(block.begin(), block.end(), [upper](char c) { return Upper(c) == upper; });
  };
  return holds(mode.preamble[0]) || holds(mode.preamble[1]) || holds(mode.postamble);
}

// A control reads words whatever their case, so "s" is the spindle speed as "S" is, and an axis
// given twice puts two words of one letter on a line.
void RequireAxisWord(const MachineAxes& job) {
  const struct {
    char letter;
    const char* name;
    const char* field;
  } axes[] = {{job.axis1, "Axis 1", "Axis1E"},
              {job.axis2, "Axis 2", "Axis2E"},
              {job.plungeAxis, "the plunge axis", "Axis3E"}};
  for (const auto& axis : axes) {
    const char upper = Upper(axis.letter);
    if (kCommandLetters.find(upper) != std::string_view::npos) {
      throw Error(std::string("The axis letter of ") + axis.name + " (" + axis.field +
                  ") must not be '" + axis.letter + "': every program uses " + upper +
                  " as a word of its own, and the control would read each move as that command");
    }
    if (IsModeWordLetter(upper, *job.mode)) {
      throw Error(std::string("The axis letter of ") + axis.name + " (" + axis.field +
                  ") must not be '" + axis.letter + "': the lathe-mill mode " +
                  std::string(job.mode->caption) + " writes " + upper + " as a word of its own");
    }
  }
  // One letter on two axes puts two words of that letter on a line (the first rapid moves the
  // plane and the plunge axis at once), and a control refuses such a line.
  const auto refuseShared = [](const char* first, const char* second, char letter) {
    throw Error(std::string(first) + " and " + second + " are both '" + letter +
                "': each axis needs a letter of its own, or a move writes two " + Upper(letter) +
                " words on one line, which a control refuses");
  };
  if (Upper(job.axis1) == Upper(job.axis2)) {
    refuseShared("Axis 1 (Axis1E)", "Axis 2 (Axis2E)", job.axis2);
  }
  if (Upper(job.plungeAxis) == Upper(job.axis1)) {
    refuseShared("Axis 1 (Axis1E)", "the plunge axis (Axis3E)", job.plungeAxis);
  }
  if (Upper(job.plungeAxis) == Upper(job.axis2)) {
    refuseShared("Axis 2 (Axis2E)", "the plunge axis (Axis3E)", job.plungeAxis);
  }
}

// A feed as the program writes it ("%1.2lf"): 0.001 becomes F0.00 and -0 F-0.00, and a control
// refuses a feed that is not above zero.
void RequireWrittenFeed(double feed, const char* caption, const char* field) {
  const std::string written = FormatFixed(feed, 2);
  if (written.front() != '-' && written != "0.00") return;
  throw Error(std::string("The ") + caption + " (" + field + ") must be above 0 as the program " +
              "writes it, with two decimals: it would be written F" + written);
}

// Inverse Time writes F as the typed feed over the length of each move, so only the typed
// feed's sign counts here; a tiny feed is checked move by move where F is computed.
void RequireTimedFeed(double feed, const char* caption, const char* field) {
  if (feed > 0) return;
  throw Error(std::string("The ") + caption + " (" + field +
              ") must be above 0: Inverse Time Feed writes it over the time of each move");
}

// Glyph positions are written with four decimals: a text whose size rounds to 0.0000 puts every
// point of every glyph in one place, and the program drills one hole again and again.
void RequireGlyphSize(const PreparedJob& job) {
  const auto roundsToNothing = [](double size) {
    const std::string written = FormatFixed(std::abs(size), 4);
    return written == "0.0000";
  };
  if (roundsToNothing(job.textHeight)) {
    throw Error("The text height (TextHeightE) rounds to 0.0000 as the program writes it: every "
                "glyph would be cut as a single point");
  }
  if (roundsToNothing(job.textHeight * job.widthRatio)) {
    throw Error("The width ratio (WidthRatioE) makes the glyphs 0.0000 wide as the program "
                "writes them: every glyph would be cut as a line on one spot");
  }
}

}  // namespace

DegreesAxis G16DegreesAxis(const EngraveSettings& settings) {
  if (!LatheMillModeOf(settings.IntegrexMode).cylinderTurns) return DegreesAxis::None;
  if (settings.Axis2E == "Y") return DegreesAxis::Axis2;
  if (settings.Axis1E == "Y") return DegreesAxis::Axis1;
  return DegreesAxis::None;
}

MachineAxes ReadMachineAxes(const EngraveSettings& settings) {
  MachineAxes axes;
  axes.penUp = ReadReal(settings.PenUpE);
  axes.penDown = ReadReal(settings.PenDownE);
  axes.axis1 = ReadLetter(settings.Axis1E);
  axes.axis2 = ReadLetter(settings.Axis2E);
  axes.plungeAxis = ReadLetter(settings.Axis3E);
  axes.mode = &LatheMillModeOf(settings.IntegrexMode);
  axes.feedRate = FeedRateOf(settings.FeedMode);
  axes.g16AxisMarker = G16DegreesAxis(settings);
  return axes;
}

void CheckPenDown(const MachineAxes& axes) {
  const bool rotary = IsRotaryLetter(axes.axis1) || IsRotaryLetter(axes.axis2);
  const bool usesCylinder = (rotary && axes.mode->rotaryInDegrees) || axes.mode->cylinderTurns;
  if (axes.penDown == 0 && usesCylinder) {
    throw Error("The pen down level must not be 0 with a rotary axis or in the Mazak G16 mode: "
                "it is the radius of the engraved cylinder");
  }
}

void CheckMachineAxes(const MachineAxes& axes) {
  RequireLetter(axes.axis1, "Axis 1");
  RequireLetter(axes.axis2, "Axis 2");
  RequireLetter(axes.plungeAxis, "the plunge axis");
  CheckPenDown(axes);
  RequireAxisWord(axes);
}

PreparedJob PrepareJob(const EngraveSettings& settings) {
  PreparedJob job;
  job.start.x = ReadReal(settings.Axis1StartE);
  job.start.y = ReadReal(settings.Axis2StartE);
  static_cast<MachineAxes&>(job) = ReadMachineAxes(settings);
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

  CheckMachineAxes(job);
  CheckEmitterValues(job);
  if (job.feedRate == FeedRate::InverseTime) {
    RequireTimedFeed(job.engraveFeed, "engrave feed", "EngraveFeedE");
    RequireTimedFeed(job.plungeFeed, "plunge feed", "PlungeFeedE");
  } else {
    // The engrave feed first: the window derives the plunge feed from it.
    RequireWrittenFeed(job.engraveFeed, "engrave feed", "EngraveFeedE");
    RequireWrittenFeed(job.plungeFeed, "plunge feed", "PlungeFeedE");
  }
  RequireGlyphSize(job);
  return job;
}

}  // namespace stylor
