#include "ui/model/engrave_form_model.h"

#include <unistd.h>

#include <array>
#include <filesystem>
#include <system_error>

#include "engrave/framing.h"
#include "engrave/layouts/arc.h"
#include "engrave/layouts/ellipse.h"
#include "engrave/layouts/free_form.h"
#include "engrave/layouts/sequence.h"
#include "settings/numbers.h"

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

}  // namespace

std::string BundledFontDirectory() {
  const std::string exeDir = ExecutableDirectory();
  const std::array<std::string, 3> candidates = {
      exeDir.empty() ? std::string() : exeDir + "/../share/stylor/fonts",
      STYLOR_INSTALL_FONT_DIR,
      STYLOR_SOURCE_FONT_DIR,
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

std::string EngraveFormModel::DocumentationUrl() const {
  for (const std::string& readme : {std::string(STYLOR_INSTALL_DOC_DIR) + "/README.md",
                                    std::string(STYLOR_SOURCE_DIR) + "/README.md"}) {
    if (FileExists(readme)) return "file://" + readme;
  }
  return "file://" + std::string(STYLOR_INSTALL_DOC_DIR) + "/README.md";
}

void EngraveFormModel::SetText(TextField field, std::string value) {
  if (m_settings.*field == value) return;
  m_settings.*field = std::move(value);
  FieldChanged(field);
  if (field == &S::EngraveFeedE) RunRule(&EngraveFormModel::EngraveFeedEChange);
  if (field == &S::JustifyPointText) {
    const auto& items = InfoOf(&S::JustifyPoint).items;
    std::int32_t index = -1;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i] == m_settings.JustifyPointText) index = static_cast<std::int32_t>(i);
    }
    SetIndex(&S::JustifyPoint, index);
  }
  if (m_runLabelHandlers && (field == &S::SeqStart || field == &S::SeqStep ||
                             field == &S::SeqPrefix || field == &S::SeqPostfix ||
                             field == &S::SeqDigits)) {
    RunRule(&EngraveFormModel::SeqStartChange);
  }
}

void EngraveFormModel::SetLines(LinesField field, Lines value) {
  if (m_settings.*field == value) return;
  m_settings.*field = std::move(value);
  FieldChanged(field);
  if (m_runLabelHandlers && field == &S::FreeFormTextE) {
    RunRule(&EngraveFormModel::FreeFormTextEChange);
  }
}

void EngraveFormModel::SetIndex(IndexField field, std::int32_t value) {
  if (m_settings.*field == value) return;
  m_settings.*field = value;
  FieldChanged(field);
  if (field == &S::IntegrexMode || field == &S::IntegrexHead) {
    RunRule(&EngraveFormModel::IntegrexModeClick);
  } else if (field == &S::AppendMode) {
    RunRule(&EngraveFormModel::AppendModeClick);
  } else if (field == &S::Files) {
    RunRule(&EngraveFormModel::FilesClick);
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
    RunRule(&EngraveFormModel::PreEngraveWClick);
  }
}

void EngraveFormModel::LoadFontFile() {
  // A machine file naming a font that is gone still loads its other fields.
  Run([this] { LoadFontNamedByFontFile(); });
}

void EngraveFormModel::ShowPage(Page page) {
  if (m_currentPage == page) return;
  m_currentPage = page;
  m_host.ViewChanged();
  if (m_runLabelHandlers && page == Page::Sequence) RunRule(&EngraveFormModel::SeqStartChange);
}

void EngraveFormModel::FieldChanged(const FieldRef& field) { m_host.FieldChanged(InfoOf(field)); }

void EngraveFormModel::RunRule(void (EngraveFormModel::*rule)()) {
  Run([this, rule] { (this->*rule)(); });
}

void EngraveFormModel::ReportError(const std::string& message) {
  m_host.ShowError(WithFullStop(message));
}

void EngraveFormModel::LoadFontNamedByFontFile() {
  try {
    LoadFont(m_settings.FontFile, *m_font, m_fontReport);
  } catch (...) {
    m_host.ViewChanged();
    throw;
  }
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
  if (FileExists(defaultMachine)) ReadMachineFile(defaultMachine, *this);
  LoadFontNamedByFontFile();
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
  const std::int32_t feed = ReadInteger(m_settings.EngraveFeedE);
  std::string half;
  AppendInteger(half, feed / 2);  // integer division truncates toward zero: -51 gives -25
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
  if (chosen) WriteMachineFile(*chosen, m_settings);
}

void EngraveFormModel::OpenClick() {
  const std::optional<std::string> chosen = m_host.AskMachineFileToOpen(m_workingDirectory);
  if (chosen) ReadMachineFile(*chosen, *this);
}

void EngraveFormModel::OpenOldClick() {
  const std::optional<std::string> chosen = m_host.AskMachineFileToOpen(m_workingDirectory);
  if (chosen) ReadOldMachineFile(*chosen, *this);
}

void EngraveFormModel::ResetClick() { ResetMachineBlocks(*this); }

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
  if (m_font->HasMoves()) return;
  throw Error("No font is loaded: choose one with \"Pick Font\" before engraving");
}

void EngraveFormModel::EngraveTextClick() {
  RequireFont();
  if (!EngraveFreeFormText(m_settings, *m_font, m_host)) return;
  m_fontReport.assign(1, std::string());
  m_host.ViewChanged();
}

void EngraveFormModel::FreeFormTextEChange() {
  m_widthLabel = FreeFormWidthLabel(m_settings, *m_font);
  m_host.ViewChanged();
}

void EngraveFormModel::GenerateSequencesClick() {
  RequireFont();
  GenerateSequences(m_settings, *m_font, m_host);
}

void EngraveFormModel::FilesClick() {
  m_filePrefixVisible = m_settings.Files != 0;
  m_host.ViewChanged();
}

void EngraveFormModel::SeqStartChange() {
  m_seqExample = SequenceExample(m_settings);
  m_host.ViewChanged();
}

void EngraveFormModel::CreateArcClick() {
  RequireFont();
  CreateArc(m_settings, *m_font, m_host);
}

void EngraveFormModel::CreateEllipseClick() {
  RequireFont();
  CreateEllipse(m_settings, *m_font, m_host);
}

}  // namespace stylor
