#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engrave/program_store.h"
#include "ui/model/engrave_form_model.h"
#include "ui/qt/preview_panel.h"
#include "ui/qt/program_units.h"
#include "ui/qt/user_guide.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTabWidget;
class QTableWidget;

namespace stylor {

class UnitEdit;

/// The main window: every control of the settings, bound both ways to the window model, plus the
/// dialogs and message boxes the model asks for, the preview beside the controls, a menu bar and
/// a status bar. All behaviour of the settings lives in the model.
///
/// The controls keep their fixed layout on a surface that scrolls when the window is smaller;
/// the preview takes the rest of the width, in a splitter that can fold it away. Size, place,
/// splitter, the last folder of each file dialog, the recent machine files and the program unit
/// outlast the run in the application settings.
class TEngraveForm : public QMainWindow, public FormHost {
  Q_OBJECT

 public:
  /// Size of the surface holding the settings' controls.
  static constexpr int kSurfaceWidth = 773;
  static constexpr int kHeight = 641;
  /// Where the window first shows, its frame kept inside the screen.
  static constexpr QPoint kUsualPlace{259, 166};
  /// How many machine files the File menu offers again.
  static constexpr int kRecentFiles = 6;

  /// Builds every control showing the model's defaults; start-up runs later (Start).
  explicit TEngraveForm(QWidget* parent = nullptr);
  ~TEngraveForm() override;

  /// The model the window shows.
  EngraveFormModel& Model() { return m_model; }
  /// Runs the start-up actions with `workingDirectory`; only the first call does anything.
  void Start(const QString& workingDirectory);
  /// The container of every control (773 x 691).
  QWidget* Surface() const { return m_surface; }
  /// The preview beside the controls.
  PreviewPanel* Preview() const { return m_preview; }
  /// The splitter between the controls and the preview.
  QSplitter* Splitter() const { return m_splitter; }

  /// Puts the window where it was at the end of the last run, or else at its usual place and
  /// size, the whole frame inside the free area of its screen.
  void PlaceOnScreen();
  /// Moves the window in (and shrinks it) where its frame, now that the window manager has put
  /// one around it, reaches beyond the free area of its screen.
  void KeepFrameOnScreen();
  /// The unit named beside every length and feed.
  ProgramUnit Unit() const { return m_unit; }
  /// Names `unit` beside every length and feed and keeps it for the next run; changes no value.
  void SetUnit(ProgramUnit unit);
  /// Keeps the rapid rate the statistics time G00 moves at (units per minute) and counts again.
  void SetRapidRate(double perMin);
  /// The user guide, when it has been opened.
  UserGuide* Guide() const { return m_guide; }

  /// The program open dialog of "Open Program...".
  virtual std::optional<std::string> AskProgramToOpen();
  /// Asked at Quit while the blocks differ from the machine file: Save, Discard or Cancel.
  virtual QMessageBox::StandardButton AskToSaveBlocks();
  /// The first set-up dialog; nothing when the user skips it.
  virtual std::optional<FirstSetup> AskFirstSetup();
  /// After the first start-up only, when the working folder has no default.mch: offers the
  /// first set-up, which fills the four blocks, saves default.mch and sets the unit. Asked once.
  void OfferFirstSetup();

  /// The program-file save dialog; asks before replacing only while the model says so.
  std::optional<std::string> AskProgramFile(const std::optional<std::string>& presetName) override;
  /// Forgets the file name the program-file dialog proposes next.
  void ClearProgramFileName() override;
  /// A plain message box titled "Stylor" with an OK button.
  void ShowMessage(const std::string& text) override;
  /// Program files go to disk.
  ProgramStore& Programs() override { return m_programs; }
  /// The font dialog, opening in the folder of the last font picked, else `initialDirectory`.
  std::optional<std::string> AskFontFile(const std::string& initialDirectory) override;
  /// The machine-file save dialog; replaces an existing file without asking.
  std::optional<std::string> AskMachineFileToSave(const std::string& initialDirectory) override;
  /// The machine-file open dialog.
  std::optional<std::string> AskMachineFileToOpen(const std::string& initialDirectory) override;
  /// The data file dialog of the Batch page.
  std::optional<std::string> AskDataFile(const std::string& initialDirectory) override;
  /// A message box with the error icon, titled "Stylor".
  void ShowError(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  /// Nothing more: the status bar names a dangerous setting for as long as it stands.
  void ShowSetupWarning(const std::string& text) override;
  /// Opens the address: the guide inside Stylor, anything else in the user's browser.
  void OpenUrl(const std::string& url) override;
  /// Shows the field's new value in its control.
  void FieldChanged(const FieldInfo& field) override;
  /// The error box, its message after the caption of the box, then the focus on that box (its
  /// page shown first).
  void ShowFieldRefusal(const FieldInfo& field, const std::string& text) override;
  /// Outlines the field in red and names it with the message in the status bar; no box.
  void ShowFieldError(const FieldInfo& field, const std::string& text) override;
  /// Outlines a field whose value does not read, and clears the mark once it reads.
  void FieldErrorChanged(const FieldInfo& field) override;
  /// Says in the status bar what the job wrote.
  void ProgramsWritten(const std::vector<std::string>& files) override;
  /// Adds the counter numbers the job handed out to the status bar.
  void NumbersTaken(const std::string& numbers) override { ShowWarning("Numbers taken: " + numbers); }
  /// Shows the labels, the font report, the visibilities, the page and the machine file.
  void ViewChanged() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  /// Ctrl+Tab, Ctrl+PgDn and back switch pages from any box; Ctrl+Enter runs the page's job.
  void BuildPageKeys();
  /// Builds every page and adds it to the page control, in the order of the model's pages.
  void BuildPages();
  void BuildUpperArea();
  void BuildFreeFormPage(QWidget* page);
  /// The Code button of the Free Form Text page and the window of the code's fields.
  void BuildCodeSection(QWidget* page);
  void BuildCircleTextPage(QWidget* page);
  void BuildEllipseTextPage(QWidget* page);
  void BuildSequencePage(QWidget* page);
  /// Beside "Continue from counter": the counter's next value as it is cut, or why there is none.
  void ShowSeqCounterNext();
  void BuildBatchPage(QWidget* page);
  /// Lists the first rows of the model's data file, when it changed.
  void ShowDataRows();
  /// Makes the model's preview row the row list's current row.
  void ShowPreviewRow();
  /// The Sequence page's "Show serial" box, as the model holds the previewed number.
  void ShowShownSerial();
  void BuildMachinePage(QWidget* page);
  void BuildAdvancedPage(QWidget* page);
  void BuildAboutPage(QWidget* page);

  // One binding per kind of field; the control is named after its field.
  UnitEdit* AddEdit(QWidget* parent, TextField field, QRect place);
  QComboBox* AddAxisCombo(QWidget* parent, TextField field, QRect place);
  QPlainTextEdit* AddMemo(QWidget* parent, LinesField field, QRect place);
  QGroupBox* AddRadioGroup(QWidget* parent, IndexField field, const QString& caption, int columns,
                           QRect place);
  QCheckBox* AddCheckBox(QWidget* parent, StateField field, const QString& caption, QRect place);
  void AddSpinner(QWidget* parent, TextField field, QLineEdit* edit, int minimum, int maximum);
  QPushButton* AddButton(QWidget* parent, const char* name, const QString& caption,
                         const QString& toolTip, QRect place, void (EngraveFormModel::*handler)());

  /// Registers the control of a field: how it shows the model's value, and where its error shows.
  void OnFieldChanged(const FieldInfo& field, QWidget* control, std::function<void()> show);
  /// Runs a change the user made, unless the window itself is showing the model.
  void FromUser(const std::function<void()>& change);
  /// Runs a handler of the model as a click does: its error in a message box.
  void RunHandler(void (EngraveFormModel::*handler)());
  /// The unit suffix of each length and feed edit, for the unit and the axis letters now.
  void ShowUnits();
  /// The red outline of a field's control and the message in the status bar.
  void MarkField(const FieldInfo& field, const std::string* error);
  void ShowMachineFile();
  /// Shows the page the user last chose, kept in the application settings; Free Form Text the
  /// first time.
  void ShowPageLastUsed();
  /// Keeps the free-form, circle and ellipse texts in the application settings for the next run.
  void KeepTexts();
  /// Brings back the texts KeepTexts kept, when it kept any.
  void RestoreTexts();
  /// The model's setup warnings in the status bar, their boxes outlined, and "Axes X Y Z" while
  /// the axes hold lathe letters.
  void ShowSetupWarnings();
  /// Names in the status bar the characters of the page's text the font lacks, while typed.
  void ShowMissingGlyphs();
  void RememberRecentFile(const QString& path);
  void FillRecentMenu();
  void OpenProgramFile();
  void ShowUserGuide();
  void ShowAbout();
  QString DialogFolder(const char* dialog, const QString& fallback) const;
  void RememberDialogFolder(const char* dialog, const QString& chosenFile);

  EngraveFormModel m_model;
  FileProgramStore m_programs;
  QString m_programFileName;
  bool m_started = false;
  bool m_showingModel = false;
  ProgramUnit m_unit = ProgramUnit::Millimetres;

  struct FieldControl {
    QWidget* control = nullptr;
    std::function<void()> show;
  };
  std::unordered_map<const FieldInfo*, FieldControl> m_fields;
  const FieldInfo* m_statusField = nullptr;
  Lines m_shownReport;
  QString m_shownMachineFile;

  QSplitter* m_splitter = nullptr;
  QScrollArea* m_scroll = nullptr;
  QWidget* m_surface = nullptr;
  PreviewPanel* m_preview = nullptr;
  QString m_openedProgram;
  QTabWidget* m_pages = nullptr;
  QLabel* m_widthLabel = nullptr;
  QLabel* m_widthUnit = nullptr;
  QLabel* m_blockWidth = nullptr;
  QLabel* m_seqExample = nullptr;
  QLabel* m_seqCounterNext = nullptr;
  QSpinBox* m_showSerial = nullptr;
  QPlainTextEdit* m_memo1 = nullptr;
  QLineEdit* m_filePrefix = nullptr;
  QLabel* m_filePrefixLabel = nullptr;
  QWidget* m_padFileNumbers = nullptr;
  QTableWidget* m_dataRows = nullptr;
  QLabel* m_dataRowsLabel = nullptr;
  QLabel* m_batchSequence = nullptr;  // what the batch takes from the Sequence page
  QLabel* m_dataFileName = nullptr;
  const DataTable* m_shownRows = nullptr;
  QLabel* m_setupWarning = nullptr;
  QPushButton* m_millAxes = nullptr;
  QPushButton* m_undoReset = nullptr;
  std::vector<SetupWarning> m_shownWarnings;
  QString m_glyphNote;
  QMenu* m_recentMenu = nullptr;
  QAction* m_millimetres = nullptr;
  QAction* m_inches = nullptr;
  QPointer<UserGuide> m_guide;
};

}  // namespace stylor
