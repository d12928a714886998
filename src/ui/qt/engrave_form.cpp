#include "ui/qt/engrave_form.h"

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
namespace {

using S = EngraveSettings;

constexpr int kPanelHeight = 309;
constexpr int kEditHeight = 21;
constexpr int kButtonHeight = 25;
constexpr int kCheckHeight = 17;
// The frame a window manager usually puts around a window, until the real one is known.
constexpr QMargins kAssumedFrame(6, 38, 6, 6);

const QString kTitle = QStringLiteral("Stylor");
// The program files of the save and open dialogs: .eia first, then the names other controls use.
const QStringList kProgramFilters = {"EIA (*.eia)",         "Text File (*.txt)",
                                     "NC Program (*.nc)",   "NGC Program (*.ngc)",
                                     "TAP Program (*.tap)", "All Files (*)"};
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kSplitterKey = QStringLiteral("window/splitter");
const QString kRecentKey = QStringLiteral("recentMachineFiles");
const QString kPageKey = QStringLiteral("window/page");
const QString kFreeFormKey = QStringLiteral("texts/freeForm");
const QString kArcTextKey = QStringLiteral("texts/circle");
const QString kEllipseTextKey = QStringLiteral("texts/ellipse");
const QString kErrorOutline =
    QStringLiteral("QLineEdit { border: 2px solid #c62828; border-radius: 2px; }");
const QString kWarningOutline = QStringLiteral(
    "QComboBox, QLineEdit, QPlainTextEdit { border: 2px solid #e08a00; border-radius: 2px; }"
    "QGroupBox { border: 2px solid #e08a00; border-radius: 2px; margin-top: 7px; }"
    "QGroupBox::title { subcontrol-origin: margin; left: 7px; }");

QString ToQt(const std::string& utf8) { return QString::fromStdString(utf8); }
QString ToQt(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
std::string ToUtf8(const QString& text) { return text.toStdString(); }
std::string ToNativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString FromNativePath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// A memo's text as lines: "\n" separates lines and a final "\n" only ends the last one.
Lines SplitLines(const QString& text) {
  Lines lines;
  if (text.isEmpty()) return lines;
  QStringList parts = text.split(u'\n');
  if (text.endsWith(u'\n')) parts.removeLast();
  lines.reserve(static_cast<std::size_t>(parts.size()));
  for (const QString& part : parts) lines.push_back(ToUtf8(part));
  return lines;
}

// The inverse of SplitLines, so that a memo shown from the model reads back unchanged.
QString JoinLines(const Lines& lines) {
  QString text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += u'\n';
    text += ToQt(lines[i]);
  }
  if (!lines.empty() && lines.back().empty()) text += u'\n';
  return text;
}

QLabel* AddLabel(QWidget* parent, const QString& caption, int left, int top) {
  auto* label = new QLabel(caption, parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QGroupBox* AddGroup(QWidget* parent, const QString& name, const QString& caption, QRect place) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(name);
  group->setGeometry(place);
  return group;
}

QFont Scaled(const QFont& base, int pixelSize, bool bold) {
  QFont font = base;
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

std::optional<std::string> RunFileDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToNativePath(dialog.selectedFiles().constFirst());
}

enum class Quantity { Length, Feed, Angle, Axis1Start, Axis2Start };

struct UnitField {
  TextField field;
  Quantity quantity;
};

// The edits whose value has a unit; ratios, counts and texts have none.
constexpr UnitField kUnitFields[] = {
    {&S::TextHeightE, Quantity::Length},  {&S::Axis1StartE, Quantity::Axis1Start},
    {&S::TextAngleE, Quantity::Angle},    {&S::Axis2StartE, Quantity::Axis2Start},
    {&S::PenDownE, Quantity::Length},     {&S::PenUpE, Quantity::Length},
    {&S::EngraveFeedE, Quantity::Feed},   {&S::PlungeFeedE, Quantity::Feed},
    {&S::RadiusE, Quantity::Length},      {&S::AEdit, Quantity::Length},
    {&S::BEdit, Quantity::Length},
};

}  // namespace

TEngraveForm::TEngraveForm(QWidget* parent)
    : QMainWindow(parent), m_model(*this), m_unit(StoredProgramUnit()) {
  setObjectName("EngraveForm");
  setWindowTitle(kTitle);

  m_surface = new QWidget;
  m_surface->setObjectName("EngraveFormSurface");
  m_surface->setFixedSize(kSurfaceWidth, kHeight);
  m_surface->setAutoFillBackground(true);
  m_surface->installEventFilter(this);

  m_scroll = new QScrollArea;
  m_scroll->setObjectName("FormScroll");
  m_scroll->setFrameShape(QFrame::NoFrame);
  m_scroll->setWidget(m_surface);

  m_preview = new PreviewPanel(m_model, nullptr);
  m_preview->OnOpenProgram([this] { OpenProgramFile(); });

  m_splitter = new QSplitter(Qt::Horizontal);
  m_splitter->setObjectName("FormSplitter");
  m_splitter->addWidget(m_scroll);
  m_splitter->addWidget(m_preview);
  m_splitter->setStretchFactor(0, 0);
  m_splitter->setStretchFactor(1, 1);
  m_splitter->setCollapsible(0, false);
  m_splitter->setCollapsible(1, true);
  m_splitter->setSizes({kSurfaceWidth, PreviewPanel::kWidth});
  setCentralWidget(m_splitter);
  statusBar()->setObjectName("StatusBar");
  m_setupWarning = new QLabel;
  m_setupWarning->setObjectName("SetupWarning");
  // One line, cut at the window's edge: the tooltip holds the whole text.
  m_setupWarning->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  m_setupWarning->setStyleSheet("QLabel { color: #a04800; }");
  m_setupWarning->setVisible(false);
  statusBar()->addPermanentWidget(m_setupWarning, 1);
  m_millAxes = new QPushButton("Axes X Y Z");
  m_millAxes->setObjectName("MillAxes");
  m_millAxes->setToolTip("Put the mill's axes back: Axis 1 X, Axis 2 Y, plunge axis Z");
  m_millAxes->setVisible(false);
  statusBar()->addPermanentWidget(m_millAxes);
  connect(m_millAxes, &QPushButton::clicked, this,
          [this] { RunHandler(&EngraveFormModel::MillAxesClick); });

  BuildUpperArea();

  auto* panel = new QWidget(m_surface);
  panel->setObjectName("Panel1");
  panel->setGeometry(0, kHeight - kPanelHeight, kSurfaceWidth, kPanelHeight);
  m_pages = new QTabWidget(panel);
  m_pages->setObjectName("PageControl");
  m_pages->setGeometry(0, 0, kSurfaceWidth, kPanelHeight);

  // The controls of each page, in Page order; the names and captions come from the page list.
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
  // The advanced page keeps its place in the page order but is never offered.
  const int advanced = static_cast<int>(Page::Advanced);
  m_pages->widget(advanced)->setEnabled(false);
  m_pages->setTabEnabled(advanced, false);
  m_pages->setTabVisible(advanced, false);
  connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
    FromUser([&] { m_model.ShowPage(static_cast<Page>(index)); });
    // Only the user's choice is kept, not the page the start-up shows.
    if (m_started && !m_showingModel) {
      QSettings().setValue(kPageKey, m_pages->widget(index)->objectName());
    }
  });

  // On a small screen the surface scrolls: keep the control that takes the focus in sight.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now != nullptr && m_surface->isAncestorOf(now)) m_scroll->ensureWidgetVisible(now, 8, 8);
  });

  BuildMenus();
  BuildPageKeys();
  ShowUnits();
  ViewChanged();
}

TEngraveForm::~TEngraveForm() = default;

void TEngraveForm::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  QAction* open = file->addAction("&Open Machine...", this, [this] {
    RunHandler(&EngraveFormModel::OpenClick);
  });
  open->setObjectName("OpenMachineAction");
  open->setShortcut(QKeySequence::Open);
  open->setToolTip("Read a machine file (.mch) into the settings");
  QAction* save = file->addAction("&Save Machine...", this, [this] {
    RunHandler(&EngraveFormModel::SaveClick);
  });
  save->setObjectName("SaveMachineAction");
  save->setShortcut(QKeySequence::Save);
  save->setToolTip("Write the settings to a machine file (.mch)");
  m_recentMenu = file->addMenu("&Recent Machine Files");
  m_recentMenu->setObjectName("RecentMachineFiles");
  FillRecentMenu();
  file->addSeparator();
  file->addAction("Open &Program...", this, [this] { OpenProgramFile(); })
      ->setObjectName("OpenProgramAction");
  file->addSeparator();
  QAction* quit = file->addAction("&Quit", this, &QWidget::close);
  quit->setObjectName("QuitAction");
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* units = menuBar()->addMenu("&Units");
  auto* unitGroup = new QActionGroup(this);
  m_millimetres = units->addAction("&Millimetres (mm)", this,
                                   [this] { SetUnit(ProgramUnit::Millimetres); });
  m_inches = units->addAction("&Inches (in)", this, [this] { SetUnit(ProgramUnit::Inches); });
  for (QAction* action : {m_millimetres, m_inches}) {
    action->setCheckable(true);
    unitGroup->addAction(action);
  }
  m_millimetres->setObjectName("MillimetresAction");
  m_inches->setObjectName("InchesAction");
  units->addSeparator();
  units->addAction("&Rapid Rate...", this, [this] {
         bool ok = false;
         const double rate = QInputDialog::getDouble(
             this, kTitle, "Rapid rate of your machine, in " + FeedSuffix(m_unit) +
                               " (times the G00 moves in the estimate):",
             StoredRapidRate(), 1, 1e7, 0, &ok);
         if (ok) SetRapidRate(rate);
       })->setObjectName("RapidRateAction");
  units->setToolTipsVisible(true);
  units->setToolTip("The unit of your machine programs: it names lengths and feeds, and changes "
                    "no number that is written");

  QMenu* help = menuBar()->addMenu("&Help");
  QAction* guide = help->addAction("&User Guide", this, [this] { ShowUserGuide(); });
  guide->setObjectName("UserGuideAction");
  guide->setShortcut(QKeySequence::HelpContents);
  help->addAction("&About Stylor", this, [this] { ShowAbout(); })->setObjectName("AboutAction");
}

void TEngraveForm::BuildPageKeys() {
  // From any box of the window, not only inside the pages: the next or the previous page that
  // is offered, round the ends.
  auto step = [this](int by) {
    const int count = m_pages->count();
    int index = m_pages->currentIndex();
    for (int tried = 0; tried < count; ++tried) {
      index = (index + by + count) % count;
      if (m_pages->isTabVisible(index) && m_pages->isTabEnabled(index)) break;
    }
    m_pages->setCurrentIndex(index);
  };
  struct PageKey {
    const char* name;
    QList<QKeySequence> keys;
    int by;
  };
  const PageKey keys[] = {
      {"NextPageAction", {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, 1},
      {"PreviousPageAction",
       {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
       -1},
  };
  for (const PageKey& key : keys) {
    auto* action = new QAction(this);
    action->setObjectName(key.name);
    action->setShortcuts(key.keys);
    action->setShortcutContext(Qt::WindowShortcut);
    const int by = key.by;
    connect(action, &QAction::triggered, this, [step, by] { step(by); });
    addAction(action);
  }

  // One key runs the job of the page shown, as its button does.
  auto* run = new QAction(this);
  run->setObjectName("RunJobAction");
  run->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
  run->setShortcutContext(Qt::WindowShortcut);
  const auto buttonName = [](JobKind job) {
    const std::string_view name = JobInfoOf(job).button;
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  };
  connect(run, &QAction::triggered, this, [this, buttonName] {
    const int page = m_pages->currentIndex();
    if (page < 0) return;
    const std::optional<JobKind> job = PageInfoOf(static_cast<Page>(page)).job;
    if (!job) return;
    if (auto* button = m_pages->widget(page)->findChild<QPushButton*>(buttonName(*job))) {
      button->click();
    }
  });
  addAction(run);
  for (const JobInfo& job : AllJobs()) {
    if (auto* button = m_surface->findChild<QPushButton*>(buttonName(job.kind))) {
      button->setToolTip(button->toolTip() + "  Ctrl+Enter");
    }
  }
}

void TEngraveForm::BuildUpperArea() {
  QWidget* form = m_surface;

  QGroupBox* text = AddGroup(form, "TextParameters", "TextParameters", {8, 8, 337, 137});
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
  QLineEdit* fontFile = AddEdit(text, &S::FontFile, {8, 70, 281, kEditHeight});
  fontFile->setReadOnly(true);
  fontFile->setCursorPosition(0);
  AddButton(text, "PickFont", "Pick Font", "Choose the font file (a .fnt stroke font, or a single-line .lff or .cxf font) and load it",
            {8, 100, 75, kButtonHeight}, &EngraveFormModel::PickFontClick);

  AddRadioGroup(form, &S::Justification, "Justification", 1, {352, 8, 89, 137});
  AddRadioGroup(form, &S::AppendMode, "Append Mode", 1, {448, 8, 161, 137});
  QGroupBox* append = AddGroup(form, "GroupBox1", "Append Settings", {616, 8, 145, 137});
  AddCheckBox(append, &S::PreEngraveW, "Write Pre Engrave", {12, 32, 125, kCheckHeight});
  AddCheckBox(append, &S::PostEngraveW, "Write Post Engrave", {12, 64, 125, kCheckHeight});

  QGroupBox* axis1 = AddGroup(form, "Axis1Group", "Text \"Plane\" Axis 1", {8, 152, 193, 65});
  AddLabel(axis1, "Axis", 8, 16);
  AddLabel(axis1, "Start", 64, 16);
  AddLabel(axis1, "Text Angle", 128, 16);
  AddAxisCombo(axis1, &S::Axis1E, {8, 32, 49, kEditHeight});
  AddEdit(axis1, &S::Axis1StartE, {64, 32, 57, kEditHeight});
  AddEdit(axis1, &S::TextAngleE, {128, 32, 57, kEditHeight});

  QGroupBox* axis2 = AddGroup(form, "Axis2Group", "Text \"Plane\" Axis 2", {8, 224, 193, 65});
  AddLabel(axis2, "Axis", 8, 16);
  AddLabel(axis2, "Start", 64, 16);
  AddAxisCombo(axis2, &S::Axis2E, {8, 32, 49, kEditHeight});
  AddEdit(axis2, &S::Axis2StartE, {64, 32, 57, kEditHeight});

  QGroupBox* axis3 = AddGroup(form, "Axis3Group", "Plunge Axis", {8, 296, 193, 73});
  AddLabel(axis3, "Absolute Tool Position", 64, 15);
  AddLabel(axis3, "Axis", 8, 29);
  AddLabel(axis3, "Down", 64, 29);
  AddLabel(axis3, "Up", 128, 29);
  AddAxisCombo(axis3, &S::Axis3E, {8, 45, 49, kEditHeight});
  AddEdit(axis3, &S::PenDownE, {64, 45, 57, kEditHeight});
  AddEdit(axis3, &S::PenUpE, {128, 45, 57, kEditHeight});

  // Each feed edit sits under its caption across the group, so that "mm/min" fits beside the
  // number.
  QGroupBox* feeds = AddGroup(form, "FeedOptions", "Feed Options", {208, 152, 137, 217});
  AddLabel(feeds, "Engrave Feed", 8, 16);
  AddEdit(feeds, &S::EngraveFeedE, {8, 30, 121, kEditHeight});
  AddLabel(feeds, "Plunge Feed", 8, 54);
  AddEdit(feeds, &S::PlungeFeedE, {8, 68, 121, kEditHeight});
  // Kept for the machine file only: no job reads it, so the user never sees it.
  AddCheckBox(feeds, &S::InverseTimeE, "ITF", {8, 74, 97, kCheckHeight})->setVisible(false);
  AddRadioGroup(feeds, &S::FeedMode, "Feed Mode", 1, {8, 98, 121, 111});

  AddRadioGroup(form, &S::IntegrexMode, "Lathe with Mill Modes", 2, {352, 151, 281, 145});
  AddRadioGroup(form, &S::IntegrexHead, "Integrex Head", 2, {352, 303, 217, 49});

  AddButton(form, "Button1", "Button1",
            "Write the text parameters to test.txt in the current folder",
            {670, 235, 75, kButtonHeight}, &EngraveFormModel::Button1Click)
      ->setFocusPolicy(Qt::NoFocus);
  AddButton(form, "Button2", "Button2", "Read the text parameters back from test.txt",
            {670, 280, 75, kButtonHeight}, &EngraveFormModel::Button2Click)
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
  AddRadioGroup(page, &S::Direction, "Direction", 2, {96, 4, 273, 49});
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

  AddRadioGroup(page, &S::EllipseDirection, "Direction", 2, {8, 56, 273, 49});
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
  digits->setReadOnly(true);
  AddSpinner(page, &S::SeqDigits, digits, 0, 20);
  AddCheckBox(page, &S::UseArcSettings, "Use Arc Settings", {496, 24, 121, kCheckHeight});
  AddButton(page, "GenerateSequences", "Generate Sequences",
            "Write the program (or programs) of every number from Start to End (asks for the "
            "file)",
            {632, 19, 125, 27}, &EngraveFormModel::GenerateSequencesClick);

  AddRadioGroup(page, &S::Files, "Files", 2, {8, 52, 233, 45});
  m_filePrefixLabel = AddLabel(page, "File Name Prefix", 248, 56);
  m_filePrefix = AddEdit(page, &S::FilePrefix, {248, 72, 169, kEditHeight});
  AddLabel(page, "Example", 496, 54);
  m_seqExample = new QLabel(page);
  m_seqExample->setObjectName("SeqExample");
  m_seqExample->setGeometry(496, 68, 261, 30);
  m_seqExample->setFont(Scaled(font(), 20, true));
  m_seqExample->setToolTip("How the twelfth number of the run is engraved");

  AddLabel(page, "G Codes to add before each Sequence", 8, 104);
  AddMemo(page, &S::SeqPreGCodes, {8, 120, 369, 148});
  AddLabel(page, "G Codes to add after each Sequence", 384, 104);
  AddMemo(page, &S::SeqPostGCodes, {384, 120, 369, 148});
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
  AddRadioGroup(page, &S::BatchTextKind, "Text Job", 3, {8, 52, 369, 45});
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
  AddLabel(page, "See Website for Documentation", 16, 64);

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

UnitEdit* TEngraveForm::AddEdit(QWidget* parent, TextField field, QRect place) {
  const FieldInfo& info = InfoOf(field);
  auto* edit = new UnitEdit(parent);
  edit->setObjectName(ToQt(info.name));
  edit->setGeometry(place);
  edit->setToolTip(FieldToolTip(field));
  connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) {
    FromUser([&] { m_model.SetText(field, ToUtf8(text)); });
  });
  OnFieldChanged(info, edit, [this, edit, field] {
    const QString text = ToQt(m_model.Settings().*field);
    // Setting the same text again would move the cursor of a user who is typing.
    if (edit->text() != text) edit->setText(text);
  });
  return edit;
}

QComboBox* TEngraveForm::AddAxisCombo(QWidget* parent, TextField field, QRect place) {
  const FieldInfo& info = InfoOf(field);
  auto* combo = new QComboBox(parent);
  combo->setObjectName(ToQt(info.name));
  combo->setGeometry(place);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->addItems({"X", "Y", "Z", "A", "B", "C"});
  combo->setToolTip(FieldToolTip(field));
  connect(combo, &QComboBox::editTextChanged, this, [this, field](const QString& text) {
    FromUser([&] { m_model.SetText(field, ToUtf8(text)); });
  });
  OnFieldChanged(info, combo, [this, combo, field] {
    const QString text = ToQt(m_model.Settings().*field);
    if (combo->currentText() == text) return;
    const int item = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0) combo->setCurrentIndex(item);
    if (combo->currentText() != text) combo->setEditText(text);
  });
  return combo;
}

QPlainTextEdit* TEngraveForm::AddMemo(QWidget* parent, LinesField field, QRect place) {
  const FieldInfo& info = InfoOf(field);
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(ToQt(info.name));
  memo->setGeometry(place);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  // A tab would be engraved as blank space 0.35 heights wide: Tab moves on, as in every box.
  memo->setTabChangesFocus(true);
  memo->setToolTip(FieldToolTip(field));
  connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, field] {
    FromUser([&] { m_model.SetLines(field, SplitLines(memo->toPlainText())); });
  });
  OnFieldChanged(info, memo, [this, memo, field] {
    const Lines& lines = m_model.Settings().*field;
    if (SplitLines(memo->toPlainText()) != lines) memo->setPlainText(JoinLines(lines));
  });
  return memo;
}

QGroupBox* TEngraveForm::AddRadioGroup(QWidget* parent, IndexField field, const QString& caption,
                                       int columns, QRect place) {
  const FieldInfo& info = InfoOf(field);
  QGroupBox* box = AddGroup(parent, ToQt(info.name), caption, place);
  box->setToolTip(FieldToolTip(field));
  auto* buttons = new QButtonGroup(box);

  // Items run down the first column, then down the next, spread evenly over the group.
  constexpr int kCaptionRoom = 16;
  const int count = static_cast<int>(info.items.size());
  const int perColumn = (count + columns - 1) / columns;
  const int columnWidth = (place.width() - 10) / columns;
  const int rowHeight = (place.height() - kCaptionRoom - 4) / perColumn;
  const QStringList itemTips = ItemToolTips(field);
  for (int i = 0; i < count; ++i) {
    auto* button = new QRadioButton(ToQt(info.items[static_cast<std::size_t>(i)]), box);
    button->setGeometry(8 + (i / perColumn) * columnWidth,
                        kCaptionRoom + (i % perColumn) * rowHeight, columnWidth - 2, rowHeight);
    if (i < itemTips.size()) button->setToolTip(itemTips[i]);
    buttons->addButton(button, i);
  }
  connect(buttons, &QButtonGroup::idToggled, this, [this, field](int id, bool checked) {
    if (checked) FromUser([&] { m_model.SetIndex(field, id); });
  });
  OnFieldChanged(info, box, [this, buttons, field] {
    QAbstractButton* selected = buttons->button(m_model.Settings().*field);
    if (selected != nullptr) {
      selected->setChecked(true);
    } else if (QAbstractButton* checked = buttons->checkedButton()) {
      // An exclusive group cannot show "nothing selected" otherwise.
      buttons->setExclusive(false);
      checked->setChecked(false);
      buttons->setExclusive(true);
    }
  });
  return box;
}

QCheckBox* TEngraveForm::AddCheckBox(QWidget* parent, StateField field, const QString& caption,
                                     QRect place) {
  const FieldInfo& info = InfoOf(field);
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(ToQt(info.name));
  box->setGeometry(place);
  box->setToolTip(FieldToolTip(field));
  connect(box, &QCheckBox::toggled, this,
          [this, field](bool checked) { FromUser([&] { m_model.SetState(field, checked); }); });
  OnFieldChanged(info, box, [this, box, field] { box->setChecked(m_model.Settings().*field); });
  return box;
}

void TEngraveForm::AddSpinner(QWidget* parent, TextField field, QLineEdit* edit, int minimum,
                              int maximum) {
  const FieldInfo& info = InfoOf(field);
  auto* spinner = new UpDown(minimum, maximum, parent);
  spinner->setObjectName(ToQt(info.name) + "Spinner");
  spinner->setToolTip(FieldToolTip(field));
  const QRect beside = edit->geometry();
  spinner->setGeometry(beside.right() + 1, beside.top(), 16, beside.height());
  spinner->Attach(edit);
  spinner->OnMoved([this, field](int position) {
    std::string text;
    AppendInteger(text, position);
    m_model.SetText(field, text);
  });
  // The arrows step from the value the box shows, typed or loaded, not from their last click.
  auto follow = [this, spinner, field] {
    const ScannedInteger shown = ScanInteger(m_model.Settings().*field);
    if (shown.used > 0) spinner->SetPosition(shown.value);
  };
  follow();
  FieldControl& control = m_fields[&info];
  control.show = [show = std::move(control.show), follow] {
    show();
    follow();
  };
}

QPushButton* TEngraveForm::AddButton(QWidget* parent, const char* name, const QString& caption,
                                     const QString& toolTip, QRect place,
                                     void (EngraveFormModel::*handler)()) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(place);
  button->setToolTip(toolTip);
  connect(button, &QPushButton::clicked, this, [this, handler] { RunHandler(handler); });
  return button;
}

void TEngraveForm::OnFieldChanged(const FieldInfo& field, QWidget* control,
                                  std::function<void()> show) {
  {
    QScopedValueRollback<bool> showing(m_showingModel, true);
    show();
  }
  m_fields[&field] = FieldControl{control, std::move(show)};
}

void TEngraveForm::FromUser(const std::function<void()>& change) {
  if (!m_showingModel) change();
}

void TEngraveForm::RunHandler(void (EngraveFormModel::*handler)()) {
  m_model.Run([this, handler] { (m_model.*handler)(); });
}

void TEngraveForm::Start(const QString& workingDirectory) {
  if (m_started) return;
  m_started = true;
  m_model.Run([&] { m_model.FormActivate(ToUtf8(workingDirectory)); });
  RestoreTexts();
  ShowPageLastUsed();
}

// The texts to engrave are no machine setting: they outlast the run in the application settings,
// not in default.mch.
void TEngraveForm::KeepTexts() {
  QSettings settings;
  const EngraveSettings& held = m_model.Settings();
  settings.setValue(kFreeFormKey, JoinLines(held.FreeFormTextE));
  settings.setValue(kArcTextKey, ToQt(held.ArcTextE));
  settings.setValue(kEllipseTextKey, ToQt(held.EllipseTextE));
}

void TEngraveForm::RestoreTexts() {
  QSettings settings;
  if (settings.contains(kFreeFormKey)) {
    m_model.SetLines(&S::FreeFormTextE, SplitLines(settings.value(kFreeFormKey).toString()));
  }
  if (settings.contains(kArcTextKey)) {
    m_model.SetText(&S::ArcTextE, ToUtf8(settings.value(kArcTextKey).toString()));
  }
  if (settings.contains(kEllipseTextKey)) {
    m_model.SetText(&S::EllipseTextE, ToUtf8(settings.value(kEllipseTextKey).toString()));
  }
}

void TEngraveForm::ShowPageLastUsed() {
  // The page of the last run, else the first: Free Form Text.
  const QString name = QSettings().value(kPageKey).toString();
  int index = 0;
  for (int page = 0; page < m_pages->count(); ++page) {
    if (m_pages->widget(page)->objectName() == name && m_pages->isTabEnabled(page)) index = page;
  }
  m_model.ShowPage(static_cast<Page>(index));
}

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

void TEngraveForm::PlaceOnScreen() {
  QSettings settings;
  if (restoreGeometry(settings.value(kGeometryKey).toByteArray())) {
    m_splitter->restoreState(settings.value(kSplitterKey).toByteArray());
    return;
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int chrome = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
  const QSize wanted(kSurfaceWidth + m_splitter->handleWidth() + PreviewPanel::kWidth,
                     kHeight + chrome);
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(QPoint(), wanted);
  const QRect client = FirstPlacement(wanted, kUsualPlace, kAssumedFrame, available);
  resize(client.size());
  move(client.topLeft() - QPoint(kAssumedFrame.left(), kAssumedFrame.top()));
  // A surface that has to scroll up and down needs the width of the scroll bar beside it.
  const bool scrolls = client.height() - chrome < kHeight;
  const int bar = scrolls ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
  m_splitter->setSizes({kSurfaceWidth + bar, client.width() - kSurfaceWidth - bar});
}

void TEngraveForm::KeepFrameOnScreen() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  const QRect frame = frameGeometry();
  if (available.contains(frame)) return;
  const QRect client = geometry();
  const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                         frame.right() - client.right(), frame.bottom() - client.bottom());
  const QRect placed = FirstPlacement(client.size(), frame.topLeft(), margins, available);
  resize(placed.size());
  move(placed.topLeft() - QPoint(margins.left(), margins.top()));
}

void TEngraveForm::SetUnit(ProgramUnit unit) {
  m_unit = unit;
  StoreProgramUnit(unit);
  ShowUnits();
  ViewChanged();
}

void TEngraveForm::SetRapidRate(double perMin) {
  StoreRapidRate(perMin);
  m_preview->RapidRateChanged();
}

void TEngraveForm::ShowUnits() {
  auto rotary = [this](TextField axis) {
    return IsRotaryLetter(ReadLetter(m_model.Settings().*axis));
  };
  for (const UnitField& entry : kUnitFields) {
    QString suffix;
    switch (entry.quantity) {
      case Quantity::Length: suffix = LengthSuffix(m_unit); break;
      case Quantity::Feed: suffix = FeedSuffix(m_unit); break;
      case Quantity::Angle: suffix = kDegreeSuffix; break;
      case Quantity::Axis1Start:
        suffix = rotary(&S::Axis1E) ? kDegreeSuffix : LengthSuffix(m_unit);
        break;
      case Quantity::Axis2Start:
        suffix = rotary(&S::Axis2E) ? kDegreeSuffix : LengthSuffix(m_unit);
        break;
    }
    const auto found = m_fields.find(&InfoOf(entry.field));
    if (found == m_fields.end()) continue;
    if (auto* edit = dynamic_cast<UnitEdit*>(found->second.control)) edit->SetSuffix(suffix);
  }
  m_widthUnit->setText(LengthSuffix(m_unit));
  m_millimetres->setChecked(m_unit == ProgramUnit::Millimetres);
  m_inches->setChecked(m_unit == ProgramUnit::Inches);
  m_preview->SetUnit(m_unit);
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

// The status bar already says what the job wrote; the warning follows it.
void TEngraveForm::ShowWarning(const std::string& text) {
  const QString shown = statusBar()->currentMessage();
  statusBar()->showMessage(shown.isEmpty() ? ToQt(text) : shown + "  " + ToQt(text));
}

void TEngraveForm::ShowSetupWarning(const std::string&) {}

void TEngraveForm::ShowSetupWarnings() {
  std::vector<SetupWarning> warnings = m_model.SetupWarnings();
  if (warnings == m_shownWarnings) return;
  for (const SetupWarning& shown : m_shownWarnings) {
    for (const FieldRef& field : shown.fields) {
      const auto found = m_fields.find(&InfoOf(field));
      if (found == m_fields.end()) continue;
      QWidget* control = found->second.control;
      control->setProperty("setupWarning", QString());
      // A field whose value does not read keeps its red outline.
      if (control->property("fieldError").toString().isEmpty()) control->setStyleSheet(QString());
    }
  }
  m_shownWarnings = std::move(warnings);
  QStringList texts;
  for (const SetupWarning& warning : m_shownWarnings) {
    texts << ToQt(WithFullStop(warning.text));
    for (const FieldRef& field : warning.fields) {
      const auto found = m_fields.find(&InfoOf(field));
      if (found == m_fields.end()) continue;
      QWidget* control = found->second.control;
      control->setProperty("setupWarning", texts.constLast());
      if (control->property("fieldError").toString().isEmpty()) {
        control->setStyleSheet(kWarningOutline);
      }
    }
  }
  // One line keeps the form its height: the first (the most dangerous) warning, and all of them
  // when the pointer rests on it.
  QString shown = texts.isEmpty() ? QString() : texts.constFirst();
  if (texts.size() > 1) shown += QString("  [%1 more: point here]").arg(texts.size() - 1);
  m_setupWarning->setText(shown);
  m_setupWarning->setToolTip(texts.join("\n\n"));
  m_setupWarning->setVisible(!texts.isEmpty());
  m_millAxes->setVisible(HoldsLatheAxes(m_model.Settings()));
}

void TEngraveForm::OpenUrl(const std::string& url) {
  const QUrl address(ToQt(url));
  if (address.isLocalFile() && address.toLocalFile().endsWith(".md")) {
    ShowUserGuide();
    return;
  }
  if (!QDesktopServices::openUrl(address)) {
    ShowError("No program could open " + url + ".");
  }
}

void TEngraveForm::ShowUserGuide() {
  const std::string guide = m_model.DocumentationPath();
  if (guide.empty()) {
    ShowError("The user guide (guide.md) is not installed beside Stylor.");
    return;
  }
  if (m_guide == nullptr) {
    m_guide = new UserGuide(FromNativePath(guide), this);
    m_guide->setAttribute(Qt::WA_DeleteOnClose);
  }
  m_guide->show();
  m_guide->raise();
  m_guide->activateWindow();
}

void TEngraveForm::ShowAbout() { m_model.ShowPage(Page::About); }

void TEngraveForm::FieldChanged(const FieldInfo& field) {
  m_preview->SettingsChanged();
  if (field.ref == FieldRef(&S::Axis1E) || field.ref == FieldRef(&S::Axis2E)) ShowUnits();
  ShowSetupWarnings();
  if (field.ref == FieldRef(&S::Files) || field.ref == FieldRef(&S::FilePrefix) ||
      field.ref == FieldRef(&S::SeqPreGCodes) || field.ref == FieldRef(&S::SeqPostGCodes)) {
    m_batchSequence->setText(ToQt(m_model.BatchSequenceLabel()));
  }
  const auto found = m_fields.find(&field);
  if (found == m_fields.end()) return;
  QScopedValueRollback<bool> showing(m_showingModel, true);
  found->second.show();
}

void TEngraveForm::ShowFieldRefusal(const FieldInfo& field, const std::string& text) {
  ShowError(ToUtf8(FieldCaption(field)) + ": " + text);
  const auto found = m_fields.find(&field);
  if (found == m_fields.end()) return;
  QWidget* control = found->second.control;
  for (int page = 0; page < m_pages->count(); ++page) {
    if (m_pages->widget(page)->isAncestorOf(control)) m_pages->setCurrentIndex(page);
  }
  control->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
  if (auto* combo = qobject_cast<QComboBox*>(control)) {
    if (combo->lineEdit() != nullptr) combo->lineEdit()->selectAll();
  }
}

void TEngraveForm::ShowFieldError(const FieldInfo& field, const std::string& text) {
  MarkField(field, &text);
}

void TEngraveForm::FieldErrorChanged(const FieldInfo& field) {
  MarkField(field, m_model.FieldError(field));
}

void TEngraveForm::MarkField(const FieldInfo& field, const std::string* error) {
  const auto found = m_fields.find(&field);
  if (found != m_fields.end()) {
    QWidget* control = found->second.control;
    control->setProperty("fieldError", error != nullptr ? ToQt(*error) : QString());
    const bool warned = !control->property("setupWarning").toString().isEmpty();
    control->setStyleSheet(error != nullptr ? kErrorOutline
                                            : (warned ? kWarningOutline : QString()));
  }
  if (error != nullptr) {
    m_statusField = &field;
    statusBar()->showMessage(FieldCaption(field) + ": " + ToQt(*error));
    return;
  }
  if (m_statusField != &field) return;
  // The field is mended: its message goes, and another field still wrong takes its place.
  m_statusField = nullptr;
  statusBar()->clearMessage();
  for (const FieldInfo& other : AllFields()) {
    if (const std::string* otherError = m_model.FieldError(other)) {
      m_statusField = &other;
      statusBar()->showMessage(FieldCaption(other) + ": " + ToQt(*otherError));
      return;
    }
  }
}

void TEngraveForm::ProgramsWritten(const std::vector<std::string>& files) {
  std::vector<QString> names;
  for (const std::string& file : files) names.push_back(QFileInfo(FromNativePath(file)).fileName());
  const QString folderPath = QFileInfo(FromNativePath(files.front())).absolutePath();
  QString folder = QDir(ToQt(m_model.WorkingDirectory())).relativeFilePath(folderPath);
  if (folder.startsWith("..") || QFileInfo(folder).isAbsolute()) folder = folderPath;
  if (folder == ".") folder = QDir::toNativeSeparators(folderPath);
  std::optional<ProgramStats> stats;
  if (files.size() == 1) {
    try {
      stats = StatsOfProgram(ReadProgramFile(files.front()), files.front(),
                             ReaderOptionsFrom(m_model.Settings()));
    } catch (const Error&) {
      // The program is written; only its count is missing from the message.
    }
  }
  m_statusField = nullptr;
  statusBar()->showMessage(
      WrittenMessage(names, folder + "/", stats ? &*stats : nullptr, m_unit, StoredRapidRate()));
}

void TEngraveForm::ViewChanged() {
  m_preview->ViewChanged();
  QScopedValueRollback<bool> showing(m_showingModel, true);
  m_widthLabel->setText(ToQt(m_model.WidthLabel()));
  m_widthLabel->adjustSize();
  m_widthUnit->move(m_widthLabel->geometry().right() + 4, m_widthLabel->y());
  m_widthUnit->adjustSize();
  m_blockWidth->setText("(block " + ToQt(m_model.BlockWidthLabel()) + " " + LengthSuffix(m_unit) +
                        ")");
  m_blockWidth->adjustSize();
  m_blockWidth->move(m_widthUnit->geometry().right() + 10, m_widthLabel->y());
  m_seqExample->setText(ToQt(m_model.SeqExample()));
  m_batchSequence->setText(ToQt(m_model.BatchSequenceLabel()));
  if (m_model.FontReportLines() != m_shownReport) {
    m_shownReport = m_model.FontReportLines();
    // The report names each glyph by its 8-bit character.
    Lines shown;
    for (const std::string& line : m_shownReport) shown.push_back(From8Bit(line));
    m_memo1->setPlainText(JoinLines(shown));
  }
  m_memo1->setVisible(m_model.Memo1Visible());
  m_filePrefix->setVisible(m_model.FilePrefixVisible());
  m_filePrefixLabel->setVisible(m_model.FilePrefixVisible());
  m_pages->setCurrentIndex(static_cast<int>(m_model.CurrentPage()));
  ShowDataRows();
  ShowPreviewRow();
  ShowMachineFile();
  ShowSetupWarnings();
  m_undoReset->setEnabled(m_model.CanUndoReset());
}

void TEngraveForm::ShowMachineFile() {
  const QString path = FromNativePath(m_model.MachineFile());
  // A default.mch that did not load leaves the factory set-up: the title says so for as long as
  // it is in use, so that no one takes it for the machine's own.
  const QString title = !path.isEmpty() ? QFileInfo(path).fileName() + " - " + kTitle
                        : m_model.DefaultMachineFileFailed()
                            ? "Factory set-up (default.mch did not load) - " + kTitle
                            : kTitle;
  if (title != windowTitle()) {
    setWindowTitle(title);
    if (m_model.DefaultMachineFileFailed()) {
      statusBar()->showMessage("default.mch did not load: the factory set-up is in use");
    }
  }
  if (path == m_shownMachineFile) return;
  m_shownMachineFile = path;
  setWindowFilePath(path);
  if (!path.isEmpty()) RememberRecentFile(QFileInfo(path).absoluteFilePath());
}

void TEngraveForm::RememberRecentFile(const QString& path) {
  QSettings settings;
  QStringList recent = settings.value(kRecentKey).toStringList();
  recent.removeAll(path);
  recent.prepend(path);
  while (recent.size() > kRecentFiles) recent.removeLast();
  settings.setValue(kRecentKey, recent);
  FillRecentMenu();
}

void TEngraveForm::FillRecentMenu() {
  m_recentMenu->clear();
  const QStringList recent = QSettings().value(kRecentKey).toStringList();
  for (int i = 0; i < recent.size(); ++i) {
    const QString path = recent[i];
    QAction* action = m_recentMenu->addAction(
        QString("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), this, [this, path] {
          m_model.Run([&] { m_model.OpenMachineFile(ToNativePath(path)); });
        });
    action->setToolTip(path);
    action->setStatusTip(path);
  }
  m_recentMenu->setEnabled(!recent.isEmpty());
}

QMessageBox::StandardButton TEngraveForm::AskToSaveBlocks() {
  QMessageBox box(QMessageBox::Question, kTitle,
                  "The G-code blocks of the Machine page have changed since the machine file was "
                  "last opened or saved. Save them before quitting?",
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Save);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void TEngraveForm::closeEvent(QCloseEvent* event) {
  // The texts outlast the run by themselves; the blocks only in a machine file.
  if (m_model.BlocksEdited()) {
    const QMessageBox::StandardButton answer = AskToSaveBlocks();
    if (answer == QMessageBox::Save) RunHandler(&EngraveFormModel::SaveClick);
    if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && m_model.BlocksEdited())) {
      event->ignore();
      return;
    }
  }
  QSettings settings;
  settings.setValue(kGeometryKey, saveGeometry());
  settings.setValue(kSplitterKey, m_splitter->saveState());
  KeepTexts();
  if (m_guide != nullptr) m_guide->close();
  QMainWindow::closeEvent(event);
}

bool TEngraveForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_surface || event->type() != QEvent::MouseButtonPress) {
    return QMainWindow::eventFilter(watched, event);
  }
  const auto* press = static_cast<QMouseEvent*>(event);
  // Only the surface itself counts: a press that a control let through is not one.
  if (m_surface->childAt(press->position().toPoint()) != nullptr) return false;
  MouseButton button;
  switch (press->button()) {
    case Qt::LeftButton: button = MouseButton::Left; break;
    case Qt::RightButton: button = MouseButton::Right; break;
    case Qt::MiddleButton: button = MouseButton::Middle; break;
    default: return false;
  }
  const Qt::KeyboardModifiers modifiers = press->modifiers();
  m_model.Run([&] {
    m_model.FormMouseDown(button, modifiers.testFlag(Qt::ShiftModifier),
                          modifiers.testFlag(Qt::ControlModifier));
  });
  return true;
}

}  // namespace stylor
