#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ui/cli/command_line.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

class PreviewCommandLineTest : public testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--dir", dir});
    out.str("");
    err.str("");
    return RunCommandLine(args, out, err);
  }

  const std::string ll = std::string(STYLOR_TEST_DATA) + "/ll.eia";
  test::TempFolder folder{"stylor-preview-cli"};
  std::string dir = folder.Path().string();
  std::ostringstream out, err;
};

TEST_F(PreviewCommandLineTest, StatsOfTheWorkedExample) {
  ASSERT_EQ(Run({"--set", "PenUpE=0.1", "--set", "PenDownE=-0.01", "stats", ll}), 0) << err.str();
  EXPECT_EQ(out.str(),
            "lines: 11\n"
            "moves: 10\n"
            "unread lines: 0\n"
            "cut length: 3.2000\n"
            "rapid length: 2.2795\n"
            "travel length: 0.0000\n"
            "plunges: 2\n"
            "feed time: 0.0728 min\n"
            "untimed moves: 0\n"
            "rapid time: 0.0005 min\n"
            "rapid rate: 5000 per min\n"
            "total time: 0.0733 min\n"
            "extent X: 0.0000 1.5500\n"
            "extent Y: 0.0000 1.0000\n"
            "extent Z: -0.0100 0.1000\n");
}

TEST_F(PreviewCommandLineTest, FeedModeOfTheFieldsReadsF) {
  // Read as inverse time, F25 and F50 are 1/25 and 1/50 of a minute for their own line, and the
  // G01 X lines without an F of their own cannot be timed.
  ASSERT_EQ(Run({"--set", "FeedMode=2", "--set", "PenUpE=0.1", "--set", "PenDownE=-0.01", "stats",
                 ll}),
            0)
      << err.str();
  EXPECT_THAT(out.str(), HasSubstr("feed time: 0.1200 min\nuntimed moves: 2\n"));
}

TEST_F(PreviewCommandLineTest, DrawsThePictureAndReportsFailures) {
  const std::string svg = dir + "/ll.svg";
  ASSERT_EQ(Run({"preview", ll, svg}), 0) << err.str();
  std::ifstream in(svg, std::ios::binary);
  const std::string picture{std::istreambuf_iterator<char>(in), {}};
  EXPECT_THAT(picture, testing::StartsWith("<svg xmlns="));
  EXPECT_THAT(picture, HasSubstr("<path class=\"cut\""));

  EXPECT_EQ(Run({"stats", dir + "/none.eia"}), 1);
  EXPECT_EQ(err.str(), "Stylor: Cannot read the program file '" + dir +
                           "/none.eia': No such file or directory.\n");
  EXPECT_EQ(Run({"preview", ll, dir + "/no/such/folder.svg"}), 1);
  EXPECT_THAT(err.str(), HasSubstr("Cannot write the file '" + dir + "/no/such/folder.svg'"));
  EXPECT_EQ(Run({"--set", "Axis1E=1", "stats", ll}), 1);
  EXPECT_THAT(err.str(), HasSubstr("The axis letter of Axis 1 must be a letter, not '1'"));
  EXPECT_EQ(Run({"preview", ll}), 2);
  EXPECT_THAT(err.str(), HasSubstr("preview needs FILE OUT"));
}

// The serial the control holds goes in with --var; the preview draws what that serial cuts, and
// the alarm at the end of the run stops the reading with its message.
TEST_F(PreviewCommandLineTest, MacroProgramsReadWithTheGivenVariables) {
  const std::string program = folder.Write(
      "serial.nc",
      "G00 X0 Y0 Z1\r\nIF [#500 GT 1042] THEN #3000=1 (SERIAL RUN ENDED)\r\n"
      "G01 X[#500 MOD 100] F100\r\n#500=#500+1\r\nM30\r\n");
  ASSERT_EQ(Run({"--var", "500=1041", "--var", "500=1042", "stats", program}), 0) << err.str();
  EXPECT_THAT(out.str(), HasSubstr("extent X: 0.0000 42.0000\n"));
  ASSERT_EQ(Run({"--var", "500=1042", "preview", program, dir + "/serial.svg"}), 0) << err.str();
  EXPECT_EQ(Run({"--var", "500=1043", "stats", program}), 1);
  EXPECT_EQ(err.str(), "Stylor: Line 2 of the program '" + program +
                           "' stops with the alarm 1: SERIAL RUN ENDED.\n");
  EXPECT_EQ(Run({"--var", "500", "stats", program}), 2);
  EXPECT_THAT(err.str(), HasSubstr("--var needs N=VALUE"));
  EXPECT_EQ(Run({"--var", "0=1", "stats", program}), 2);
  EXPECT_THAT(err.str(), HasSubstr("--var takes a variable number from 1 to 99999, not '0'"));
  EXPECT_EQ(Run({"--var", "500=x", "stats", program}), 2);
  EXPECT_THAT(err.str(), HasSubstr("--var 500: 'x' is not a valid floating point value"));
  EXPECT_EQ(Run({"--var", "5=1", "stats", program}), 1);
  EXPECT_THAT(err.str(), HasSubstr("The variable #5 cannot be given to the program"));
}

TEST_F(PreviewCommandLineTest, HelpListsBothActions) {
  ASSERT_EQ(RunCommandLine({"--help"}, out, err), 0);
  EXPECT_THAT(out.str(), HasSubstr("  stats FILE"));
  EXPECT_THAT(out.str(), HasSubstr("  preview FILE OUT"));
}

}  // namespace
}  // namespace stylor
