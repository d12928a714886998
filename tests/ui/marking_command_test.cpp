#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "support/temp_folder.h"
#include "ui/cli/command_line.h"
#include "ui/cli/manual.h"

namespace stylor {
namespace {

using testing::HasSubstr;

struct Result {
  int status;
  std::string out, err;
};

Result Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunCommandLine(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(MarkingCommands, HelpAndBothManualPagesNameEveryPlaceholderAndCode) {
  std::ostringstream window, cli;
  WriteManualPage(window, ManualPage::Window);
  WriteManualPage(cli, ManualPage::CommandLine);
  const std::string help = Cli({"--help"}).out;
  for (const std::string& text : {help, window.str(), cli.str()}) {
    for (const char* word : {"{Date:FORMAT}", "{Shift}", "{Counter:NAME}", "yyyy", "YYYY", " ww ",
                             "jjj", "J (Julian", "L (year letter", "{{"}) {
      EXPECT_THAT(text, HasSubstr(word));
    }
  }
  EXPECT_THAT(help, HasSubstr("[--now YYYY-MM-DDTHH:MM:SS]"));
  EXPECT_THAT(cli.str(), HasSubstr("\\fB\\-\\-now\\fR"));
  EXPECT_THAT(help, HasSubstr("counter NAME"));
}

TEST(MarkingCommands, CounterPrintsAndSetsTheNextValue) {
  test::TempFolder dir;
  const std::string d = dir.Path().string();
  EXPECT_THAT(Cli({"--dir", d, "counter", "SN"}).err, HasSubstr("There is no counter 'SN'"));
  EXPECT_EQ(Cli({"--dir", d, "counter", "SN", "0042"}).status, 0);
  EXPECT_EQ(Cli({"--dir", d, "counter", "SN"}).out, "42\n");
  EXPECT_THAT(test::ReadBytes(dir.File("stylor-counters.csv")),
              HasSubstr("\r\nSN,42,42,1,,Stop,0,10,Never,None,\r\n"));
  // The machine file may name another counter file.
  EXPECT_EQ(Cli({"--dir", d, "--set", "CountersFile=other.csv", "counter", "LOT", "7", "counter", "LOT"}).out,
            "7\n");
  EXPECT_TRUE(std::filesystem::exists(dir.File("other.csv")));

  const Result bad = Cli({"--dir", d, "counter", "SN", "-3"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_THAT(bad.err, HasSubstr("whole number of 0 or more"));
  const Result badNow = Cli({"--now", "2026-12-11 14:05", "counter", "SN"});
  EXPECT_EQ(badNow.status, 2);
  EXPECT_THAT(badNow.err, HasSubstr("is not a date and time of the form YYYY-MM-DDTHH:MM:SS"));
}

TEST(MarkingCommands, OffByDefaultBracesAreText) {
  test::TempFolder dir;
  const std::string d = dir.Path().string();
  const Result typed = Cli({"--dir", d, "--set", "FreeFormTextE={Nothing}", "text", dir.File("a.eia")});
  EXPECT_EQ(typed.status, 0) << typed.err;
  const Result on = Cli({"--dir", d, "--set", "FillPlaceholders=1", "--set", "FreeFormTextE={{Nothing}}",
                         "text", dir.File("b.eia")});
  EXPECT_EQ(on.status, 0) << on.err;
  EXPECT_EQ(test::ReadBytes(dir.File("a.eia")), test::ReadBytes(dir.File("b.eia")));
}

}  // namespace
}  // namespace stylor
