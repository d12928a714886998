// The dialogs and message boxes the model asks for, and the folders they remember.

#include "ui/qt/engrave_form.h"
#include "ui/qt/engrave_form_parts.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QScopedValueRollback>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QUrl>
#include <utility>
#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "settings/error.h"
#include "settings/text8.h"
#include "settings/numbers.h"
#include "ui/qt/first_setup_dialog.h"
#include "ui/qt/form_widgets.h"
#include "ui/qt/tooltips.h"
#include "ui/qt/user_guide.h"
#include "ui/qt/window_place.h"

namespace stylor {

using namespace form_parts;

std::optional<FirstSetup> TEngraveForm::AskFirstSetup() {
  FirstSetupDialog dialog(this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Chosen();
}

void TEngraveForm::OfferFirstSetup() {
  QSettings settings;
  const QString key = QStringLiteral("setup/offered");
  if (settings.value(key).toBool()) return;
  if (QFileInfo::exists(QDir(ToQt(m_model.WorkingDirectory())).filePath("default.mch"))) return;
  settings.setValue(key, true);
  const std::optional<FirstSetup> setup = AskFirstSetup();
  if (!setup) return;
  SetUnit(setup->unit == SetupUnit::Inches ? ProgramUnit::Inches : ProgramUnit::Millimetres);
  m_model.Run([&] { m_model.SaveFirstSetup(*setup); });
}

std::optional<std::string> TEngraveForm::AskProgramFile(
    const std::optional<std::string>& presetName) {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(kProgramFilters);
  dialog.setDefaultSuffix("eia");
  // A name typed without an extension gets the one of the chosen file type ("All Files": .eia).
  connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    const qsizetype star = filter.indexOf("*.");
    const QString suffix = star < 0 ? QString() : filter.mid(star + 2).section(')', 0, 0);
    dialog.setDefaultSuffix(suffix.isEmpty() ? QStringLiteral("eia") : suffix);
  });
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !m_model.OverwriteQuestion());
  dialog.setDirectory(DialogFolder("programSave", QDir::currentPath()));
  if (presetName) m_programFileName = FromNativePath(*presetName);
  if (!m_programFileName.isEmpty()) dialog.selectFile(m_programFileName);
  std::optional<std::string> chosen = RunFileDialog(dialog);
  if (chosen) {
    m_programFileName = dialog.selectedFiles().constFirst();
    RememberDialogFolder("programSave", m_programFileName);
  }
  return chosen;
}

void TEngraveForm::ClearProgramFileName() { m_programFileName.clear(); }

void TEngraveForm::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, kTitle, ToQt(text), QMessageBox::Ok, this);
  box.exec();
}

std::optional<std::string> TEngraveForm::AskFontFile(const std::string& initialDirectory) {
  QFileDialog dialog(this, "Font File", DialogFolder("font", ToQt(initialDirectory)),
                     "Font File (*.fnt *.lff *.cxf);;Stroke Font (*.fnt);;"
                     "Single-Line Font (*.lff *.cxf);;All Files (*)");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix("fnt");
  std::optional<std::string> chosen = RunFileDialog(dialog);
  if (chosen) RememberDialogFolder("font", dialog.selectedFiles().constFirst());
  return chosen;
}

std::optional<std::string> TEngraveForm::AskMachineFileToSave(const std::string& initialDirectory) {
  QFileDialog dialog(this, QString(), DialogFolder("machineSave", ToQt(initialDirectory)),
                     "Machine File (*.mch)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("mch");
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  std::optional<std::string> chosen = RunFileDialog(dialog);
  if (chosen) RememberDialogFolder("machineSave", dialog.selectedFiles().constFirst());
  return chosen;
}

std::optional<std::string> TEngraveForm::AskMachineFileToOpen(const std::string& initialDirectory) {
  QFileDialog dialog(this, QString(), DialogFolder("machineOpen", ToQt(initialDirectory)),
                     "Machine File (*.mch)");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  std::optional<std::string> chosen = RunFileDialog(dialog);
  if (chosen) RememberDialogFolder("machineOpen", dialog.selectedFiles().constFirst());
  return chosen;
}

std::optional<std::string> TEngraveForm::AskDataFile(const std::string& initialDirectory) {
  QFileDialog dialog(this, "Data File", DialogFolder("dataFile", ToQt(initialDirectory)),
                     "Data File (*.csv *.tsv *.tab *.txt);;All Files (*)");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  std::optional<std::string> chosen = RunFileDialog(dialog);
  if (chosen) RememberDialogFolder("dataFile", dialog.selectedFiles().constFirst());
  return chosen;
}

std::optional<std::string> TEngraveForm::AskProgramToOpen() {
  // Where the last program was opened, else where the last one was written.
  QString start = m_openedProgram.isEmpty() ? m_programFileName : m_openedProgram;
  start = start.isEmpty() ? DialogFolder("programOpen", ToQt(m_model.WorkingDirectory()))
                          : QFileInfo(start).absolutePath();
  QFileDialog dialog(this, "Open Program", start);
  dialog.setNameFilters(QStringList{"Programs (*.eia *.txt *.nc *.ngc *.tap)"} + kProgramFilters);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  std::optional<std::string> chosen = RunFileDialog(dialog);
  if (chosen) {
    m_openedProgram = dialog.selectedFiles().constFirst();
    RememberDialogFolder("programOpen", m_openedProgram);
  }
  return chosen;
}

QString TEngraveForm::DialogFolder(const char* dialog, const QString& fallback) const {
  const QString folder = QSettings().value(QString("dialogs/") + dialog).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : fallback;
}

void TEngraveForm::RememberDialogFolder(const char* dialog, const QString& chosenFile) {
  QSettings().setValue(QString("dialogs/") + dialog, QFileInfo(chosenFile).absolutePath());
}

void TEngraveForm::OpenProgramFile() {
  if (const std::optional<std::string> path = AskProgramToOpen()) {
    m_preview->ShowProgramFile(*path);
  }
}

void TEngraveForm::ShowError(const std::string& text) {
  QMessageBox::critical(this, kTitle, ToQt(text));
}

QMessageBox::StandardButton TEngraveForm::AskToSaveBlocks() {
  QMessageBox box(QMessageBox::Question, kTitle,
                  "The G-code blocks of the Machine page have changed since the machine file was "
                  "last opened or saved. Save them before quitting?",
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Save);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace stylor
