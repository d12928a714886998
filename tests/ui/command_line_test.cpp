#include "ui/cli/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include "support/font_text.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

class CommandLineTest : public testing::Test {
 protected:
  CommandLineTest() { Write("BasicFont.fnt", test::kLetterLFont); }

  void Write(const std::string& name, const std::string& bytes) { folder.Write(name, bytes); }
  std::string Read(const std::string& name) { return test::ReadBytes(folder.File(name)); }
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--dir", dir});
    out.str("");
    err.str("");
    return RunCommandLine(args, out, err);
  }

  test::TempFolder folder{"stylor-cli"};
  std::string dir = folder.Path().string();
  std::ostringstream out, err;
};

TEST_F(CommandLineTest, WritesTheWholeProgramToTheByte) {
  ASSERT_EQ(Run({"--set", "FreeFormTextE=LL\n", "--set", "TextHeightE=1", "--set", "PenUpE=0.1",
                 "--set", "PenDownE=-0.01", "--set", "PreToolChange=T1 M6\n", "--set",
                 "PostEngrave=M30", "text", dir + "/ll.eia"}),
            0)
      << err.str();
  EXPECT_EQ(Read("ll.eia"),
            "T1 M6\r\n"
            "G00 X0.0000 Y0.0000 Z0.1000\r\nG00 Y1.0000\r\nG01 Z-0.0100 F25.00\r\n"
            "G01 Y0.0000 F50.00\r\nG01 X0.6000\r\nG00 Z0.1000\r\nG00 X0.9500 Y1.0000\r\n"
            "G01 Z-0.0100 F25.00\r\nG01 Y0.0000 F50.00\r\nG01 X1.5500\r\nG00 Z0.1000\r\n"
            "M30\r\n");
  EXPECT_EQ(out.str(), "");
}

TEST_F(CommandLineTest, LatheMillModeAndAppendStatesBuildOneProgram) {
  const std::string file = dir + "/job.eia";
  // G16 turns the cylinder: the pen down level is its radius.
  ASSERT_EQ(Run({"--set", "IntegrexMode=1", "--set", "IntegrexHead=1", "--set", "AppendMode=1",
                 "--set", "PenDownE=0.5", "--set", "PenUpE=0.6", "--set", "FreeFormTextE=L",
                 "text", file, "show", "Axis1E", "show", "PreEngraveW", "show", "PostEngraveW"}),
            0)
      << err.str();
  EXPECT_EQ(out.str(), "Y\n1\n0\n");
  ASSERT_EQ(Run({"--set", "IntegrexMode=1", "--set", "AppendMode=3", "--set", "PenDownE=0.5",
                 "--set", "PenUpE=0.6", "--set", "FreeFormTextE=L", "text", file}),
            0);
  const std::string program = Read("job.eia");
  EXPECT_THAT(program, testing::StartsWith("G110C2\r\nG00 C0.0\r\nG12.1\r\nG16 C0.5000\r\n"
                                           "G00 Y0.0000 Z0.0000 X0.6000\r\n"));
  EXPECT_THAT(program, testing::EndsWith("X0.6000\r\nG13.1\r\n"));
  EXPECT_EQ(std::count(program.begin(), program.end(), '\n'), 4 + 6 + 6 + 1);  // blocks and two jobs of one L
}

TEST_F(CommandLineTest, PrintsFieldsLabelsAndTheFontReport) {
  ASSERT_EQ(Run({"--set", "TextHeightE=1", "--set", "FreeFormTextE=x\nLL", "width", "show",
                 "FreeFormTextE", "show", "FontFile", "font-report", "--set", "EngraveFeedE=75",
                 "show", "PlungeFeedE"}),
            0);
  EXPECT_EQ(out.str(), "1.55\nx\nLL\n" + dir + "/BasicFont.fnt\n" +
                           "SYM-\n"
                           "SYM-L: Moves:005 minX:0.000000 minY:0.000000 maxX:0.600000 "
                           "maxY:1.000000\n37\n");
}

// Characters the font lacks leave a blank and a warning on stderr, but the job is done: status 0.
// The report names 8-bit characters in UTF-8, as the terminal shows them.
TEST_F(CommandLineTest, WarnsOfCharactersTheFontLacksAndStillSucceeds) {
  Write("deg.fnt", std::string(test::kLetterLFont) + "SYM \xB0\nG00 X0 Y1\nG01 Z-1\nG00 Z1\n");
  ASSERT_EQ(Run({"--font", dir + "/deg.fnt", "font-report", "--set",
                 "FreeFormTextE=L\u00B0 \u00D8L \u00B1\u00D8", "text", dir + "/a.eia"}),
            0);
  // The empty start block is warned of after it.
  EXPECT_THAT(err.str(), StartsWith("Stylor: No glyph in deg.fnt for: \u00D8 \u00B1\n"
                                    "Stylor: warning: The start block is empty"));
  EXPECT_THAT(out.str(), HasSubstr("SYM-\u00B0: Moves:003"));
  EXPECT_FALSE(Read("a.eia").empty());
  ASSERT_EQ(Run({"--font", dir + "/deg.fnt", "--set", "FreeFormTextE=L\u00B0 L", "text",
                 dir + "/b.eia"}),
            0);
  EXPECT_THAT(err.str(), Not(HasSubstr("No glyph")));
}

// A machinist's line in the default face: every character but the blanks is cut, and nothing is
// reported missing.
TEST_F(CommandLineTest, TheDefaultFaceCutsEveryCharacterOfADimensionLine) {
  const std::string font = std::string(STYLOR_SOURCE_DIR) + "/fonts/BasicFont.fnt";
  const std::string line = "\u00D825 \u00B10.05 90\u00B0";
  ASSERT_EQ(Run({"--font", font, "--set", "FreeFormTextE=" + line, "text", dir + "/line.eia"}), 0);
  EXPECT_THAT(err.str(), Not(HasSubstr("No glyph")));
  for (const std::string character :
       {"\u00D8", "2", "5", "\u00B1", "0", ".", "5", "9", "\u00B0"}) {
    SCOPED_TRACE(character);
    ASSERT_EQ(Run({"--font", font, "--set", "FreeFormTextE=" + character, "text",
                   dir + "/one.eia"}),
              0);
    EXPECT_THAT(Read("one.eia"), HasSubstr("G01 Z-"));
  }
}

TEST_F(CommandLineTest, AFailedActionStopsWithStatusOneAndKeepsWhatWasDone) {
  EXPECT_EQ(Run({"show", "TextHeightE", "--set", "TextHeightE=1,5", "text", dir + "/x.eia",
                 "show", "TextHeightE"}),
            1);
  EXPECT_EQ(out.str(), ".125\n");
  EXPECT_EQ(err.str(), "Stylor: '1,5' is not a valid floating point value.\n");
  EXPECT_FALSE(fs::exists(dir + "/x.eia"));

  // A change rule's error is shown and the run goes on, to end in status 1.
  EXPECT_EQ(Run({"--set", "EngraveFeedE=7,5", "show", "PlungeFeedE"}), 1);
  EXPECT_EQ(err.str(), "Stylor: '7,5' is not a valid floating point value.\n");
  EXPECT_EQ(out.str(), "25\n");

  EXPECT_EQ(Run({"--set", "FreeFormTextE=L", "text", dir + "/missing/x.eia"}), 1);
  EXPECT_THAT(err.str(), HasSubstr("No such file or directory"));
}

// A job that needs a program file refuses a folder by name instead of writing a file of its own
// choosing into it; Many Files still writes its programs into one.
TEST_F(CommandLineTest, AFolderIsNoProgramFileButTakesManyFiles) {
  fs::create_directory(dir + "/out");
  for (const char* job : {"text", "arc", "ellipse"}) {
    SCOPED_TRACE(job);
    EXPECT_EQ(Run({"--set", "FreeFormTextE=L", "--set", "ArcTextE=L", "--set", "EllipseTextE=L",
                   job, dir + "/out"}),
              1);
    EXPECT_THAT(err.str(), HasSubstr("'" + dir + "/out': Is a directory"));
  }
  EXPECT_TRUE(fs::is_empty(dir + "/out"));
  EXPECT_EQ(Run({"--set", "Files=1", "--set", "SeqEnd=1001", "--set", "FilePrefix=S", "sequence",
                 dir + "/out"}),
            0)
      << err.str();
  EXPECT_TRUE(fs::exists(dir + "/out/S1000.eia") && fs::exists(dir + "/out/S1001.eia"));
}

// An error shown while the run goes on still ends the run with status 1, so a script notices.
TEST_F(CommandLineTest, AnErrorShownOnTheWayEndsInStatusOne) {
  EXPECT_EQ(Run({"--set", "EngraveFeedE=12x", "--set", "EngraveFeedE=50", "--set",
                 "FreeFormTextE=L", "text", dir + "/a.eia"}),
            1);
  EXPECT_THAT(err.str(), HasSubstr("'12x' is not a valid floating point value"));
  EXPECT_THAT(Read("a.eia"), HasSubstr("G01"));
}

// A default.mch that does not load stops the run before its first action: a program written
// with the factory set-up would lack the machine's own blocks and feeds.
TEST_F(CommandLineTest, ADefaultMachineFileThatDoesNotLoadRunsNothing) {
  Write("a.eia", "old program\r\n");
  Write("default.mch", "not a machine file\n");
  EXPECT_EQ(Run({"show", "TextHeightE", "--set", "FreeFormTextE=L", "text", dir + "/a.eia"}), 1);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "Stylor: The file '" + dir +
                           "/default.mch' is not a machine file: its first line is not a section "
                           "header.\n");
  EXPECT_EQ(Read("a.eia"), "old program\r\n");
}

TEST_F(CommandLineTest, MachineFilesSaveOpenAndReset) {
  ASSERT_EQ(Run({"--set", "TextHeightE= 0.2 ", "--set", "IntegrexMode=6", "--set",
                 "PreToolChange=T1\n  M6  ", "save-machine", dir + "/m.mch"}),
            0)
      << err.str();
  EXPECT_THAT(Read("m.mch"), testing::StartsWith("[SECTION -- Text Parameters]\r\n[Height]\r\n"
                                                 " 0.2 \r\n"));
  ASSERT_EQ(Run({"open-machine", dir + "/m.mch", "show", "TextHeightE", "show", "Axis1E", "show",
                 "PreToolChange", "reset-machine", "show", "PreToolChange"}),
            0);
  EXPECT_EQ(out.str(), " 0.2 \nY\nT1\nM6\n");
  EXPECT_EQ(Run({"open-machine", dir + "/none.mch"}), 1);
  EXPECT_THAT(err.str(), HasSubstr("none.mch"));
}

TEST_F(CommandLineTest, UsageErrorsRunNothing) {
  const std::vector<std::vector<std::string>> kCases = {
      {},
      {"bogus"},
      {"--set", "NoSuchField=1", "save-machine", dir + "/m.mch"},
      {"--set", "Justification=left"},
      {"--set", "PreEngraveW=2"},
      {"--set", "TextHeightE"},
      {"text"},
      {"show", "Nope"},
  };
  for (const auto& args : kCases) {
    SCOPED_TRACE(testing::PrintToString(args));
    EXPECT_EQ(Run(args), 2);
    EXPECT_THAT(err.str(), HasSubstr("stylor-cli: "));
    EXPECT_EQ(out.str(), "");
  }
  EXPECT_FALSE(fs::exists(dir + "/m.mch"));
}

TEST_F(CommandLineTest, TheProgramRunsFromAScriptWithHelpAndVersion) {
  const std::string cli = std::string(STYLOR_BIN_DIR) + "/stylor-cli";
  const std::string command = "cd '" + dir + "' && '" + cli +
                              "' --set 'FreeFormTextE=L' text rel.eia > out.txt 2> err.txt";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);
  EXPECT_THAT(Read("rel.eia"), testing::StartsWith("G00 X0.0000 Y0.0000 Z0.0010\r\n"));
  EXPECT_EQ(WEXITSTATUS(std::system(("'" + cli + "' --help > '" + dir + "/help.txt'").c_str())), 0);
  EXPECT_THAT(Read("help.txt"), AllOf(HasSubstr("open-old FILE"), HasSubstr("SeqPostGCodes")));
  EXPECT_EQ(WEXITSTATUS(std::system(("'" + cli + "' 2> /dev/null").c_str())), 2);
}

}  // namespace
}  // namespace stylor

namespace stylor {
namespace {

// The batch action fills the texts from each row and writes exactly what the text job writes
// for the same texts typed by hand.
class BatchCommandTest : public testing::Test {
 protected:
  BatchCommandTest() {
    folder.Write("BasicFont.fnt", test::kLetterLFont);
    folder.Write("rows.csv", "Text,Id\r\nL,a\r\n\"L\nLL\",b\r\nLLL,c\r\n");
  }
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--dir", dir});
    out.str("");
    err.str("");
    return RunCommandLine(args, out, err);
  }

  test::TempFolder folder{"stylor-batch"};
  std::string dir = folder.Path().string();
  std::ostringstream out, err;
};

TEST_F(BatchCommandTest, ManyFilesMatchTheTextJobTypedByHand) {
  fs::create_directory(dir + "/out");
  ASSERT_EQ(Run({"--set", "Files=1", "--set", "FilePrefix=P", "--set", "PostEngrave=M30 ({Id})",
                 "--set", "FreeFormTextE={Text}\n{Row}", "batch", "text", dir + "/rows.csv",
                 dir + "/out"}),
            0)
      << err.str();
  const char* const kByHand[][2] = {{"L\n1", "M30 (a)"}, {"L\nLL\n2", "M30 (b)"},
                                    {"LLL\n3", "M30 (c)"}};
  for (int row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    ASSERT_EQ(Run({"--set", std::string("FreeFormTextE=") + kByHand[row][0], "--set",
                   std::string("PostEngrave=") + kByHand[row][1], "text", dir + "/plain.eia"}),
              0)
        << err.str();
    EXPECT_EQ(test::ReadBytes(dir + "/out/P" + std::to_string(row + 1) + ".eia"),
              test::ReadBytes(dir + "/plain.eia"));
  }
}

TEST_F(BatchCommandTest, OneFileAndNamesFromAColumn) {
  ASSERT_EQ(Run({"--set", "SeqPreGCodes=(ROW {Row} OF {Rows})", "--set", "ArcTextE={Id}", "batch",
                 "arc", dir + "/rows.csv", dir + "/all.eia"}),
            0)
      << err.str();
  const std::string all = test::ReadBytes(dir + "/all.eia");
  EXPECT_THAT(all, HasSubstr("(ROW 1 OF 3)\r\n"));
  EXPECT_THAT(all, HasSubstr("(ROW 3 OF 3)\r\n"));
  fs::create_directory(dir + "/named");
  ASSERT_EQ(Run({"--set", "Files=1", "--set", "BatchNameColumn=Id", "--set", "EllipseTextE=L",
                 "batch", "ellipse", dir + "/rows.csv", dir + "/named"}),
            0)
      << err.str();
  EXPECT_TRUE(fs::exists(dir + "/named/a.eia") && fs::exists(dir + "/named/c.eia"));
  EXPECT_EQ(Run({"--set", "BatchNameColumn=Id", "show", "BatchNameColumn"}), 0);
  EXPECT_EQ(out.str(), "Id\n");
}

TEST_F(BatchCommandTest, RefusalsNameWhatIsWrongAndWriteNothing) {
  folder.Write("dup.csv", "Text,Text\nL,L\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const Case kCases[] = {
      {{"batch", "circle", "rows.csv", "x.eia"}, 2, "batch takes the job text, arc or ellipse"},
      {{"batch", "text", "rows.csv"}, 2, "batch needs JOB ROWS OUT"},
      {{"--set", "FreeFormTextE={Txt}", "batch", "text", "rows.csv", "x.eia"}, 1,
       "Row 1: the placeholder {Txt} in FreeFormTextE names no column"},
      {{"batch", "text", "dup.csv", "x.eia"}, 1, "dup.csv': line 1 names the column 'Text' twice"},
      {{"--set", "Files=1", "batch", "text", "rows.csv", "x.eia"}, 1, "x.eia' is not one"},
      {{"--set", "ArcTextE={Text}", "batch", "arc", "rows.csv", "x.eia"}, 1,
       "Row 2: the value of 'Text' holds a line break"},
  };
  for (const Case& c : kCases) {
    std::vector<std::string> args = c.args;
    for (std::string& arg : args) {
      if (arg.ends_with(".csv") || arg.ends_with(".eia")) arg = dir + "/" + arg;
    }
    SCOPED_TRACE(c.message);
    EXPECT_EQ(Run(args), c.status);
    EXPECT_THAT(err.str(), HasSubstr(c.message));
    EXPECT_FALSE(fs::exists(dir + "/x.eia"));
  }
}

TEST_F(BatchCommandTest, HelpListsTheAction) {
  ASSERT_EQ(RunCommandLine({"--help"}, out, err), 0);
  EXPECT_THAT(out.str(), HasSubstr("batch JOB ROWS OUT"));
  EXPECT_THAT(out.str(), HasSubstr("BatchNameColumn"));
}

}  // namespace
}  // namespace stylor
