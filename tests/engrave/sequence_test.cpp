#include "engrave/layouts/sequence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <sstream>

#include "engrave/emitter.h"
#include "engrave/job_host.h"
#include "engrave/layouts/arc.h"
#include "engrave/prepared_job.h"
#include "engrave/program_store.h"
#include "support/font_text.h"
#include "support/temp_folder.h"
#include "support/job_host_double.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"

namespace stylor {
namespace {

using test::FakeJobHost;
using test::FontFromText;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::ThrowsMessage;

// Digits 0.5 wide; each ends its stroke at a height of its own, so the moves tell them apart.
std::string DigitFont() {
  std::string text;
  for (char d = '0'; d <= '9'; ++d) {
    text += "SYM ";
    text += d;
    text += "\nG00 X0 Y0\nG01 Z-1\nG01 X0.5 Y0.";
    text += d;
    text += "\nG00 Z1\n";
  }
  return text;
}

class SequenceTest : public testing::Test {
 protected:
  std::unique_ptr<StrokeFont> m_font = FontFromText(DigitFont());

  // The moves EngraveLine writes for `text` from `start` along the job's text angle, CR LF.
  std::string Moves(const EngraveSettings& settings, std::string_view text, Point2 start) const {
    const PreparedJob job = PrepareJob(settings);
    std::string out;
    AppendEngraveMoves(out, job, start, job.textAngleRad, text, *m_font);
    return ToCrLf(out);
  }
};

// The "N" lines of a program, in order.
std::vector<std::string> NumberLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("N")) lines.push_back(line.substr(0, line.size() - 1));
  }
  return lines;
}

struct SerialCase {
  const char* name;
  int digits;
  std::int32_t number;
  const char* prefix;
  const char* suffix;
  const char* text;
};

TEST(FormatSerial, PadsWithZerosLikeThePrintfWidth) {
  const SerialCase kCases[] = {
      {"NoDigits", 0, 1000, "", "", "1000"},
      {"SixDigits", 6, 1000, "", "", "001000"},
      {"MinusCountsInWidth", 5, -42, "", "", "-0042"},
      {"NeverCut", 2, 1000, "SN", "A", "SN1000A"},
      {"PrefixAndPadding", 4, 7, "#", "", "#0007"},
      {"SmallestNumber", 12, INT32_MIN, "", "", "-02147483648"},
      {"LargestNumber", 0, INT32_MAX, "", "", "2147483647"},
      // A negative width would make "%0-5d", a left-justified field padded with blanks.
      {"NegativeDigitsAsNone", -5, 42, "", "", "42"},
  };
  for (const SerialCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FormatSerial(c.digits, c.number, c.prefix, c.suffix), c.text);
  }
  // A damaged setting cannot ask for megabytes of zeros.
  EXPECT_EQ(FormatSerial(2000000000, 7, "", ""), std::string(63, '0') + "7");
}

TEST(SequenceExample, ShowsTheTwelfthNumberOfTheRun) {
  struct ExampleCase {
    const char* name;
    const char* start;
    const char* step;
    const char* digits;
    const char* prefix;
    const char* suffix;
    const char* label;
  };
  const ExampleCase kCases[] = {
      {"Defaults", "1000", "1", "0", "", "", "1011"},
      {"StepAsTypedZero", "1000", "0", "0", "", "", "1000"},
      {"StepAsTypedNegative", "1000", "-2", "0", "", "", "978"},
      {"DigitsAndAffixes", "7", "1", "4", "#", "/A", "#0018/A"},
      {"EightBitPrefix", "1", "1", "0", "\xC2\xB0", "", "\xC2\xB0" "12"},
      // Past the 32-bit range the label shows the number itself rather than a wrapped one.
      {"BeyondThirtyTwoBits", "2147483647", "1000", "0", "", "", "2147494647"},
      {"BelowThirtyTwoBits", "-2147483648", "-2147483648", "0", "", "", "-25769803776"},
  };
  for (const ExampleCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings;
    settings.SeqStart = c.start;
    settings.SeqStep = c.step;
    settings.SeqDigits = c.digits;
    settings.SeqPrefix = c.prefix;
    settings.SeqPostfix = c.suffix;
    EXPECT_EQ(SequenceExample(settings), c.label);
  }
}

TEST(SequenceExample, ReadsStartThenStepThenDigits) {
  EngraveSettings settings;
  settings.SeqStart = "";
  settings.SeqStep = "x";
  settings.SeqDigits = "y";
  EXPECT_THAT([&] { SequenceExample(settings); },
              ThrowsMessage<Error>("'' is not a valid integer value"));
  settings.SeqStart = "5";
  EXPECT_THAT([&] { SequenceExample(settings); },
              ThrowsMessage<Error>("'x' is not a valid integer value"));
  settings.SeqStep = "1";
  EXPECT_THAT([&] { SequenceExample(settings); },
              ThrowsMessage<Error>("'y' is not a valid integer value"));
}

TEST_F(SequenceTest, DefaultRunWritesElevenBlocksAtTheStartPoint) {
  EngraveSettings settings;
  FakeJobHost host;
  GenerateSequences(settings, *m_font, host);
  std::string expected;
  for (int n = 1000; n <= 1010; ++n) {
    expected += "N" + std::to_string(n) + "\r\n" + Moves(settings, std::to_string(n), {0, 0});
  }
  EXPECT_EQ(host.store.Bytes("job.eia"), expected);
  EXPECT_THAT(host.presets, ElementsAre("<kept>"));
  EXPECT_EQ(host.dialogFileName, "job.eia");  // "One File" leaves the chosen name
  EXPECT_EQ(SequenceExample(settings), "1011");
}

TEST_F(SequenceTest, StepsAndTheirLowerBound) {
  struct StepCase {
    const char* step;
    std::vector<std::string> numbers;
  };
  const StepCase kCases[] = {
      {"3", {"N1000", "N1003", "N1006", "N1009"}},
      {"10", {"N1000", "N1010"}},
      {"0", {"N1000", "N1001", "N1002", "N1003", "N1004", "N1005", "N1006", "N1007", "N1008",
             "N1009", "N1010"}},
      {"-4", {"N1000", "N1001", "N1002", "N1003", "N1004", "N1005", "N1006", "N1007", "N1008",
              "N1009", "N1010"}},
  };
  for (const StepCase& c : kCases) {
    SCOPED_TRACE(c.step);
    EngraveSettings settings;
    settings.SeqStep = c.step;
    FakeJobHost host;
    GenerateSequences(settings, *m_font, host);
    EXPECT_THAT(NumberLines(host.store.Bytes("job.eia")), ElementsAreArray(c.numbers));
  }
}

TEST_F(SequenceTest, RunStopsAtTheLargest32BitNumber) {
  struct BoundCase {
    const char* start;
    const char* end;
    const char* step;
    std::vector<std::string> numbers;
  };
  const BoundCase kCases[] = {
      {"2147483640", "2147483647", "5", {"N2147483640", "N2147483645"}},
      {"2147483646", "2147483647", "1", {"N2147483646", "N2147483647"}},
      {"0", "2147483647", "2147483647", {"N0", "N2147483647"}},
  };
  for (const BoundCase& c : kCases) {
    SCOPED_TRACE(c.start);
    EngraveSettings settings;
    settings.SeqStart = c.start;
    settings.SeqEnd = c.end;
    settings.SeqStep = c.step;
    FakeJobHost host;
    GenerateSequences(settings, *m_font, host);
    EXPECT_THAT(NumberLines(host.store.Bytes("job.eia")), ElementsAreArray(c.numbers));
  }
}

// A run without numbers would write an empty program, or no file at all: it is refused before
// the dialog, blocks or not.
TEST_F(SequenceTest, EndBelowStartIsNothingToEngrave) {
  EngraveSettings settings;
  settings.SeqStart = "20";
  settings.SeqEnd = "10";
  settings.PreToolChange = {"T1"};
  settings.PostEngrave = {"M30"};
  for (const int files : {0, 1}) {
    settings.Files = files;
    FakeJobHost host("/jobs/x.eia");
    EXPECT_THAT([&] { GenerateSequences(settings, *m_font, host); },
                ThrowsMessage<Error>(
                    "Nothing to engrave: the End of the run, 10, is below its Start, 20"));
    EXPECT_EQ(host.dialogs, 0);
    EXPECT_THAT(host.store.Files(), IsEmpty());
  }
}

// Every block carries an N label with its number, and a control refuses "N-3"; a run from 0 up
// is still written.
TEST_F(SequenceTest, RunBelowZeroIsRefusedBeforeTheDialog) {
  EngraveSettings settings;
  settings.SeqEnd = "1";
  for (const int files : {0, 1}) {
    settings.Files = files;
    settings.SeqStart = "-3";
    FakeJobHost host("/jobs/x.eia");
    EXPECT_THAT([&] { GenerateSequences(settings, *m_font, host); },
                ThrowsMessage<Error>(HasSubstr("The run starts at -3: each number's block is "
                                               "labelled N and the number, and a control "
                                               "refuses N-3")));
    EXPECT_EQ(host.dialogs, 0);
    EXPECT_THAT(host.store.Files(), IsEmpty());
    settings.SeqStart = "0";
    GenerateSequences(settings, *m_font, host);
    EXPECT_EQ(host.dialogs, 1);
    EXPECT_THAT(host.store.Files(), testing::Not(IsEmpty()));
  }
}

TEST_F(SequenceTest, ManyFilesNamesTakeTheFolderPrefixAndPlainNumber) {
  struct NameCase {
    const char* name;
    const char* start;
    const char* end;
    const char* chosen;
    const char* preset;
    std::vector<std::string> files;
    bool pad = false;
  };
  const NameCase kCases[] = {
      {"Typical", "1000", "1001", "/jobs/x.eia", "P1000.eia",
       {"/jobs/P1000.eia", "/jobs/P1001.eia"}},
      {"LeadingZerosOnlyInThePreset", "0100", "0101", "/jobs/x.eia", "P0100.eia",
       {"/jobs/P100.eia", "/jobs/P101.eia"}},
      {"NoFolderInTheChosenName", "0", "1", "x.txt", "P0.eia", {"P0.eia", "P1.eia"}},
      {"PaddedToTheWidestNumber", "8", "10", "/jobs/x.eia", "P08.eia",
       {"/jobs/P08.eia", "/jobs/P09.eia", "/jobs/P10.eia"}, true},
      {"PaddingKeepsTheTypedZerosOut", "0098", "0100", "/jobs/x.eia", "P098.eia",
       {"/jobs/P098.eia", "/jobs/P099.eia", "/jobs/P100.eia"}, true},
  };
  for (const NameCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings;
    settings.Files = 1;
    settings.FilePrefix = "P";
    settings.SeqStart = c.start;
    settings.SeqEnd = c.end;
    settings.PadFileNumbers = c.pad;
    FakeJobHost host(c.chosen);
    GenerateSequences(settings, *m_font, host);
    EXPECT_THAT(host.presets, ElementsAre(c.preset));
    std::vector<std::string> names;
    for (const auto& [name, bytes] : host.store.Files()) names.push_back(name);
    EXPECT_THAT(names, testing::UnorderedElementsAreArray(c.files));
    EXPECT_EQ(host.dialogFileName, "");
  }
}

TEST_F(SequenceTest, ManyFilesEachHoldOneStartBlockOneNumberAndOneEndBlock) {
  EngraveSettings settings;
  settings.Files = 1;
  settings.FilePrefix = "P";
  settings.SeqEnd = "1001";
  settings.PreToolChange = {"T1 M06"};
  settings.PostEngrave = {"M30"};
  settings.SeqPreGCodes = {"G04 P1", ""};
  settings.SeqPostGCodes = {"M01"};
  FakeJobHost host("/jobs/x.eia");
  host.store.Write("/jobs/P1000.eia", WriteMode::Create, "old program\n");
  GenerateSequences(settings, *m_font, host);
  for (const char* n : {"1000", "1001"}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(host.store.Bytes(std::string("/jobs/P") + n + ".eia"),
              std::string("T1 M06\r\nN") + n + "\r\nG04 P1\r\n\r\n" +
                  Moves(settings, n, {0, 0}) + "M01\r\nM30\r\n");
  }
}

TEST_F(SequenceTest, OneFileFramesTheWholeRunOnce) {
  EngraveSettings settings;
  settings.SeqEnd = "1001";
  settings.PreToolChange = {"T1 M06"};
  settings.PostEngrave = {"M30"};
  settings.SeqPreGCodes = {"G04 P1"};
  settings.SeqPostGCodes = {"M01"};
  FakeJobHost host;
  GenerateSequences(settings, *m_font, host);
  EXPECT_EQ(host.store.Bytes("job.eia"),
            "T1 M06\r\nN1000\r\nG04 P1\r\n" + Moves(settings, "1000", {0, 0}) +
                "M01\r\nN1001\r\nG04 P1\r\n" + Moves(settings, "1001", {0, 0}) + "M01\r\nM30\r\n");
}

TEST_F(SequenceTest, SerialTextIsEngravedNotTheNLine) {
  EngraveSettings settings;
  settings.SeqStart = "7";
  settings.SeqEnd = "7";
  settings.SeqDigits = "4";
  settings.SeqPrefix = "#";
  FakeJobHost host;
  GenerateSequences(settings, *m_font, host);
  EXPECT_EQ(host.store.Bytes("job.eia"), "N7\r\n" + Moves(settings, "#0007", {0, 0}));
}

TEST_F(SequenceTest, StraightNumbersAreJustifiedAboutTheStartPoint) {
  struct JustifyCase {
    int justification;
    Point2 start;
  };
  // "10" is 0.5 + 0.35 + 0.5 = 1.35 text heights wide.
  const JustifyCase kCases[] = {
      {0, {2, 1}}, {1, {2 - 0.675, 1}}, {2, {2 - 1.35, 1}}, {-1, {2, 1}}, {5, {2, 1}}};
  for (const JustifyCase& c : kCases) {
    SCOPED_TRACE(c.justification);
    EngraveSettings settings;
    settings.TextHeightE = "1";
    settings.Axis1StartE = "2";
    settings.Axis2StartE = "1";
    settings.SeqStart = "10";
    settings.SeqEnd = "10";
    settings.Justification = c.justification;
    FakeJobHost host;
    GenerateSequences(settings, *m_font, host);
    EXPECT_EQ(host.store.Bytes("job.eia"), "N10\r\n" + Moves(settings, "10", c.start));
  }
}

TEST_F(SequenceTest, ArcSettingsPutEachNumberOnTheCircle) {
  EngraveSettings settings;
  settings.UseArcSettings = true;
  settings.TextHeightE = ".5";
  settings.SpacingRatioE = "1.2";
  settings.RadiusE = "1";
  settings.TextAngleE = "90";
  settings.Justification = 1;
  settings.SeqEnd = "1001";
  const ArcLayout kClockwise{1, -1, -kPi / 2};
  // Counter-clockwise numbers sit one height further out; the spacing ratio stays as typed.
  const ArcLayout kCounter{1.5, 1, kPi / 2};
  for (int direction : {0, 1}) {
    SCOPED_TRACE(direction);
    settings.Direction = direction;
    FakeJobHost host;
    GenerateSequences(settings, *m_font, host);
    const PreparedJob job = PrepareJob(settings);
    std::string expected;
    for (const char* n : {"1000", "1001"}) {
      expected += std::string("N") + n + "\n";
      AppendArcMoves(expected, job, job.start, job.textAngleRad, n,
                     direction == 0 ? kClockwise : kCounter, TextAlignment::Centre, *m_font);
    }
    EXPECT_EQ(host.store.Bytes("job.eia"), ToCrLf(expected));
  }
}

TEST_F(SequenceTest, RefusesBeforeTheDialog) {
  struct RefusalCase {
    const char* name;
    void (*change)(EngraveSettings&);
    const char* message;
  };
  const RefusalCase kCases[] = {
      {"StartNotANumber", [](EngraveSettings& s) { s.SeqStart = "1e3"; },
       "'1e3' is not a valid integer value"},
      {"EndNotANumber", [](EngraveSettings& s) { s.SeqEnd = ""; },
       "'' is not a valid integer value"},
      {"StepNotANumber", [](EngraveSettings& s) { s.SeqStep = "one"; },
       "'one' is not a valid integer value"},
      {"DigitsNotANumber", [](EngraveSettings& s) { s.SeqDigits = "x"; },
       "'x' is not a valid integer value"},
      {"RadiusNotANumber",
       [](EngraveSettings& s) {
         s.UseArcSettings = true;
         s.RadiusE = "r";
       },
       "'r' is not a valid floating point value"},
      {"ZeroRadiusClockwise",
       [](EngraveSettings& s) {
         s.UseArcSettings = true;
         s.RadiusE = "0";
       },
       "The radius must not be 0"},
      {"MinusHeightCounterClockwise",
       [](EngraveSettings& s) {
         s.UseArcSettings = true;
         s.Direction = 1;
         s.RadiusE = "-.125";
       },
       "other than minus the text height"},
  };
  for (const RefusalCase& c : kCases) {
    SCOPED_TRACE(c.name);
    for (int files : {0, 1}) {
      EngraveSettings settings;
      settings.Files = files;
      c.change(settings);
      FakeJobHost host;
      EXPECT_THAT([&] { GenerateSequences(settings, *m_font, host); },
                  ThrowsMessage<Error>(HasSubstr(c.message)));
      EXPECT_EQ(host.dialogs, 0);
      EXPECT_THAT(host.store.Files(), IsEmpty());
    }
  }
  // The radius is not read without "Use Arc Settings", and a counter-clockwise radius of 0
  // puts the numbers on the circle of one text height.
  EngraveSettings settings;
  settings.RadiusE = "r";
  FakeJobHost straight;
  GenerateSequences(settings, *m_font, straight);
  EXPECT_EQ(NumberLines(straight.store.Bytes("job.eia")).size(), 11u);
  settings.UseArcSettings = true;
  settings.Direction = 1;
  settings.RadiusE = "0";
  FakeJobHost counter;
  GenerateSequences(settings, *m_font, counter);
  EXPECT_EQ(NumberLines(counter.store.Bytes("job.eia")).size(), 11u);
}

TEST_F(SequenceTest, RefusesAWidthPastItsCapAndAControlCharacterInThePrefix) {
  EngraveSettings settings;
  settings.SeqDigits = "64";
  FakeJobHost widest;
  GenerateSequences(settings, *m_font, widest);
  settings.SeqDigits = "65";
  FakeJobHost host;
  EXPECT_THAT([&] { GenerateSequences(settings, *m_font, host); },
              ThrowsMessage<Error>(HasSubstr("The number of digits (SeqDigits) is 65; a serial "
                                             "number is padded to at most 64 digits")));
  settings.SeqDigits = "4";
  settings.Files = 1;
  for (const char* prefix : {"SN\n", "\x1b", "a\x7f"}) {
    settings.FilePrefix = prefix;
    EXPECT_THAT([&] { GenerateSequences(settings, *m_font, host); },
                ThrowsMessage<Error>(HasSubstr("The File Name Prefix (FilePrefix) holds ")));
  }
  EXPECT_EQ(host.dialogs, 0);
  // One File does not name files by the prefix.
  settings.Files = 0;
  GenerateSequences(settings, *m_font, host);
}

// Every character the run's numbers write, by formatting each of them.
std::string EveryCharacter(const SequenceJob& run) {
  std::string seen;
  for (std::int64_t k = 0; k < run.Count(); ++k) {
    for (const char c : FormatSerial(run.digits, run.Number(k), "", "")) {
      if (seen.find(c) == std::string::npos) seen += c;
    }
  }
  std::sort(seen.begin(), seen.end());
  return seen;
}

TEST(SerialRunCharacters, NamesEveryDigitPaddingZeroAndSignOfTheRun) {
  const auto of = [](const char* start, const char* end, const char* step, const char* digits) {
    EngraveSettings settings;
    settings.SeqStart = start, settings.SeqEnd = end, settings.SeqStep = step;
    settings.SeqDigits = digits;
    return PrepareSequenceJob(settings);
  };
  const auto sorted = [](std::string text) {
    std::sort(text.begin(), text.end());
    return text;
  };
  EXPECT_EQ(sorted(SerialRunCharacters(of("1002", "1009", "1", "0"))), "0123456789");
  EXPECT_EQ(sorted(SerialRunCharacters(of("11", "11", "1", "6"))), "01");
  EXPECT_EQ(sorted(SerialRunCharacters(of("-3", "-1", "1", "0"))), "-123");
  EXPECT_EQ(sorted(SerialRunCharacters(of("5", "5", "1", "0"))), "5");
  // A run of a billion: the digits are found at its start, the sign of its end.
  EXPECT_EQ(sorted(SerialRunCharacters(of("-1000000000", "1000000000", "2", "0"))),
            "-0123456789");
  EXPECT_EQ(sorted(SerialRunCharacters(of("0", "2000000000", "1", "0"))), "0123456789");
  // Runs of every length up to a few hundred numbers, steps small and large, both signs.
  std::uint64_t seed = 12345;
  const auto next = [&seed](std::int64_t below) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::int64_t>((seed >> 33) % static_cast<std::uint64_t>(below));
  };
  for (int trial = 0; trial < 3000; ++trial) {
    const std::int64_t step = 1 + (trial % 3 == 0 ? next(10) : next(trial % 3 == 1 ? 1000 : 5000000));
    const std::int64_t count = 1 + next(400);
    const std::int64_t first = next(2000000000) - 1000000000;
    if (first + (count - 1) * step > INT32_MAX) continue;
    const std::string start = std::to_string(first);
    const std::string end = std::to_string(first + (count - 1) * step);
    const std::string digits = std::to_string(next(12));
    const SequenceJob run = of(start.c_str(), end.c_str(), std::to_string(step).c_str(),
                               digits.c_str());
    SCOPED_TRACE(start + ".." + end + " step " + std::to_string(step) + " digits " + digits);
    ASSERT_EQ(sorted(SerialRunCharacters(run)), EveryCharacter(run));
  }
}

TEST_F(SequenceTest, CancelledDialogWritesNothing) {
  for (int files : {0, 1}) {
    SCOPED_TRACE(files);
    EngraveSettings settings;
    settings.Files = files;
    FakeJobHost host(std::nullopt);
    host.dialogFileName = "earlier.eia";
    GenerateSequences(settings, *m_font, host);
    EXPECT_EQ(host.dialogs, 1);
    EXPECT_THAT(host.store.Files(), IsEmpty());
    // "Many Files" empties the dialog's name even when cancelled.
    EXPECT_EQ(host.dialogFileName, files == 0 ? "earlier.eia" : "");
  }
}

TEST_F(SequenceTest, FileThatCannotBeCreatedStopsTheRunNamesItAndWritesNoFile) {
  test::TempFolder dir;
  EngraveSettings settings;
  settings.Files = 1;
  settings.FilePrefix = "P";
  settings.SeqEnd = "1002";
  settings.PreToolChange = {"T1"};
  settings.PostEngrave = {"M30"};
  // A folder where the second program should go: that file cannot be opened.
  std::filesystem::create_directory(dir.Path() / "P1001.eia");
  test::FakeJobHost host(dir.File("x.eia"));
  host.onDisk = true;
  EXPECT_THAT([&] { GenerateSequences(settings, *m_font, host); },
              ThrowsMessage<Error>(HasSubstr("'" + dir.File("P1001.eia") + "'")));
  // The programs go in place together: the one before the fault is not left as a partial run.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_THAT(names, testing::ElementsAre("P1001.eia"));

  // The dialog chooses the folder; a folder in the prefix would be put into the path twice.
  settings.FilePrefix = "missing/P";
  test::FakeJobHost missing(dir.File("y.eia"));
  missing.onDisk = true;
  EXPECT_THAT([&] { GenerateSequences(settings, *m_font, missing); },
              ThrowsMessage<Error>(
                  HasSubstr("The File Name Prefix 'missing/P' must not hold a folder")));
}

}  // namespace
}  // namespace stylor
