#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engrave/program_store.h"
#include "ui/model/engrave_form_model.h"
#include "ui/qt/preview_panel.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace stylor {

/// The main window: every control of the settings, bound both ways to the window model, plus the
/// dialogs and message boxes the model asks for, and beside them the preview panel. All
/// behaviour of the settings lives in the model.
class TEngraveForm : public QWidget, public FormHost {
  Q_OBJECT

 public:
  /// Size of the container of the settings' controls.
  static constexpr int kSurfaceWidth = 773;
  static constexpr int kHeight = 691;
  /// Client size of the form, the preview panel to the right of the controls; the user cannot
  /// resize it.
  static constexpr int kWidth = kSurfaceWidth + PreviewPanel::kWidth;

  /// Builds every control showing the model's defaults; start-up runs later (Start).
  explicit TEngraveForm(QWidget* parent = nullptr);
  ~TEngraveForm() override;

  /// The model the window shows.
  EngraveFormModel& Model() { return m_model; }
  /// Runs the start-up actions with `workingDirectory`; only the first call does anything.
  void Start(const QString& workingDirectory);
  /// The container of every control (773 x 691), so that other panels can sit beside it.
  QWidget* Surface() const { return m_surface; }
  /// The preview beside the controls.
  PreviewPanel* Preview() const { return m_preview; }

  /// The program open dialog of the preview's "Open Program...".
  virtual std::optional<std::string> AskProgramToOpen();

  /// The program-file save dialog; asks before replacing only while the model says so.
  std::optional<std::string> AskProgramFile(const std::optional<std::string>& presetName) override;
  /// Forgets the file name the program-file dialog proposes next.
  void ClearProgramFileName() override;
  /// A plain message box titled "Stylor" with an OK button.
  void ShowMessage(const std::string& text) override;
  /// Program files go to disk.
  ProgramStore& Programs() override { return m_programs; }
  /// The font dialog, opening in `initialDirectory`.
  std::optional<std::string> AskFontFile(const std::string& initialDirectory) override;
  /// The machine-file save dialog; replaces an existing file without asking.
  std::optional<std::string> AskMachineFileToSave(const std::string& initialDirectory) override;
  /// The machine-file open dialog.
  std::optional<std::string> AskMachineFileToOpen(const std::string& initialDirectory) override;
  /// A message box with the error icon, titled "Stylor".
  void ShowError(const std::string& text) override;
  /// Opens the address in the user's browser.
  void OpenUrl(const std::string& url) override;
  /// Shows the field's new value in its control.
  void FieldChanged(const FieldInfo& field) override;
  /// Shows the labels, the font report, the visibilities and the page the model holds.
  void ViewChanged() override;

 protected:
  /// Shift+Ctrl+right click on a free part of the form shows or hides the font report.
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void BuildUpperArea();
  void BuildFreeFormPage(QWidget* page);
  void BuildCircleTextPage(QWidget* page);
  void BuildEllipseTextPage(QWidget* page);
  void BuildSequencePage(QWidget* page);
  void BuildMachinePage(QWidget* page);
  void BuildAdvancedPage(QWidget* page);
  void BuildAboutPage(QWidget* page);

  QLineEdit* AddEdit(QWidget* parent, const char* fieldName, int left, int top, int width);
  QComboBox* AddAxisCombo(QWidget* parent, const char* fieldName, int left, int top, int width);
  QPlainTextEdit* AddMemo(QWidget* parent, const char* fieldName, int left, int top, int width,
                          int height);
  QGroupBox* AddRadioGroup(QWidget* parent, const char* fieldName, const QString& caption,
                           int columns, int left, int top, int width, int height);
  QCheckBox* AddCheckBox(QWidget* parent, const char* fieldName, const QString& caption, int left,
                         int top, int width);
  void AddSpinner(QWidget* parent, const char* fieldName, QLineEdit* edit, int minimum,
                  int maximum);
  QPushButton* AddButton(QWidget* parent, const char* name, const QString& caption, int left,
                         int top, int width, int height, void (EngraveFormModel::*handler)());

  /// Registers how a field's control shows the model's value.
  void OnFieldChanged(const char* fieldName, std::function<void()> show);
  /// Runs a change the user made, unless the window itself is showing the model.
  void FromUser(const std::function<void()>& change);

  EngraveFormModel m_model;
  FileProgramStore m_programs;
  QString m_programFileName;
  bool m_started = false;
  bool m_showingModel = false;
  std::unordered_map<std::string_view, std::function<void()>> m_showField;
  Lines m_shownReport;

  QWidget* m_surface = nullptr;
  PreviewPanel* m_preview = nullptr;
  QString m_openedProgram;
  QTabWidget* m_pages = nullptr;
  QLabel* m_widthLabel = nullptr;
  QLabel* m_seqExample = nullptr;
  QPlainTextEdit* m_memo1 = nullptr;
  QLineEdit* m_filePrefix = nullptr;
  QLabel* m_filePrefixLabel = nullptr;
};

}  // namespace stylor
