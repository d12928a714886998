#include "engrave/emitter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engrave/program_store.h"
#include "support/font_text.h"
#include "support/temp_folder.h"
#include "settings/error.h"

namespace stylor {
namespace {

using test::FontFromText;
using testing::HasSubstr;
using testing::ThrowsMessage;

constexpr const char* kLetterL =
    "SYM L\nG00 X0 Y1\nG01 Z-1\nG01 X0 Y0\nG01 X0.6 Y0\nG00 Z1\n";

PreparedJob ExampleJob() {
  PreparedJob job;
  job.textHeight = 1;
  job.widthRatio = 1;
  job.spacingRatio = 1;
  job.penUp = 0.1;
  job.penDown = -0.01;
  job.engraveFeed = 50;
  job.plungeFeed = 25;
  return job;
}

std::string Moves(const PreparedJob& job, const StrokeFont& font, std::string_view text,
                  Point2 start = {}, double angle = 0) {
  std::string out;
  AppendEngraveMoves(out, job, start, angle, text, font);
  return out;
}

TEST(RotatePoint, TurnsCounterClockwiseThenMoves) {
  const Point2 p = RotatePoint(1, 0, kPi / 2, 2, 3);
  EXPECT_NEAR(p.x, 2, 1e-15);
  EXPECT_EQ(p.y, 4);
}

TEST(EngraveLine, WritesTheTwoLetterExample) {
  auto font = FontFromText(kLetterL);
  EXPECT_EQ(Moves(ExampleJob(), *font, "LL"),
            "G00 X0.0000 Y0.0000 Z0.1000\n"
            "G00 Y1.0000\n"
            "G01 Z-0.0100 F25.00\n"
            "G01 Y0.0000 F50.00\n"
            "G01 X0.6000\n"
            "G00 Z0.1000\n"
            "G00 X0.9500 Y1.0000\n"
            "G01 Z-0.0100 F25.00\n"
            "G01 Y0.0000 F50.00\n"
            "G01 X1.5500\n"
            "G00 Z0.1000\n");
}

TEST(EngraveLine, AppendsOneWriteWithCrLfToTheFile) {
  auto font = FontFromText(kLetterL);
  test::TempFolder dir;
  const std::string file = dir.Write("job.eia", "start\r\n");
  FileProgramStore store;
  EngraveLine(store, file, ExampleJob(), {}, 0, "", *font);
  EXPECT_EQ(test::ReadBytes(file), "start\r\nG00 X0.0000 Y0.0000 Z0.1000\r\n");
}

struct FeedCase {
  const char* name;
  int feedMode;
  const char* line;
};

TEST(EngraveLine, RotaryAxisInTheThreeFeedModes) {
  // Pen down 2 is a cylinder of circumference 4 pi: a length of 1 is 28.6479 degrees.
  auto font = FontFromText("SYM 1\nG01 X1 Y0\n");
  const FeedCase kCases[] = {
      {"IpmMmpm", 0, "G01 A28.6479 F50.00\n"},
      {"DegreesPerMin", 1, "G01 A28.6479 F1432.39\n"},
      {"InverseTime", 2, "G01 A28.6479 F50.00\n"},
  };
  for (const FeedCase& c : kCases) {
    SCOPED_TRACE(c.name);
    PreparedJob job = ExampleJob();
    job.axis1 = 'A';
    job.penDown = 2;
    job.feedMode = c.feedMode;
    EXPECT_EQ(Moves(job, *font, "1"), std::string("G00 A0.0000 Y0.0000 Z0.1000\n") + c.line);
  }
}

struct ModeCase {
  const char* name;
  int mode;
  char axis1;
  const char* fontText;
  Point2 start;
  const char* expected;
};

TEST(EngraveLine, LatheMillModes) {
  const ModeCase kCases[] = {
      // Degrees above one turn come back by whole turns; the opening move is not reduced.
      {"RotaryReducedAbove360", 0, 'C', "SYM 1\nG01 X0.5 Y0\n", {4.1 * kPi, 0},
       "G00 C369.0000 Y0.0000 Z0.1000\nG01 C23.3239 F50.00\n"},
      {"RotaryNegativeKept", 0, 'C', "SYM 1\nG01 X-1 Y0\n", {},
       "G00 C0.0000 Y0.0000 Z0.1000\nG01 C-28.6479 F50.00\n"},
      {"G121WritesLengths", 3, 'C', "SYM 1\nG01 X1 Y0\n", {},
       "G00 C0.0000 Y0.0000 Z0.1000\nG01 C1.0000 F50.00\n"},
      {"G071RapidBecomesFeed200", 2, 'X', "SYM 1\nG00 X1 Y0\nG01 X2 Y0\nG00 X3 Y0\n", {},
       "G00 X0.0000 Y0.0000 Z0.1000\nG01 X1.0000 F200.00\nG01 X2.0000 F50.00\n"
       "G01 X3.0000 F200.00\n"},
      {"OkumaDirectionCodes", 6, 'C', "SYM 1\nG01 X1 Y0\nG01 X2 Y0\nG01 X1 Y1\nG01 X1 Y0\n", {},
       "G00 C0.0000 Y0.0000 Z0.1000\nG01 C28.6479 F50.00 M15\nG01 C57.2958\n"
       "G01 C28.6479 Y1.0000 M16\nG01 Y0.0000\n"},
      // Mode 1 takes whole turns off Axis 1, counted from the position before the move.
      // The cut over the seam stays whole; the next move is written within the first turn.
      {"G16TurnsOffAxis1", 1, 'Y', "SYM 1\nG01 X1 Y0\nG01 X2 Y0\nG01 X1 Y0\n", {4 * kPi - 0.5, 0},
       "G00 Y12.0664 Y0.0000 Z0.1000\nG01 Y13.0664 F50.00\nG01 Y1.5000\nG01 Y0.5000\n"},
  };
  for (const ModeCase& c : kCases) {
    SCOPED_TRACE(c.name);
    auto font = FontFromText(c.fontText);
    PreparedJob job = ExampleJob();
    job.axis1 = c.axis1;
    job.penDown = 2;
    job.latheMillMode = c.mode;
    EXPECT_EQ(Moves(job, *font, "1", c.start), c.expected);
  }
}

TEST(EngraveLine, LeavesOutUnchangedWordsAndCompareNegativeZeroAsZero) {
  auto font = FontFromText("SYM 1\nG01 X0 Y0\nG01 X0 Y1\nG01 X0.00004 Y1\nG00 X1 Y1\n");
  EXPECT_EQ(Moves(ExampleJob(), *font, "1"),
            "G00 X0.0000 Y0.0000 Z0.1000\nG01 Y1.0000 F50.00\nG00 X1.0000\n");
  // At 90 degrees the X values land near -0.0000: no word for the change, the sign when written.
  auto turned = FontFromText("SYM 1\nG01 X0 Y0\nG01 X0 Y1\nG01 X1 Y1\n");
  EXPECT_EQ(Moves(ExampleJob(), *turned, "1", {}, kPi / 2),
            "G00 X0.0000 Y0.0000 Z0.1000\nG01 X-1.0000 F50.00\nG01 Y1.0000\n");
}

TEST(EngraveLine, InverseTimeWritesEveryFeedAndTimesPlunges) {
  auto font = FontFromText(kLetterL);
  PreparedJob job = ExampleJob();
  job.feedMode = 2;
  EXPECT_EQ(Moves(job, *font, "L"),
            "G00 X0.0000 Y0.0000 Z0.1000\n"
            "G00 Y1.0000\n"
            "G01 Z-0.0100 F227.27\n"
            "G01 Y0.0000 F50.00\n"
            "G01 X0.6000 F83.33\n"
            "G00 Z0.1000\n");
}

TEST(EngraveLine, EmptyGlyphsAndHighCodesOnlyAdvance) {
  auto font = FontFromText(kLetterL);
  EXPECT_EQ(Moves(ExampleJob(), *font, "??"), "G00 X0.0000 Y0.0000 Z0.1000\n");
  // "\xE9L": the L starts one empty advance (0.35) along.
  EXPECT_THAT(Moves(ExampleJob(), *font, "\xE9L"), HasSubstr("G00 X0.3500 Y1.0000\n"));
}

TEST(EngraveLine, RefusesValuesThatWouldDivideByZeroOrOverflow) {
  auto font = FontFromText(kLetterL);
  PreparedJob rotary = ExampleJob();
  rotary.axis1 = 'B';
  rotary.penDown = 0;
  EXPECT_THAT([&] { Moves(rotary, *font, "L"); }, ThrowsMessage<Error>(HasSubstr("radius")));
  PreparedJob g16 = ExampleJob();
  g16.latheMillMode = 1;
  g16.penDown = 0;
  EXPECT_THAT([&] { Moves(g16, *font, "L"); }, ThrowsMessage<Error>(HasSubstr("pen down")));
  PreparedJob inverse = ExampleJob();
  inverse.feedMode = 2;
  inverse.penUp = inverse.penDown;
  EXPECT_THAT([&] { Moves(inverse, *font, "L"); },
              ThrowsMessage<Error>(HasSubstr("Inverse Time Feed")));
  PreparedJob degrees = ExampleJob();
  degrees.feedMode = 1;
  degrees.engraveFeed = 0;
  EXPECT_THAT([&] { Moves(degrees, *font, "L"); },
              ThrowsMessage<Error>(HasSubstr("Degrees Per Min")));
  PreparedJob huge = ExampleJob();
  huge.textHeight = 1e300;
  std::string out = "kept\n";
  EXPECT_THAT([&] { AppendEngraveMoves(out, huge, {}, 0, "L", *font); },
              ThrowsMessage<Error>(HasSubstr("out of range")));
  EXPECT_EQ(out, "kept\n");
}

TEST(ProgramStore, WritesCrLfAndNamesFilesItCannotWrite) {
  test::TempFolder dir;
  FileProgramStore files;
  const std::string file = dir.File("p.eia");
  files.Write(file, WriteMode::Append, "a\n");
  files.Write(file, WriteMode::Append, "b\nc");
  EXPECT_EQ(test::ReadBytes(file), "a\r\nb\r\nc");
  files.Write(file, WriteMode::Create, "");
  EXPECT_EQ(test::ReadBytes(file), "");
  const std::string missing = dir.File("no/such/dir.eia");
  EXPECT_THAT([&] { files.Write(missing, WriteMode::Create, "x"); },
              ThrowsMessage<Error>(AllOf(HasSubstr(missing), HasSubstr("No such file"))));
  EXPECT_THAT([&] { files.Write("/dev/full", WriteMode::Append, "x\n"); },
              ThrowsMessage<Error>(HasSubstr("No space left")));

  MemoryProgramStore memory;
  memory.Write("m", WriteMode::Append, "a\n");
  memory.Write("m", WriteMode::Append, "b\n");
  EXPECT_EQ(memory.Bytes("m"), "a\r\nb\r\n");
  memory.Write("m", WriteMode::Create, "");
  EXPECT_EQ(memory.Bytes("m"), "");
}

}  // namespace
}  // namespace stylor
