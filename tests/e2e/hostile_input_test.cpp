// stylor-cli runs fed with hostile files, numbers and paths. Each must end by itself, without a
// signal, with its verdict ("Stylor: ..." on stderr and status 1, or a finished job and status 0),
// and must leave every file it was not asked to write byte for byte as it was. Most runs call the
// command line in this process; a run is forked only where it needs a process of its own: a pipe
// that could keep it waiting, lowered rights, /dev/full, or an input so large that only a whole
// process shows how it copes.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
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
      const std::string name = fs::relative(entry.path(), m_root / "work").string();
      // Reading a pipe would wait for a writer; its name is enough.
      files[name] = entry.is_directory()      ? "<folder>"
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

Outcome RunForked(const Sandbox& box, const std::vector<std::string>& actions, bool asNobody) {
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
    execv(argv[0], argv.data());
    _exit(127);
  }
  Outcome outcome;
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) {
    ADD_FAILURE() << "cannot run " << kCli;
    return outcome;
  }
  if (WIFEXITED(status)) outcome.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
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
};

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
        reason, 1, {}, false, nullptr, run};
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
  };
}

std::vector<HostileCase> AllCases() {
  std::vector<HostileCase> cases;
  for (auto group : {FontCases, LineFontCases, MachineFileCases, DefaultMachineFileCases,
                     NumberCases, ProgramFileCases, EdgeCases, DataFileCases}) {
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
  const Outcome outcome =
      c.run == Run::Forked ? RunForked(box, actions, c.asNobody) : RunInProcess(box, actions);

  ASSERT_EQ(outcome.signal, 0) << "stylor-cli died of signal " << outcome.signal << "\n"
                               << outcome.err;
  EXPECT_EQ(outcome.exitStatus, c.exitStatus) << outcome.err;
  if (c.message.empty()) {
    EXPECT_EQ(outcome.err, "");
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
}

INSTANTIATE_TEST_SUITE_P(StylorCli, HostileInputTest, testing::ValuesIn(AllCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace stylor
