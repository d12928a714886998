#pragma once

#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engrave/fonts/stroke_font.h"
#include "engrave/jobs.h"
#include "preview/preview_scene.h"
#include "settings/data_file.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/machine_file.h"
#include "settings/marking/marking_codes.h"
#include "ui/model/first_setup.h"
#include "ui/model/form_host.h"
#include "ui/model/pages.h"
#include "ui/model/setup_warnings.h"

namespace stylor {

struct MarkingSetup;
class MarkingRun;

enum class MouseButton { Left, Right, Middle };

/// How many rows of the data file the Batch page lists.
constexpr std::size_t kListedDataRows = 100;

/// The behaviour of the main window without any toolkit: it owns the settings, the font and the
/// font report, runs the start-up actions and every handler, and applies the change rules
/// whenever a field really changes, by the user or by the program. Handlers throw Error; the
/// front end shows it (see Run). Change rules report their own errors through the host.
class EngraveFormModel final : public SettingsEditor {
 public:
  /// `runLabelHandlers`: the window updates the width and example labels on every change; the
  /// command line runs them only when asked.
  explicit EngraveFormModel(FormHost& host, bool runLabelHandlers = true);

  // Held values and what the window shows besides them.
  const EngraveSettings& Settings() const override { return m_settings; }
  const StrokeFont& Font() const { return *m_font; }
  const FontReport& FontReportLines() const { return m_fontReport; }
  const std::string& WidthLabel() const { return m_widthLabel; }
  /// The engraved width of the widest line of the free-form text, beside WidthLabel.
  const std::string& BlockWidthLabel() const { return m_blockWidthLabel; }
  const std::string& SeqExample() const { return m_seqExample; }
  bool Memo1Visible() const { return m_memo1Visible; }
  bool FilePrefixVisible() const { return m_filePrefixVisible; }
  bool OverwriteQuestion() const { return m_overwriteQuestion; }
  Page CurrentPage() const { return m_currentPage; }
  /// The job the current page writes; the pages without one show the free-form text's.
  JobKind CurrentJob() const;
  /// The data file of the Batch page as last read; empty before one is.
  const std::string& DataFile() const { return m_dataFile; }
  /// Its rows; nothing before a data file is read.
  const DataTable* DataRows() const { return m_dataRows.get(); }
  /// What the Batch page says of its rows: "3 rows", "250 rows, the first 100 listed", or that
  /// no data file is chosen yet.
  std::string DataRowsLabel() const;
  /// What the Batch page takes from the Sequence page, as its label shows it: "Takes from
  /// Sequence: Many Files, prefix 'SNV-'; lines around each row (One File only): before 'M00',
  /// after none". The prefix starts every file name, the lines stand around each row of One File.
  std::string BatchSequenceLabel() const;
  /// The preview of the current page: its job, or on the Batch page the batch's row PreviewRow.
  PreviewScene Preview() const;
  /// The characters the current page's text needs and the font lacks, as the warning after a job
  /// names them, said while the text is typed; empty when the font has them all (and on the
  /// Batch page, whose texts come from its rows).
  std::string MissingGlyphNote() const;
  /// The scene of the program file `path` (file-system encoding), read with the settings' axis
  /// letters, pen levels and modes ("Open Program..."); never throws: a file that cannot be read
  /// comes back as the scene's message. `progress` hears how far the reading is; it may stop it
  /// by throwing something other than Error, which passes through.
  PreviewScene ProgramFileScene(const std::string& path, const ReadProgress& progress = {}) const;
  /// The statistics of the program a job wrote, when it wrote one file and that file reads back
  /// with the settings; nothing otherwise.
  std::optional<ProgramStats> WrittenStats(const std::vector<std::string>& files) const;
  /// The row of the data file the Batch page previews, counted from 0: the first until a row is
  /// chosen, and the first again when a data file is read.
  std::size_t PreviewRow() const { return m_previewRow; }
  /// Chooses the row to preview (the row list's current row); a row past the last, or any row
  /// before a data file is read, is ignored.
  void SetPreviewRow(std::size_t row);
  /// The number of the run whose cut the Sequence page previews ("Show serial"): the run's
  /// first until another is chosen; nothing while the run does not read.
  std::optional<std::int64_t> ShownSerial() const;
  /// Previews the cut of `serial` on the Sequence page (the nearest number of the run, for one
  /// between or past its ends): for On the control, the cycle with the counter at that number.
  void ShowSerial(std::int64_t serial);
  const std::string& WorkingDirectory() const { return m_workingDirectory; }
  /// The machine file last opened or saved (default.mch at start-up included); empty before.
  const std::string& MachineFile() const { return m_machineFile; }
  /// True from a start-up whose default.mch was there but did not load (nothing of it taken,
  /// the factory set-up in use) until a machine file is opened or saved.
  bool DefaultMachineFileFailed() const { return m_defaultMachineFileFailed; }
  /// True when the font table holds at least one glyph with moves.
  bool FontLoaded() const;
  /// Takes a copy of a font read before, in place of reading FontFile (a fuzz target that runs
  /// thousands of jobs a second reads no file).
  void UseFont(const StrokeFont& font, const FontReport& report);
  /// What is wrong with the value of a field a job reads as a number ("'' is not a valid
  /// floating point value."), or nothing when it reads.
  const std::string* FieldError(const FieldInfo& field) const;
  /// The box whose value a handler's error `message` refuses: the first field, in the order a
  /// job reads them, whose value gives that very message, or an axis box the message names;
  /// nothing for other errors.
  const FieldInfo* RefusedField(const std::string& message) const;
  /// What makes the program of the current page dangerous to run as the settings stand (see
  /// JobWarnings), then what an empty start block leaves out of it (fields: none).
  std::vector<SetupWarning> SetupWarnings() const;
  /// Where "See Website for Documentation" leads: the guide installed with the program (or the
  /// one of the source tree for a build that is not installed).
  std::string DocumentationUrl() const;
  /// The guide of DocumentationUrl as a path; empty when none is found.
  std::string DocumentationPath() const;

  // Changes: each runs the change rules once when the value really changes.
  void SetText(TextField field, std::string value) override;
  void SetLines(LinesField field, Lines value) override;
  void SetIndex(IndexField field, std::int32_t value) override;
  void SetState(StateField field, bool value) override;
  void LoadFontFile() override;
  void ShowPage(Page page);
  /// Fixes the instant the placeholders of every later job take (the command line's --now);
  /// nothing: the clock at the start of each job.
  void SetMarkingInstant(std::optional<CivilTime> now) { m_markingInstant = now; }
  /// The counter numbers the last job handed out ("SN 0042"), for the status bar; empty when
  /// it took none.
  const std::string& NumbersTaken() const { return m_numbersTaken; }
  /// The setup of the placeholders as the settings name it, files taken in the working folder.
  MarkingSetup Marking() const;
  /// Reads the machine file `path` as "Open" does, without asking for it (recent files).
  void OpenMachineFile(const std::string& path);

  /// Runs a handler and shows its error, as the window does for every event.
  template <typename Handler>
  void Run(Handler&& handler);

  // Start-up and handlers.
  void FormActivate(const std::string& workingDirectory);
  void PickFontClick();
  void EngraveFeedEChange();
  void FormMouseDown(MouseButton button, bool shift, bool ctrl);
  void URLlabelClick();
  void SaveClick();
  void OpenClick();
  void OpenOldClick();
  void ResetClick();
  void Button1Click();
  void Button2Click();
  void IntegrexModeClick();
  void AppendModeClick();
  void PreEngraveWClick();
  void EngraveTextClick();
  void FreeFormTextEChange();
  void GenerateSequencesClick();
  /// The click on the button of job `kind` (EngraveText, Create Arc, ...).
  void JobClick(JobKind kind);
  void FilesClick();
  void SeqStartChange();
  void CreateArcClick();
  void CreateEllipseClick();
  /// "Data File...": asks for a data file and reads it. A file that does not read is
  /// refused with its line, and the rows read before stay.
  void DataFileClick();
  /// Reads the data file `path` as "Data File..." does, without asking (the command line).
  void ReadDataFileAt(const std::string& path);
  /// "Generate from Data": the BatchTextKind job once per row of the data file.
  void GenerateBatchClick();
  /// "Undo Reset": the four blocks as they were before the last Reset, while no block changed
  /// since.
  void UndoResetClick();
  bool CanUndoReset() const { return m_beforeReset.has_value(); }
  /// True when a G-code block differs from the machine file last opened or saved (the factory's
  /// empty blocks before any).
  bool BlocksEdited() const;
  /// "Axes X Y Z": the mill's axes, for axes a lathe-with-mill mode left behind.
  void MillAxesClick();
  /// The first set-up: fills the blocks and the mode or axes of `setup`, then saves them as
  /// default.mch in the working folder, read at every later start. Throws when it cannot be
  /// written; the settings keep the set-up all the same.
  void SaveFirstSetup(const FirstSetup& setup);

  /// FontFile := `path` made absolute against the process's current directory, then the font
  /// is loaded (the command line's "Pick Font").
  void PickFont(const std::string& path);

 private:
  using Rule = void (EngraveFormModel::*)();
  void FieldChanged(const FieldRef& field);
  void CheckField(TextField field);
  void RunRule(Rule rule, const FieldRef& changed);
  void ReportError(const std::string& message);
  void LoadFontNamedByFontFile();
  void RequireFont() const;
  /// Runs the job of `kind` with the host, telling the host which program files it wrote and,
  /// when it wrote any, which characters it engraves the font lacks, and what of the set-up it
  /// should warn of. Returns whether it wrote anything.
  bool RunJob(JobKind kind);
  /// The settings a job of `kind` reads with its placeholders filled by `marking` (its numbers
  /// taken), for the preview too.
  EngraveSettings FilledSettings(JobKind kind, MarkingRun& marking) const;
  /// The codes of the batch's texts, filled by `marking` (each row its own number of every
  /// counter taken); none without a data file. Refuses a code that is also a column's name.
  RowCodes BatchCodes(MarkingRun& marking) const;
  void WarnOfMissingGlyphs(std::string_view text);
  /// "No glyph in FONT for: ..." of the characters of `text` the font lacks; empty when none.
  std::string MissingGlyphsOf(std::string_view text) const;
  /// Warns of each value the machine file `path` gave that a job cannot read as a number.
  void WarnOfUnreadableValues(const std::string& path);
  /// "machine file '<path>', [Key]: ", naming where the value of `field` came from.
  static std::string MachineFileValueContext(const std::string& path, const FieldRef& field);
  /// Whether the job of `kind` repeats its body in one program.
  bool RepeatsInOneFile(JobKind kind) const;
  /// Tells the host every JobWarnings of a job that has run, and what its program lacks while
  /// the start block is empty (StartBlockNote).
  void WarnOfSetup(JobKind kind);
  MachineBlocks HeldBlocks() const;

  FormHost& m_host;
  bool m_runLabelHandlers;
  EngraveSettings m_settings;
  std::unique_ptr<StrokeFont> m_font;
  FontReport m_fontReport;
  std::string m_fontFileRead;  // the FontFile that the last font load read, loaded or not
  std::string m_widthLabel = "0";
  std::string m_blockWidthLabel = "0";
  std::optional<MachineBlocks> m_beforeReset;
  MachineBlocks m_savedBlocks;
  bool m_restoringBlocks = false;
  std::string m_seqExample;
  bool m_memo1Visible = false;
  bool m_filePrefixVisible = false;
  bool m_overwriteQuestion = true;
  Page m_currentPage = Page::FreeForm;
  std::string m_workingDirectory = ".";
  std::string m_machineFile;
  bool m_defaultMachineFileFailed = false;
  std::string m_loadingMachineFile;  // while a machine file's fields arrive
  std::set<const FieldInfo*> m_reportedWhileLoading;
  std::string m_dataFile;
  std::shared_ptr<const DataTable> m_dataRows;
  std::size_t m_previewRow = 0;
  std::map<const FieldInfo*, std::string> m_fieldErrors;
  std::optional<CivilTime> m_markingInstant;
  std::string m_numbersTaken;
};

template <typename Handler>
void EngraveFormModel::Run(Handler&& handler) {
  try {
    handler();
  } catch (const Error& error) {
    ReportError(error.what());
  }
}

/// The folder of the fonts that ship with Stylor: beside an installed program, or the source
/// tree's fonts/ for a build that is not installed; empty when neither is there.
std::string BundledFontDirectory();

}  // namespace stylor
