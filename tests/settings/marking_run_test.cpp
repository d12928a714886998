#include "settings/marking/marking_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/error.h"
#include "settings/files.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

MarkingSetup SetupIn(const test::TempFolder& folder) {
  MarkingSetup setup;
  setup.shifts = ReadShiftTable({"A 06:00", "B 14:00", "C 22:00"});
  setup.counterPath = folder.File("counters.csv");
  setup.logPath = folder.File("log.csv");
  setup.now = ReadCivilTime("2026-12-11T14:05:00");
  return setup;
}

void WriteCounters(const std::string& path, std::vector<Counter> counters) {
  const std::string bytes = FormatCounterFile(counters);
  FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::int64_t NextOf(const std::string& path, const std::string& name) {
  CounterFile file(path);
  return file.Require(name).next;
}

TEST(FillMarkingCodes, FillsEveryTextAndBlockWithOneInstant) {
  test::TempFolder folder;
  MarkingSetup setup = SetupIn(folder);
  Counter sn = NewCounter("SN", 41);
  sn.width = 4;
  WriteCounters(setup.counterPath, {sn});
  EngraveSettings settings;
  settings.FreeFormTextE = {"PN-{Date:yyMMdd}-{Shift}-{Counter:SN}", "{{x}} {Date:J}"};
  settings.ArcTextE = "{Counter:SN}";
  settings.EllipseTextE = "{Date:L}";
  settings.SeqPrefix = "{Shift}";
  settings.SeqPostfix = "/{Date:ww}";
  settings.PreToolChange = {"(LOT {Date:yyyy-MM-dd})", "T1"};
  settings.ToolChange = {"#100={Counter:SN}"};
  settings.PostToolChange = {"{{"};
  settings.PostEngrave = {"M30"};
  settings.SeqPreGCodes = {"#1={Date:HHmm}"};
  settings.SeqPostGCodes = {"{Shift}"};
  MarkingRun run(setup);
  FillMarkingCodes(settings, run);
  EXPECT_EQ(settings.FreeFormTextE, (Lines{"PN-261211-B-0041", "{x} 3456"}));
  EXPECT_EQ(settings.ArcTextE, "0041");
  EXPECT_EQ(settings.EllipseTextE, "V");
  EXPECT_EQ(settings.SeqPrefix, "B");
  EXPECT_EQ(settings.SeqPostfix, "/50");
  EXPECT_EQ(settings.PreToolChange, (Lines{"(LOT 2026-12-11)", "T1"}));
  EXPECT_EQ(settings.ToolChange, (Lines{"#100=0041"}));
  EXPECT_EQ(settings.PostToolChange, (Lines{"{"}));
  EXPECT_EQ(settings.SeqPreGCodes, (Lines{"#1=1405"}));
  EXPECT_EQ(settings.SeqPostGCodes, (Lines{"B"}));
  EXPECT_EQ(run.NumbersTaken(), "SN 0041");
}

TEST(FillMarkingCodes, RefusesBeforeAnyNumberIsTaken) {
  test::TempFolder folder;
  const MarkingSetup setup = SetupIn(folder);
  WriteCounters(setup.counterPath, {NewCounter("SN", 7)});
  const std::string before = test::ReadBytes(setup.counterPath);
  struct Case {
    const char* name;
    void (*set)(EngraveSettings&);
    const char* message;
  };
  const Case cases[] = {
      {"UnknownNameInABlock",
       [](EngraveSettings& s) {
         s.FreeFormTextE = {"{Counter:SN}"};
         s.PostEngrave = {"M30", "{Lot}"};
       },
       "Unknown placeholder {Lot} at character 1 of line 2 of PostEngrave"},
      {"DateValueThatOpensAComment",
       [](EngraveSettings& s) { s.ToolChange = {"{Counter:SN} {Date:(yy}"}; },
       "The value of {Date:(yy} in ToolChange holds '('"},
      {"CounterNobodyDefined", [](EngraveSettings& s) { s.SeqPrefix = "{Counter:SN}{Counter:SNN}"; },
       "There is no counter 'SNN'"},
      {"ShiftWithoutTable", [](EngraveSettings& s) { s.ArcTextE = "{Counter:SN}{Date:yy}{Shift}"; },
       "needs a shift table"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MarkingSetup noShifts = setup;
    if (std::string(c.name) == "ShiftWithoutTable") noShifts.shifts.clear();
    EngraveSettings settings;
    c.set(settings);
    MarkingRun run(noShifts);
    EXPECT_THAT([&] { FillMarkingCodes(settings, run); }, ThrowsMessage<Error>(HasSubstr(c.message)));
    run.Commit();
    EXPECT_EQ(test::ReadBytes(setup.counterPath), before);
  }
}

TEST(MarkingRun, NumbersAreHandedOutOnlyOnCommit) {
  test::TempFolder folder;
  const MarkingSetup setup = SetupIn(folder);
  WriteCounters(setup.counterPath, {NewCounter("SN", 100)});
  {
    MarkingRun failed(setup);
    failed.Parse("{Counter:SN}", "the text");
    failed.TakeNumbers("SN", 5);  // the Sequence page's run of 5, plus the text's own
    EXPECT_EQ(failed.Taken("SN"), (std::vector<std::int64_t>{100, 101, 102, 103, 104, 105}));
  }
  EXPECT_EQ(NextOf(setup.counterPath, "SN"), 100);
  {
    MarkingRun run(setup);
    run.TakeNumbers("SN", 3);
    run.Commit();
    EXPECT_EQ(run.NumbersTaken(), "SN 100 to 102");
  }
  EXPECT_EQ(NextOf(setup.counterPath, "SN"), 103);
}

// Forked processes share one counter: each takes a number, and one in three dies before it
// commits. The numbers handed out are 1..N with no gap and no repeat.
TEST(MarkingRun, ConcurrentProcessesNeverShareANumber) {
  test::TempFolder folder;
  const MarkingSetup setup = SetupIn(folder);
  WriteCounters(setup.counterPath, {NewCounter("SN", 1)});
  const std::string handedOut = folder.File("handed-out");
  constexpr int kProcesses = 24;
  std::vector<pid_t> children;
  for (int k = 0; k < kProcesses; ++k) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      MarkingRun run(setup);
      run.Parse("{Counter:SN}", "the text");
      run.TakeNumbers();
      if (k % 3 == 0) _exit(3);  // killed while writing: nothing handed out
      run.Commit();
      const std::string line = std::to_string(run.Taken("SN").front()) + "\n";
      AppendToFile(handedOut, line, "test");
      _exit(0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) waitpid(pid, nullptr, 0);
  std::vector<int> numbers;
  std::istringstream lines(test::ReadBytes(handedOut));
  for (int n; lines >> n;) numbers.push_back(n);
  std::sort(numbers.begin(), numbers.end());
  std::vector<int> expected(kProcesses - kProcesses / 3);
  for (std::size_t k = 0; k < expected.size(); ++k) expected[k] = static_cast<int>(k) + 1;
  EXPECT_EQ(numbers, expected);
  EXPECT_EQ(NextOf(setup.counterPath, "SN"), static_cast<std::int64_t>(expected.size()) + 1);
}

TEST(ProductionLog, OneCsvLinePerProgramAndFaultsReported) {
  test::TempFolder folder;
  MarkingSetup setup = SetupIn(folder);
  Counter sn = NewCounter("SN", 42);
  sn.width = 4;
  WriteCounters(setup.counterPath, {sn});
  MarkingRun run(setup);
  EngraveSettings settings;
  settings.FreeFormTextE = {"PN {Date:yyMMdd}, {Counter:SN}"};
  FillMarkingCodes(settings, run);
  run.Commit();
  AppendProductionLog(run, "mill.txt", {{"a.eia", "PN 261211, 0042", {}}, {"b.eia", "x\"y", {{"Seq", "7"}}}});
  EXPECT_EQ(test::ReadBytes(setup.logPath),
            "2026-12-11T14:05:00,mill.txt,a.eia,Date:yyMMdd=261211,SN=0042,\"PN 261211, 0042\"\r\n"
            "2026-12-11T14:05:00,mill.txt,b.eia,Date:yyMMdd=261211,SN=0042,Seq=7,\"x\"\"y\"\r\n");

  setup.logPath = folder.File("missing/log.csv");
  MarkingRun broken(setup);
  EXPECT_THAT([&] { AppendProductionLog(broken, "m", {{"a.eia", "t", {}}}); },
              ThrowsMessage<FileError>(HasSubstr("Cannot write the production log")));
  setup.logPath.clear();
  MarkingRun none(setup);
  AppendProductionLog(none, "m", {{"a.eia", "t", {}}});
}

}  // namespace
}  // namespace stylor
