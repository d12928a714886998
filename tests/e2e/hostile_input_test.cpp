// stylor-cli runs fed with hostile files, numbers and paths. Each must end by itself, without a
// signal, with its verdict ("Stylor: ..." on stderr and status 1, or a finished job and status 0),
// and must leave every file it was not asked to write byte for byte as it was. Most runs call the
// command line in this process; a run is forked only where it needs a process of its own: a pipe
// that could keep it waiting, lowered rights, /dev/full, or an input so large that only a whole
// process shows how it copes.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "settings/engrave_settings.h"
#include "settings/machine_file.h"
#include "support/font_text.h"
#include "support/temp_folder.h"
#include "ui/cli/command_line.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::StartsWith;

const std::string kCli = std::string(STYLOR_BIN_DIR) + "/stylor-cli";
constexpr const char* kProgram = "job.eia";
constexpr const char* kFinishedProgram = "(a finished program)\r\nM30\r\n";
// Far beyond any run here, even with the sanitizers: a run still going then has hung.
constexpr unsigned kHangSeconds = 600;
constexpr uid_t kNobody = 65534;
// The sandbox's font draws only the L: a run of serial numbers is written, and said to have left
// its digits blank.
constexpr const char* kDigitsLeftBlank = "No glyph in BasicFont.fnt for: ";

using test::ReadBytes;

// The working folder of one run, holding the start-up font and a finished program, and beside it
// a folder for the captured output.
class Sandbox {
 public:
  Sandbox() {
    fs::create_directory(m_root / "work");
    fs::create_directory(m_root / "capture");
    // A run may drop root's rights to meet a read-only file; it must still reach its folder.
    fs::permissions(m_root, fs::perms::all);
    fs::permissions(m_root / "work", fs::perms::all);
    fs::permissions(m_root / "capture", fs::perms::all);
    Write("BasicFont.fnt", test::kLetterLFont);
    Write(kProgram, kFinishedProgram);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  std::string Work() const { return (m_root / "work").string(); }
  /// A copy of stylor-cli in the sandbox, for a run without root's rights: the build folder may
  /// lie in a place that only root can reach (a fresh clone in a private temporary folder).
  std::string CliCopy() const {
    const fs::path copy = m_root / "stylor-cli";
    if (!fs::exists(copy)) {
      fs::copy_file(kCli, copy);
      fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    }
    return copy.string();
  }
  std::string Path(const std::string& name) const { return (m_root / "work" / name).string(); }
  std::string Capture(const std::string& name) const { return (m_root / "capture" / name).string(); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }

  /// Every file and folder under the working folder, with its bytes.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(m_root / "work")) {
      const std::string name = entry.path().lexically_relative(m_root / "work").string();
      // Reading a pipe would wait for a writer; its name is enough.
      // A link is kept as its target: a loop has nothing else to read.
      files[name] = entry.is_symlink()
                        ? "<link to " + fs::read_symlink(entry.path()).string() + ">"
                    : entry.is_directory()    ? "<folder>"
                    : entry.is_regular_file() ? ReadBytes(entry.path().string())
                                              : "<special file>";
    }
    return files;
  }

 private:
  test::TempFolder m_folder{"stylor-e2e"};
  fs::path m_root = m_folder.Path();
};

struct Outcome {
  int exitStatus = -1;
  int signal = 0;
  std::string out;
  std::string err;
  long maxRssKb = 0;  // of a forked run
};

Outcome RunInProcess(const Sandbox& box, const std::vector<std::string>& actions) {
  std::vector<std::string> args = {"--dir", box.Work()};
  args.insert(args.end(), actions.begin(), actions.end());
  std::ostringstream out, err;
  Outcome outcome;
  outcome.exitStatus = RunCommandLine(args, out, err);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

/// What a forked run gets besides its arguments: a file-size limit (ulimit -f, in bytes; 0 for
/// none), and a step that acts on the running process (sends it a signal, say).
struct ForkedRun {
  rlim_t fileSizeLimit = 0;
  std::function<void(pid_t, const Sandbox&)> whileRunning = nullptr;
};

Outcome RunForked(const Sandbox& box, const std::vector<std::string>& actions, bool asNobody,
                  const ForkedRun& extras = {}) {
  const bool dropRights = asNobody && geteuid() == 0;
  std::vector<std::string> args = {dropRights ? box.CliCopy() : kCli, "--dir", box.Work()};
  args.insert(args.end(), actions.begin(), actions.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string outPath = box.Capture("stdout");
  const std::string errPath = box.Capture("stderr");

  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    alarm(kHangSeconds);  // survives exec: a hanging run dies of SIGALRM
    if (dropRights && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(126);
    if (extras.fileSizeLimit != 0) {
      const rlimit limit{extras.fileSizeLimit, extras.fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  Outcome outcome;
  if (child > 0 && extras.whileRunning) extras.whileRunning(child, box);
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) {
    ADD_FAILURE() << "cannot run " << kCli;
    return outcome;
  }
  if (WIFEXITED(status)) outcome.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  outcome.maxRssKb = usage.ru_maxrss;
  outcome.out = ReadBytes(outPath);
  outcome.err = ReadBytes(errPath);
  return outcome;
}

/// The bytes of a case's file, made only when the case runs: the few cases of many megabytes
/// then cost nothing to the hundreds of others, each of which is a process of its own.
class Bytes {
 public:
  Bytes(std::string bytes) : m_make([bytes = std::move(bytes)] { return bytes; }) {}
  Bytes(const char* bytes) : Bytes(std::string(bytes)) {}
  template <typename Make>
    requires std::is_invocable_r_v<std::string, Make>
  Bytes(Make make) : m_make(std::move(make)) {}
  std::string operator()() const { return m_make(); }

 private:
  std::function<std::string()> m_make;
};

/// Where a case runs: in this process, or as a process of its own (see the top of the file).
enum class Run { InProcess, Forked };

struct HostileCase {
  std::string name;
  /// Writes what the run needs into the sandbox and returns the actions.
  std::function<std::vector<std::string>(const Sandbox&)> prepare;
  /// Expected in the "Stylor: ..." lines on stderr; empty for a run that succeeds.
  std::string message;
  int exitStatus = 1;
  /// Files of the working folder that the run is meant to write.
  std::set<std::string> written = {};
  bool asNobody = false;
  std::function<void(const Sandbox&)> check = nullptr;
  Run run = Run::InProcess;
  /// For a forked run: its limit and what is done to it while it runs.
  ForkedRun forked = {};
  /// The signal the forked run is meant to die of (0: none).
  int signal = 0;
  /// Actions of a second run in the same folder, in this process, after the first ended; its
  /// messages join the first run's.
  std::function<std::vector<std::string>(const Sandbox&)> nextRun = nullptr;
  /// Checks of what the run printed, and of its memory when forked.
  std::function<void(const Outcome&)> checkOutcome = nullptr;
};

/// The run printed `message` exactly once.
std::function<void(const Outcome&)> PrintedOnce(std::string message) {
  return [message](const Outcome& outcome) {
    const std::size_t first = outcome.err.find(message);
    EXPECT_NE(first, std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find(message, first + 1), std::string::npos)
        << "printed twice:\n" << outcome.err;
  };
}

/// A forked run peaked under `megabytes` of memory (not measured under the sanitizers, whose
/// shadow memory counts too).
std::function<void(const Outcome&)> MemoryUnder(long megabytes) {
  return [megabytes](const Outcome& outcome) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    (void)megabytes;
    (void)outcome;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
    (void)megabytes;
    (void)outcome;
#else
    EXPECT_LT(outcome.maxRssKb, megabytes * 1024) << "peak memory in KB";
#endif
#else
    EXPECT_LT(outcome.maxRssKb, megabytes * 1024) << "peak memory in KB";
#endif
  };
}

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }

std::vector<HostileCase> FontCases() {
  enum class Kind { File, Folder, Pipe, Missing };
  const auto font = [](std::string name, Kind kind, Bytes bytes, std::string reason,
                       Run run = Run::InProcess) {
    return HostileCase{
        "Font" + name,
        [kind, bytes](const Sandbox& box) {
          const std::string path = box.Path("bad.fnt");
          if (kind == Kind::File) box.Write("bad.fnt", bytes());
          if (kind == Kind::Folder) fs::create_directory(path);
          if (kind == Kind::Pipe) {
            EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
          }
          // A job after the refused font must not run: the finished program stays as it is.
          return std::vector<std::string>{"--font", path, "--set", "FreeFormTextE=LL", "text",
                                          box.Path(kProgram)};
        },
        reason, 1, {}, false, nullptr, run, {}, 0, nullptr,
        PrintedOnce("Cannot load the font file")};
  };
  const Bytes tenMegabyteLine = [] {
    std::string bytes = "SYM L\nG01 X";
    bytes.append(10 * 1024 * 1024, '7');
    return bytes + "\n";
  };
  std::string fiveThousandMoves = "SYM L\n";
  for (int move = 0; move < 5000; ++move) fiveThousandMoves += "G01 X1 Y1\n";
  std::string binary = "SYM L\n";
  for (int byte = 0; byte < 256; ++byte) binary += static_cast<char>(byte);
  return {
      font("Missing", Kind::Missing, "", "No such file or directory"),
      font("IsAFolder", Kind::Folder, "", "Is a directory"),
      font("IsAPipeNoOneWritesTo", Kind::Pipe, "", "is not a regular file", Run::Forked),
      font("Empty", Kind::File, "", "defines no character"),
      font("Binary", Kind::File, binary, "binary data"),
      font("TenMegabyteLine", Kind::File, tenMegabyteLine, "more than 200 moves", Run::Forked),
      font("FiveThousandMovesInOneGlyph", Kind::File, fiveThousandMoves,
           "more than 200 moves"),
      // Saved with the line ends of old Macs: it loads, and the job engraves with it.
      {"FontCrLineEndsOnly",
       [](const Sandbox& box) {
         std::string bytes = test::kLetterLFont;
         std::replace(bytes.begin(), bytes.end(), '\n', '\r');
         bytes.erase(std::unique(bytes.begin(), bytes.end(),
                                 [](char a, char b) { return a == '\r' && b == '\r'; }),
                     bytes.end());
         return std::vector<std::string>{"--font", box.Write("cr.fnt", bytes), "--set",
                                         "FreeFormTextE=LL", "text", box.Path(kProgram)};
       },
       "", 0, {kProgram}, false,
       [](const Sandbox& box) { EXPECT_THAT(ReadBytes(box.Path(kProgram)), HasSubstr("G01")); }},
      // The font that default.mch names does not load: said once, and no job runs.
      {"FontOfTheDefaultMachineFileDoesNotLoad",
       [](const Sandbox& box) {
         EngraveSettings settings;
         settings.FontFile = box.Write("bad.fnt", "not a font\n");
         WriteMachineFile(box.Path("default.mch"), settings);
         return std::vector<std::string>{"--set", "FreeFormTextE=LL", "text", box.Path(kProgram)};
       },
       "Cannot load the font file", 1, {}, false, nullptr, Run::InProcess, {}, 0, nullptr,
       PrintedOnce("Cannot load the font file")},
  };
}

// Single-line fonts (LFF, CXF): a file that cannot be a font is refused as a .fnt is; a glyph
// that does not read is left out, and the job that needs it says which character it left blank.
std::vector<HostileCase> LineFontCases() {
  const auto font = [](std::string name, std::string file, Bytes bytes, std::string text,
                       std::string message, int exitStatus, Run run = Run::InProcess) {
    return HostileCase{
        "LineFont" + name,
        [file, bytes, text](const Sandbox& box) {
          box.Write(file, bytes());
          return std::vector<std::string>{"--font", box.Path(file), "--set",
                                          "FreeFormTextE=" + text, "text", box.Path(kProgram)};
        },
        message, exitStatus, exitStatus == 0 ? std::set<std::string>{kProgram}
                                             : std::set<std::string>{},
        false, nullptr, run};
  };
  const std::string lff = "# Format: LibreCAD Font 1\n[0045] E\n0,0;0,10;6,10\n";
  const std::string cxf = "# Format: QCad 1.0 Font\n[E] 1\nL 0,0,0,10\n";
  const auto lineOf = [lff](std::size_t digits) -> Bytes {
    return [lff, digits] { return lff + "[0046] F\n0,0;" + std::string(digits, '7'); };
  };
  std::string binary = lff;
  for (int byte = 0; byte < 256; ++byte) binary += static_cast<char>(byte);
  const std::string blankA = "No glyph in bad.lff for: A";
  const auto withMemory = [](HostileCase c) {
    c.checkOutcome = MemoryUnder(64);
    return c;
  };
  // Reference chains 16 levels deep: multiplied out they would be millions of strokes.
  const Bytes chainFont = [] { return test::ReferenceChainFont(16); };
  HostileCase chains = withMemory(font("ReferenceChains", "chains.lff", chainFont, "EA",
                                       "No glyph in chains.lff for: A", 0, Run::Forked));
  const Bytes millionCorners = [lff] {
    std::string line;
    for (int corner = 0; corner < 16000; ++corner) line += "0,0;";
    std::string bytes = lff;
    while (bytes.size() < 15 * 1024 * 1024) bytes += line + "0,10\n";
    return bytes;
  };
  const Bytes manyGlyphs = [lff] {
    std::string bytes = lff;
    for (int g = 0; g < 70000; ++g) bytes += "[#" + std::to_string(10000 + g) + "]\n0,0\n";
    return bytes;
  };
  return {
      font("HundredMegabyteLine", "bad.lff", lineOf(100 * 1024 * 1024), "E", "larger than", 1,
           Run::Forked),
      font("MegabyteLine", "bad.lff", lineOf(1024 * 1024), "E", "longer than 65536 characters",
           1),
      font("LffBinary", "bad.lff", binary, "E", "binary data", 1),
      font("CxfBinary", "bad.cxf", cxf + std::string("L \0\x01\xff", 5), "E", "binary data", 1),
      font("NoGlyph", "bad.lff", "# Format: LibreCAD Font 1\n", "E", "defines no glyph", 1),
      font("NothingForWindows1252", "bad.cxf", "[#0416] 1\nL 0,0,1,1\n", "E",
           "no glyph for a character of Windows-1252 text", 1),
      font("GlyphRefersToItself", "bad.lff", lff + "[0041] A\nC0041\n", "EA", blankA, 0),
      font("GlyphsReferToEachOther", "bad.lff", lff + "[0041] A\nC0042\n[0042] B\nC0041\n",
           "EA", blankA, 0),
      font("GlyphRefersToAMissingGlyph", "bad.lff", lff + "[0041] A\nC0123\n", "EA", blankA, 0),
      font("BulgeOf1e308", "bad.lff", lff + "[0041] A\n0,0;5,10,A1e308\n", "EA", blankA, 0),
      font("NotANumber", "bad.lff", lff + "[0041] A\nnan,0;5,10\n", "EA", blankA, 0),
      font("InfiniteRadius", "bad.cxf", cxf + "[A] 1\nA 0,0,inf,0,90\n", "EA",
           "No glyph in bad.cxf for: A", 0),
      font("CodePointBeyondUnicode", "bad.lff", lff + "[110000] X\n0,0;1,1\n", "E", "", 0),
      font("ByteOrderMark", "bom.lff", "\xEF\xBB\xBF" + lff, "E", "", 0),
      font("CrLineEndsOnly", "cr.lff", "# Format: LibreCAD Font 1\r[0045] E\r0,0;0,10;6,10\r",
           "E", "", 0),
      font("CxfCrLineEndsOnly", "cr.cxf", "# Format: QCad 1.0 Font\r[E] 1\rL 0,0,0,10\r", "E",
           "", 0),
      chains,
      withMemory(font("MillionCorners", "bad.lff", millionCorners, "E",
                      "more than 1000000 corners and references", 1, Run::Forked)),
      withMemory(font("SeventyThousandGlyphs", "bad.lff", manyGlyphs, "E",
                      "more than 65536 glyphs", 1, Run::Forked)),
  };
}

std::string DefaultMachineFile(const Sandbox& box) {
  EngraveSettings settings;
  settings.FontFile = box.Path("BasicFont.fnt");
  settings.PreToolChange = {"T1 M6"};
  settings.PostEngrave = {"M30"};
  const std::string path = box.Path("made.mch");
  WriteMachineFile(path, settings);
  const std::string bytes = ReadBytes(path);
  fs::remove(path);
  return bytes;
}

std::vector<std::string> MachineLines(const Sandbox& box) {
  std::vector<std::string> lines;
  const std::string bytes = DefaultMachineFile(box);
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = bytes.find("\r\n", start);
    lines.push_back(bytes.substr(start, end + 2 - start));
    start = end + 2;
  }
  return lines;
}

// The header and the 18 key and value pairs, alone the reduced file of "Button1".
constexpr int kTextParameterLines = 37;
constexpr int kMachineFileLines = kTextParameterLines + 6;  // four headers, two block lines

// A machine file loads whole or not at all. Two cuts leave a file that is whole in itself: the
// reduced file (the pairs alone), and the blocks without the last line of Post Engrave; every
// other cut, at a line end or inside a line, is refused.
std::vector<HostileCase> MachineFileCases() {
  std::vector<HostileCase> cases;
  for (int kept = 0; kept <= kMachineFileLines; ++kept) {
    const bool whole = kept == kTextParameterLines || kept >= kMachineFileLines - 1;
    cases.push_back({"MachineFileCutAfterLine" + std::to_string(kept),
                     [kept](const Sandbox& box) {
                       const std::vector<std::string> lines = MachineLines(box);
                       EXPECT_EQ(lines.size(), static_cast<std::size_t>(kMachineFileLines));
                       std::string bytes;
                       for (int line = 0; line < kept; ++line) bytes += lines[line];
                       return std::vector<std::string>{"open-machine", box.Write("cut.mch", bytes)};
                     },
                     whole ? "" : "The machine file '", whole ? 0 : 1});
  }
  for (int kept = 1; kept <= kMachineFileLines; ++kept) {
    cases.push_back({"MachineFileCutInsideLine" + std::to_string(kept),
                     [kept](const Sandbox& box) {
                       const std::vector<std::string> lines = MachineLines(box);
                       std::string bytes;
                       for (int line = 0; line < kept; ++line) bytes += lines[line];
                       // Half the last line; a line of one character loses its line end alone.
                       const std::size_t text = lines[kept - 1].size() - 2;
                       bytes.resize(bytes.size() - 2 - text / 2);
                       return std::vector<std::string>{"open-machine", box.Write("cut.mch", bytes),
                                                       "--set", "FreeFormTextE=LL", "text",
                                                       box.Path(kProgram)};
                     },
                     "' ends in the middle of line " + std::to_string(kept)});
  }
  // The cut that turned "M03 S12000" into "M03 S1" and wrote it into the program.
  cases.push_back({"MachineFileCutInsideAToolChangeLine",
                   [](const Sandbox& box) {
                     EngraveSettings settings;
                     settings.FontFile = box.Path("BasicFont.fnt");
                     settings.ToolChange = {"T1 M06", "M03 S12000"};
                     WriteMachineFile(box.Path("f.mch"), settings);
                     std::string bytes = ReadBytes(box.Path("f.mch"));
                     fs::remove(box.Path("f.mch"));
                     bytes.resize(bytes.find("M03 S12000") + 6);
                     return std::vector<std::string>{"open-machine", box.Write("cut.mch", bytes),
                                                     "--set", "FreeFormTextE=LL", "text",
                                                     box.Path(kProgram)};
                   },
                   "' ends in the middle of line 41, in the section [SECTION -- Tool Change]: "
                   "the line has no line end"});
  cases.push_back({"MachineFileWithAByteOrderMark",
                   [](const Sandbox& box) {
                     return std::vector<std::string>{
                         "open-machine", box.Write("bom.mch", "\xEF\xBB\xBF" + DefaultMachineFile(box)),
                         "--set", "FreeFormTextE=LL", "text", box.Path(kProgram)};
                   },
                   "", 0, {kProgram}});
  const auto replacedValue = [](std::string key, std::string value) {
    return [key, value](const Sandbox& box) {
      std::string bytes = DefaultMachineFile(box);
      const std::size_t valueStart = bytes.find(key + "\r\n") + key.size() + 2;
      bytes.replace(valueStart, bytes.find("\r\n", valueStart) - valueStart, value);
      return std::vector<std::string>{"open-machine", box.Write("long.mch", bytes), "--set",
                                      "FreeFormTextE=LL", "text", box.Path(kProgram)};
    };
  };
  std::string binary = "[SECTION -- Text Parameters]\r\n";
  for (int byte = 255; byte >= 0; --byte) binary += static_cast<char>(byte);
  cases.push_back({"MachineFileBinary",
                   [binary](const Sandbox& box) {
                     return std::vector<std::string>{"open-machine", box.Write("bin.mch", binary)};
                   },
                   "binary data"});
  cases.push_back({"MachineFileIsAFolder",
                   [](const Sandbox& box) {
                     fs::create_directory(box.Path("folder.mch"));
                     return std::vector<std::string>{"open-machine", box.Path("folder.mch")};
                   },
                   "Is a directory"});
  cases.push_back({"MachineFileTenThousandCharacterIntegerValue",
                   replacedValue("[InverseTimeE]", std::string(10000, '9')),
                   "is not a valid integer value"});
  // A text value is held as it stands; the job that reads it as a number refuses it.
  cases.push_back({"MachineFileTenThousandCharacterTextValue",
                   replacedValue("[Height]", std::string(10000, '5')),
                   "is not a valid floating point value"});
  return cases;
}

// A default.mch that does not load stops the run before any action: the finished program stays.
std::vector<HostileCase> DefaultMachineFileCases() {
  enum class Kind { File, DanglingLink, Pipe, Folder };
  const auto defaultMachine = [](std::string name, Kind kind,
                                 std::function<std::string(std::string)> bytes,
                                 std::string message, int exitStatus = 1,
                                 Run run = Run::InProcess) {
    return HostileCase{
        "DefaultMachineFile" + name,
        [kind, bytes](const Sandbox& box) {
          const std::string path = box.Path("default.mch");
          if (kind == Kind::File) box.Write("default.mch", bytes(DefaultMachineFile(box)));
          if (kind == Kind::DanglingLink) fs::create_symlink(box.Path("gone.mch"), path);
          if (kind == Kind::Pipe) {
            EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
          }
          if (kind == Kind::Folder) fs::create_directory(path);
          return std::vector<std::string>{"--set", "FreeFormTextE=LL", "text", box.Path(kProgram)};
        },
        message, exitStatus, exitStatus == 0 ? std::set<std::string>{kProgram}
                                             : std::set<std::string>{},
        false, nullptr, run};
  };
  const auto replace = [](std::string key, std::string value) {
    return [key, value](std::string bytes) {
      const std::size_t start = bytes.find(key + "\r\n") + key.size() + 2;
      return bytes.replace(start, bytes.find("\r\n", start) - start, value);
    };
  };
  return {
      defaultMachine("CutInsideTheTextParameters", Kind::File,
                     [](std::string bytes) { return bytes.substr(0, bytes.find("[Axis2E]") + 3); },
                     "default.mch' ends in the middle of line 16, the key [Axis2E]"),
      defaultMachine("CutAfterTheFirstBlock", Kind::File,
                     [](std::string bytes) {
                       return bytes.substr(0, bytes.find("[SECTION -- Tool Change]"));
                     },
                     "default.mch' ends after line 39, before the section [SECTION -- Tool Change]"),
      defaultMachine("BadInteger", Kind::File, replace("[IntegrexMode]", "two"),
                     "default.mch', line 35, [IntegrexMode]: 'two' is not a valid integer value"),
      defaultMachine("DanglingLink", Kind::DanglingLink, nullptr,
                     "default.mch': it is a link to '"),
      defaultMachine("IsAPipeNoOneWritesTo", Kind::Pipe, nullptr, "is not a regular file", 1,
                     Run::Forked),
      defaultMachine("IsAFolder", Kind::Folder, nullptr, "default.mch': Is a directory"),
      // A value loaded as it stands is named with its file and key; the job then refuses it.
      defaultMachine("NotANumberAsEngraveFeed", Kind::File, replace("[EngraveFeedE]", "nan"),
                     "default.mch', [EngraveFeedE]: 'nan' is not a valid floating point value"),
      defaultMachine("NotANumberAsHeight", Kind::File, replace("[Height]", "nan"),
                     "Stylor: warning: the machine file '"),
      defaultMachine("WithAByteOrderMark", Kind::File,
                     [](std::string bytes) { return "\xEF\xBB\xBF" + bytes; }, "", 0),
  };
}

struct BadNumber {
  const char* label;
  const char* text;
};
constexpr BadNumber kBadNumbers[] = {{"Overflow", "1e999"}, {"NaN", "nan"},   {"Infinity", "inf"},
                                     {"Minus", "-"},        {"Empty", ""},     {"LeadingBlank", " 1"},
                                     {"Hex", "0x10"}};

struct JobAction {
  const char* name;
  std::vector<std::string> settings;  // --set arguments that give the job something to engrave
  const char* action;
};

const JobAction kJobs[] = {
    {"Text", {"FreeFormTextE=LL"}, "text"},
    {"Arc", {"ArcTextE=LL"}, "arc"},
    {"Ellipse", {"EllipseTextE=LL"}, "ellipse"},
    {"Sequence", {}, "sequence"},
};

std::vector<std::string> JobRun(const JobAction& job, std::vector<std::string> settings,
                                const std::string& program) {
  std::vector<std::string> actions;
  settings.insert(settings.begin(), job.settings.begin(), job.settings.end());
  for (const std::string& setting : settings) {
    actions.push_back("--set");
    actions.push_back(setting);
  }
  actions.push_back(job.action);
  actions.push_back(program);
  return actions;
}

std::vector<HostileCase> NumberCases() {
  struct FieldRead {
    const char* field;
    std::vector<const char*> jobs;
    std::vector<std::string> settings;
    const char* kind;
  };
  const std::vector<const char*> kAll = {"Text", "Arc", "Ellipse", "Sequence"};
  const FieldRead kFields[] = {
      {"Axis1StartE", kAll, {}, "floating point"},   {"Axis2StartE", kAll, {}, "floating point"},
      {"PenUpE", kAll, {}, "floating point"},        {"PenDownE", kAll, {}, "floating point"},
      {"TextHeightE", kAll, {}, "floating point"},   {"WidthRatioE", kAll, {}, "floating point"},
      {"SpacingRatioE", kAll, {}, "floating point"}, {"LineSpacingE", kAll, {}, "floating point"},
      {"PlungeFeedE", kAll, {}, "floating point"},   {"EngraveFeedE", kAll, {}, "floating point"},
      {"TextAngleE", kAll, {}, "floating point"},
      {"RadiusE", {"Arc"}, {}, "floating point"},
      {"RadiusE", {"Sequence"}, {"UseArcSettings=1"}, "floating point"},
      {"AEdit", {"Ellipse"}, {}, "floating point"},  {"BEdit", {"Ellipse"}, {}, "floating point"},
      {"SeqStart", {"Sequence"}, {}, "integer"},     {"SeqEnd", {"Sequence"}, {}, "integer"},
      {"SeqStep", {"Sequence"}, {}, "integer"},      {"SeqDigits", {"Sequence"}, {}, "integer"},
  };
  std::vector<HostileCase> cases;
  for (const FieldRead& read : kFields) {
    for (const char* jobName : read.jobs) {
      const JobAction& job = *std::find_if(std::begin(kJobs), std::end(kJobs),
                                           [&](const JobAction& j) { return j.name == std::string(jobName); });
      for (const BadNumber& number : kBadNumbers) {
        std::vector<std::string> settings = read.settings;
        settings.push_back(std::string(read.field) + "=" + number.text);
        std::string name = std::string(job.name) + read.field + number.label;
        if (!read.settings.empty()) name += "WithArcSettings";
        cases.push_back({name,
                         [&job, settings](const Sandbox& box) {
                           return JobRun(job, settings, box.Path(kProgram));
                         },
                         "'" + std::string(number.text) + "' is not a valid " + read.kind +
                             " value"});
      }
    }
  }
  return cases;
}

std::vector<HostileCase> ProgramFileCases() {
  std::vector<HostileCase> cases;
  const std::vector<std::string> blocks = {"PreToolChange=T1 M6", "PostEngrave=M30"};
  for (const JobAction& job : kJobs) {
    const std::string name = job.name;
    cases.push_back({name + "IntoAMissingFolder",
                     [&job, blocks](const Sandbox& box) {
                       return JobRun(job, blocks, box.Path("missing/job.eia"));
                     },
                     "No such file or directory"});
    cases.push_back({name + "OverAReadOnlyFile",
                     [&job, blocks](const Sandbox& box) {
                       fs::permissions(box.Path(kProgram), fs::perms::owner_read |
                                                               fs::perms::group_read |
                                                               fs::perms::others_read);
                       return JobRun(job, blocks, box.Path(kProgram));
                     },
                     "Permission denied", 1, {}, /*asNobody=*/true, nullptr, Run::Forked});
    // A device is no program file: the job must not end as if its program were written.
    cases.push_back({name + "OntoADevice",
                     [&job, blocks](const Sandbox&) { return JobRun(job, blocks, "/dev/full"); },
                     "not a regular file"});
  }
  return cases;
}

void ExpectNumberLines(const std::string& program, const std::vector<std::string>& numbers) {
  std::vector<std::string> found;
  for (std::size_t start = 0; start < program.size();) {
    std::size_t end = program.find("\r\n", start);
    if (end == std::string::npos) end = program.size();
    if (program[start] == 'N') found.push_back(program.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(found, numbers);
}

std::vector<HostileCase> EdgeCases() {
  const std::vector<std::string> nearTheTop = {"SeqStart=2147483640", "SeqEnd=2147483647",
                                               "SeqStep=3"};
  const std::vector<std::string> topNumbers = {"N2147483640", "N2147483643", "N2147483646"};
  std::vector<HostileCase> cases;
  cases.push_back({"SerialRunEndsBelowTheLargest32BitNumber",
                   [nearTheTop](const Sandbox& box) {
                     return JobRun(kJobs[3], nearTheTop, box.Path(kProgram));
                   },
                   kDigitsLeftBlank, 0, {kProgram}, false,
                   [topNumbers](const Sandbox& box) {
                     ExpectNumberLines(ReadBytes(box.Path(kProgram)), topNumbers);
                   }});
  std::vector<std::string> manyFiles = nearTheTop;
  manyFiles.push_back("Files=1");
  manyFiles.push_back("FilePrefix=SN");
  cases.push_back({"SerialRunOfManyFilesEndsBelowTheLargest32BitNumber",
                   [manyFiles](const Sandbox& box) {
                     return JobRun(kJobs[3], manyFiles, box.Path(kProgram));
                   },
                   kDigitsLeftBlank, 0, {"SN2147483640.eia", "SN2147483643.eia", "SN2147483646.eia"}, false,
                   [](const Sandbox& box) {
                     ExpectNumberLines(ReadBytes(box.Path("SN2147483646.eia")), {"N2147483646"});
                   }});
  // 100 KB each time a case runs: cheap enough, and not held by every other case.
  const auto longText = [] { return std::string(100000, 'L'); };
  cases.push_back({"TextOf100000Characters",
                   [longText](const Sandbox& box) {
                     return JobRun(kJobs[0], {"FreeFormTextE=" + longText()}, box.Path(kProgram));
                   },
                   "", 0, {kProgram}, false, nullptr, Run::Forked});
  cases.push_back({"ArcOf100000Characters",
                   [longText](const Sandbox& box) {
                     return JobRun(kJobs[1], {"ArcTextE=" + longText()}, box.Path(kProgram));
                   },
                   "", 0, {kProgram}, false, nullptr, Run::Forked});
  cases.push_back({"EllipseOf100000Characters",
                   [longText](const Sandbox& box) {
                     return JobRun(kJobs[2], {"EllipseTextE=" + longText()}, box.Path(kProgram));
                   },
                   "Text is too long to fit around ellipse", 1, {}, false, nullptr, Run::Forked});
  // A run of two billion numbers of forty glyphs each would fill any disk long before its end.
  cases.push_back({"SerialRunLargerThanTheDisk",
                   [](const Sandbox& box) {
                     return JobRun(kJobs[3], {"SeqPrefix=" + std::string(40, 'L'), "SeqStart=0",
                                              "SeqEnd=2000000000"},
                                   box.Path(kProgram));
                   },
                   "The program would take about "});
  cases.push_back({"SerialDigitsPastTheirCap",
                   [](const Sandbox& box) {
                     return JobRun(kJobs[3], {"SeqDigits=65"}, box.Path(kProgram));
                   },
                   "(SeqDigits) is 65; a serial number is padded to at most 64 digits"});
  cases.push_back({"SerialPrefixOfManyFilesWithALineBreak",
                   [](const Sandbox& box) {
                     return JobRun(kJobs[3], {"Files=1", "FilePrefix=SN\n"}, box.Path(kProgram));
                   },
                   "The File Name Prefix (FilePrefix) holds a line break"});
  // A font of the digits 0 and 1: the run 1002 to 1009 and its padding zeros name every digit
  // they leave blank, not only those typed into Start and End.
  const auto twoDigits = [](const Sandbox& box, std::vector<std::string> settings) {
    box.Write("ten.fnt", "SYM 0\nG00 X0 Y0\nG01 Z-1\nG01 X0.5 Y1\nG00 Z1\n"
                         "SYM 1\nG00 X0 Y0\nG01 Z-1\nG01 X0 Y1\nG00 Z1\n");
    std::vector<std::string> actions = {"--font", box.Path("ten.fnt")};
    const std::vector<std::string> run = JobRun(kJobs[3], std::move(settings), box.Path(kProgram));
    actions.insert(actions.end(), run.begin(), run.end());
    return actions;
  };
  cases.push_back({"SerialRunNamesEveryDigitItLeavesBlank",
                   [twoDigits](const Sandbox& box) {
                     return twoDigits(box, {"SeqStart=1002", "SeqEnd=1009"});
                   },
                   "No glyph in ten.fnt for: 2 3 4 5 6 7 8 9\n", 0, {kProgram}});
  cases.push_back({"SerialRunNamesAPaddingZero",
                   [](const Sandbox& box) {
                     return JobRun(kJobs[3], {"SeqStart=1", "SeqEnd=1", "SeqDigits=3"},
                                   box.Path(kProgram));
                   },
                   std::string(kDigitsLeftBlank) + "0 1\n", 0, {kProgram}});
  cases.push_back({"SerialPrefixOf100000Characters",
                   [longText](const Sandbox& box) {
                     return JobRun(kJobs[3], {"SeqPrefix=" + longText(), "SeqEnd=1001"},
                                   box.Path(kProgram));
                   },
                   kDigitsLeftBlank, 0, {kProgram}, false, nullptr, Run::Forked});
  return cases;
}

// Data files for a batch: each refusal names the line, and the program stays as it was.
std::vector<HostileCase> DataFileCases() {
  enum class Kind { File, Folder, Pipe };
  const auto rows = [](std::string name, Bytes bytes, std::string message,
                       std::vector<std::string> sets = {}, Kind kind = Kind::File,
                       Run run = Run::InProcess) {
    return HostileCase{
        "DataFile" + name,
        [bytes, sets, kind](const Sandbox& box) {
          const std::string path = box.Path("rows.csv");
          if (kind == Kind::File) box.Write("rows.csv", bytes());
          if (kind == Kind::Folder) fs::create_directory(path);
          if (kind == Kind::Pipe) {
            EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
          }
          std::vector<std::string> actions = {"--set", "FreeFormTextE={Text}"};
          for (const std::string& set : sets) actions.insert(actions.end(), {"--set", set});
          // Many Files writes into the working folder itself.
          const bool many = std::find(sets.begin(), sets.end(), "Files=1") != sets.end();
          actions.insert(actions.end(),
                         {"batch", "text", path, many ? box.Work() : box.Path(kProgram)});
          return actions;
        },
        message, 1, {}, false, nullptr, run};
  };
  const Bytes tenMegabyteValue = [] { return "Text\n" + std::string(10 * 1024 * 1024, 'L'); };
  const Bytes overTheCap = [] { return "Text\n" + std::string(65 * 1024 * 1024, 'L'); };
  return {
      rows("TenMegabyteValue", tenMegabyteValue, "line 2 holds a value of 10485760 bytes"),
      rows("RowWithMoreValues", "Text,Id\nL,1\nL,2,3\n", "line 3 has 3 values where the header"),
      rows("RowWithFewerValues", "Text,Id\nL\n", "line 2 has 1 value where the header names 2"),
      rows("UnclosedQuote", "Text\nL\n\"LL\nLLL\n", "line 3 opens a quoted value"),
      rows("NulByte", std::string("Text\nL\0L\n", 10), "line 2 holds a NUL character"),
      rows("SameColumnTwice", "Text,Text\nL,L\n", "line 1 names the column 'Text' twice"),
      rows("NotUtf8", "Text\n\xff\xfe\n", "line 2 is not UTF-8 text"),
      rows("LargerThan64MiB", overTheCap, "it is larger than 64 MiB", {}, Kind::File, Run::Forked),
      rows("IsAFolder", "", "Is a directory", {}, Kind::Folder),
      rows("IsAPipeNoOneWritesTo", "", "is not a regular file", {}, Kind::Pipe, Run::Forked),
      rows("UnknownPlaceholder", "Text\nL\n", "Row 1: the placeholder {Txet}",
           {"FreeFormTextE={Txet}"}),
      rows("NameClimbsOutOfTheFolder", "Text\nL\n../L\n", "Row 2: the file name '../L'",
           {"Files=1", "BatchNameColumn=Text"}),
      // A short first row, then long ones engraved two hundred times each: a program of some
      // 200 GB, refused before writing, whatever the first row alone would suggest.
      rows("ProgramLargerThanTheDisk",
           [] {
             std::string bytes = "Text\nL\n";
             for (int row = 0; row < 2000; ++row) bytes += std::string(5000, 'L') + "\n";
             return bytes;
           },
           "The program would take about ", {[] {
             std::string text = "FreeFormTextE=";
             for (int k = 0; k < 200; ++k) text += "{Text}";
             return text;
           }()}),
      rows("DoubledBom", "\xEF\xBB\xBF\xEF\xBB\xBFText\nL\n", "line 1 starts with a second byte order mark"),
      // A value filled into a G-code line would close its comment, and the control would then
      // run "G00 Z-5." as a rapid move into the part.
      rows("ValueClosesTheCommentOfARowLine", "Text,Serial\nL,\"1) G00 Z-5. (\"\n",
           "Row 1: the value of column 'Serial' holds ')', and it is filled into SeqPreGCodes",
           {"SeqPreGCodes=(SERIAL {Serial})"}),
      rows("ValueStartsAProgramLineInABlock", "Text,Serial\nL,1\nL,\"2\nG00 Z-5.\"\n",
           "Row 2: the value of column 'Serial' holds a line break, and it is filled into ToolChange",
           {"ToolChange=(SERIAL {Serial})"}),
      rows("ValueClosesTheCommentOfManyFiles", "Text,Serial\nL,1\nL,2)\n",
           "Row 2: the value of column 'Serial' holds ')', and it is filled into PostEngrave",
           {"Files=1", "PostEngrave=(SERIAL {Serial})"}),
      rows("PrefixWithALineBreak", "Text\nL\n", "The File Name Prefix (FilePrefix) holds a line break",
           {"Files=1", "FilePrefix=P\nQ"}),
  };
}

// Settings whose program a control would misread or refuse: a command letter as an axis, a feed
// that is not above zero as written, a text that rounds to a point. Each is refused naming its
// field, and the finished program stays as it was.
std::vector<HostileCase> MachineWordCases() {
  struct Setting {
    const char* name;
    std::vector<std::string> settings;
    const char* message;
  };
  const Setting kSettings[] = {
      {"AxisIsTheSpindleSpeed", {"Axis2E=S"}, "Axis 2 (Axis2E) must not be 'S'"},
      {"AxisIsALowerCaseCommand", {"Axis1E=m"}, "Axis 1 (Axis1E) must not be 'm'"},
      {"PlungeAxisIsTheFeed", {"Axis3E=F"}, "the plunge axis (Axis3E) must not be 'F'"},
      {"OneLetterOnBothPlaneAxes", {"Axis1E=Y"}, "Axis 1 (Axis1E) and Axis 2 (Axis2E) are both 'Y'"},
      {"PlungeAxisOnAPlaneAxis", {"Axis2E=Z"}, "Axis 2 (Axis2E) and the plunge axis (Axis3E)"},
      {"AxisIsAWordOfTheMode", {"IntegrexMode=5", "Axis2E=U"}, "writes U as a word of its own"},
      {"FeedRoundsToZero", {"EngraveFeedE=0.001"}, "(EngraveFeedE) must be above 0"},
      {"FeedBelowZero", {"EngraveFeedE=-50"}, "it would be written F-50.00"},
      {"PlungeFeedMinusZero", {"PlungeFeedE=-0"}, "it would be written F-0.00"},
      {"TimedFeedOfZero", {"FeedMode=2", "PlungeFeedE=0"}, "(PlungeFeedE) must be above 0"},
      {"HeightOfZero", {"TextHeightE=0"}, "The text height (TextHeightE) rounds to 0.0000"},
      {"HeightOfMinusZero", {"TextHeightE=-0"}, "The text height (TextHeightE) rounds to 0.0000"},
      {"HeightOfTenMillionths", {"TextHeightE=1e-5"}, "The text height (TextHeightE) rounds to 0.0000"},
      {"WidthRatioOfZero", {"WidthRatioE=0"}, "The width ratio (WidthRatioE)"},
  };
  std::vector<HostileCase> cases;
  for (const Setting& setting : kSettings) {
    for (const JobAction& job : kJobs) {
      cases.push_back({std::string(job.name) + setting.name,
                       [&job, settings = setting.settings](const Sandbox& box) {
                         return JobRun(job, settings, box.Path(kProgram));
                       },
                       setting.message});
    }
  }
  // Each block of a run is labelled with its number, and a control refuses "N-3".
  cases.push_back({"SerialRunBelowZero",
                   [](const Sandbox& box) {
                     return JobRun(kJobs[3], {"SeqStart=-3", "SeqEnd=2"}, box.Path(kProgram));
                   },
                   "a control refuses N-3"});
  // A character the font has no glyph for is named in the warning as a code, never written to
  // the terminal as it is: an ESC would start a control sequence there.
  cases.push_back({"MissingGlyphOfAControlCharacter",
                   [](const Sandbox& box) {
                     return JobRun(kJobs[0], {"FreeFormTextE=L\x1b[2J\a\x7f"}, box.Path(kProgram));
                   },
                   "for: <ESC (code 27)> [ 2 J <BEL (code 7)> <DEL (code 127)>\n", 0, {kProgram}});
  return cases;
}

// Sends `signalNumber` to a run once its run folder in the working folder holds a temporary
// file, or, with `seriesMark`, once the renames of its series have begun.
std::function<void(pid_t, const Sandbox&)> SignalOnceWritten(int signalNumber,
                                                            bool seriesMark = false) {
  return [signalNumber, seriesMark](pid_t child, const Sandbox& box) {
    const std::string run = box.Path(".stylor-run-" + std::to_string(child));
    const auto reached = [&] {
      if (seriesMark) return access((run + "/series").c_str(), F_OK) == 0;
      std::error_code error;
      return fs::directory_iterator(run, error) != fs::directory_iterator();
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
      if (reached()) {
        kill(child, signalNumber);
        return;
      }
      siginfo_t ended{};
      // Ended before it got there: the wait below reaps it, and the case fails.
      if (waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 ||
          ended.si_pid != 0) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    ADD_FAILURE() << "the run never reached the point to stop it";
  };
}

std::set<std::string> SerialFileNames(int count) {
  std::set<std::string> names;
  for (int k = 1; k <= count; ++k) names.insert("SN" + std::to_string(k) + ".eia");
  return names;
}

// Faults while a program is written: a full disk (a file-size limit, which also shows how the
// run copes with EFBIG), signals, links, hard links and read-only folders. The old program stays
// byte for byte, and no temporary file stays behind.
std::vector<HostileCase> WritingFaultCases() {
  std::vector<HostileCase> cases;
  // An append that meets a full disk half-way: cut back to the old program, whether the job
  // was held in memory (a short one) or copied in pieces from its temporary file (a long one).
  const struct {
    const char* name;
    int letters;
    std::size_t oldBytes;
    rlim_t limit;
  } kAppends[] = {{"Short", 20, 64000, 64 * 1024}, {"Long", 2000, 400 * 1024, 512 * 1024}};
  for (const auto& append : kAppends) {
    cases.push_back({std::string("AppendOf") + append.name + "JobMeetsAFullDisk",
                     [append](const Sandbox& box) {
                       box.Write(kProgram, std::string(append.oldBytes, 'o') + "\r\n");
                       return JobRun(kJobs[0],
                                     {"AppendMode=2", "FreeFormTextE=" + std::string(append.letters, 'L')},
                                     box.Path(kProgram));
                     },
                     "File too large", 1, {}, false, nullptr, Run::Forked, {append.limit}});
  }
  const std::vector<std::string> manyFiles = {"SeqStart=1", "SeqEnd=3000", "Files=1",
                                              "FilePrefix=SN"};
  cases.push_back({"ManyFilesMeetAFileSizeLimit",
                   [manyFiles](const Sandbox& box) {
                     std::vector<std::string> sets = manyFiles;
                     sets.push_back("SeqPrefix=" + std::string(200, 'L'));
                     return JobRun(kJobs[3], sets, box.Path(kProgram));
                   },
                   "File too large", 1, {}, false, nullptr, Run::Forked, {16 * 1024}});
  // Stopped while writing its files: none of them reaches the folder, and none is left.
  for (const auto& [name, signalNumber] :
       {std::pair{"Interrupt", SIGINT}, std::pair{"Terminate", SIGTERM}, std::pair{"HangUp", SIGHUP}}) {
    cases.push_back({std::string("ManyFilesStoppedBy") + name,
                     [manyFiles](const Sandbox& box) {
                       return JobRun(kJobs[3], manyFiles, box.Path(kProgram));
                     },
                     "", 1, {}, false, nullptr, Run::Forked,
                     {0, SignalOnceWritten(signalNumber)}, signalNumber});
  }
  // Killed outright: one run folder stays, and the next run in the folder removes it.
  cases.push_back({"ManyFilesKilledLeaveNothingAfterTheNextRun",
                   [manyFiles](const Sandbox& box) {
                     return JobRun(kJobs[3], manyFiles, box.Path(kProgram));
                   },
                   "", 1, {kProgram}, false, nullptr, Run::Forked,
                   {0, SignalOnceWritten(SIGKILL)}, SIGKILL,
                   [](const Sandbox& box) {
                     return JobRun(kJobs[0], {}, box.Path(kProgram));
                   }});
  // Killed among the renames that put a series in place: the next run finishes the series, so
  // no old program is left among the new ones, and says so.
  cases.push_back({"ManyFilesKilledWhileRenamingAreFinishedByTheNextRun",
                   [manyFiles](const Sandbox& box) {
                     for (const std::string& name : SerialFileNames(3000)) box.Write(name, "old");
                     return JobRun(kJobs[3], manyFiles, box.Path(kProgram));
                   },
                   "warning: a run that was stopped while putting its series of programs in "
                   "place left",
                   1, [] {
                     std::set<std::string> names = SerialFileNames(3000);
                     names.insert(kProgram);
                     return names;
                   }(),
                   false,
                   [](const Sandbox& box) {
                     for (const std::string& name : SerialFileNames(3000)) {
                       ASSERT_NE(ReadBytes(box.Path(name)), "old") << name;
                     }
                   },
                   Run::Forked, {0, SignalOnceWritten(SIGKILL, true)}, SIGKILL,
                   [](const Sandbox& box) {
                     return JobRun(kJobs[0], {}, box.Path(kProgram));
                   }});
  // Links: one that leads nowhere is refused, not replaced by a file; one planted under a name
  // the run makes up is refused, and the file it points to stays as it was.
  const auto linkedRun = [](std::string name, std::string link, std::string to,
                            std::vector<std::string> sets, const JobAction& job,
                            std::string message) {
    return HostileCase{name,
                       [link, to, sets, &job](const Sandbox& box) {
                         box.Write("victim.txt", "keep me\n");
                         fs::create_symlink(box.Path(to), box.Path(link));
                         const bool many = std::find(sets.begin(), sets.end(), "Files=1") != sets.end();
                         if (&job == &kJobs[0] && many) {
                           box.Write("rows.csv", "Text\nL\nLL\n");
                           std::vector<std::string> actions;
                           for (const std::string& set : sets) actions.insert(actions.end(), {"--set", set});
                           actions.insert(actions.end(),
                                          {"batch", "text", box.Path("rows.csv"), box.Work()});
                           return actions;
                         }
                         return JobRun(job, sets, box.Path(link));
                       },
                       message};
  };
  cases.push_back(linkedRun("TextOntoADanglingLink", "dangling.eia", "gone.eia", {}, kJobs[0],
                            "it is a symbolic link to a file that does not exist"));
  cases.push_back(linkedRun("TextOntoALinkLoop", "loop.eia", "loop.eia", {}, kJobs[0],
                            "it is a symbolic link in a loop"));
  cases.push_back(linkedRun("AppendOntoADanglingLink", "dangling.eia", "gone.eia",
                            {"AppendMode=2"}, kJobs[0],
                            "it is a symbolic link to a file that does not exist"));
  cases.push_back(linkedRun("ManyFilesOntoAPlantedLink", "SN2.eia", "victim.txt",
                            {"SeqStart=1", "SeqEnd=3", "Files=1", "FilePrefix=SN"}, kJobs[3],
                            "is a symbolic link, and the files of a run are only written as "
                            "regular files"));
  cases.push_back(linkedRun("BatchFolderOntoAPlantedLink", "P2.eia", "victim.txt",
                            {"FreeFormTextE={Text}", "Files=1", "FilePrefix=P"}, kJobs[0],
                            "is a symbolic link, and the files of a run are only written as "
                            "regular files"));
  // A hard-linked program is replaced as any other; its other name keeps the old program, and
  // the run says so.
  cases.push_back({"TextOverAHardLinkedProgram",
                   [](const Sandbox& box) {
                     EXPECT_EQ(link(box.Path(kProgram).c_str(), box.Path("other.eia").c_str()), 0);
                     return JobRun(kJobs[0], {}, box.Path(kProgram));
                   },
                   "warning: '" , 0, {kProgram}, false,
                   [](const Sandbox& box) {
                     EXPECT_EQ(ReadBytes(box.Path("other.eia")), kFinishedProgram);
                     EXPECT_NE(ReadBytes(box.Path(kProgram)), kFinishedProgram);
                   }});
  // A program that may be written, in a folder that may not: it cannot be replaced safely.
  cases.push_back({"TextOverAProgramInAReadOnlyFolder",
                   [](const Sandbox& box) {
                     fs::permissions(box.Path(kProgram), fs::perms::all);
                     fs::permissions(box.Work(), fs::perms::owner_read | fs::perms::owner_exec |
                                                     fs::perms::group_read | fs::perms::group_exec |
                                                     fs::perms::others_read | fs::perms::others_exec);
                     return JobRun(kJobs[0], {}, box.Path(kProgram));
                   },
                   "its folder is read-only, so the program cannot be replaced safely", 1, {},
                   /*asNobody=*/true,
                   [](const Sandbox& box) { fs::permissions(box.Work(), fs::perms::all); },
                   Run::Forked});
  return cases;
}

// Files saved with CR line ends only read line by line, as with LF or CR LF.
std::vector<HostileCase> LineEndCases() {
  return {
      {"ProgramCrLineEndsOnlyHasItsLines",
       [](const Sandbox& box) {
         return std::vector<std::string>{
             "stats", box.Write("cr.eia", "G00 X0 Y0 Z1\rG01 Z-1 F10\rG01 X1 Y1\rG00 Z1\rM30\r")};
       },
       "", 0, {}, false, nullptr, Run::InProcess, {}, 0, nullptr,
       [](const Outcome& outcome) {
         EXPECT_THAT(outcome.out, HasSubstr("lines: 5\n"));
         EXPECT_THAT(outcome.out, HasSubstr("moves: 3\n"));
       }},
  };
}

std::vector<HostileCase> AllCases() {
  std::vector<HostileCase> cases;
  for (auto group : {FontCases, LineFontCases, MachineFileCases, DefaultMachineFileCases,
                     NumberCases, ProgramFileCases, EdgeCases, DataFileCases, MachineWordCases,
                     WritingFaultCases, LineEndCases}) {
    for (HostileCase& c : group()) cases.push_back(std::move(c));
  }
  return cases;
}

class HostileInputTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileInputTest, EndsWithAClearVerdictAndKeepsEveryOtherFile) {
  const HostileCase& c = GetParam();
  Sandbox box;
  const std::vector<std::string> actions = c.prepare(box);
  const auto before = box.Snapshot();
  Outcome outcome = c.run == Run::Forked ? RunForked(box, actions, c.asNobody, c.forked)
                                         : RunInProcess(box, actions);

  ASSERT_EQ(outcome.signal, c.signal) << "stylor-cli died of signal " << outcome.signal << "\n"
                                      << outcome.err;
  if (c.nextRun) {
    const Outcome next = RunInProcess(box, c.nextRun(box));
    EXPECT_EQ(next.exitStatus, 0) << next.err;
    outcome.err += next.err;
  }
  if (c.signal != 0) outcome.exitStatus = c.exitStatus;
  EXPECT_EQ(outcome.exitStatus, c.exitStatus) << outcome.err;
  if (c.message.empty()) {
    // A run that writes a program with no start block is warned of that (the setup warnings'
    // own tests check it); nothing else may be said.
    std::string said = outcome.err;
    const std::string emptyStart = "Stylor: warning: The start block is empty:";
    for (std::size_t at = said.find(emptyStart); at != std::string::npos;
         at = said.find(emptyStart, at)) {
      said.erase(at, said.find('\n', at) + 1 - at);
    }
    EXPECT_EQ(said, "");
  } else {
    EXPECT_THAT(outcome.err, StartsWith("Stylor: "));
    EXPECT_THAT(outcome.err, HasSubstr(c.message));
  }
  // Only the program's own messages: no sanitizer report, no usage text.
  for (std::size_t start = 0; start < outcome.err.size();) {
    const std::size_t end = outcome.err.find('\n', start);
    EXPECT_THAT(outcome.err.substr(start, end - start), StartsWith("Stylor: "));
    start = end == std::string::npos ? outcome.err.size() : end + 1;
  }

  const auto after = box.Snapshot();
  for (const auto& [name, bytes] : before) {
    if (c.written.contains(name)) continue;
    const auto found = after.find(name);
    ASSERT_NE(found, after.end()) << name << " was removed";
    EXPECT_TRUE(found->second == bytes) << name << " changed";
  }
  for (const auto& [name, bytes] : after) {
    EXPECT_TRUE(before.contains(name) || c.written.contains(name)) << name << " was created";
  }
  for (const std::string& name : c.written) {
    EXPECT_TRUE(after.contains(name)) << name << " was not written";
  }
  if (c.check) c.check(box);
  if (c.checkOutcome) c.checkOutcome(outcome);
}

INSTANTIATE_TEST_SUITE_P(StylorCli, HostileInputTest, testing::ValuesIn(AllCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace stylor
