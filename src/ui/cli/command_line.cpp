#include "ui/cli/command_line.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string_view>

#include "engrave/program_store.h"
#include "preview/preview_scene.h"
#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "settings/text8.h"
#include "preview/cut_render.h"
#include "preview/svg.h"
#include "settings/error.h"
#include "settings/marking/marking_run.h"
#include "settings/numbers.h"
#include "ui/cli/actions.h"
#include "ui/cli/manual.h"
#include "ui/model/engrave_form_model.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;

struct Action {
  const ActionInfo* info = nullptr;
  std::string argument;
  const FieldInfo* field = nullptr;  // --set and show
  std::string value;                 // --set; preview: the picture; batch: the rows
  std::string output;                // batch: the program file or folder
  MacroPreset preset;                // --var
};


// The job a batch repeats, by its action's name; nothing for a job no batch repeats.
const JobInfo* BatchJobNamed(std::string_view name) {
  for (const JobInfo& job : AllJobs()) {
    if (job.batchLayout && job.action == name) return &job;
  }
  return nullptr;
}

// "text, arc or ellipse": the jobs a batch can repeat.
std::string BatchJobNames() {
  std::vector<std::string_view> names;
  for (const JobInfo& job : AllJobs()) {
    if (job.batchLayout) names.push_back(job.action);
  }
  std::string listed;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k > 0) listed += k + 1 == names.size() ? " or " : ", ";
    listed += names[k];
  }
  return listed;
}

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "--var N=VALUE": a whole variable number from 1 to 99999 and a decimal value.
MacroPreset ReadPreset(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) throw UsageError("--var needs N=VALUE");
  MacroPreset preset;
  const std::string_view number = std::string_view(text).substr(0, equals);
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(),
                                            preset.number);
  if (number.empty() || error != std::errc() || end != number.data() + number.size() ||
      preset.number < 1 || preset.number > 99999) {
    throw UsageError("--var takes a variable number from 1 to 99999, not '" +
                     std::string(number) + "'");
  }
  try {
    preset.value = ReadReal(std::string_view(text).substr(equals + 1));
  } catch (const Error& error) {
    throw UsageError("--var " + std::string(number) + ": " + error.what());
  }
  return preset;
}

const FieldInfo& RequireField(std::string_view name) {
  const FieldInfo* field = FindField(name);
  if (field == nullptr) throw UsageError("unknown field '" + std::string(name) + "'");
  return *field;
}

Lines SplitLines(std::string_view value) {
  Lines lines;
  std::size_t start = 0;
  while (start < value.size()) {
    const std::size_t lf = value.find('\n', start);
    if (lf == std::string_view::npos) {
      lines.emplace_back(value.substr(start));
      break;
    }
    lines.emplace_back(value.substr(start, lf - start));
    start = lf + 1;
  }
  return lines;
}

// Checks a --set value against its field's kind now, so that a typing mistake stops the run
// before anything is written.
void CheckSetValue(const FieldInfo& field, const std::string& value) {
  if (std::holds_alternative<IndexField>(field.ref)) {
    try {
      ReadInteger(value);
    } catch (const Error&) {
      throw UsageError("the index of " + std::string(field.name) +
                       " must be a whole number (-1: nothing selected), not '" + value + "'");
    }
  } else if (std::holds_alternative<StateField>(field.ref) && value != "0" && value != "1") {
    throw UsageError("the state of " + std::string(field.name) + " must be 0 or 1, not '" +
                     value + "'");
  }
}

// The value of "counter NAME VALUE", or nothing when it is not a whole number of 0 or more.
std::optional<std::int64_t> ReadCounterValue(const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) {
    return std::nullopt;
  }
  return value;
}

struct Invocation {
  std::optional<std::string> directory;
  std::vector<Action> actions;
  bool help = false;
  const FieldInfo* helpField = nullptr;  // --help FIELD
  bool version = false;
  std::optional<CivilTime> now;  // --now: the instant of every placeholder
};

Invocation Parse(const std::vector<std::string>& args) {
  Invocation invocation;
  std::size_t pos = 0;
  if (pos < args.size() && (args[pos] == "--help" || args[pos] == "-h")) {
    invocation.help = true;
    if (pos + 1 < args.size()) invocation.helpField = &RequireField(args[pos + 1]);
    if (pos + 2 < args.size()) throw UsageError("--help takes one field at most");
    return invocation;
  }
  if (pos < args.size() && args[pos] == "--version") {
    invocation.version = true;
    return invocation;
  }
  if (pos < args.size() && args[pos] == "--dir") {
    if (pos + 1 >= args.size()) throw UsageError("--dir needs a folder");
    invocation.directory = args[pos + 1];
    pos += 2;
  }
  // Setup warnings were once printed only with --warn; scripts may still pass it.
  if (pos < args.size() && args[pos] == "--warn") ++pos;
  if (pos < args.size() && args[pos] == "--now") {
    if (pos + 1 >= args.size()) throw UsageError("--now needs YYYY-MM-DDTHH:MM:SS");
    try {
      invocation.now = ReadCivilTime(args[pos + 1]);
    } catch (const Error& error) {
      throw UsageError(error.what());
    }
    pos += 2;
  }
  for (; pos < args.size(); ++pos) {
    const ActionInfo* info = FindAction(args[pos]);
    if (info == nullptr) throw UsageError("unknown action '" + args[pos] + "'");
    Action action{info, {}, nullptr, {}, {}, {}};
    if (!info->argument.empty()) {
      if (pos + 1 >= args.size()) {
        throw UsageError(std::string(info->name) + " needs " + std::string(info->argument));
      }
      const auto words = std::count(info->argument.begin(), info->argument.end(), ' ') + 1;
      if (pos + static_cast<std::size_t>(words) >= args.size()) {
        throw UsageError(std::string(info->name) + " needs " + std::string(info->argument));
      }
      action.argument = args[++pos];
      if (words > 1) action.value = args[++pos];
      if (words > 2) action.output = args[++pos];
    }
    if (info->job == JobKind::Batch && BatchJobNamed(action.argument) == nullptr) {
      throw UsageError("batch takes the job " + BatchJobNames() + ", not '" + action.argument +
                       "'");
    }
    if (info->kind == ActionKind::Set) {
      const std::size_t equals = action.argument.find('=');
      if (equals == std::string::npos) throw UsageError("--set needs FIELD=VALUE");
      action.field = &RequireField(std::string_view(action.argument).substr(0, equals));
      action.value = action.argument.substr(equals + 1);
      CheckSetValue(*action.field, action.value);
    } else if (info->kind == ActionKind::Var) {
      action.preset = ReadPreset(action.argument);
    } else if (info->kind == ActionKind::JobStats) {
      const ActionInfo* job = FindAction(action.argument);
      if (job == nullptr || job->kind != ActionKind::Job || job->job == JobKind::Batch) {
        throw UsageError("job-stats takes the job text, arc, ellipse or sequence, not '" +
                         action.argument + "'");
      }
    } else if (info->kind == ActionKind::Show) {
      action.field = &RequireField(action.argument);
    } else if (info->kind == ActionKind::Counter && pos + 1 < args.size() &&
               FindAction(args[pos + 1]) == nullptr) {
      action.value = args[++pos];  // counter NAME VALUE
      if (!ReadCounterValue(action.value)) {
        throw UsageError("counter takes a whole number of 0 or more as its value, not '" +
                         action.value + "'");
      }
    }
    invocation.actions.push_back(std::move(action));
  }
  if (invocation.actions.empty()) throw UsageError("no action given");
  return invocation;
}

// Answers the window's dialogs with the action's file and writes messages to stderr.
class CommandLineHost final : public FormHost {
 public:
  explicit CommandLineHost(std::ostream& err) : m_err(err) {}

  void Answer(std::string file) {
    m_answer = std::move(file);
    m_refused = false;
  }
  bool Refused() const { return m_refused; }

  // A folder takes the programs of Many Files, named by the job; any other job needs a file, and
  // the program writer refuses a folder with its name.
  std::optional<std::string> AskProgramFile(const std::optional<std::string>& presetName) override {
    std::error_code error;
    if (presetName && fs::is_directory(m_answer, error)) {
      return (fs::path(m_answer) / *presetName).string();
    }
    return m_answer;
  }
  void ClearProgramFileName() override {}
  void ShowMessage(const std::string& text) override {
    m_err << "Stylor: " << WithFullStop(text) << "\n";
    m_refused = true;
  }
  ProgramStore& Programs() override { return m_store; }
  std::optional<std::string> AskFontFile(const std::string&) override { return m_answer; }
  std::optional<std::string> AskMachineFileToSave(const std::string&) override { return m_answer; }
  std::optional<std::string> AskMachineFileToOpen(const std::string&) override { return m_answer; }
  std::optional<std::string> AskDataFile(const std::string&) override { return m_answer; }
  void ShowError(const std::string& text) override {
    m_err << "Stylor: " << text << "\n";
    m_errorShown = true;
  }
  /// An error was shown while the run went on (a change rule, the start-up).
  bool ErrorShown() const { return m_errorShown; }
  void ShowWarning(const std::string& text) override { m_err << "Stylor: " << text << "\n"; }
  void ShowSetupWarning(const std::string& text) override {
    m_err << "Stylor: warning: " << WithFullStop(text) << "\n";
  }
  void OpenUrl(const std::string&) override {}

 private:
  std::ostream& m_err;
  FileProgramStore m_store;
  std::string m_answer;
  bool m_refused = false;
  bool m_errorShown = false;
};

void ApplySet(EngraveFormModel& model, const FieldInfo& field, const std::string& value) {
  if (auto text = std::get_if<TextField>(&field.ref)) model.SetText(*text, value);
  else if (auto lines = std::get_if<LinesField>(&field.ref)) model.SetLines(*lines, SplitLines(value));
  else if (auto index = std::get_if<IndexField>(&field.ref)) model.SetIndex(*index, ReadInteger(value));
  else if (auto state = std::get_if<StateField>(&field.ref)) model.SetState(*state, value == "1");
}

void PrintField(const EngraveSettings& settings, const FieldInfo& field, std::ostream& out) {
  if (auto text = std::get_if<TextField>(&field.ref)) {
    out << settings.*(*text) << "\n";
  } else if (auto lines = std::get_if<LinesField>(&field.ref)) {
    for (const std::string& line : settings.*(*lines)) out << line << "\n";
  } else if (auto index = std::get_if<IndexField>(&field.ref)) {
    out << settings.*(*index) << "\n";
  } else if (auto state = std::get_if<StateField>(&field.ref)) {
    out << (settings.*(*state) ? 1 : 0) << "\n";
  }
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return error ? path : absolute.string();
}

// "batch JOB ROWS OUT": the rows of ROWS, each through the job JOB, into OUT.
void RunBatch(EngraveFormModel& model, CommandLineHost& host, const Action& action) {
  const BatchLayout layout = *BatchJobNamed(action.argument)->batchLayout;
  model.SetIndex(&EngraveSettings::BatchTextKind, static_cast<std::int32_t>(layout));
  model.ReadDataFileAt(action.value);
  std::error_code error;
  // Many Files names its files itself: OUT must be the folder that takes them.
  if (ManyFilesOf(model.Settings().Files) && !fs::is_directory(action.output, error)) {
    throw Error("Many Files writes its programs into a folder, and '" + action.output +
                "' is not one");
  }
  host.Answer(action.output);
  model.JobClick(JobKind::Batch);
}

void RunAction(EngraveFormModel& model, CommandLineHost& host, const Action& action,
               std::vector<MacroPreset>& presets, std::ostream& out) {
  host.Answer(action.argument);
  switch (action.info->kind) {
    case ActionKind::Set: ApplySet(model, *action.field, action.value); break;
    case ActionKind::Var: {
      const auto same = std::find_if(presets.begin(), presets.end(), [&](const MacroPreset& p) {
        return p.number == action.preset.number;
      });
      if (same != presets.end()) *same = action.preset;
      else presets.push_back(action.preset);
      break;
    }
    case ActionKind::Font: model.PickFont(action.argument); break;
    case ActionKind::Job:
      if (action.info->job == JobKind::Batch) {
        RunBatch(model, host, action);
      } else {
        model.JobClick(*action.info->job);
      }
      break;
    case ActionKind::SaveMachine: model.SaveClick(); break;
    case ActionKind::OpenMachine: model.OpenClick(); break;
    case ActionKind::OpenOld: model.OpenOldClick(); break;
    case ActionKind::ResetMachine: model.ResetClick(); break;
    case ActionKind::Width:
      model.FreeFormTextEChange();
      out << model.WidthLabel() << "\n";
      break;
    case ActionKind::Example:
      model.SeqStartChange();
      out << model.SeqExample() << "\n";
      break;
    case ActionKind::FontReport:
      for (const std::string& line : model.FontReportLines()) out << From8Bit(line) << "\n";
      break;
    case ActionKind::Show: PrintField(model.Settings(), *action.field, out); break;
    case ActionKind::Stats: {
      ReaderOptions options = ReaderOptionsFrom(model.Settings());
      options.variables = presets;
      out << FormatStats(StatsOfProgramFile(action.argument, options));
      break;
    }
    case ActionKind::JobStats: {
      const EngraveSettings& settings = model.Settings();
      out << FormatStats(JobStats(*FindAction(action.argument)->job,
                                  {settings, model.Font(), model.DataRows()},
                                  ReaderOptionsFrom(settings)));
      break;
    }
    case ActionKind::Counter:
      if (action.value.empty()) {
        out << NextCounterValue(model.Marking(), action.argument) << "\n";
      } else {
        SetCounterValue(model.Marking(), action.argument, *ReadCounterValue(action.value));
      }
      break;
    case ActionKind::Preview: {
      ReaderOptions options = ReaderOptionsFrom(model.Settings());
      options.variables = presets;
      SaveProgramFileSvg(action.argument, options, action.value);
      break;
    }
    case ActionKind::Render: RenderProgramFile(model.Settings(), action.argument, action.value); break;
  }
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Invocation invocation;
  try {
    invocation = Parse(args);
  } catch (const UsageError& error) {
    err << "stylor-cli: " << error.what() << "\nTry 'stylor-cli --help'.\n";
    return 2;
  }
  if (invocation.help) {
    if (invocation.helpField != nullptr) WriteFieldHelp(out, *invocation.helpField);
    else WriteCommandLineHelp(out);
    return 0;
  }
  if (invocation.version) {
    out << "stylor-cli " << STYLOR_VERSION << "\n";
    return 0;
  }

  CommandLineHost host(err);
  EngraveFormModel model(host, /*runLabelHandlers=*/false);
  std::error_code error;
  const std::string directory =
      AbsolutePath(invocation.directory.value_or(fs::current_path(error).string()));
  // A start-up error is shown and the run goes on, as the window stays usable; but a default.mch
  // that did not load leaves the factory set-up, and a program written with it would run on the
  // machine without the user's blocks and feeds.
  model.SetMarkingInstant(invocation.now);
  model.Run([&] { model.FormActivate(directory); });
  if (model.DefaultMachineFileFailed()) return 1;

  std::vector<MacroPreset> presets;
  for (const Action& action : invocation.actions) {
    try {
      RunAction(model, host, action, presets, out);
    } catch (const Error& failure) {
      out.flush();
      err << "Stylor: " << WithFullStop(failure.what()) << "\n";
      return 1;
    }
    if (host.Refused()) return 1;
  }
  return host.ErrorShown() ? 1 : 0;
}

}  // namespace stylor
