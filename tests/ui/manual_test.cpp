#include "ui/cli/manual.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "settings/engrave_settings.h"
#include "ui/cli/actions.h"
#include "ui/cli/command_line.h"

namespace stylor {
namespace {

using testing::HasSubstr;

std::string Help(std::vector<std::string> args) {
  std::ostringstream out, err;
  EXPECT_EQ(RunCommandLine(args, out, err), 0) << err.str();
  return out.str();
}

std::string Manual(ManualPage page) {
  std::ostringstream out;
  WriteManualPage(out, page);
  return out.str();
}

// roff writes a minus as \-.
std::string RoffName(std::string_view name) {
  std::string roff;
  for (const char c : name) roff += c == '-' ? std::string("\\-") : std::string(1, c);
  return roff;
}

// The help wraps its text, and so runs of blanks become one.
std::string Squeezed(std::string_view text) {
  std::string result;
  for (const char c : text) {
    if (c != ' ' || result.empty() || result.back() != ' ') result += c;
  }
  return result;
}

// A field or action added to the tables appears in the help and in both manual
// pages without another list to keep.
TEST(Manual, HelpAndBothPagesCoverEveryActionAndField) {
  const std::string help = Help({"--help"});
  const std::string cliPage = Manual(ManualPage::CommandLine);
  const std::string windowPage = Manual(ManualPage::Window);
  for (const ActionInfo& action : AllActions()) {
    SCOPED_TRACE(action.name);
    EXPECT_THAT(help, HasSubstr("  " + std::string(action.name)));
    EXPECT_THAT(cliPage, HasSubstr("\\fB" + RoffName(action.name) + "\\fR"));
    EXPECT_THAT(windowPage, HasSubstr("\\fB" + RoffName(action.name) + "\\fR"));
  }
  for (const FieldInfo& field : AllFields()) {
    SCOPED_TRACE(field.name);
    EXPECT_THAT(help, HasSubstr("  " + std::string(field.name) + " "));
    for (const std::string& page : {cliPage, windowPage}) {
      EXPECT_THAT(page, HasSubstr(".TP\n\\fB" + std::string(field.name) + "\\fR\n"));
    }
    const std::string fieldHelp = Help({"--help", std::string(field.name)});
    for (std::size_t k = 0; k < field.items.size(); ++k) {
      const std::string number = std::to_string(k) + "  ";
      EXPECT_THAT(fieldHelp, HasSubstr("    " + number + Squeezed(field.items[k])));
      EXPECT_THAT(cliPage, HasSubstr(".br\n" + number + RoffName(field.items[k])));
    }
  }
  for (const std::string& page : {help, cliPage}) {
    EXPECT_THAT(page, AllOf(HasSubstr("$'FreeFormTextE="), HasSubstr("2 "), HasSubstr("usage")));
  }
}

TEST(Manual, OneFieldIsExplainedWithUnitDefaultValuesAndAnExample) {
  struct Case {
    const char* field;
    std::vector<const char*> lines;
  };
  const Case kCases[] = {
      {"TextHeightE",
       {"TextHeightE: Height of a capital letter.\n", "  Unit: length\n", "  Default: .125\n",
        "  Example: stylor-cli --set 'TextHeightE=.125'"}},
      {"FeedMode",
       {"    0  IPM/MMPM: F is the feed as typed", "    2  Inverse Time Feed: F is one over", "    -1  nothing selected\n",
        "  Default: 0\n"}},
      {"PreEngraveW", {"  Values: 0 or 1\n", "  Default: 1\n"}},
      {"PostEngrave",
       {"  Values: lines, separated by line feeds", "  Default: none\n",
        "--set $'PostEngrave=FIRST LINE\\nSECOND LINE'"}},
      {"SeqPrefix", {"  Default: empty\n"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.field);
    const std::string help = Help({"--help", c.field});
    for (const char* line : c.lines) EXPECT_THAT(help, HasSubstr(line));
  }
}

TEST(Manual, HelpOfAnUnknownFieldIsAUsageError) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help", "Nope"}, {"--help", "TextHeightE", "Axis1E"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine(args, out, err), 2);
    EXPECT_EQ(out.str(), "");
  }
}

TEST(Manual, PagesAreRoffWithTheirExitStatus) {
  for (const ManualPage page : {ManualPage::Window, ManualPage::CommandLine}) {
    const std::string text = Manual(page);
    EXPECT_THAT(text, testing::StartsWith(".TH STYLOR"));
    EXPECT_THAT(text, AllOf(HasSubstr(".SH EXIT STATUS\n"), HasSubstr(".SH FILES\n"),
                            HasSubstr("guide.md")));
    // A line that starts with a dot or an apostrophe is a request: text must
    // never do that.
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.empty() || (line[0] != '.' && line[0] != '\'')) continue;
      EXPECT_THAT(line, testing::MatchesRegex("\\.(TH|SH|SS|TP|PP|RS|RE|nf|fi|br)( .*)?")) << line;
    }
  }
}

}  // namespace
}  // namespace stylor
