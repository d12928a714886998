#include "engrave/emitter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <vector>

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

TEST(EngraveLine, WritesOnePieceWithCrLf) {
  auto font = FontFromText(kLetterL);
  MemorySink sink;
  sink.Write("start\n");
  EngraveLine(sink, ExampleJob(), {}, 0, "", *font);
  EXPECT_EQ(sink.Bytes(), "start\r\nG00 X0.0000 Y0.0000 Z0.1000\r\n");
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
    job.feedRate = FeedRateOf(c.feedMode);
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
    job.mode = &LatheMillModeOf(c.mode);
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

TEST(EngraveLine, RotaryWordOfMinusZeroDegreesKeepsItsSign) {
  // The letter L started a hair below 0 degrees on a cylinder of radius 18.398 comes back to
  // -0 degrees: the position text "0.0000" of the length must not stand in for the degrees'
  // "-0.0000".
  auto font = FontFromText(kLetterL);
  PreparedJob job = ExampleJob();
  job.axis1 = 'Y';
  job.axis2 = 'C';
  job.penUp = 19.3;
  job.penDown = 18.398;
  job.textHeight = 0.5894;
  const Point2 start = {0, -0.00001 * 2 * kPi * 18.398 / 360};
  EXPECT_THAT(Moves(job, *font, "L", start), HasSubstr("\nG01 C-0.0000 F50.00\n"));
}

TEST(EngraveLine, InverseTimeWritesEveryFeedAndTimesPlunges) {
  auto font = FontFromText(kLetterL);
  PreparedJob job = ExampleJob();
  job.feedRate = FeedRate::InverseTime;
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
  g16.mode = &LatheMillModeOf(kModeG16);
  g16.penDown = 0;
  EXPECT_THAT([&] { Moves(g16, *font, "L"); }, ThrowsMessage<Error>(HasSubstr("pen down")));
  PreparedJob inverse = ExampleJob();
  inverse.feedRate = FeedRate::InverseTime;
  inverse.penUp = inverse.penDown;
  EXPECT_THAT([&] { Moves(inverse, *font, "L"); },
              ThrowsMessage<Error>(HasSubstr("Inverse Time Feed")));
  PreparedJob degrees = ExampleJob();
  degrees.feedRate = FeedRate::DegreesPerMinute;
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

// Reusing the moves of shared leading characters must give the bytes of engraving each text
// afresh: at the same place and elsewhere, shorter and longer, after a refusal too.
TEST(SerialEngraver, WritesWhatEachTextWritesAlone) {
  auto font = FontFromText("SYM 0\nG00 X0 Y0\nG01 Z-1\nG01 X0.5 Y1\nG00 Z1\n"
                           "SYM 1\nG00 X0.2 Y1\nG01 Z-1\nG01 X0.2 Y0\nG00 Z1\n"
                           "SYM 9\nG00 X0 Y0\nG01 Z-1\nG01 X0.6 Y0.6\nG00 Z1\n");
  PreparedJob job = ExampleJob();
  job.axis2 = 'C';  // the rotary words keep state from move to move
  job.penDown = 2;
  const struct {
    const char* text;
    Point2 start;
    double angle;
  } kTexts[] = {{"1099", {}, 0},  {"1100", {}, 0},   {"1101", {}, 0},   {"1101", {}, 0},
                {"11", {}, 0},    {"110199", {}, 0}, {"1100", {1, 0}, 0}, {"1101", {1, 0}, 0.5},
                {"", {1, 0}, 0.5}, {"1", {1, 0}, 0.5}};
  SerialEngraver engraver(job, *font);
  for (const auto& c : kTexts) {
    SCOPED_TRACE(c.text);
    std::string reused = "kept\n";
    engraver.Append(reused, c.start, c.angle, c.text);
    EXPECT_EQ(reused, "kept\n" + Moves(job, *font, c.text, c.start, c.angle));
  }
  PreparedJob far = job;
  far.start = {};
  SerialEngraver refusing(far, *font);
  std::string out;
  refusing.Append(out, {}, 0, "10");
  EXPECT_THAT([&] { refusing.Append(out, {2e9, 0}, 0, "10"); },
              ThrowsMessage<Error>(HasSubstr("out of range")));
  std::string after;
  refusing.Append(after, {}, 0, "19");
  EXPECT_EQ(after, Moves(far, *font, "19"));
}

// Lines built with CR LF are the bytes of the "\n" text turned afterwards: plain moves, the
// cutting options' own lines (dots with M codes), a run of numbers, and values on rounding ties.
TEST(EngraveLine, CrLfLinesAreTheTurnedText) {
  auto font = FontFromText("SYM L\nG00 X0 Y1\nG01 Z-1\nG01 X0 Y0\nG01 X0.6 Y0\nG00 Z1\n"
                           "SYM 1\nG00 X0.2 Y1\nG01 Z-1\nG01 X0.2 Y0\nG00 Z1\n");
  PreparedJob ties = ExampleJob();
  ties.textHeight = 0.00125;  // corners at 0.00125, 0.00075 and 0.00025: next to ties
  PreparedJob dots = ExampleJob();
  dots.cutting.dotPitch = 0.3;
  dots.cutting.dotStyle = 2;
  dots.cutting.dotCodeOn = 7;
  dots.cutting.dotCodeOff = 9;
  for (const PreparedJob& job : {ExampleJob(), ties, dots}) {
    for (const double angle : {0.0, 0.3}) {
      for (const char* text : {"L1L", "", "11"}) {
        SCOPED_TRACE(text);
        std::string crlf = "kept\r\n";
        AppendEngraveMoves(crlf, job, {0.1, 0}, angle, text, *font, LineEnd::CrLf);
        EXPECT_EQ(crlf, "kept\r\n" + ToCrLf(Moves(job, *font, text, {0.1, 0}, angle)));
      }
    }
    SerialEngraver serials(job, *font, LineEnd::CrLf);
    for (const char* text : {"11", "1L", "1L1"}) {
      EXPECT_EQ(serials.Engrave({}, 0, text), ToCrLf(Moves(job, *font, text)));
    }
  }
}

// Text with "\n" line ends and bytes with CR LF ones, mixed, reach every sink in order and as
// the one file they make; a piece larger than a chunk goes through as it is.
TEST(ProgramStore, TakesTextAndBytesInOrder) {
  const std::string large(200 * 1024, 'x');
  const auto feed = [&](ProgramSink& sink) {
    sink.Write("a\nb");
    sink.WriteBytes("c\r\nd\r\n");
    sink.WriteBytes(large + "\r\n");
    sink.Write("e\n");
  };
  const std::string expected = "a\r\nbc\r\nd\r\n" + large + "\r\ne\r\n";
  test::TempFolder dir;
  FileProgramStore files;
  MemoryProgramStore memory;
  for (const WriteMode mode : {WriteMode::Create, WriteMode::Append}) {
    const std::string name = mode == WriteMode::Create ? "new.eia" : "added.eia";
    for (ProgramStore* store : std::initializer_list<ProgramStore*>{&files, &memory}) {
      const std::unique_ptr<ProgramFile> file = store->Open(dir.File(name), mode);
      feed(*file);
      file->Commit();
    }
    EXPECT_EQ(test::ReadBytes(dir.File(name)), expected);
    EXPECT_EQ(memory.Bytes(dir.File(name)), expected);
  }
  MemorySink direct;
  feed(direct);
  EXPECT_EQ(direct.Bytes(), expected);
  MemorySink behind;
  ProgramText gathered(behind);
  gathered.Out() += "0\n";
  gathered.Bytes() += "1\r\n";
  feed(gathered);
  gathered.Flush();
  EXPECT_EQ(behind.Bytes(), "0\r\n1\r\n" + expected);
  CountingSink counted;
  feed(counted);
  EXPECT_EQ(counted.Bytes(), expected.size());
  // A sink that reads "\n" text gets the bytes with their CR LF turned back.
  struct TextSink final : ProgramSink {
    void Write(std::string_view text) override { text_ += text; }
    std::string text_;
  } text;
  feed(text);
  EXPECT_EQ(text.text_, "a\nbc\nd\n" + large + "\ne\n");
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
  // A device or a folder is no program file: writing to it would block or go nowhere.
  for (const WriteMode mode : {WriteMode::Create, WriteMode::Append}) {
    EXPECT_THAT([&] { files.Write("/dev/full", mode, "x\n"); },
                ThrowsMessage<Error>(HasSubstr("not a regular file")));
    EXPECT_THAT([&] { files.Write(dir.Path().string(), mode, "x\n"); },
                ThrowsMessage<Error>(HasSubstr("Is a directory")));
  }

  MemoryProgramStore memory;
  memory.Write("m", WriteMode::Append, "a\n");
  memory.Write("m", WriteMode::Append, "b\n");
  EXPECT_EQ(memory.Bytes("m"), "a\r\nb\r\n");
  memory.Write("m", WriteMode::Create, "");
  EXPECT_EQ(memory.Bytes("m"), "");
}

// A program reaches its file only when complete: until Commit the old program stays whole, and a
// program dropped half-way leaves neither a change nor a stray file in the folder.
TEST(ProgramStore, OldProgramStaysUntilCommit) {
  test::TempFolder dir;
  const std::string file = dir.Write("p.eia", "old\r\n");
  FileProgramStore store;
  for (const WriteMode mode : {WriteMode::Create, WriteMode::Append}) {
    const std::string before = test::ReadBytes(file);
    {
      const std::unique_ptr<ProgramFile> dropped = store.Open(file, mode);
      dropped->Write(std::string(300 * 1024, 'x') + "\n");  // past one chunk: on the disk
    }
    EXPECT_EQ(test::ReadBytes(file), before);
    const std::unique_ptr<ProgramFile> kept = store.Open(file, mode);
    kept->Write("new\n");
    EXPECT_EQ(test::ReadBytes(file), before);
    kept->Commit();
  }
  EXPECT_EQ(test::ReadBytes(file), "new\r\nnew\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// An appended program that outgrows memory waits in a temporary file and still arrives whole.
TEST(ProgramStore, LargeAppendArrivesWhole) {
  test::TempFolder dir;
  const std::string file = dir.Write("p.eia", "head\r\n");
  FileProgramStore store;
  const std::unique_ptr<ProgramFile> program = store.Open(file, WriteMode::Append);
  std::string expected = "head\r\n";
  for (int k = 0; k < 5000; ++k) {
    const std::string line = "G01 X" + std::to_string(k) + ".0000 Y" + std::string(80, '1');
    program->Write(line + "\n");
    expected += line + "\r\n";
  }
  program->Commit();
  EXPECT_TRUE(test::ReadBytes(file) == expected);
}

// The files of a series are named by the run: written only as regular files, committed as one,
// and a replaced file whose other name keeps the old program is told, once.
TEST(ProgramStore, ASeriesIsWrittenAsRegularFilesAndHardLinksAreTold) {
  test::TempFolder dir;
  const std::string victim = dir.Write("victim.txt", "keep\n");
  std::filesystem::create_symlink(victim, dir.File("S2.eia"));
  FileProgramStore store;
  EXPECT_THAT([&] { store.Open(dir.File("S2.eia"), WriteMode::CreateInSeries); },
              ThrowsMessage<Error>(HasSubstr("is a symbolic link, and the files of a run")));
  EXPECT_EQ(test::ReadBytes(victim), "keep\n");
  std::filesystem::remove(dir.File("S2.eia"));

  std::vector<std::unique_ptr<ProgramFile>> series;
  for (const char* name : {"S1.eia", "S2.eia", "S3.eia"}) {
    series.push_back(store.Open(dir.File(name), WriteMode::CreateInSeries));
    series.back()->Write(std::string(name) + "\n");
    series.back()->Finish();
  }
  store.CommitSeries(dir.Path().string() + "/", series);
  EXPECT_EQ(test::ReadBytes(dir.File("S3.eia")), "S3.eia\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4);

  ASSERT_EQ(link(dir.File("S1.eia").c_str(), dir.File("other.eia").c_str()), 0);
  store.Write(dir.File("S1.eia"), WriteMode::Create, "new\n");
  EXPECT_EQ(test::ReadBytes(dir.File("other.eia")), "S1.eia\r\n");
  EXPECT_THAT(store.TakeWarnings(),
              testing::ElementsAre("'" + dir.File("S1.eia") +
                                   "' had other names (hard links): they keep the old program"));
  EXPECT_TRUE(store.TakeWarnings().empty());
}

}  // namespace
}  // namespace stylor
