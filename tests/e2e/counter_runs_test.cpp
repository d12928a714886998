// Many stylor-cli processes take serial numbers from one counter file at once. Every number
// handed out is in one program and one log line, none twice, none skipped; a run killed while it
// writes hands out nothing.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"
#include "ui/cli/command_line.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
const std::string kCli = std::string(STYLOR_BIN_DIR) + "/stylor-cli";

pid_t StartCli(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, 1);
    std::vector<char*> argv{const_cast<char*>(kCli.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(kCli.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int InProcess(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunCommandLine(args, out, err);
  // Only the warnings of the set-up (the empty start block of these runs) and nothing else.
  std::istringstream lines(err.str());
  for (std::string line; std::getline(lines, line);) {
    EXPECT_EQ(line.rfind("Stylor: warning: ", 0), 0u) << line;
  }
  return status;
}

// Log lines as (program file, SN value).
std::map<std::string, std::string> LoggedSerials(const std::string& log) {
  std::map<std::string, std::string> serials;
  std::istringstream lines(test::ReadBytes(log));
  for (std::string line; std::getline(lines, line);) {
    const std::size_t file = line.find(',', line.find(',') + 1) + 1;
    const std::string program = line.substr(file, line.find(',', file) - file);
    const std::size_t sn = line.find(",SN=") + 4;
    const bool inserted = serials.emplace(program, line.substr(sn, line.find(',', sn) - sn)).second;
    EXPECT_TRUE(inserted) << "two lines for " << program;
  }
  return serials;
}

TEST(CounterRuns, ParallelRunsShareOutEveryNumberOnceAndAKilledRunNone) {
  test::TempFolder dir;
  const std::string d = dir.Path().string();
  const std::vector<std::string> common = {"--dir", d, "--now", "2026-12-11T14:05:00",
                                           "--set", "FillPlaceholders=1",
                                           "--set", "ProductionLog=log.csv"};
  ASSERT_EQ(InProcess({"--dir", d, "counter", "SN", "1"}), 0);

  // A long run that is killed while it writes its files: its number stays with the counter.
  fs::create_directory(dir.File("killed"));
  std::vector<std::string> killedArgs = common;
  for (const char* arg : {"--set", "Files=1", "--set", "SeqStart=1", "--set", "SeqEnd=20000",
                          "--set", "SeqPrefix={Counter:SN}-", "sequence"}) {
    killedArgs.push_back(arg);
  }
  killedArgs.push_back(dir.File("killed"));
  const pid_t killed = StartCli(killedArgs);
  // Waits until it holds the counter file, then lets it write for a moment.
  const int lock = ::open(dir.File("stylor-counters.csv.lock").c_str(), O_RDWR);
  ASSERT_GE(lock, 0);
  while (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
    ::flock(lock, LOCK_UN);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::close(lock);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ::kill(killed, SIGKILL);
  EXPECT_EQ(Wait(killed), 128 + SIGKILL);
  std::ostringstream next, err;
  RunCommandLine({"--dir", d, "counter", "SN"}, next, err);
  EXPECT_EQ(next.str(), "1\n");
  for (const auto& entry : fs::directory_iterator(dir.File("killed"))) {
    EXPECT_NE(entry.path().extension(), ".eia") << entry.path();
  }
  EXPECT_FALSE(fs::exists(dir.File("log.csv")));

  constexpr int kRuns = 20;
  std::vector<pid_t> runs;
  for (int k = 0; k < kRuns; ++k) {
    std::vector<std::string> args = common;
    for (const char* arg : {"--set", "FreeFormTextE=SN{Counter:SN}", "text"}) args.push_back(arg);
    args.push_back(dir.File("run" + std::to_string(k) + ".eia"));
    runs.push_back(StartCli(args));
  }
  for (const pid_t pid : runs) EXPECT_EQ(Wait(pid), 0);

  const std::map<std::string, std::string> serials = LoggedSerials(dir.File("log.csv"));
  ASSERT_EQ(serials.size(), static_cast<std::size_t>(kRuns));
  std::set<int> numbers;
  for (const auto& [program, serial] : serials) {
    numbers.insert(std::stoi(serial));
    // The program holds the number its log line names: the same bytes as that text typed.
    const std::string typed = dir.File("typed.eia");
    ASSERT_EQ(InProcess({"--dir", d, "--set", "FreeFormTextE=SN" + serial, "text", typed}), 0);
    EXPECT_EQ(test::ReadBytes(program), test::ReadBytes(typed)) << program;
  }
  EXPECT_EQ(numbers.size(), static_cast<std::size_t>(kRuns));
  EXPECT_EQ(*numbers.begin(), 1);
  EXPECT_EQ(*numbers.rbegin(), kRuns);
  next.str("");
  RunCommandLine({"--dir", d, "counter", "SN"}, next, err);
  EXPECT_EQ(next.str(), std::to_string(kRuns + 1) + "\n");
}

}  // namespace
}  // namespace stylor
