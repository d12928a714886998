// The pages of the form and the area above them: every control in its place, bound to its field.

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
#include <QSpinBox>
#include <QScopedValueRollback>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QUrl>
#include <limits>
#include <utility>
#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "settings/error.h"
#include "settings/marking/marking_run.h"
#include "settings/text8.h"
#include "settings/numbers.h"
#include "ui/qt/first_setup_dialog.h"
#include "ui/qt/form_widgets.h"
#include "ui/qt/tooltips.h"
#include "ui/qt/user_guide.h"
#include "ui/qt/window_place.h"

namespace stylor {

using namespace form_parts;

// Every page of the form, from the model's page list: its name and caption come from the list,
// its controls from the builder of its Page.
void TEngraveForm::BuildPages() {
  using PageBuilder = void (TEngraveForm::*)(QWidget*);
  constexpr PageBuilder kBuilders[] = {
      &TEngraveForm::BuildFreeFormPage, &TEngraveForm::BuildCircleTextPage,
      &TEngraveForm::BuildEllipseTextPage, &TEngraveForm::BuildSequencePage,
      &TEngraveForm::BuildBatchPage, &TEngraveForm::BuildMachinePage,
      &TEngraveForm::BuildAdvancedPage, &TEngraveForm::BuildAboutPage};
  static_assert(std::size(kBuilders) == static_cast<std::size_t>(Page::About) + 1);
  for (const PageInfo& info : AllPages()) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromUtf8(info.objectName.data(),
                                          static_cast<qsizetype>(info.objectName.size())));
    (this->*kBuilders[static_cast<std::size_t>(info.page)])(page);
    const std::string_view caption = PageCaption(info.page);
    m_pages->addTab(page, QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
  }
}

void TEngraveForm::BuildUpperArea() {
  QWidget* form = m_surface;

  QGroupBox* text = AddGroup(form, "TextParameters", "&TextParameters", {8, 8, 337, 112});
  const std::pair<TextField, const char*> textEdits[] = {{&S::TextHeightE, "Height"},
                                                         {&S::WidthRatioE, "Width Ratio"},
                                                         {&S::SpacingRatioE, "Spacing Ratio"},
                                                         {&S::LineSpacingE, "Line Spacing"}};
  int left = 8;
  for (const auto& [field, caption] : textEdits) {
    AddLabel(text, caption, left, 18);
    AddEdit(text, field, {left, 34, 73, kEditHeight});
    left += 80;
  }
  // The font file and its button share a row, so that the form fits a screen 768 pixels high.
  QLineEdit* fontFile = AddEdit(text, &S::FontFile, {8, 66, 240, kEditHeight});
  fontFile->setReadOnly(true);
  fontFile->setCursorPosition(0);
  AddButton(text, "PickFont", "Pick Font", "Choose the font file (a .fnt stroke font, or a single-line .lff or .cxf font) and load it",
            {254, 64, 75, kButtonHeight}, &EngraveFormModel::PickFontClick);

  AddRadioGroup(form, &S::Justification, "&Justification", 1, {352, 8, 89, 112});
  AddRadioGroup(form, &S::AppendMode, "Append &Mode", 1, {448, 8, 161, 112});
  QGroupBox* append = AddGroup(form, "GroupBox1", "Append &Settings", {616, 8, 145, 112});
  AddCheckBox(append, &S::PreEngraveW, "Write Pre Engrave", {12, 30, 125, kCheckHeight});
  AddCheckBox(append, &S::PostEngraveW, "Write Post Engrave", {12, 62, 125, kCheckHeight});

  QGroupBox* axis1 = AddGroup(form, "Axis1Group", "Text \"Plane\" Axis &1", {8, 127, 193, 58});
  AddLabel(axis1, "Axis", 8, 14);
  AddLabel(axis1, "Start", 64, 14);
  AddLabel(axis1, "Text Angle", 128, 14);
  AddAxisCombo(axis1, &S::Axis1E, {8, 30, 49, kEditHeight});
  AddEdit(axis1, &S::Axis1StartE, {64, 30, 57, kEditHeight});
  AddEdit(axis1, &S::TextAngleE, {128, 30, 57, kEditHeight});

  QGroupBox* axis2 = AddGroup(form, "Axis2Group", "Text \"Plane\" Axis &2", {8, 191, 193, 58});
  AddLabel(axis2, "Axis", 8, 14);
  AddLabel(axis2, "Start", 64, 14);
  AddAxisCombo(axis2, &S::Axis2E, {8, 30, 49, kEditHeight});
  AddEdit(axis2, &S::Axis2StartE, {64, 30, 57, kEditHeight});

  QGroupBox* axis3 = AddGroup(form, "Axis3Group", "&Plunge Axis", {8, 255, 193, 71});
  AddLabel(axis3, "Absolute Tool Position", 64, 14);
  AddLabel(axis3, "Axis", 8, 27);
  AddLabel(axis3, "Down", 64, 27);
  AddLabel(axis3, "Up", 128, 27);
  AddAxisCombo(axis3, &S::Axis3E, {8, 43, 49, kEditHeight});
  AddEdit(axis3, &S::PenDownE, {64, 43, 57, kEditHeight});
  AddEdit(axis3, &S::PenUpE, {128, 43, 57, kEditHeight});

  // Each feed edit sits under its caption across the group, so that "mm/min" fits beside the
  // number.
  QGroupBox* feeds = AddGroup(form, "FeedOptions", "Feed &Options", {208, 127, 137, 199});
  AddLabel(feeds, "Engrave Feed", 8, 15);
  AddEdit(feeds, &S::EngraveFeedE, {8, 29, 121, kEditHeight});
  AddLabel(feeds, "Plunge Feed", 8, 52);
  AddEdit(feeds, &S::PlungeFeedE, {8, 66, 121, kEditHeight});
  // Kept for the machine file only: no job reads it, so the user never sees it.
  AddCheckBox(feeds, &S::InverseTimeE, "ITF", {8, 74, 97, kCheckHeight})->setVisible(false);
  AddRadioGroup(feeds, &S::FeedMode, "Feed Mo&de", 1, {8, 92, 121, 100});

  AddRadioGroup(form, &S::IntegrexMode, "&Lathe with Mill Modes", 2, {352, 127, 281, 132});
  AddRadioGroup(form, &S::IntegrexHead, "Integrex H&ead", 2, {352, 266, 217, 49});

  AddButton(form, "Button1", "Button1",
            "Write the text parameters to test.txt in the current folder",
            {670, 210, 75, kButtonHeight}, &EngraveFormModel::Button1Click)
      ->setFocusPolicy(Qt::NoFocus);
  AddButton(form, "Button2", "Button2", "Read the text parameters back from test.txt",
            {670, 255, 75, kButtonHeight}, &EngraveFormModel::Button2Click)
      ->setFocusPolicy(Qt::NoFocus);
}

void TEngraveForm::BuildFreeFormPage(QWidget* page) {
  auto* title = new QLabel("Free Form Text", page);
  title->setFont(Scaled(font(), 14, true));
  title->move(8, 9);
  title->adjustSize();
  AddButton(page, "EngraveText", "EngraveText",
            "Write a program engraving every line of the text (asks for the file)",
            {168, 6, 97, kButtonHeight}, &EngraveFormModel::EngraveTextClick);
  AddLabel(page, "Width:", 288, 11)->setToolTip("Engraved width of the last line");
  m_widthLabel = AddLabel(page, QString(), 324, 11);
  m_widthLabel->setObjectName("WidthLabel");
  m_widthLabel->setToolTip("Engraved width of the last line");
  m_widthUnit = AddLabel(page, QString(), 324, 11);
  m_widthUnit->setObjectName("WidthUnit");
  m_blockWidth = AddLabel(page, QString(), 324, 11);
  m_blockWidth->setObjectName("BlockWidthLabel");
  m_blockWidth->setToolTip("Engraved width of the widest line: the whole block");
  AddMemo(page, &S::FreeFormTextE, {4, 40, 761, 218});
  BuildCodeSection(page);
}

void TEngraveForm::BuildCircleTextPage(QWidget* page) {
  AddLabel(page, "Radius", 8, 8);
  AddEdit(page, &S::RadiusE, {8, 24, 73, kEditHeight});
  AddRadioGroup(page, &S::Direction, "Di&rection", 2, {96, 4, 273, 49});
  AddLabel(page, "Circle Text", 8, 60);
  AddEdit(page, &S::ArcTextE, {8, 76, 713, kEditHeight});
  AddButton(page, "CreateArc", "Create Arc",
            "Write a program engraving the text around the circle (asks for the file)",
            {8, 108, 97, kButtonHeight}, &EngraveFormModel::CreateArcClick);

  m_memo1 = new QPlainTextEdit(page);
  m_memo1->setObjectName("Memo1");
  m_memo1->setGeometry(8, 144, 361, 41);
  m_memo1->setReadOnly(true);
  m_memo1->setFocusPolicy(Qt::NoFocus);
  m_memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_memo1->setToolTip("The font report: one line per glyph loaded");
  m_memo1->setVisible(false);
}

void TEngraveForm::BuildEllipseTextPage(QWidget* page) {
  AddLabel(page, "Major Axis", 8, 8);
  AddEdit(page, &S::AEdit, {8, 24, 73, kEditHeight});
  AddLabel(page, "Minor Axis", 96, 8);
  AddEdit(page, &S::BEdit, {96, 24, 73, kEditHeight});
  AddLabel(page, "Justification Point", 184, 8);

  // The combo box shows JustifyPointText; the model keeps the item index in step with it.
  static constexpr TextField text = &S::JustifyPointText;
  auto* justify = new QComboBox(page);
  justify->setObjectName(ToQt(InfoOf(&S::JustifyPoint).name));
  justify->setGeometry(184, 24, 97, kEditHeight);
  justify->setEditable(true);
  justify->setInsertPolicy(QComboBox::NoInsert);
  justify->setToolTip(FieldToolTip(text));
  for (std::string_view item : InfoOf(&S::JustifyPoint).items) justify->addItem(ToQt(item));
  connect(justify, &QComboBox::editTextChanged, this, [this](const QString& value) {
    FromUser([&] { m_model.SetText(text, ToUtf8(value)); });
  });
  OnFieldChanged(InfoOf(text), justify, [this, justify] {
    const QString value = ToQt(m_model.Settings().*text);
    if (justify->currentText() != value) justify->setEditText(value);
  });

  auto* diagram = new EllipseDiagram(page);
  diagram->setObjectName("Image1");
  diagram->setGeometry(520, 4, 213, 121);
  diagram->setToolTip("The four justification points of the ellipse");

  AddRadioGroup(page, &S::EllipseDirection, "Di&rection", 2, {8, 56, 273, 49});
  AddLabel(page, "Ellipse Text", 8, 116);
  AddEdit(page, &S::EllipseTextE, {8, 132, 737, kEditHeight});
  AddButton(page, "CreateEllipse", "Create Ellipse",
            "Write a program engraving the text around the ellipse (asks for the file)",
            {8, 164, 105, kButtonHeight}, &EngraveFormModel::CreateEllipseClick);
}

void TEngraveForm::BuildSequencePage(QWidget* page) {
  AddLabel(page, "Start Number", 8, 6);
  AddEdit(page, &S::SeqStart, {8, 22, 73, kEditHeight});
  AddLabel(page, "End Number", 88, 6);
  AddEdit(page, &S::SeqEnd, {88, 22, 73, kEditHeight});
  AddLabel(page, "Step", 168, 6);
  QLineEdit* step = AddEdit(page, &S::SeqStep, {168, 22, 49, kEditHeight});
  AddSpinner(page, &S::SeqStep, step, 1, 1000);
  AddLabel(page, "Prefix", 248, 6);
  AddEdit(page, &S::SeqPrefix, {248, 22, 81, kEditHeight});
  AddLabel(page, "Suffix", 336, 6);
  AddEdit(page, &S::SeqPostfix, {336, 22, 81, kEditHeight});
  AddLabel(page, "Digits", 424, 6);
  QLineEdit* digits = AddEdit(page, &S::SeqDigits, {424, 22, 41, kEditHeight});
  // Typed digits count as the arrows do; the box takes nothing else.
  digits->setValidator(new QIntValidator(0, 20, digits));
  AddSpinner(page, &S::SeqDigits, digits, 0, 20);
  AddCheckBox(page, &S::UseArcSettings, "Use Arc Settings", {496, 24, 121, kCheckHeight});
  AddButton(page, "GenerateSequences", "Generate Sequences",
            "Write the program (or programs) of every number from Start to End (asks for the "
            "file)",
            {632, 19, 125, 27}, &EngraveFormModel::GenerateSequencesClick);

  AddRadioGroup(page, &S::Files, "F&iles", 2, {8, 50, 233, 58});
  m_filePrefixLabel = AddLabel(page, "File Name Prefix", 248, 56);
  m_filePrefix = AddEdit(page, &S::FilePrefix, {248, 72, 169, kEditHeight});
  m_padFileNumbers = AddCheckBox(page, &S::PadFileNumbers, "Pad numbers", {368, 55, 110, kCheckHeight});
  AddLabel(page, "Example", 496, 54);
  m_seqExample = new QLabel(page);
  m_seqExample->setObjectName("SeqExample");
  m_seqExample->setGeometry(496, 68, 261, 30);
  m_seqExample->setFont(Scaled(font(), 20, true));
  m_seqExample->setToolTip("How the twelfth number of the run is engraved");

  AddLabel(page, "G Codes to add before each Sequence", 8, 112);
  AddMemo(page, &S::SeqPreGCodes, {8, 128, 369, 72});
  AddLabel(page, "G Codes to add after each Sequence", 384, 112);
  AddMemo(page, &S::SeqPostGCodes, {384, 128, 369, 72});

  // Files "On the control": the control's dialect, its counter and the first subprogram.
  AddRadioGroup(page, &S::ControlDialect, "&Control dialect", 2, {8, 206, 369, 44});
  AddLabel(page, "Counter Variable", 384, 206);
  AddEdit(page, &S::CounterVariable, {384, 222, 97, kEditHeight});
  AddLabel(page, "First Subprogram", 496, 206);
  AddEdit(page, &S::FirstSubprogram, {496, 222, 97, kEditHeight});
  // Which number of the run the preview cuts: for On the control, one cycle with the counter
  // at that number, run as the control runs it.
  AddLabel(page, "Show serial", 608, 206);
  m_showSerial = new QSpinBox(page);
  m_showSerial->setObjectName("ShowSerial");
  m_showSerial->setGeometry(608, 222, 97, kEditHeight);
  m_showSerial->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  m_showSerial->setToolTip("The number of the run the preview shows cut; for On the control, the "
                           "cycle the control runs with its counter at this number");
  connect(m_showSerial, &QSpinBox::valueChanged, this, [this](int serial) {
    if (!m_showingModel) m_model.ShowSerial(serial);
  });

  // The same field as in the Codes section, so that both show what the run will do.
  AddLabel(page, "Continue from counter:", 8, 259);
  AddEdit(page, &S::SeqCounter, {148, 256, 121, kEditHeight});
  m_seqCounterNext = AddLabel(page, QString(), 278, 259);
  m_seqCounterNext->setObjectName("SeqCounterNext");
  m_seqCounterNext->setFixedWidth(487);  // a long reason is cut here; the tooltip holds it whole
  m_seqCounterNext->setToolTip("The value the next run starts from, as the counter file holds it");
  ShowSeqCounterNext();
}

void TEngraveForm::ShowSeqCounterNext() {
  const std::string& name = m_model.Settings().SeqCounter;
  QString shown;
  if (!name.empty()) {
    try {
      const MarkingSetup setup = m_model.Marking();
      const std::vector<Counter> counters = LoadCounters(setup);
      const auto counter = std::find_if(counters.begin(), counters.end(),
                                        [&](const Counter& c) { return c.name == name; });
      shown = counter == counters.end()
                  ? "not in " + FromNativePath(setup.counterPath)
                  : "next: " + ToQt(FormatCounterValue(*counter, NextCounterValue(setup, name)));
    } catch (const Error& error) {
      shown = ToQt(std::string(error.what()));
    }
  }
  m_seqCounterNext->setText(shown);
  m_seqCounterNext->setToolTip(shown.isEmpty() ? "The value the next run starts from" : shown);
}

// The batch has a page of its own after Sequence: it repeats the text pages' jobs, not the serial
// numbers, and needs the room of a list of rows. It shares the Sequence page's Files, File Name
// Prefix and the lines around each number, which it writes around each row.
void TEngraveForm::BuildBatchPage(QWidget* page) {
  AddButton(page, "DataFile", "Data File...", "Choose the data file whose rows fill the texts (values separated by commas, tabs or semicolons)",
            {8, 19, 97, 27}, &EngraveFormModel::DataFileClick);
  m_dataFileName = AddLabel(page, QString(), 112, 25);
  m_dataFileName->setObjectName("DataFileName");
  m_dataFileName->setFixedWidth(505);
  AddButton(page, "GenerateBatch", "Generate from Data",
            "Write the chosen text job once per row (asks for the file). One File or Many Files, "
            "the File Name Prefix and the G codes around each row are those of the Sequence page",
            {632, 19, 125, 27}, &EngraveFormModel::GenerateBatchClick);
  AddRadioGroup(page, &S::BatchTextKind, "Te&xt Job", 3, {8, 52, 369, 45});
  AddLabel(page, "File Name Column", 384, 56);
  AddEdit(page, &S::BatchNameColumn, {384, 72, 137, kEditHeight});
  // The file names and the lines around each row come from the Sequence page: said beside the
  // name column, so that a prefix left there does not rename the files unseen.
  m_batchSequence = AddLabel(page, QString(), 528, 48);
  m_batchSequence->setObjectName("BatchSequenceLabel");
  m_batchSequence->setWordWrap(true);
  m_batchSequence->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_batchSequence->setFont(Scaled(font(), 11, false));
  m_batchSequence->setFixedSize(229, 56);
  m_batchSequence->setToolTip("Files, File Name Prefix and the G codes around each row are set "
                              "on the Sequence page");
  m_dataRowsLabel = AddLabel(page, QString(), 8, 104);
  m_dataRowsLabel->setObjectName("DataRowsLabel");
  m_dataRowsLabel->setFixedWidth(745);
  m_dataRows = new QTableWidget(page);
  m_dataRows->setObjectName("DataRows");
  m_dataRows->setGeometry(8, 120, 749, 148);
  m_dataRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_dataRows->setSelectionMode(QAbstractItemView::SingleSelection);
  m_dataRows->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_dataRows->setToolTip("The first rows of the data file; click a row to draw it in the preview. "
                         "{Column}, {Row} and {Rows} fill the texts and blocks");
  connect(m_dataRows, &QTableWidget::currentCellChanged, this, [this](int row) {
    if (!m_showingModel && row >= 0) m_model.SetPreviewRow(static_cast<std::size_t>(row));
  });
  m_dataRows->setCornerButtonEnabled(false);
  // The row numbers at the left are those {Row} gives.
  for (QAbstractButton* corner : m_dataRows->findChildren<QAbstractButton*>()) {
    corner->setToolTip("Row numbers, as {Row} writes them");
  }
}

void TEngraveForm::ShowDataRows() {
  m_dataRowsLabel->setText(ToQt(m_model.DataRowsLabel()));
  m_dataFileName->setText(FromNativePath(m_model.DataFile()));
  const DataTable* table = m_model.DataRows();
  if (table == m_shownRows) return;
  m_shownRows = table;
  m_dataRows->clear();
  if (table == nullptr) {
    m_dataRows->setRowCount(0);
    m_dataRows->setColumnCount(0);
    return;
  }
  const auto rows = static_cast<int>(std::min(table->Rows(), kListedDataRows));
  const auto columns = static_cast<int>(table->columns.size());
  m_dataRows->setColumnCount(columns);
  m_dataRows->setRowCount(rows);
  for (int column = 0; column < columns; ++column) {
    m_dataRows->setHorizontalHeaderItem(column, new QTableWidgetItem(ToQt(table->columns[column])));
  }
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const std::string_view value = table->Value(row, column);
      m_dataRows->setItem(row, column, new QTableWidgetItem(QString::fromUtf8(
                                           value.data(), static_cast<qsizetype>(value.size()))));
    }
  }
}

void TEngraveForm::ShowShownSerial() {
  const std::optional<std::int64_t> serial = m_model.ShownSerial();
  m_showSerial->setEnabled(serial.has_value());
  if (!serial || m_showSerial->value() == *serial) return;
  QScopedValueRollback<bool> showing(m_showingModel, true);
  m_showSerial->setValue(static_cast<int>(*serial));
}

void TEngraveForm::ShowPreviewRow() {
  const auto row = static_cast<int>(m_model.PreviewRow());
  if (m_model.DataRows() == nullptr || row >= m_dataRows->rowCount()) return;
  if (m_dataRows->currentRow() != row) m_dataRows->setCurrentCell(row, 0);
}

void TEngraveForm::BuildMachinePage(QWidget* page) {
  struct MemoEntry {
    LinesField field;
    const char* caption;
    int left;
    int top;
  };
  const MemoEntry memos[] = {{&S::PreToolChange, "Pre Tool Change", 8, 4},
                             {&S::PostToolChange, "Post Tool Change", 336, 4},
                             {&S::ToolChange, "Tool Change", 8, 116},
                             {&S::PostEngrave, "Post Engrave", 336, 116}};
  for (const MemoEntry& memo : memos) {
    AddLabel(page, memo.caption, memo.left, memo.top);
    AddMemo(page, memo.field, {memo.left, memo.top + 16, 320, 89})
        ->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  }
  AddButton(page, "Save", "Save", "Write the settings to a machine file (.mch)  Ctrl+S",
            {672, 20, 75, kButtonHeight}, &EngraveFormModel::SaveClick);
  AddButton(page, "Open", "Open", "Read a machine file (.mch) into the settings  Ctrl+O",
            {672, 52, 75, kButtonHeight}, &EngraveFormModel::OpenClick);
  AddButton(page, "Reset", "Reset", "Put the default lines back into the four G-code blocks",
            {672, 84, 75, kButtonHeight}, &EngraveFormModel::ResetClick);
  AddButton(page, "OpenOld", "Open Old",
            "Read a machine file of the older layout: the four G-code blocks only",
            {672, 116, 75, kButtonHeight}, &EngraveFormModel::OpenOldClick);
  m_undoReset = AddButton(page, "UndoReset", "Undo Reset",
                          "Put back the four G-code blocks as they were before the last Reset",
                          {672, 148, 75, kButtonHeight}, &EngraveFormModel::UndoResetClick);
  m_undoReset->setEnabled(false);
}

void TEngraveForm::BuildAdvancedPage(QWidget* page) {
  AddLabel(page, "Symbol Rotation Angle", 8, 12);
  AddEdit(page, &S::SymAngleE, {8, 28, 73, kEditHeight});
}

void TEngraveForm::BuildAboutPage(QWidget* page) {
  auto* name = new QLabel("Stylor " STYLOR_VERSION, page);
  name->setObjectName("VersionLabel");
  name->setGeometry(16, 16, 400, 32);
  name->setFont(Scaled(font(), 26, true));
  AddLabel(page, "The user guide, installed with Stylor (F1):", 16, 64);

  auto* link = new LinkLabel(page);
  link->setObjectName("URLlabel");
  link->setGeometry(16, 86, 741, 21);
  QFont linkFont = Scaled(font(), 13, true);
  linkFont.setUnderline(true);
  link->setFont(linkFont);
  QPalette colours = link->palette();
  colours.setColor(QPalette::WindowText, colours.color(QPalette::Active, QPalette::Highlight));
  link->setPalette(colours);
  link->setText(ToQt(m_model.DocumentationUrl()));
  link->setToolTip("Open the user guide inside Stylor  F1");
  link->OnClicked([this] { m_model.Run([this] { m_model.URLlabelClick(); }); });
}

}  // namespace stylor
