#include "ui/model/engrave_form_model.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <filesystem>
#include <span>
#include <system_error>
#include <unordered_set>

#include "engrave/emitter.h"
#include "engrave/fonts/font_file.h"
#include "engrave/framing.h"
#include "engrave/job_plan.h"
#include "engrave/layouts/batch.h"
#include "engrave/layouts/free_form.h"
#include "engrave/layouts/sequence.h"
#include "engrave/program_store.h"
#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "settings/machine_modes.h"
#include "settings/marking/marking_run.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using S = EngraveSettings;

constexpr const char* kDefaultFontName = "BasicFont.fnt";

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

std::string ExecutableDirectory() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string CurrentDirectory() {
  std::error_code error;
  const fs::path current = fs::current_path(error);
  return error ? std::string(".") : current.string();
}

// The message of a value that does not read by its field's rule, or that every job refuses
// (a pen down level that is no radius of the cylinder a rotary axis turns); empty when it reads.
std::string ReadingError(const EngraveSettings& settings, const FieldInfo& field) {
  const TextField text = std::get<TextField>(field.ref);
  try {
    if (field.reading == Reading::Real) ReadReal(settings.*text);
    else ReadInteger(settings.*text);
    if (text == &S::PenDownE) {
      RequireCylinderRadius(ReadReal(settings.PenDownE), ReadLetter(settings.Axis1E),
                            ReadLetter(settings.Axis2E), LatheMillModeOf(settings.IntegrexMode));
    }
  } catch (const Error& error) {
    return WithFullStop(error.what());
  }
  return {};
}

// The value of a text that reads as a whole number, or nothing.
std::optional<std::int32_t> ReadWhole(const std::string& text) {
  try {
    return ReadInteger(text);
  } catch (const Error&) {
    return std::nullopt;
  }
}

// The fields each label rule reads, in the order it reads them: a rule that stops is reported
// at the first of them whose value does not read.
std::span<const TextField> InputsOf(void (EngraveFormModel::*rule)()) {
  static constexpr TextField kFeed[] = {&S::EngraveFeedE};
  static constexpr TextField kWidth[] = {&S::TextHeightE, &S::WidthRatioE, &S::SpacingRatioE};
  static constexpr TextField kExample[] = {&S::SeqStart, &S::SeqStep, &S::SeqDigits};
  if (rule == &EngraveFormModel::EngraveFeedEChange) return kFeed;
  if (rule == &EngraveFormModel::FreeFormTextEChange) return kWidth;
  if (rule == &EngraveFormModel::SeqStartChange) return kExample;
  return {};
}

// Records the program files a job writes, on their way to the host's store. A job that fails
// throws, so the files of a job that returns are the ones it wrote.
class RecordingStore final : public ProgramStore {
 public:
  explicit RecordingStore(ProgramStore& target) : m_target(target) {}
  std::unique_ptr<ProgramFile> Open(const std::string& fileName, WriteMode mode) override {
    std::unique_ptr<ProgramFile> file = m_target.Open(fileName, mode);
    // A set beside the list: a job of a million files must not search the list for each.
    if (m_seen.insert(fileName).second) m_files.push_back(fileName);
    return file;
  }
  void CommitSeries(const std::string& folder,
                    const std::vector<std::unique_ptr<ProgramFile>>& files) override {
    m_target.CommitSeries(folder, files);
  }
  std::vector<std::string> TakeWarnings() override { return m_target.TakeWarnings(); }
  const std::vector<std::string>& Files() const { return m_files; }

 private:
  ProgramStore& m_target;
  std::vector<std::string> m_files;
  std::unordered_set<std::string> m_seen;
};

// The window's host for one job, but with every program file recorded.
class RecordingJobHost final : public JobHost {
 public:
  explicit RecordingJobHost(FormHost& host) : m_host(host), m_store(host.Programs()) {}
  std::optional<std::string> AskProgramFile(const std::optional<std::string>& presetName) override {
    return m_host.AskProgramFile(presetName);
  }
  void ClearProgramFileName() override { m_host.ClearProgramFileName(); }
  void ShowMessage(const std::string& text) override { m_host.ShowMessage(text); }
  ProgramStore& Programs() override { return m_store; }
  const std::vector<std::string>& Files() const { return m_store.Files(); }

 private:
  FormHost& m_host;
  RecordingStore m_store;
};

// "Continue from counter": the run starts at the counter's next value and keeps its length;
// the counter must count as the run does, so that the numbers cut are the numbers it hands out.
void ContinueFromCounter(EngraveSettings& settings, const MarkingRun& marking) {
  const Counter& counter = marking.CounterOf(settings.SeqCounter);
  std::vector<std::int64_t> taken = marking.Taken(settings.SeqCounter);
  // A text of the job that names the same counter took the first number.
  if (marking.NamedInTexts(counter.name)) taken.erase(taken.begin());
  if (taken.empty()) return;
  const std::int32_t step = ReadInteger(settings.SeqStep);
  for (std::size_t k = 1; k < taken.size(); ++k) {
    if (taken[k] != taken[k - 1] + step) {
      throw Error("The counter '" + counter.name + "' does not count as the run does (step " +
                  settings.SeqStep + ", no wrap): its numbers would not be the ones cut");
    }
  }
  const auto toText = [&](std::int64_t value) {
    if (value > INT32_MAX) throw Error("The counter '" + counter.name + "' is past the numbers a run can cut");
    std::string text;
    AppendInteger(text, value);
    return text;
  };
  settings.SeqStart = toText(taken.front());
  settings.SeqEnd = toText(taken.back());
}

// The lines of the production log: one per program, one per number of a Many Files run.
std::vector<LoggedProgram> LoggedPrograms(const EngraveSettings& settings, JobKind kind,
                                          const std::vector<std::string>& files) {
  std::vector<LoggedProgram> programs;
  if (kind != JobKind::Sequence) {
    std::string text;
    if (kind == JobKind::FreeFormText) {
      for (const std::string& line : settings.FreeFormTextE) text += (text.empty() ? "" : " / ") + line;
    } else {
      text = kind == JobKind::CircleText ? settings.ArcTextE : settings.EllipseTextE;
    }
    for (const std::string& file : files) programs.push_back({file, text, {}});
    return programs;
  }
  const SequenceJob job = PrepareSequenceJob(settings);
  const auto serial = [&](std::int64_t k) {
    return FormatSerial(job.digits, job.Number(k), settings.SeqPrefix, settings.SeqPostfix);
  };
  const auto number = [&](std::int64_t k) {
    std::string text;
    AppendInteger(text, job.Number(k));
    return text;
  };
  if (job.manyFiles) {
    for (std::size_t k = 0; k < files.size(); ++k) {
      programs.push_back({files[k], serial(static_cast<std::int64_t>(k)),
                          {{"Seq", number(static_cast<std::int64_t>(k))}}});
    }
  } else if (!files.empty()) {
    programs.push_back({files.front(), serial(0) + " to " + serial(job.Count() - 1),
                        {{"Seq", number(0) + " to " + number(job.Count() - 1)}}});
  }
  return programs;
}

// The text a batch row engraves, as the log shows it: the lines of free-form text joined.
std::string LoggedRowText(BatchLayout layout, const EngraveSettings& filled) {
  if (layout == BatchLayout::CircleText) return filled.ArcTextE;
  if (layout == BatchLayout::EllipseText) return filled.EllipseTextE;
  std::string text;
  for (const std::string& line : filled.FreeFormTextE) text += (text.empty() ? "" : " / ") + line;
  return text;
}

// The lines of the production log of a batch whose texts name codes: one per program, each with
// the values its rows took from the counters (One File: from the first row's to the last's).
std::vector<LoggedProgram> LoggedBatchPrograms(const BatchJob& job, const MarkingRun& marking,
                                               const std::vector<std::string>& files) {
  std::vector<LoggedProgram> programs;
  if (files.empty()) return programs;
  const std::size_t rows = job.table->Rows();
  EngraveSettings filled = job.settings;
  const auto rowText = [&](std::size_t row) {
    FillBatchRow(job, row, filled);
    return LoggedRowText(job.layout, filled);
  };
  const auto counterValue = [&](const std::string& name, std::size_t row) {
    return marking.Value({"Counter", name, 0}, row);
  };
  if (job.manyFiles) {
    for (std::size_t row = 0; row < files.size() && row < rows; ++row) {
      LoggedProgram program{files[row], rowText(row), {}};
      for (const std::string& name : marking.CounterNames()) {
        program.extra.emplace_back(name, counterValue(name, row));
      }
      programs.push_back(std::move(program));
    }
    return programs;
  }
  LoggedProgram program{files.front(), rowText(0), {}};
  if (rows > 1) program.text += " to " + rowText(rows - 1);
  for (const std::string& name : marking.CounterNames()) {
    std::string values = counterValue(name, 0);
    if (rows > 1) values += " to " + counterValue(name, rows - 1);
    program.extra.emplace_back(name, std::move(values));
  }
  programs.push_back(std::move(program));
  return programs;
}

}  // namespace

std::string BundledFontDirectory() {
  // Beside the program wherever it was installed (a build tree is laid out the same way), then
  // where it was meant to be installed.
  const std::string exeDir = ExecutableDirectory();
  const std::array<std::string, 2> candidates = {
      exeDir.empty() ? std::string() : exeDir + "/../share/stylor/fonts",
      STYLOR_INSTALL_FONT_DIR,
  };
  for (const std::string& candidate : candidates) {
    if (!candidate.empty() && FileExists(JoinPath(candidate, kDefaultFontName))) {
      std::error_code error;
      const fs::path canonical = fs::weakly_canonical(candidate, error);
      return error ? candidate : canonical.string();
    }
  }
  return {};
}

EngraveFormModel::EngraveFormModel(FormHost& host, bool runLabelHandlers)
    : m_host(host), m_runLabelHandlers(runLabelHandlers), m_font(std::make_unique<StrokeFont>()) {}

std::string EngraveFormModel::DocumentationPath() const {
  // Beside the program wherever it was installed (a build tree is laid out the same way), then
  // where it was meant to be installed.
  const std::string exeDir = ExecutableDirectory();
  const std::array<std::string, 2> candidates = {
      exeDir.empty() ? std::string() : exeDir + "/../" STYLOR_INSTALL_DOC_RELDIR "/guide.md",
      STYLOR_INSTALL_DOC_DIR "/guide.md",
  };
  for (const std::string& guide : candidates) {
    if (!guide.empty() && FileExists(guide)) {
      std::error_code error;
      const fs::path canonical = fs::weakly_canonical(guide, error);
      return error ? guide : canonical.string();
    }
  }
  return {};
}

std::string EngraveFormModel::DocumentationUrl() const {
  const std::string guide = DocumentationPath();
  return "file://" + (guide.empty() ? std::string(STYLOR_INSTALL_DOC_DIR "/guide.md") : guide);
}

bool EngraveFormModel::FontLoaded() const { return m_font->HasMoves(); }

const std::string* EngraveFormModel::FieldError(const FieldInfo& field) const {
  const auto found = m_fieldErrors.find(&field);
  return found == m_fieldErrors.end() ? nullptr : &found->second;
}

void EngraveFormModel::SetText(TextField field, std::string value) {
  if (m_settings.*field == value) return;
  m_settings.*field = std::move(value);
  FieldChanged(field);
  CheckField(field);
  if (field == &S::Axis1E || field == &S::Axis2E) CheckField(&S::PenDownE);
  if (field == &S::EngraveFeedE) RunRule(&EngraveFormModel::EngraveFeedEChange, field);
  if (field == &S::JustifyPointText) {
    const auto& items = InfoOf(&S::JustifyPoint).items;
    std::int32_t index = -1;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i] == m_settings.JustifyPointText) index = static_cast<std::int32_t>(i);
    }
    SetIndex(&S::JustifyPoint, index);
  }
  // The widths move with the height and the ratios as well as with the text.
  if (m_runLabelHandlers && (field == &S::TextHeightE || field == &S::WidthRatioE ||
                             field == &S::SpacingRatioE)) {
    RunRule(&EngraveFormModel::FreeFormTextEChange, field);
  }
  if (m_runLabelHandlers && (field == &S::SeqStart || field == &S::SeqStep ||
                             field == &S::SeqPrefix || field == &S::SeqPostfix ||
                             field == &S::SeqDigits)) {
    RunRule(&EngraveFormModel::SeqStartChange, field);
  }
}

void EngraveFormModel::SetLines(LinesField field, Lines value) {
  if (m_settings.*field == value) return;
  m_settings.*field = std::move(value);
  // An edit after a Reset is the user's new block: undoing the Reset would throw it away.
  if (!m_restoringBlocks && m_beforeReset &&
      (field == &S::PreToolChange || field == &S::ToolChange || field == &S::PostToolChange ||
       field == &S::PostEngrave)) {
    m_beforeReset.reset();
    m_host.ViewChanged();
  }
  FieldChanged(field);
  if (m_runLabelHandlers && field == &S::FreeFormTextE) {
    RunRule(&EngraveFormModel::FreeFormTextEChange, field);
  }
}

void EngraveFormModel::SetIndex(IndexField field, std::int32_t value) {
  if (m_settings.*field == value) return;
  m_settings.*field = value;
  FieldChanged(field);
  if (field == &S::IntegrexMode) CheckField(&S::PenDownE);
  if (field == &S::IntegrexMode || field == &S::IntegrexHead) {
    RunRule(&EngraveFormModel::IntegrexModeClick, field);
  } else if (field == &S::AppendMode) {
    RunRule(&EngraveFormModel::AppendModeClick, field);
  } else if (field == &S::Files) {
    RunRule(&EngraveFormModel::FilesClick, field);
  } else if (field == &S::JustifyPoint) {
    const auto& items = InfoOf(&S::JustifyPoint).items;
    if (value >= 0 && static_cast<std::size_t>(value) < items.size()) {
      SetText(&S::JustifyPointText, std::string(items[static_cast<std::size_t>(value)]));
    }
  }
}

void EngraveFormModel::SetState(StateField field, bool value) {
  if (m_settings.*field == value) return;
  m_settings.*field = value;
  FieldChanged(field);
  if (field == &S::PreEngraveW || field == &S::PostEngraveW) {
    RunRule(&EngraveFormModel::PreEngraveWClick, field);
  }
}

void EngraveFormModel::LoadFontFile() {
  // A machine file naming a font that is gone still loads its other fields.
  Run([this] { LoadFontNamedByFontFile(); });
}

JobKind EngraveFormModel::CurrentJob() const { return JobOfPage(m_currentPage); }

void EngraveFormModel::ShowPage(Page page) {
  if (m_currentPage == page) return;
  m_currentPage = page;
  m_host.ViewChanged();
  if (m_runLabelHandlers && page == Page::Sequence) {
    RunRule(&EngraveFormModel::SeqStartChange, &S::SeqStart);
  }
}

void EngraveFormModel::OpenMachineFile(const std::string& path) {
  m_loadingMachineFile = path;
  m_reportedWhileLoading.clear();
  try {
    ReadMachineFile(path, *this);
  } catch (...) {
    m_loadingMachineFile.clear();
    throw;
  }
  m_loadingMachineFile.clear();
  m_savedBlocks = HeldBlocks();
  m_machineFile = path;
  m_defaultMachineFileFailed = false;
  WarnOfUnreadableValues(path);
  m_host.ViewChanged();
}

void EngraveFormModel::WarnOfUnreadableValues(const std::string& path) {
  // A value a job reads as a number is loaded as it stands, and only the job refuses it: say now
  // which field of which file holds it, unless a change rule has said so while loading.
  for (const MachineFilePair& pair : MachineFilePairs()) {
    const FieldInfo& info = InfoOf(pair.field);
    const std::string* error = FieldError(info);
    if (error == nullptr || m_reportedWhileLoading.contains(&info)) continue;
    m_host.ShowWarning("warning: the " + MachineFileValueContext(path, pair.field) + *error);
  }
  m_reportedWhileLoading.clear();
}

std::string EngraveFormModel::MachineFileValueContext(const std::string& path,
                                                      const FieldRef& field) {
  for (const MachineFilePair& pair : MachineFilePairs()) {
    if (pair.field == field) {
      return "machine file '" + path + "', " + std::string(pair.key) + ": ";
    }
  }
  return "machine file '" + path + "': ";
}

void EngraveFormModel::FieldChanged(const FieldRef& field) { m_host.FieldChanged(InfoOf(field)); }

void EngraveFormModel::CheckField(TextField field) {
  const FieldInfo& info = InfoOf(field);
  if (info.reading == Reading::Text) return;
  std::string error = ReadingError(m_settings, info);
  const std::string* before = FieldError(info);
  if (before == nullptr ? error.empty() : *before == error) return;
  if (error.empty()) m_fieldErrors.erase(&info);
  else m_fieldErrors[&info] = std::move(error);
  m_host.FieldErrorChanged(info);
}

void EngraveFormModel::RunRule(Rule rule, const FieldRef& changed) {
  try {
    (this->*rule)();
  } catch (const Error& error) {
    // A rule runs while the user types: its error belongs beside the field whose value stopped
    // it, not in a box per keystroke.
    const FieldInfo* at = &InfoOf(changed);
    for (TextField input : InputsOf(rule)) {
      if (FieldError(InfoOf(input)) != nullptr) {
        at = &InfoOf(input);
        break;
      }
    }
    if (m_loadingMachineFile.empty()) {
      m_host.ShowFieldError(*at, WithFullStop(error.what()));
      return;
    }
    // A label that cannot be worked out while a machine file loads is said once, after the load,
    // as the value of the file that a job cannot read (WarnOfUnreadableValues).
    if (rule == &EngraveFormModel::FreeFormTextEChange ||
        rule == &EngraveFormModel::SeqStartChange) {
      return;
    }
    // A value that came from a machine file: the user must learn which file and which key.
    m_reportedWhileLoading.insert(at);
    m_host.ShowFieldError(*at, WithFullStop("The " +
                                            MachineFileValueContext(m_loadingMachineFile, changed) +
                                            error.what()));
  }
}

void EngraveFormModel::ReportError(const std::string& message) {
  if (const FieldInfo* field = RefusedField(message)) {
    m_host.ShowFieldRefusal(*field, WithFullStop(message));
    return;
  }
  m_host.ShowError(WithFullStop(message));
}

void EngraveFormModel::LoadFontNamedByFontFile() {
  m_fontFileRead = m_settings.FontFile;
  try {
    LoadFont(m_settings.FontFile, *m_font, m_fontReport);
  } catch (...) {
    m_host.ViewChanged();
    throw;
  }
  if (m_runLabelHandlers) RunRule(&EngraveFormModel::FreeFormTextEChange, &S::FontFile);
  m_host.ViewChanged();
}

void EngraveFormModel::UseFont(const StrokeFont& font, const FontReport& report) {
  *m_font = font;
  m_fontReport = report;
  m_host.ViewChanged();
}

void EngraveFormModel::FormActivate(const std::string& workingDirectory) {
  m_workingDirectory = workingDirectory;
  SetText(&S::FontFile, JoinPath(m_workingDirectory, m_settings.FontFile));
  // A new user who starts Stylor in any folder still gets the font that ships with it.
  if (!FileExists(m_settings.FontFile) &&
      fs::path(m_settings.FontFile).filename() == kDefaultFontName) {
    const std::string bundled = BundledFontDirectory();
    if (!bundled.empty()) SetText(&S::FontFile, JoinPath(bundled, kDefaultFontName));
  }
  SetIndex(&S::JustifyPoint, 0);
  const std::string defaultMachine = JoinPath(m_workingDirectory, "default.mch");
  m_fontFileRead.clear();
  // Only a name that is not there at all is passed over: a link to nothing, a pipe, a folder or
  // a device under that name is a default.mch that does not load, and is said to be one.
  std::error_code absent;
  if (fs::symlink_status(defaultMachine, absent).type() != fs::file_type::not_found) {
    try {
      OpenMachineFile(defaultMachine);
    } catch (const Error& error) {
      // Nothing of the file was taken: the window goes on with the factory set-up and says so.
      m_defaultMachineFileFailed = true;
      ReportError(error.what());
      m_host.ViewChanged();
    }
  }
  // A default.mch that names a font has loaded it already, and said so if it could not.
  if (m_fontFileRead != m_settings.FontFile) LoadFontNamedByFontFile();
  ShowPage(Page::Sequence);
}

void EngraveFormModel::PickFontClick() {
  const std::optional<std::string> chosen = m_host.AskFontFile(m_workingDirectory);
  if (!chosen) return;
  SetText(&S::FontFile, *chosen);
  LoadFontNamedByFontFile();
}

void EngraveFormModel::PickFont(const std::string& path) {
  SetText(&S::FontFile, fs::path(path).is_absolute() ? path : JoinPath(CurrentDirectory(), path));
  LoadFontNamedByFontFile();
}

void EngraveFormModel::EngraveFeedEChange() {
  const std::string& feedText = m_settings.EngraveFeedE;
  std::string half;
  if (const std::optional<std::int32_t> whole = ReadWhole(feedText)) {
    AppendInteger(half, *whole / 2);  // integer division truncates toward zero: -51 gives -25
  } else {
    // A decimal feed is halved exactly, so that the plunge feed never keeps the value of an
    // earlier keystroke: typing "0.5" would otherwise leave the "0" of its first key, a plunge
    // feed of zero.
    half = FormatGeneral(ReadReal(feedText) / 2);
  }
  SetText(&S::PlungeFeedE, half);
}

void EngraveFormModel::FormMouseDown(MouseButton button, bool shift, bool ctrl) {
  if (button != MouseButton::Right || !shift || !ctrl) return;
  m_memo1Visible = !m_memo1Visible;
  m_host.ViewChanged();
}

void EngraveFormModel::URLlabelClick() { m_host.OpenUrl(DocumentationUrl()); }

void EngraveFormModel::SaveClick() {
  const std::optional<std::string> chosen = m_host.AskMachineFileToSave(m_workingDirectory);
  if (!chosen) return;
  WriteMachineFile(*chosen, m_settings);
  m_savedBlocks = HeldBlocks();
  m_machineFile = *chosen;
  m_defaultMachineFileFailed = false;
  m_host.ViewChanged();
}

void EngraveFormModel::OpenClick() {
  const std::optional<std::string> chosen = m_host.AskMachineFileToOpen(m_workingDirectory);
  if (chosen) OpenMachineFile(*chosen);
}

void EngraveFormModel::OpenOldClick() {
  const std::optional<std::string> chosen = m_host.AskMachineFileToOpen(m_workingDirectory);
  if (!chosen) return;
  ReadOldMachineFile(*chosen, *this);
  m_savedBlocks = HeldBlocks();
  m_machineFile = *chosen;
  m_host.ViewChanged();
}

void EngraveFormModel::ResetClick() {
  MachineBlocks before = HeldBlocks();
  {
    m_restoringBlocks = true;
    ResetMachineBlocks(*this);
    m_restoringBlocks = false;
  }
  m_beforeReset = std::move(before);
  m_host.ViewChanged();
}

void EngraveFormModel::Button1Click() {
  WriteTextParameters(CurrentDirectory(), "test.txt", m_settings);
}

void EngraveFormModel::Button2Click() { ReadMachineFile("test.txt", *this); }

void EngraveFormModel::IntegrexModeClick() {
  const auto axes = AxesForMode(m_settings.IntegrexMode, m_settings.IntegrexHead);
  if (!axes) return;
  SetText(&S::Axis1E, (*axes)[0]);
  SetText(&S::Axis2E, (*axes)[1]);
  SetText(&S::Axis3E, (*axes)[2]);
}

void EngraveFormModel::AppendModeClick() {
  const auto boxes = AppendBoxesFor(m_settings.AppendMode);
  if (!boxes) return;
  SetState(&S::PreEngraveW, boxes->first);
  SetState(&S::PostEngraveW, boxes->second);
}

void EngraveFormModel::PreEngraveWClick() {
  m_overwriteQuestion = m_settings.PreEngraveW;
  m_host.ViewChanged();
  SetIndex(&S::AppendMode, AppendModeFor(m_settings.PreEngraveW, m_settings.PostEngraveW));
}

void EngraveFormModel::RequireFont() const {
  // A font that failed to load leaves an empty table: a job would write a program without a
  // single cut and call it done.
  if (!FontLoaded()) {
    throw Error("No font is loaded: choose one with \"Pick Font\" before engraving");
  }
}

bool EngraveFormModel::RunJob(JobKind kind) {
  RequireFont();
  RecordingJobHost host(m_host);
  // What the writing of the files found (a hard link left with the old program, a series an
  // interrupted run left): said whether or not the job ends well.
  const auto warnOfFiles = [&] {
    for (const std::string& warning : host.Programs().TakeWarnings()) {
      m_host.ShowWarning("warning: " + warning);
    }
  };
  // With Fill placeholders the job reads a filled copy; the settings keep the typed text. A
  // batch fills its codes row by row, beside its columns.
  std::optional<MarkingRun> marking;
  EngraveSettings filled;
  RowCodes codes;
  if (m_settings.FillPlaceholders) {
    marking.emplace(Marking());
    if (kind == JobKind::Batch) {
      codes = BatchCodes(*marking);
    } else {
      filled = FilledSettings(kind, *marking);
    }
    m_numbersTaken.clear();
  }
  const EngraveSettings& settings = marking && kind != JobKind::Batch ? filled : m_settings;
  std::unique_ptr<JobPlan> plan;
  try {
    plan = MakePlan(kind, {settings, *m_font, m_dataRows.get(), codes});
    WritePlan(*plan, host);
  } catch (...) {
    warnOfFiles();
    // What a failed job wrote before it stopped is on disk all the same.
    if (!host.Files().empty()) m_host.ProgramsWritten(host.Files());
    throw;
  }
  warnOfFiles();
  const bool written = !host.Files().empty();
  if (written) {
    m_host.ProgramsWritten(host.Files());
    if (marking) {
      // The programs are in place: now, and only now, the numbers are handed out.
      try {
        marking->Commit();
      } catch (const Error& error) {
        throw Error("The programs are written, but the counters could not be moved past the "
                    "numbers they took (" + marking->NumbersTaken() + "): " + error.what());
      }
      m_numbersTaken = marking->NumbersTaken();
      if (!m_numbersTaken.empty()) m_host.NumbersTaken(m_numbersTaken);
      AppendProductionLog(
          *marking, m_machineFile,
          kind == JobKind::Batch
              ? LoggedBatchPrograms(PrepareBatchJob(settings, *m_dataRows,
                                                    BatchLayoutOf(settings.BatchTextKind), codes),
                                    *marking, host.Files())
              : LoggedPrograms(settings, kind, host.Files()));
    }
    WarnOfMissingGlyphs(plan->EngravedText());
  }
  WarnOfSetup(kind);
  return written;
}

EngraveSettings EngraveFormModel::FilledSettings(JobKind kind, MarkingRun& marking) const {
  EngraveSettings filled = m_settings;
  const bool continues = kind == JobKind::Sequence && !m_settings.SeqCounter.empty();
  const std::size_t count =
      continues ? static_cast<std::size_t>(PrepareSequenceJob(m_settings).Count()) : 0;
  FillMarkingCodes(filled, marking, continues ? m_settings.SeqCounter : std::string(), count);
  if (continues) ContinueFromCounter(filled, marking);
  return filled;
}

RowCodes EngraveFormModel::BatchCodes(MarkingRun& marking) const {
  if (!m_dataRows) return {};  // the job refuses to run without rows
  const DataTable& table = *m_dataRows;
  for (const std::string& name :
       BatchPlaceholderNames(m_settings, BatchLayoutOf(m_settings.BatchTextKind), true)) {
    if (!CodePlaceholderOf(name)) continue;
    if (table.ColumnOf(name)) {
      throw Error("The placeholder {" + name +
                  "} names a column of the data file and a code alike: rename the column");
    }
    marking.Parse("{" + name + "}", "the batch's texts");
  }
  // Each row is a part of its own: it takes its own number of every counter.
  marking.TakeNumbers({}, 0, table.Rows());
  return [&marking](std::string_view name, std::size_t row) -> std::optional<std::string> {
    const std::optional<Placeholder> code = CodePlaceholderOf(name);
    if (!code) return std::nullopt;
    return marking.Value(*code, row);
  };
}

MarkingSetup EngraveFormModel::Marking() const {
  return MarkingSetupOf(m_settings, m_workingDirectory, m_markingInstant);
}

void EngraveFormModel::WarnOfMissingGlyphs(std::string_view text) {
  const std::string warning = MissingGlyphsOf(text);
  if (!warning.empty()) m_host.ShowWarning(warning);
}

std::string EngraveFormModel::MissingGlyphNote() const {
  // The Batch page's texts come from its rows: they are named when the batch runs.
  if (m_currentPage == Page::Batch || !FontLoaded()) return {};
  try {
    return MissingGlyphsOf(MakePlan(CurrentJob(), {m_settings, *m_font})->EngravedText());
  } catch (const Error&) {
    return {};  // a run whose numbers do not read; its box is marked already
  }
}

std::string EngraveFormModel::MissingGlyphsOf(std::string_view text) const {
  const std::string missing = MissingGlyphs(*m_font, text);
  if (missing.empty()) return {};
  std::string warning = "No glyph in " + fs::path(m_settings.FontFile).filename().string() + " for:";
  for (const char c : missing) {
    // A control byte written as it is would act on the terminal (ESC, BEL) or vanish (DEL); the
    // 8-bit codes without a character of their own read as C1 controls (U+0080 to U+009F).
    const std::string character = From8Bit(std::string_view(&c, 1));
    const auto code = static_cast<unsigned char>(c);
    const bool c1 = character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xC2 &&
                    static_cast<unsigned char>(character[1]) < 0xA0;
    const bool control = code < 32 || code == 127 || c1;
    warning += " " + (control ? "<" + ShownCharacter(c) + ">" : character);
  }
  return warning;
}

void EngraveFormModel::JobClick(JobKind kind) {
  if (!RunJob(kind)) return;
  if (kind != JobKind::FreeFormText) return;
  m_fontReport.assign(1, std::string());
  m_host.ViewChanged();
}

void EngraveFormModel::FreeFormTextEChange() {
  m_widthLabel = FreeFormWidthLabel(m_settings, *m_font);
  const double height = ReadReal(m_settings.TextHeightE);
  const double widthRatio = ReadReal(m_settings.WidthRatioE);
  const double spacingRatio = ReadReal(m_settings.SpacingRatioE);
  double widest = 0;
  for (const std::string& line : m_settings.FreeFormTextE) {
    widest = std::max(widest, TextWidth(*m_font, To8Bit(line), height, widthRatio, spacingRatio));
  }
  m_blockWidthLabel = FormatGeneral(widest);
  m_host.ViewChanged();
}

void EngraveFormModel::EngraveTextClick() { JobClick(JobKind::FreeFormText); }

void EngraveFormModel::GenerateSequencesClick() { JobClick(JobKind::Sequence); }

void EngraveFormModel::FilesClick() {
  m_filePrefixVisible = ManyFilesOf(m_settings.Files);
  m_host.ViewChanged();
}

void EngraveFormModel::SeqStartChange() {
  m_seqExample = SequenceExample(m_settings);
  m_host.ViewChanged();
}

void EngraveFormModel::CreateArcClick() { JobClick(JobKind::CircleText); }

void EngraveFormModel::CreateEllipseClick() { JobClick(JobKind::EllipseText); }

std::string EngraveFormModel::DataRowsLabel() const {
  if (!m_dataRows) {
    return "No data file chosen: \"Data File...\" reads a file of values separated by commas, "
           "tabs or semicolons";
  }
  const std::size_t rows = m_dataRows->Rows();
  std::string label;
  AppendInteger(label, static_cast<long long>(rows));
  label += rows == 1 ? " row" : " rows";
  if (rows > kListedDataRows) {
    label += ", the first ";
    AppendInteger(label, static_cast<long long>(kListedDataRows));
    label += " listed";
  }
  return label;
}

namespace {

// Lines as a label shows them: each quoted, long ones cut, "none" for no line.
std::string QuotedLines(const Lines& lines) {
  constexpr std::size_t kShownBytes = 24;
  if (lines.empty()) return "none";
  std::string shown;
  for (const std::string& line : lines) {
    if (!shown.empty()) shown += ", ";
    if (line.size() <= kShownBytes) {
      shown += "'" + line + "'";
      continue;
    }
    std::size_t cut = kShownBytes;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;  // UTF-8
    shown += "'" + line.substr(0, cut) + "...'";
  }
  return shown;
}

}  // namespace

std::string EngraveFormModel::BatchSequenceLabel() const {
  std::string label = "Takes from Sequence: ";
  const bool many = ManyFilesOf(m_settings.Files);
  label += many ? "Many Files"
                : OnTheControlOf(m_settings.Files) ? "On the control, which a batch refuses"
                                                   : "One File";
  label += ", prefix '" + m_settings.FilePrefix + (many ? "'" : "' (Many Files only)");
  label += "; lines around each row";
  if (many) label += " (One File only)";
  label += ": before " + QuotedLines(m_settings.SeqPreGCodes);
  label += ", after " + QuotedLines(m_settings.SeqPostGCodes);
  return label;
}

PreviewScene EngraveFormModel::Preview() const {
  if (CurrentJob() == JobKind::Batch && !m_dataRows) {
    PreviewScene scene;
    scene.message = DataRowsLabel() + ".";
    return scene;
  }
  if (m_settings.FillPlaceholders) {
    // The preview shows the text the job would write now, taking no number; the job itself
    // says what is wrong.
    EngraveSettings filled = m_settings;
    RowCodes codes;
    std::optional<MarkingRun> marking;
    try {
      marking.emplace(Marking());
      marking->PeekOnly();
      if (CurrentJob() == JobKind::Batch) {
        codes = BatchCodes(*marking);
      } else {
        filled = FilledSettings(CurrentJob(), *marking);
      }
    } catch (const Error& error) {
      // A batch without its codes would only say that they name no column.
      if (CurrentJob() != JobKind::Batch) {
        return BuildPreview(m_settings, *m_font, CurrentJob(), m_dataRows.get(), m_previewRow);
      }
      PreviewScene scene;
      scene.message = WithFullStop(error.what());
      return scene;
    }
    return BuildPreview(filled, *m_font, CurrentJob(), m_dataRows.get(), m_previewRow, codes);
  }
  return BuildPreview(m_settings, *m_font, CurrentJob(), m_dataRows.get(), m_previewRow);
}

PreviewScene EngraveFormModel::ProgramFileScene(const std::string& path,
                                                const ReadProgress& progress) const {
  try {
    return SceneOfProgramFile(path, ReaderOptionsFrom(m_settings), progress);
  } catch (const Error& error) {
    PreviewScene scene;
    scene.message = WithFullStop(error.what());
    return scene;
  }
}

std::optional<ProgramStats> EngraveFormModel::WrittenStats(
    const std::vector<std::string>& files) const {
  if (files.size() != 1) return std::nullopt;
  try {
    return StatsOfProgramFile(files.front(), ReaderOptionsFrom(m_settings));
  } catch (const Error&) {
    // The program is written; only its count is missing.
    return std::nullopt;
  }
}

void EngraveFormModel::SetPreviewRow(std::size_t row) {
  if (!m_dataRows || row >= m_dataRows->Rows() || row == m_previewRow) return;
  m_previewRow = row;
  m_host.ViewChanged();
}

std::optional<std::int64_t> EngraveFormModel::ShownSerial() const {
  try {
    const SequenceJob run = PrepareSequenceJob(m_settings);
    if (run.Count() == 0) return std::nullopt;
    return run.Number(std::min<std::int64_t>(static_cast<std::int64_t>(m_previewRow), run.Count() - 1));
  } catch (const Error&) {
    return std::nullopt;
  }
}

void EngraveFormModel::ShowSerial(std::int64_t serial) {
  std::size_t item = 0;
  try {
    const SequenceJob run = PrepareSequenceJob(m_settings);
    if (run.Count() == 0) return;
    const std::int64_t k = (serial - run.first) / run.step;
    item = static_cast<std::size_t>(std::clamp<std::int64_t>(k, 0, run.Count() - 1));
  } catch (const Error&) {
    return;  // the run's own boxes say what is wrong
  }
  if (item == m_previewRow) return;
  m_previewRow = item;
  m_host.ViewChanged();
}

void EngraveFormModel::DataFileClick() {
  const std::optional<std::string> path = m_host.AskDataFile(m_workingDirectory);
  if (path) ReadDataFileAt(*path);
}

void EngraveFormModel::ReadDataFileAt(const std::string& path) {
  m_dataRows = std::make_shared<const DataTable>(ReadDataFile(path));
  m_dataFile = path;
  m_previewRow = 0;
  m_host.ViewChanged();
}

void EngraveFormModel::GenerateBatchClick() { JobClick(JobKind::Batch); }

void EngraveFormModel::MillAxesClick() {
  SetText(&S::Axis1E, "X");
  SetText(&S::Axis2E, "Y");
  SetText(&S::Axis3E, "Z");
}

const FieldInfo* EngraveFormModel::RefusedField(const std::string& message) const {
  // The jobs read their numbers in the order of the fields' read steps: the first that does not
  // read stops them.
  static const std::vector<const FieldInfo*> kReadOrder = [] {
    std::vector<const FieldInfo*> numbers;
    for (const FieldInfo& field : AllFields()) {
      if (field.readStep > 0) numbers.push_back(&field);
    }
    std::sort(numbers.begin(), numbers.end(),
              [](const FieldInfo* a, const FieldInfo* b) { return a->readStep < b->readStep; });
    return numbers;
  }();
  const std::string shown = WithFullStop(message);
  for (const FieldInfo* field : kReadOrder) {
    const std::string* error = FieldError(*field);
    if (error != nullptr && *error == shown) return field;
  }
  // A refusal of a value that reads but cannot be machined names its field in brackets.
  const FieldInfo* named = nullptr;
  std::size_t namedAt = std::string::npos;
  for (const FieldInfo& field : AllFields()) {
    const std::size_t at = message.find("(" + std::string(field.name) + ")");
    if (at < namedAt) {
      named = &field;
      namedAt = at;
    }
  }
  if (named != nullptr) return named;
  static constexpr std::pair<std::string_view, TextField> kAxes[] = {
      {"The axis letter of Axis 1 ", &S::Axis1E},
      {"The axis letter of Axis 2 ", &S::Axis2E},
      {"The axis letter of the plunge axis ", &S::Axis3E}};
  for (const auto& [start, field] : kAxes) {
    if (message.rfind(start, 0) == 0) return &InfoOf(field);
  }
  return nullptr;
}

MachineBlocks EngraveFormModel::HeldBlocks() const {
  return {m_settings.PreToolChange, m_settings.ToolChange, m_settings.PostToolChange,
          m_settings.PostEngrave};
}

bool EngraveFormModel::BlocksEdited() const { return HeldBlocks() != m_savedBlocks; }

void EngraveFormModel::UndoResetClick() {
  if (!m_beforeReset) return;
  MachineBlocks blocks = std::move(*m_beforeReset);
  m_beforeReset.reset();
  m_restoringBlocks = true;
  SetLines(&S::PreToolChange, std::move(blocks.preToolChange));
  SetLines(&S::ToolChange, std::move(blocks.toolChange));
  SetLines(&S::PostToolChange, std::move(blocks.postToolChange));
  SetLines(&S::PostEngrave, std::move(blocks.postEngrave));
  m_restoringBlocks = false;
  m_host.ViewChanged();
}

void EngraveFormModel::SaveFirstSetup(const FirstSetup& setup) {
  ApplyFirstSetup(setup, *this);
  const std::string path = JoinPath(m_workingDirectory, "default.mch");
  WriteMachineFile(path, m_settings);
  m_savedBlocks = HeldBlocks();
  m_machineFile = path;
  m_host.ViewChanged();
}

bool EngraveFormModel::RepeatsInOneFile(JobKind kind) const {
  if (ManyFilesOf(m_settings.Files) || OnTheControlOf(m_settings.Files)) return false;
  if (kind == JobKind::Batch) return m_dataRows && m_dataRows->Rows() > 1;
  if (kind != JobKind::Sequence) return false;
  const std::optional<std::int32_t> start = ReadWhole(m_settings.SeqStart);
  const std::optional<std::int32_t> end = ReadWhole(m_settings.SeqEnd);
  return !(start && end && *start == *end);
}

void EngraveFormModel::WarnOfSetup(JobKind kind) {
  for (const SetupWarning& warning : JobWarnings(m_settings, RepeatsInOneFile(kind))) {
    m_host.ShowSetupWarning(warning.text);
  }
  const std::string note = StartBlockNote(m_settings);
  if (!note.empty()) m_host.ShowSetupWarning(note);
}

std::vector<SetupWarning> EngraveFormModel::SetupWarnings() const {
  std::vector<SetupWarning> warnings =
      JobWarnings(m_settings, RepeatsInOneFile(CurrentJob()));
  std::string note = StartBlockNote(m_settings);
  if (!note.empty()) warnings.push_back({std::move(note), {}});
  return warnings;
}

}  // namespace stylor
