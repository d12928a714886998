#include "engrave/framing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engrave/prepared_job.h"
#include "engrave/program_store.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

struct BlockCase {
  int mode;
  int head;
  const char* start;
  const char* end;
};

TEST(WriteFraming, ModeBlocksForBothHeadsAndNoSelection) {
  const BlockCase kCases[] = {
      {0, 0, "", ""},
      {0, 1, "", ""},
      {1, 0, "G00 C0.0\r\nG12.1\r\nG16 C-0.0010\r\n", "G13.1\r\n"},
      {1, 1, "G110C2\r\nG00 C0.0\r\nG12.1\r\nG16 C-0.0010\r\n", "G13.1\r\n"},
      {1, -1, "G110C2\r\nG00 C0.0\r\nG12.1\r\nG16 C-0.0010\r\n", "G13.1\r\n"},
      {2, 0, "", ""},
      {2, 1, "", ""},
      {3, 0, "G00 C0.0\r\nG12.1\r\n", "G13.1\r\n"},
      {3, 1, "G00 C0.0\r\nG12.1\r\n", "G13.1\r\n"},
      {4, 0, "G00 C0.0\r\nG12.1\r\n", "G13.1\r\n"},
      {4, 1, "G110C2\r\nG00 C0.0\r\nG12.1\r\n", "G13.1\r\n"},
      {5, 0, "G00 C0.0\r\nG17UH\r\nG12.1\r\nG122.1\r\n", "G13.1\r\n"},
      {5, 1, "G00 C0.0\r\nG17UH\r\nG12.1\r\nG122.1\r\n", "G13.1\r\n"},
      {6, 0, "G138\r\n", "G136\r\n"},
      {6, 1, "G138\r\n", "G136\r\n"},
      {-1, 0, "", "G13.1\r\n"},
  };
  for (const BlockCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " head " << c.head);
    EngraveSettings settings;
    settings.IntegrexMode = c.mode;
    settings.IntegrexHead = c.head;
    const ProgramFrame frame = FrameOf(settings);
    EXPECT_TRUE(frame.replacesFile);
    EXPECT_EQ(ToCrLf(frame.startBlock), c.start);
    EXPECT_EQ(ToCrLf(frame.endBlock), c.end);
  }
}

TEST(FrameOf, TheMachineBlocksInOrderFollowingTheAppendBoxes) {
  EngraveSettings settings;
  settings.PreToolChange = {"(PRE)", " T1 M6 "};
  settings.ToolChange = {"T2"};
  settings.PostToolChange = {""};
  settings.PostEngrave = {"M30"};
  settings.IntegrexMode = 6;
  EXPECT_EQ(FrameOf(settings), (ProgramFrame{true, "(PRE)\n T1 M6 \nT2\n\nG138\n", "G136\nM30\n"}));

  settings.PreEngraveW = false;  // append: the file is neither emptied nor given a start block
  EXPECT_EQ(FrameOf(settings), (ProgramFrame{false, "", "G136\nM30\n"}));
  settings.PostEngraveW = false;
  settings.PenDownE = "not read";  // nothing at all is read with both boxes clear
  EXPECT_EQ(FrameOf(settings), (ProgramFrame{false, "", ""}));

  settings.PostEngraveW = true;
  EXPECT_THAT([&] { FrameOf(settings); },
              ThrowsMessage<Error>("'not read' is not a valid floating point value"));
}

TEST(AxesForMode, SetsTheAxesOfEachModeAndHead) {
  using Axes = std::array<std::string, 3>;
  EXPECT_EQ(AxesForMode(0, 0), std::nullopt);
  EXPECT_EQ(AxesForMode(-1, 1), std::nullopt);
  EXPECT_EQ(AxesForMode(1, 1), (Axes{"Y", "Z", "X"}));
  EXPECT_EQ(AxesForMode(2, 0), (Axes{"C", "Z", "X"}));
  EXPECT_EQ(AxesForMode(3, 0), (Axes{"X", "C", "Z"}));
  EXPECT_EQ(AxesForMode(3, -1), (Axes{"C", "X", "Z"}));
  EXPECT_EQ(AxesForMode(4, 0), (Axes{"X", "Y", "Z"}));
  EXPECT_EQ(AxesForMode(4, 1), (Axes{"Y", "X", "Z"}));
  EXPECT_EQ(AxesForMode(5, 1), (Axes{"C", "X", "Z"}));
  EXPECT_EQ(AxesForMode(6, 0), (Axes{"Y", "Z", "X"}));
}

TEST(PrepareJob, ReadsTheDefaults) {
  const PreparedJob job = PrepareJob(EngraveSettings{});
  EXPECT_EQ(job, PreparedJob{});
  EXPECT_EQ(job.textHeight, 0.125);
  EXPECT_EQ(job.penDown, -0.001);
}

TEST(PrepareJob, StopsAtTheFirstFieldThatDoesNotConvertInReadingOrder) {
  // Each field broken together with every later one: the message must name this field.
  const TextField kOrder[] = {
      &EngraveSettings::Axis1StartE,   &EngraveSettings::Axis2StartE,  &EngraveSettings::PenUpE,
      &EngraveSettings::PenDownE,      &EngraveSettings::TextHeightE,  &EngraveSettings::WidthRatioE,
      &EngraveSettings::SpacingRatioE, &EngraveSettings::LineSpacingE, &EngraveSettings::PlungeFeedE,
      &EngraveSettings::EngraveFeedE,  &EngraveSettings::TextAngleE,
  };
  for (std::size_t first = 0; first < std::size(kOrder); ++first) {
    EngraveSettings settings;
    for (std::size_t k = first; k < std::size(kOrder); ++k) {
      settings.*kOrder[k] = "bad" + std::to_string(k);
    }
    SCOPED_TRACE(first);
    EXPECT_THAT([&] { PrepareJob(settings); },
                ThrowsMessage<Error>("'bad" + std::to_string(first) +
                                     "' is not a valid floating point value"));
  }
}

TEST(PrepareJob, ConvertsRotaryStartsAndTheAngleAndSetsTheG16Marker) {
  EngraveSettings settings;
  settings.Axis1E = "C";
  settings.Axis1StartE = "90";
  settings.PenDownE = "2";
  settings.TextAngleE = "90";
  for (int mode = 0; mode <= 6; ++mode) {
    settings.IntegrexMode = mode;
    EXPECT_NEAR(PrepareJob(settings).start.x, 3.14159265, 1e-8) << mode;
  }
  EXPECT_EQ(PrepareJob(settings).textAngleRad, kPi / 2);

  EngraveSettings g16;
  g16.IntegrexMode = 1;
  g16.PenDownE = "1";
  g16.Axis3E = "X";
  g16.Axis1E = "Y";
  g16.Axis2E = "Z";
  EXPECT_EQ(PrepareJob(g16).g16AxisMarker, DegreesAxis::Axis1);
  g16.Axis1E = "Z";
  g16.Axis2E = "Y";
  EXPECT_EQ(PrepareJob(g16).g16AxisMarker, DegreesAxis::Axis2);
  g16.Axis1E = "y";
  g16.Axis2E = "Z";
  EXPECT_EQ(PrepareJob(g16).g16AxisMarker, DegreesAxis::None);
  g16.IntegrexMode = 0;
  g16.Axis1E = "Y";
  EXPECT_EQ(PrepareJob(g16).g16AxisMarker, DegreesAxis::None);
}

TEST(PrepareJob, RefusesAnEmptyAxisLetter) {
  EngraveSettings settings;
  settings.Axis3E = "";
  EXPECT_THAT([&] { PrepareJob(settings); }, ThrowsMessage<Error>(HasSubstr("plunge axis")));
}

struct AxisTextCase {
  const char* axis1;
  const char* axis2;
  const char* axis3;
  const char* message;  // empty: the letters are taken
};

TEST(PrepareJob, TakesOnlyLettersAsAxes) {
  const AxisTextCase kCases[] = {
      {"X", "Y", "Z", ""},
      {"u", "v", "w", ""},
      {"X", "1", "Z", "Axis 2 must be a letter, not '1'"},
      {"-X", "Y", "Z", "Axis 1 must be a letter, not '-'"},
      {"X", ".", "Z", "Axis 2 must be a letter, not '.'"},
      {"X", "Y", " Z", "the plunge axis must be a letter, not the character of code 32"},
      {"X", "\nY", "Z", "Axis 2 must be a letter, not the character of code 10"},
      {"X", "Y", "\t", "the plunge axis must be a letter, not the character of code 9"},
      {"\xc3\xa9", "Y", "Z", "Axis 1 must be a letter, not the character of code 233"},
  };
  for (const AxisTextCase& axes : kCases) {
    SCOPED_TRACE(std::string(axes.axis1) + "|" + axes.axis2 + "|" + axes.axis3);
    EngraveSettings settings;
    settings.Axis1E = axes.axis1;
    settings.Axis2E = axes.axis2;
    settings.Axis3E = axes.axis3;
    if (*axes.message == '\0') {
      EXPECT_NO_THROW(PrepareJob(settings));
    } else {
      EXPECT_THAT([&] { PrepareJob(settings); }, ThrowsMessage<Error>(HasSubstr(axes.message)));
    }
  }
}

struct RadiusCase {
  int mode;
  const char* penDown;
  const char* written;  // nullptr: refused
};

// The G16 preamble writes the pen down level as a word of the program; other modes do not write
// it, so only G16 refuses a level no machine takes, and before the file is emptied.
TEST(FrameOf, RefusesAG16RadiusOutOfAMachinesRange) {
  const RadiusCase kCases[] = {
      {1, "2", "G00 C0.0\r\nG12.1\r\nG16 C2.0000\r\n"},
      {1, "2e9", nullptr},
      {1, "-1e300", nullptr},
      {0, "2e9", ""},
  };
  for (const RadiusCase& c : kCases) {
    SCOPED_TRACE(std::to_string(c.mode) + " " + c.penDown);
    EngraveSettings settings;
    settings.IntegrexMode = c.mode;
    settings.PenDownE = c.penDown;
    if (c.written == nullptr) {
      EXPECT_THAT([&] { FrameOf(settings); },
                  ThrowsMessage<Error>(HasSubstr("out of range for a machine")));
    } else {
      EXPECT_EQ(ToCrLf(FrameOf(settings).startBlock), c.written);
    }
  }
}

}  // namespace
}  // namespace stylor
