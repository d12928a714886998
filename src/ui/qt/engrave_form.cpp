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

#include <algorithm>
#include <utility>

#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "settings/error.h"
#include "settings/text8.h"
#include "settings/numbers.h"
#include "ui/qt/first_setup_dialog.h"
#include "ui/qt/codes_section.h"
#include "ui/qt/cutting_section.h"
#include "ui/qt/form_widgets.h"
#include "ui/qt/tooltips.h"
#include "ui/qt/user_guide.h"
#include "ui/qt/window_place.h"

namespace stylor {

using namespace form_parts;


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
  // The form scrolls up and down on a low screen, not sideways: the splitter cannot make it
  // narrower than its controls and the scroll bar beside them (see PlaceOnScreen).
  m_scroll->setMinimumWidth(kSurfaceWidth + style()->pixelMetric(QStyle::PM_ScrollBarExtent));

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

  BuildPages();
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

  AddCodesMenu(menuBar(), m_model, this);
  AddCuttingMenu(menuBar(), m_model, this, [this] { return m_unit; });
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

void TEngraveForm::PlaceOnScreen() {
  // A screen narrower than the form and the narrowest preview (below 1024 pixels) cannot show
  // the form whole: there alone it may scroll sideways.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const int room = screen->availableGeometry().width() - kAssumedFrame.left() -
                     kAssumedFrame.right() - m_splitter->handleWidth() -
                     m_preview->minimumSizeHint().width();
    m_scroll->setMinimumWidth(std::min(m_scroll->minimumWidth(), std::max(room, 200)));
  }
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

void TEngraveForm::ShowMissingGlyphs() {
  // Said as the text is typed, not only after a job: the blank a missing glyph leaves is easy
  // to miss in the preview.
  const QString note = ToQt(m_model.MissingGlyphNote());
  if (note == m_glyphNote) return;
  if (!m_glyphNote.isEmpty() && statusBar()->currentMessage() == m_glyphNote) {
    statusBar()->clearMessage();
  }
  m_glyphNote = note;
  if (!note.isEmpty() && m_statusField == nullptr) statusBar()->showMessage(note);
}

void TEngraveForm::ProgramsWritten(const std::vector<std::string>& files) {
  std::vector<QString> names;
  for (const std::string& file : files) names.push_back(QFileInfo(FromNativePath(file)).fileName());
  const QString folderPath = QFileInfo(FromNativePath(files.front())).absolutePath();
  QString folder = QDir(ToQt(m_model.WorkingDirectory())).relativeFilePath(folderPath);
  if (folder.startsWith("..") || QFileInfo(folder).isAbsolute()) folder = folderPath;
  if (folder == ".") folder = QDir::toNativeSeparators(folderPath);
  const std::optional<ProgramStats> stats = m_model.WrittenStats(files);
  m_statusField = nullptr;
  ShowSeqCounterNext();  // a run moves its counter on
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
  m_padFileNumbers->setVisible(m_model.FilePrefixVisible());
  m_pages->setCurrentIndex(static_cast<int>(m_model.CurrentPage()));
  ShowDataRows();
  ShowPreviewRow();
  ShowShownSerial();
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
