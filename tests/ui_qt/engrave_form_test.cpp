#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QByteArray>
#include <QFile>
#include <QTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QImage>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "preview/program_stats.h"
#include "settings/marking/marking_run.h"
#include "ui/qt/appearance.h"
#include "ui/qt/codes_section.h"
#include "ui/qt/cutting_section.h"
#include "ui/qt/engrave_form.h"
#include "ui/qt/first_setup_dialog.h"
#include "ui/qt/form_widgets.h"
#include "ui/qt/preview_painting.h"
#include "ui/qt/preview_view.h"
#include "ui/qt/program_text_view.h"
#include "ui/qt/window_place.h"

// Readable failure messages for Qt's strings.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace stylor {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// One QApplication for the whole run, made after GoogleTest has read its options, so that
// listing the tests needs no display. The application settings go to a folder of the run, never
// to the user's own.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "ui_qt_tests";
    static char* argv[] = {name, nullptr};
    m_app = std::make_unique<QApplication>(argc, argv);
    ApplyAppearance(*m_app);
    QApplication::setOrganizationName("StylorTests");
    QApplication::setApplicationName("StylorTests");
    m_settingsDir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir->path());
  }
  void TearDown() override {
    m_app.reset();
    m_settingsDir.reset();
  }

 private:
  std::unique_ptr<QApplication> m_app;
  std::unique_ptr<QTemporaryDir> m_settingsDir;
};
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// The window with its dialogs and message boxes answered by the test.
class TestForm final : public TEngraveForm {
 public:
  std::optional<std::string> AskProgramFile(const std::optional<std::string>&) override {
    ++programFileQuestions;
    return programFile;
  }
  std::optional<std::string> AskFontFile(const std::string&) override { return fontFile; }
  std::optional<std::string> AskMachineFileToSave(const std::string&) override {
    return machineFileToSave;
  }
  std::optional<std::string> AskMachineFileToOpen(const std::string&) override {
    return std::nullopt;
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  std::optional<std::string> AskProgramToOpen() override { return programToOpen; }
  std::optional<std::string> AskDataFile(const std::string&) override { return dataFile; }
  QMessageBox::StandardButton AskToSaveBlocks() override {
    ++blockQuestions;
    return blocksAnswer;
  }
  std::optional<FirstSetup> AskFirstSetup() override {
    ++setupQuestions;
    return firstSetup;
  }

  std::optional<std::string> programFile;
  std::optional<std::string> fontFile;
  std::optional<std::string> dataFile;
  std::optional<std::string> programToOpen;
  std::optional<std::string> machineFileToSave;
  int programFileQuestions = 0;
  std::optional<FirstSetup> firstSetup;
  int setupQuestions = 0;
  QMessageBox::StandardButton blocksAnswer = QMessageBox::Discard;
  int blockQuestions = 0;
  std::vector<std::string> messages;
  std::vector<std::string> errors;
  std::vector<std::string> urls;
};

class EngraveFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every test starts from an application that has never run.
    QSettings().clear();
    ASSERT_TRUE(m_dir.isValid());
    m_form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    m_form.Start(m_dir.path());
  }

  template <typename Widget>
  Widget* Find(const char* name) {
    auto* widget = m_form.findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  QString Text(const char* name) {
    if (auto* combo = m_form.findChild<QComboBox*>(name)) return combo->currentText();
    if (auto* label = m_form.findChild<QLabel*>(name)) return label->text();
    return Find<QLineEdit>(name)->text();
  }

  QRadioButton* Item(const char* group, const QString& caption) {
    for (QRadioButton* button : Find<QGroupBox>(group)->findChildren<QRadioButton*>()) {
      if (button->text() == caption) return button;
    }
    ADD_FAILURE() << group << " has no item " << caption.toStdString();
    return nullptr;
  }

  QString Selected(const char* group) {
    for (QRadioButton* button : Find<QGroupBox>(group)->findChildren<QRadioButton*>()) {
      if (button->isChecked()) return button->text();
    }
    return {};
  }

  // Buttons react only on their indicator and caption, not anywhere in their box.
  static void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
  }

  void ShowPage(Page page) {
    Find<QTabWidget>("PageControl")->setCurrentIndex(static_cast<int>(page));
  }

  // Lets the preview catch up with every change made so far.
  void Idle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }

  // Waits for the preview's next rebuild after rebuild number `before`.
  bool RebuiltSince(int before) {
    return QTest::qWaitFor([&] { return m_form.Preview()->Rebuilds() > before; }, 5000);
  }

  const PreviewScene& Shown() { return m_form.Preview()->Scene(); }

  QString StatusText() { return m_form.statusBar()->currentMessage(); }

  QTemporaryDir m_dir;
  TestForm m_form;
};

TEST_F(EngraveFormTest, SurfaceKeepsItsLayoutBesideAResizablePreview) {
  EXPECT_EQ(m_form.Surface()->size(), QSize(773, 641));
  EXPECT_NE(m_form.minimumSize(), m_form.maximumSize()) << "the window can be resized";
  EXPECT_EQ(m_form.Splitter()->widget(1), m_form.Preview()) << "the preview to the right";
  EXPECT_TRUE(m_form.Splitter()->isCollapsible(1));
  EXPECT_FALSE(m_form.Splitter()->isCollapsible(0));

  auto* pages = Find<QTabWidget>("PageControl");
  QStringList captions;
  for (int i = 0; i < pages->count(); ++i) captions << pages->tabText(i);
  EXPECT_EQ(captions, QStringList({"Free Form Text", "Circle Text", "Ellipse Text", "Sequence",
                                   "Batch", "Machine", "Advanced Settings", "About"}));
  EXPECT_FALSE(pages->isTabVisible(static_cast<int>(Page::Advanced)));
  EXPECT_EQ(pages->currentIndex(), static_cast<int>(Page::FreeForm)) << "a first start";
  // Showing the sequence page at start-up fills in its example.
  EXPECT_FALSE(Text("SeqExample").isEmpty());
  EXPECT_EQ(Text("SeqExample").toStdString(), m_form.Model().SeqExample());
}

TEST_F(EngraveFormTest, ControlsShowTheDefaults) {
  struct TextCase {
    const char* name;
    const char* text;
  };
  const TextCase texts[] = {
      {"TextHeightE", ".125"}, {"WidthRatioE", "1"},  {"SpacingRatioE", "1"},
      {"LineSpacingE", "1.5"}, {"Axis1E", "X"},       {"Axis1StartE", "0"},
      {"TextAngleE", "0"},     {"Axis2E", "Y"},       {"Axis3E", "Z"},
      {"PenDownE", "-.001"},   {"PenUpE", ".001"},    {"EngraveFeedE", "50"},
      {"PlungeFeedE", "25"},   {"RadiusE", "1"},      {"AEdit", "4"},
      {"BEdit", "2.5"},        {"JustifyPoint", "A"}, {"SeqStart", "1000"},
      {"SeqEnd", "1010"},      {"SeqStep", "1"},      {"SeqDigits", "0"},
      {"WidthLabel", "0"},
  };
  for (const TextCase& c : texts) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Text(c.name), c.text);
  }
  const TextCase selections[] = {
      {"Justification", "Left"},          {"AppendMode", "Single Engrave Operation"},
      {"FeedMode", "IPM/MMPM"},           {"IntegrexMode", "None"},
      {"IntegrexHead", "Head 1"},         {"Direction", "Clock Wise"},
      {"EllipseDirection", "Clock Wise"}, {"Files", "One File"},
  };
  for (const TextCase& c : selections) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Selected(c.name), c.text);
  }
  EXPECT_TRUE(Find<QCheckBox>("PreEngraveW")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("PostEngraveW")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("UseArcSettings")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("InverseTimeE")->isHidden());
  EXPECT_TRUE(Find<QLineEdit>("FilePrefix")->isHidden());
  EXPECT_TRUE(Find<QPlainTextEdit>("Memo1")->isHidden());
  EXPECT_TRUE(Text("FontFile").endsWith("/BasicFont.fnt")) << Text("FontFile").toStdString();
  EXPECT_THAT(m_form.errors, IsEmpty());
}

TEST_F(EngraveFormTest, AppendModeAndAppendBoxesFollowEachOther) {
  Click(Item("AppendMode", "Append to Engrave Job"));
  EXPECT_FALSE(Find<QCheckBox>("PreEngraveW")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("PostEngraveW")->isChecked());

  Click(Find<QCheckBox>("PreEngraveW"));
  EXPECT_EQ(Selected("AppendMode"), "Start New Engrave Job");
  EXPECT_EQ(m_form.Model().Settings().AppendMode, 1);
  EXPECT_TRUE(m_form.Model().OverwriteQuestion());
}

TEST_F(EngraveFormTest, LatheModeAndHeadWriteTheAxisLetters) {
  Click(Item("IntegrexMode", "Mazak G12.1 T-32"));
  Click(Item("IntegrexHead", "Head 2"));
  EXPECT_EQ(Text("Axis1E"), "Y");
  EXPECT_EQ(Text("Axis2E"), "X");
  EXPECT_EQ(Text("Axis3E"), "Z");
  EXPECT_EQ(m_form.Model().Settings().Axis2E, "X");
}

// "None" changes no axis: the letters an earlier mode set stay, outlined and named in the status
// bar, until "Axes X Y Z" puts the mill's axes back.
TEST_F(EngraveFormTest, LatheAxesLeftUnderNoneAreMarkedWithAOneClickFix) {
  auto* warning = Find<QLabel>("SetupWarning");
  auto* fix = Find<QPushButton>("MillAxes");
  auto marked = [&](const char* name) {
    return !Find<QWidget>(name)->property("setupWarning").toString().isEmpty();
  };
  EXPECT_FALSE(fix->isVisible());
  EXPECT_FALSE(marked("Axis1E"));
  Click(Item("IntegrexMode", "Okuma G138  (C, Z, X)"));
  EXPECT_FALSE(fix->isVisible()) << "the mode itself programs these axes";
  Click(Item("IntegrexMode", "None"));
  EXPECT_EQ(Text("Axis1E") + Text("Axis2E") + Text("Axis3E"), "YZX");
  EXPECT_TRUE(fix->isVisible());
  for (const char* axis : {"Axis1E", "Axis2E", "Axis3E"}) EXPECT_TRUE(marked(axis)) << axis;
  EXPECT_TRUE(warning->isVisible());
  EXPECT_TRUE(warning->toolTip().contains("still Y, Z, X")) << warning->toolTip().toStdString();
  EXPECT_TRUE(warning->text().startsWith("The axes are still")) << "the most dangerous first";
  EXPECT_TRUE(warning->text().endsWith("[1 more: point here]")) << warning->text().toStdString();

  fix->click();
  EXPECT_EQ(Text("Axis1E") + Text("Axis2E") + Text("Axis3E"), "XYZ");
  EXPECT_FALSE(fix->isVisible());
  for (const char* axis : {"Axis1E", "Axis2E", "Axis3E"}) EXPECT_FALSE(marked(axis)) << axis;
  EXPECT_TRUE(Find<QComboBox>("Axis1E")->styleSheet().isEmpty());
  EXPECT_FALSE(warning->toolTip().contains("still")) << warning->toolTip().toStdString();
}

// The status bar says what a program with an empty start block lacks, and one line in the block
// ends it; Inverse Time Feed without G93 and a One File run with nothing between the numbers are
// named while the page that writes them is shown.
TEST_F(EngraveFormTest, TheStatusBarNamesWhatMakesTheProgramUnsafe) {
  auto* warning = Find<QLabel>("SetupWarning");
  EXPECT_TRUE(warning->isVisible());
  EXPECT_TRUE(warning->toolTip().contains("The start block is empty: the program has no unit"))
      << warning->toolTip().toStdString();
  ShowPage(Page::Sequence);
  EXPECT_TRUE(warning->toolTip().contains("same spot")) << "on the Sequence page";
  Find<QPlainTextEdit>("SeqPostGCodes")->setPlainText("M00");
  EXPECT_FALSE(warning->toolTip().contains("same spot"));

  Click(Item("FeedMode", "Inverse Time Feed"));
  EXPECT_TRUE(warning->toolTip().contains("no G93"));
  EXPECT_FALSE(Find<QWidget>("FeedMode")->property("setupWarning").toString().isEmpty());
  Find<QPlainTextEdit>("PostToolChange")->setPlainText("G20 G90 G93\nM03 S10000");
  EXPECT_FALSE(warning->isVisible()) << warning->toolTip().toStdString();
  EXPECT_TRUE(Find<QWidget>("FeedMode")->styleSheet().isEmpty());
}

// On a rotary axis the program's words are degrees on the cylinder: so are their extents.
TEST_F(EngraveFormTest, StatisticsGiveRotaryExtentsInDegrees) {
  Click(Item("IntegrexMode", "Mazak G07.1 (C, Z, X)"));
  Find<QLineEdit>("PenDownE")->setText("10");
  Find<QLineEdit>("PenUpE")->setText("11");
  const QString path = m_dir.filePath("turn.eia");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("G00 C0.0000 Z0.0000 X11.0000\r\nG01 X10.0000 F20.00\r\n"
               "G01 C90.0000 F50.00\r\n");
  }
  m_form.programToOpen = path.toStdString();
  QTest::mouseClick(Find<QPushButton>("OpenProgram"), Qt::LeftButton);
  const std::string stats = Text("PreviewStats").toStdString();
  EXPECT_THAT(stats, testing::HasSubstr("0.0000 to 90.0000\u00b0"));
  EXPECT_THAT(stats, testing::HasSubstr("10.0000 to 11.0000 mm"));
}

// A first start with no default.mch offers the set-up once; its answer fills the blocks, keeps
// them in default.mch and names its unit beside every length.
TEST_F(EngraveFormTest, TheFirstStartOffersTheSetUpOnceAndKeepsIt) {
  m_form.SetUnit(ProgramUnit::Millimetres);
  m_form.firstSetup = FirstSetup{SetupUnit::Inches, 0, Control::LinuxCnc};
  m_form.OfferFirstSetup();
  EXPECT_EQ(m_form.setupQuestions, 1);
  EXPECT_EQ(m_form.Unit(), ProgramUnit::Inches);
  EXPECT_TRUE(Find<QAction>("InchesAction")->isChecked());
  EXPECT_TRUE(QFileInfo::exists(m_dir.filePath("default.mch")));
  EXPECT_EQ(Find<QPlainTextEdit>("PreToolChange")->toPlainText(),
            "(ENGRAVING)\nG17 G20 G40 G49 G80 G90 G94");
  EXPECT_FALSE(Find<QLabel>("SetupWarning")->text().contains("start block is empty"));
  EXPECT_THAT(m_form.errors, IsEmpty());
  m_form.OfferFirstSetup();
  EXPECT_EQ(m_form.setupQuestions, 1) << "asked once";
}

TEST_F(EngraveFormTest, TheSetUpIsNotOfferedBesideADefaultMachineFile) {
  QFile file(m_dir.filePath("default.mch"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  m_form.OfferFirstSetup();
  EXPECT_EQ(m_form.setupQuestions, 0);
}

// The dialog's machine kinds and controls: a lathe with a mill has its maker's control.
TEST(FirstSetupDialogBoxes, ALatheTakesItsMakersControl) {
  FirstSetupDialog dialog;
  auto* kind = dialog.findChild<QComboBox*>("SetupMachine");
  auto* control = dialog.findChild<QComboBox*>("SetupControl");
  ASSERT_NE(kind, nullptr);
  ASSERT_NE(control, nullptr);
  control->setCurrentIndex(1);
  EXPECT_EQ(dialog.Chosen().control, Control::Iso);
  kind->setCurrentIndex(7);
  EXPECT_FALSE(control->isEnabled());
  EXPECT_EQ(control->currentText(), "Okuma");
  EXPECT_EQ(ControlOf(dialog.Chosen()), Control::Okuma);
  kind->setCurrentIndex(0);
  EXPECT_TRUE(control->isEnabled());
  dialog.findChild<QComboBox*>("SetupUnit")->setCurrentIndex(1);
  EXPECT_EQ(dialog.Chosen(), (FirstSetup{SetupUnit::Inches, 0, Control::Iso}));
}

// The window's own program dialogs offer the names other controls use, and every file.
TEST_F(EngraveFormTest, ProgramDialogsOfferNcNgcTapAndAllFiles) {
  QStringList filters;
  QString suffix;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    filters = dialog->nameFilters();
    suffix = dialog->defaultSuffix();
    dialog->reject();
  });
  EXPECT_EQ(m_form.TEngraveForm::AskProgramFile(std::nullopt), std::nullopt);
  EXPECT_EQ(filters, QStringList({"EIA (*.eia)", "Text File (*.txt)", "NC Program (*.nc)",
                                  "NGC Program (*.ngc)", "TAP Program (*.tap)", "All Files (*)"}));
  EXPECT_EQ(suffix, "eia");
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    filters = dialog->nameFilters();
    dialog->reject();
  });
  EXPECT_EQ(m_form.TEngraveForm::AskProgramToOpen(), std::nullopt);
  EXPECT_EQ(filters.first(), "Programs (*.eia *.txt *.nc *.ngc *.tap)");
  EXPECT_EQ(filters.last(), "All Files (*)");
}

// The next start opens on the page the user last chose.
TEST_F(EngraveFormTest, StartsOnThePageLastUsedWithTheLastTexts) {
  ShowPage(Page::EllipseText);
  Find<QPlainTextEdit>("FreeFormTextE")->setPlainText("PUMP P-7\n\u00D8 12\n");
  Find<QLineEdit>("ArcTextE")->setText("AROUND");
  Find<QLineEdit>("EllipseTextE")->setText("BADGE");
  m_form.close();
  TestForm next;
  next.Start(m_dir.path());
  EXPECT_EQ(next.Model().Settings().FreeFormTextE, (Lines{"PUMP P-7", "\u00D8 12"}));
  EXPECT_EQ(next.Model().Settings().ArcTextE, "AROUND");
  EXPECT_EQ(next.Model().Settings().EllipseTextE, "BADGE");
  next.Start(m_dir.path());
  EXPECT_EQ(next.Model().CurrentPage(), Page::EllipseText);
  EXPECT_EQ(next.findChild<QTabWidget*>("PageControl")->currentIndex(),
            static_cast<int>(Page::EllipseText));
}

// The pages switch from any box, the hidden one skipped, and one key runs the shown page's job.
TEST_F(EngraveFormTest, KeysSwitchPagesFromAnywhereAndRunThePagesJob) {
  QApplication::setActiveWindow(&m_form);
  auto* pages = Find<QTabWidget>("PageControl");
  auto* height = Find<QLineEdit>("TextHeightE");
  height->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return height->hasFocus(); }, 2000));
  ShowPage(Page::Batch);
  QTest::keyClick(height, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(pages->currentIndex(), static_cast<int>(Page::Machine));
  QTest::keyClick(height, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pages->currentIndex(), static_cast<int>(Page::About)) << "Advanced is skipped";
  QTest::keyClick(height, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(pages->currentIndex(), static_cast<int>(Page::FreeForm));
  QTest::keyClick(height, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(pages->currentIndex(), static_cast<int>(Page::About));
  auto* memo = Find<QPlainTextEdit>("FreeFormTextE");
  ShowPage(Page::FreeForm);
  memo->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return memo->hasFocus(); }, 2000));
  QTest::keyClicks(memo, "L");
  m_form.programFile = m_dir.filePath("key.eia").toStdString();
  QTest::keyClick(memo, Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(m_form.programFileQuestions, 1);
  EXPECT_TRUE(QFileInfo::exists(m_dir.filePath("key.eia")));
  EXPECT_THAT(m_form.Model().Settings().FreeFormTextE, ElementsAre("L")) << "no line break";
  EXPECT_TRUE(Find<QPushButton>("EngraveText")->toolTip().endsWith("Ctrl+Enter"));
}

// Reset can be undone, and Quit asks about blocks that no machine file holds.
TEST_F(EngraveFormTest, ResetCanBeUndoneAndQuitAsksAboutEditedBlocks) {
  ShowPage(Page::Machine);
  auto* block = Find<QPlainTextEdit>("ToolChange");
  auto* undo = Find<QPushButton>("UndoReset");
  block->setPlainText("T1 M06");
  EXPECT_FALSE(undo->isEnabled());
  Find<QPushButton>("Reset")->click();
  EXPECT_EQ(block->toPlainText(), "");
  ASSERT_TRUE(undo->isEnabled());
  undo->click();
  EXPECT_EQ(block->toPlainText(), "T1 M06");
  EXPECT_FALSE(undo->isEnabled());

  m_form.blocksAnswer = QMessageBox::Cancel;
  EXPECT_FALSE(m_form.close());
  EXPECT_EQ(m_form.blockQuestions, 1);
  EXPECT_TRUE(m_form.isVisible());
  m_form.blocksAnswer = QMessageBox::Save;
  m_form.machineFileToSave = m_dir.filePath("shop.mch").toStdString();
  EXPECT_TRUE(m_form.close());
  EXPECT_TRUE(QFileInfo::exists(m_dir.filePath("shop.mch")));
  EXPECT_EQ(m_form.blockQuestions, 2);
}

// The rapid rate is the user's machine's, kept for the next run and named beside the estimate.
TEST_F(EngraveFormTest, TheRapidRateIsASettingNamedBesideTheEstimate) {
  const QString path = m_dir.filePath("rapid.eia");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("G00 X0.0000 Y0.0000 Z1.0000\r\nG00 X500.0000\r\n");
  }
  m_form.programToOpen = path.toStdString();
  QTest::mouseClick(Find<QPushButton>("OpenProgram"), Qt::LeftButton);
  EXPECT_THAT(Text("PreviewStats").toStdString(), testing::HasSubstr("Rapids at 5000 mm/min"));
  EXPECT_THAT(Text("PreviewStats").toStdString(), testing::HasSubstr("0.10 min"));
  m_form.SetRapidRate(2500);
  EXPECT_THAT(Text("PreviewStats").toStdString(), testing::HasSubstr("Rapids at 2500 mm/min"));
  EXPECT_THAT(Text("PreviewStats").toStdString(), testing::HasSubstr("0.20 min"));
  EXPECT_EQ(StoredRapidRate(), 2500);
}

bool AnyMessageBoxOpen() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (qobject_cast<QMessageBox*>(window) != nullptr && window->isVisible()) return true;
  }
  return false;
}

QString FieldMark(QWidget* control) { return control->property("fieldError").toString(); }

TEST_F(EngraveFormTest, TypingEngraveFeedHalvesItIntoPlungeFeedWithoutABox) {
  auto* feed = Find<QLineEdit>("EngraveFeedE");
  QTest::keyClick(feed, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(feed, Qt::Key_Backspace);
  EXPECT_THAT(m_form.errors, IsEmpty());
  EXPECT_EQ(Text("PlungeFeedE"), "25");
  EXPECT_EQ(FieldMark(feed), "'' is not a valid floating point value.");
  EXPECT_EQ(StatusText(), "Engrave Feed: is empty: type a number");

  const std::pair<const char*, const char*> keys[] = {
      {"7", "3"}, {"5", "37"}, {".", "37.5"}, {"5", "37.75"}};
  for (const auto& [key, plunge] : keys) {
    QTest::keyClicks(feed, key);
    EXPECT_EQ(Text("PlungeFeedE"), plunge) << "after " << feed->text().toStdString();
  }
  EXPECT_EQ(m_form.Model().Settings().PlungeFeedE, "37.75");
  EXPECT_THAT(m_form.errors, IsEmpty());
  EXPECT_EQ(FieldMark(feed), "");
  EXPECT_EQ(StatusText(), "") << "the message goes once the field reads";
}

TEST_F(EngraveFormTest, TypingWhileAFieldIsWrongOpensNoBoxAndMarksTheField) {
  ShowPage(Page::FreeForm);
  auto* height = Find<QLineEdit>("TextHeightE");
  auto* ratio = Find<QLineEdit>("WidthRatioE");
  QTest::keyClick(height, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(height, Qt::Key_Backspace);
  QTest::keyClicks(ratio, "x");
  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "HELLO");

  EXPECT_THAT(m_form.errors, IsEmpty());
  EXPECT_FALSE(AnyMessageBoxOpen());
  EXPECT_EQ(FieldMark(height), "'' is not a valid floating point value.");
  EXPECT_EQ(FieldMark(ratio), "'1x' is not a valid floating point value.");
  EXPECT_EQ(StatusText(), "Height: is empty: type a number");

  QTest::keyClicks(height, ".5");
  EXPECT_EQ(FieldMark(height), "");
  EXPECT_EQ(StatusText(), "Width Ratio: 1x is not a number")
      << "the field still wrong takes the status bar";
  QTest::keyClick(ratio, Qt::Key_Backspace);
  EXPECT_EQ(FieldMark(ratio), "");
  EXPECT_EQ(StatusText(), "");

  // A clicked action still answers with its box.
  QTest::keyClicks(height, "q");
  m_form.programFile = m_dir.filePath("job.eia").toStdString();
  QTest::mouseClick(Find<QAbstractButton>("EngraveText"), Qt::LeftButton);
  EXPECT_THAT(m_form.errors, ElementsAre("Height: .5q is not a number"));
}

// A refusal names the box and takes the user there: its page, the focus and its text selected.
TEST_F(EngraveFormTest, ARefusalNamesItsBoxAndPutsTheFocusOnIt) {
  QApplication::setActiveWindow(&m_form);
  struct Case {
    const char* field;
    const char* typed;
    Page page;
    const char* button;
    const char* error;
  };
  const Case cases[] = {
      {"RadiusE", "2,5", Page::CircleText, "CreateArc",
       "Radius: 2,5 is not a number"},
      {"PenDownE", "-.2.", Page::CircleText, "CreateArc",
       "Plunge Axis Down: -.2. is not a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    ShowPage(c.page);
    auto* edit = Find<QLineEdit>(c.field);
    edit->setText(c.typed);
    m_form.errors.clear();
    Find<QLineEdit>("ArcTextE")->setFocus();
    Find<QAbstractButton>(c.button)->click();
    ASSERT_THAT(m_form.errors, ElementsAre(c.error));
    EXPECT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 2000));
    EXPECT_EQ(edit->selectedText(), c.typed);
    edit->setText("1");
  }
  ShowPage(Page::FreeForm);
  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "L");
  Find<QComboBox>("Axis3E")->setEditText("");
  m_form.programFile = m_dir.filePath("job.eia").toStdString();
  m_form.errors.clear();
  Find<QAbstractButton>("EngraveText")->click();
  ASSERT_EQ(m_form.errors.size(), 1u);
  EXPECT_THAT(m_form.errors[0], StartsWith("Plunge Axis: The axis letter of the plunge axis"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Find<QComboBox>("Axis3E")->hasFocus(); }, 2000));
}

TEST_F(EngraveFormTest, FreeFormMemoGivesLinesAndTheWidthOfTheLast) {
  ShowPage(Page::FreeForm);
  auto* memo = Find<QPlainTextEdit>("FreeFormTextE");
  QTest::keyClicks(memo, "WIDE TEXT");
  const QString wide = Text("WidthLabel");
  EXPECT_NE(wide, "0");
  EXPECT_EQ(wide.toStdString(), m_form.Model().WidthLabel());

  QTest::keyClick(memo, Qt::Key_Return);
  EXPECT_THAT(m_form.Model().Settings().FreeFormTextE, ElementsAre("WIDE TEXT"));
  QTest::keyClicks(memo, "I");
  EXPECT_THAT(m_form.Model().Settings().FreeFormTextE, ElementsAre("WIDE TEXT", "I"));
  EXPECT_LT(Text("WidthLabel").toDouble(), wide.toDouble());
  EXPECT_EQ(Text("BlockWidthLabel"), "(block " + wide + " mm)") << "the widest line";

  // A new height moves both widths at once, without a keystroke in the memo.
  const QString last = Text("WidthLabel");
  Find<QLineEdit>("TextHeightE")->setText(".25");
  EXPECT_DOUBLE_EQ(Text("WidthLabel").toDouble(), 2 * last.toDouble());
  EXPECT_EQ(Text("BlockWidthLabel").toStdString(),
            "(block " + m_form.Model().BlockWidthLabel() + " mm)");
  EXPECT_DOUBLE_EQ(std::stod(m_form.Model().BlockWidthLabel()), 2 * wide.toDouble());
}

TEST_F(EngraveFormTest, EngraveTextWritesTheProgramChosenInTheSaveDialog) {
  const QString program = m_dir.filePath("job.eia");
  m_form.programFile = program.toStdString();
  ShowPage(Page::FreeForm);
  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "AB");
  QTest::mouseClick(Find<QAbstractButton>("EngraveText"), Qt::LeftButton);

  EXPECT_EQ(m_form.programFileQuestions, 1);
  EXPECT_THAT(m_form.errors, IsEmpty());
  QFile file(program);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_THAT(file.readAll().toStdString(), StartsWith("G00 X"));
}

TEST_F(EngraveFormTest, ShiftCtrlRightClickOnTheSurfaceTogglesTheFontReport) {
  struct ClickCase {
    const char* target;
    Qt::MouseButton button;
    Qt::KeyboardModifiers modifiers;
    bool visibleAfter;
  };
  const Qt::KeyboardModifiers shiftCtrl = Qt::ShiftModifier | Qt::ControlModifier;
  const ClickCase clicks[] = {
      {"EngraveFormSurface", Qt::RightButton, Qt::ControlModifier, false},
      {"EngraveFormSurface", Qt::LeftButton, shiftCtrl, false},
      {"TextParameters", Qt::RightButton, shiftCtrl, false},
      {"EngraveFormSurface", Qt::RightButton, shiftCtrl, true},
      {"EngraveFormSurface", Qt::RightButton, Qt::ShiftModifier, true},
      {"EngraveFormSurface", Qt::RightButton, shiftCtrl, false},
  };
  auto* memo1 = Find<QPlainTextEdit>("Memo1");
  for (const ClickCase& c : clicks) {
    SCOPED_TRACE(testing::Message()
                 << c.target << " button " << c.button << " modifiers " << c.modifiers.toInt());
    auto* target = Find<QWidget>(c.target);
    // A free spot: between the upper groups and the pages on the surface, inside the group.
    const QPoint spot = target == m_form.Surface() ? QPoint(700, 310) : QPoint(300, 100);
    QTest::mouseClick(target, c.button, c.modifiers, spot);
    EXPECT_EQ(!memo1->isHidden(), c.visibleAfter);
  }
  EXPECT_FALSE(memo1->toPlainText().isEmpty()) << "the font report of the loaded font";
}

TEST_F(EngraveFormTest, SpinnersStepTheirEditWithinTheirRange) {
  ShowPage(Page::Sequence);
  auto arrow = [&](const char* spinner, int which) {
    return Find<QWidget>(spinner)->findChildren<QToolButton*>().at(which);
  };
  for (int i = 0; i < 21; ++i) arrow("SeqDigitsSpinner", 0)->click();
  EXPECT_EQ(Text("SeqDigits"), "20");
  EXPECT_EQ(m_form.Model().Settings().SeqDigits, "20");
  arrow("SeqStepSpinner", 1)->click();
  EXPECT_EQ(Text("SeqStep"), "1");
  arrow("SeqStepSpinner", 0)->click();
  EXPECT_EQ(Text("SeqStep"), "2");
}

TEST_F(EngraveFormTest, PreviewIsRebuiltOnceForAKeystroke) {
  ShowPage(Page::FreeForm);
  Idle();
  PreviewPanel* preview = m_form.Preview();
  const int rebuilds = preview->Rebuilds();
  const std::size_t segments = Shown().segments.size();
  const QImage before = preview->View()->grab().toImage();

  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "H");
  ASSERT_TRUE(RebuiltSince(rebuilds));
  Idle();
  EXPECT_EQ(preview->Rebuilds(), rebuilds + 1) << "one keystroke, one rebuild";
  EXPECT_GT(Shown().segments.size(), segments);
  EXPECT_NE(preview->View()->grab().toImage(), before);
  EXPECT_THAT(preview->findChild<QLabel*>("PreviewStats")->text().toStdString(),
              testing::HasSubstr("Plunges"));
}

TEST_F(EngraveFormTest, BadFieldShowsItsMessageInThePreviewAndNoBox) {
  ShowPage(Page::FreeForm);
  Idle();
  const int rebuilds = m_form.Preview()->Rebuilds();
  QTest::keyClicks(Find<QLineEdit>("TextHeightE"), "x");
  ASSERT_TRUE(RebuiltSince(rebuilds));
  EXPECT_EQ(Shown().message, "'.125x' is not a valid floating point value.");
  EXPECT_THAT(Shown().segments, IsEmpty());
  EXPECT_THAT(m_form.errors, IsEmpty());
  EXPECT_THAT(m_form.messages, IsEmpty());
  for (QWidget* window : QApplication::topLevelWidgets()) {
    EXPECT_EQ(qobject_cast<QMessageBox*>(window), nullptr);
  }
}

TEST_F(EngraveFormTest, OpenedProgramIsShownUntilLiveOrASettingChanges) {
  const QString path = m_dir.filePath("l.eia");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("G00 X0.0000 Y0.0000 Z0.1000\r\nG00 Y1.0000\r\nG01 Z-0.0100 F25.00\r\n"
               "G01 Y0.0000 F50.00\r\nG01 X0.6000\r\nG00 Z0.1000\r\n");
  }
  m_form.programToOpen = path.toStdString();
  PreviewPanel* preview = m_form.Preview();
  auto* open = Find<QPushButton>("OpenProgram");
  auto* live = Find<QPushButton>("PreviewLive");
  using K = SegmentKind;

  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_TRUE(preview->ShowsProgramFile());
  EXPECT_THAT(Shown().segments, ElementsAre(PreviewSegment{K::Rapid, {0, 0}, {0, 1}},
                                            PreviewSegment{K::Plunge, {0, 1}, {0, 1}},
                                            PreviewSegment{K::Cut, {0, 1}, {0, 0}},
                                            PreviewSegment{K::Cut, {0, 0}, {0.6, 0}}));
  EXPECT_EQ(Text("PreviewTitle"), "Program l.eia");
  EXPECT_THAT(Text("PreviewStats").toStdString(), testing::HasSubstr("1.6000"));
  EXPECT_TRUE(live->isEnabled());
  Idle();
  EXPECT_TRUE(preview->ShowsProgramFile()) << "a page or label change keeps the program";

  QTest::mouseClick(live, Qt::LeftButton);
  EXPECT_FALSE(preview->ShowsProgramFile());
  EXPECT_FALSE(live->isEnabled());

  QTest::mouseClick(open, Qt::LeftButton);
  const int rebuilds = preview->Rebuilds();
  QTest::keyClicks(Find<QLineEdit>("TextHeightE"), "5");
  ASSERT_TRUE(RebuiltSince(rebuilds));
  EXPECT_FALSE(preview->ShowsProgramFile());

  m_form.programToOpen = m_dir.filePath("missing.eia").toStdString();
  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_THAT(Shown().message, testing::HasSubstr("missing.eia"));
  EXPECT_THAT(Shown().segments, IsEmpty());
  EXPECT_THAT(m_form.errors, IsEmpty());
}

// On a rotary axis the Down box is the radius of the cylinder: it is outlined while it is not
// above 0, and the status bar says why.
TEST_F(EngraveFormTest, RotaryPenDownIsMarkedWhileItIsNoRadius) {
  auto* pen = Find<QLineEdit>("PenDownE");
  EXPECT_EQ(FieldMark(pen), "");
  Find<QComboBox>("Axis2E")->setEditText("C");
  EXPECT_THAT(FieldMark(pen).toStdString(), testing::HasSubstr("(PenDownE) must be above 0"));
  EXPECT_THAT(StatusText().toStdString(), StartsWith("Plunge Axis Down: The pen down level"));
  pen->setText("25");
  EXPECT_EQ(FieldMark(pen), "");
}

// The Program tab shows the text of the program drawn, with line numbers; the line under the
// pointer lights its strokes, and a stroke under the pointer lights its line.
TEST_F(EngraveFormTest, ProgramTabShowsTheTextAndLinksLinesWithStrokes) {
  const QString path = m_dir.filePath("l.eia");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("(L)\r\nG00 X0.0000 Y0.0000 Z0.1000\r\nG00 Y1.0000\r\nG01 Z-0.0100 F25.00\r\n"
               "G01 Y0.0000 F50.00\r\nG01 X0.6000\r\nG00 Z0.1000\r\n");
  }
  m_form.programToOpen = path.toStdString();
  PreviewPanel* preview = m_form.Preview();
  ProgramTextView* text = preview->ProgramText();
  QTest::mouseClick(Find<QPushButton>("OpenProgram"), Qt::LeftButton);
  EXPECT_EQ(text->toPlainText(), "") << "built only once the tab is shown";
  Find<QTabWidget>("PreviewLowerTabs")->setCurrentIndex(1);
  EXPECT_EQ(text->blockCount(), 7);
  EXPECT_THAT(text->toPlainText().toStdString(), StartsWith("(L)\nG00 X0.0000 Y0.0000 Z0.1000\n"));
  EXPECT_GT(text->MarginWidth(), 0);

  // Line 5 cuts from (0, 1) down to (0, 0): its stroke is found from the drawing.
  const PreviewViewport& viewport = preview->View()->Viewport();
  const QPointF onStroke = viewport.ToPixel({0, 0.5});
  EXPECT_EQ(preview->LineAt(onStroke), 5);
  EXPECT_EQ(preview->LineAt(viewport.ToPixel({0.3, 0.5})), 0) << "nothing near";
  QTest::mouseMove(preview->View(), onStroke.toPoint());
  EXPECT_EQ(text->LitLine(), 5);
  EXPECT_EQ(preview->LitLine(), 5);

  // The other way round: the pointer on line 6 of the text lights the stroke along X.
  const QRect line6 = text->cursorRect(QTextCursor(text->document()->findBlockByNumber(5)));
  QTest::mouseMove(text->viewport(), line6.center() + QPoint(20, 0));
  EXPECT_EQ(preview->LitLine(), 6);

  // Pointed at, the dot and the stroke say what they are, read from the opened file.
  PreviewView* view = preview->View();
  EXPECT_THAT(view->ToolTipAt(viewport.ToPixel({0, 1})).toStdString(),
              StartsWith("Plunge (dot): the tool goes down here\nProgram line 4: G01 Z-0.0100 "
                         "F25.00\nAt X0.0000 Y1.0000, depth Z-0.0100\nFeed F25.00"));
  EXPECT_THAT(view->ToolTipAt(onStroke).toStdString(),
              StartsWith("Cut (solid line): the tool cuts along here\nProgram line 5: "));
  EXPECT_THAT(view->ToolTipAt(viewport.ToPixel({0.3, 0.5})).toStdString(),
              testing::HasSubstr("zoom"));

  QTest::mouseClick(Find<QPushButton>("CopyProgram"), Qt::LeftButton);
  EXPECT_THAT(QApplication::clipboard()->text().toStdString(), StartsWith("(L)\nG00 X0.0000"));
  EXPECT_THAT(QApplication::clipboard()->text().toStdString(), testing::Not(testing::HasSubstr("\r")));

  // The live preview shows the program its job would write.
  QTest::mouseClick(Find<QPushButton>("PreviewLive"), Qt::LeftButton);
  const int rebuilds = preview->Rebuilds();
  Find<QPlainTextEdit>("FreeFormTextE")->setPlainText("LL");
  ASSERT_TRUE(RebuiltSince(rebuilds));
  EXPECT_EQ(text->toPlainText().toStdString() + "\n",
            [&] {
              std::string program = Shown().program;
              std::erase(program, '\r');
              return program;
            }());
  EXPECT_FALSE(Shown().program.empty());
}

// On the screens of a machine shop's computers the form never scrolls, and no button of a page
// cuts its caption.
// "Continue from counter" on the Sequence page and in the Codes section is one field, and the
// page shows the counter's next value beside it.
TEST_F(EngraveFormTest, SequencePageContinuesFromTheCounterOfTheCodesSection) {
  ShowPage(Page::Sequence);
  SetCounterValue(m_form.Model().Marking(), "SN", 42);
  auto* box = Find<QLineEdit>("SeqCounter");
  EXPECT_TRUE(box->isVisibleTo(Find<QTabWidget>("PageControl")->widget(int(Page::Sequence))));
  EXPECT_EQ(Text("SeqCounterNext"), "");
  QTest::keyClicks(box, "SN");
  EXPECT_EQ(m_form.Model().Settings().SeqCounter, "SN");
  EXPECT_EQ(Text("SeqCounterNext"), "next: 42");

  CodesSection codes(m_form.Model(), nullptr);
  auto* inCodes = codes.findChild<QLineEdit*>("SeqCounter");
  EXPECT_EQ(inCodes->text(), "SN");
  inCodes->setText("LOT");
  emit inCodes->editingFinished();
  EXPECT_EQ(box->text(), "LOT");
  EXPECT_THAT(Text("SeqCounterNext").toStdString(), StartsWith("not in "));
  box->clear();
  EXPECT_EQ(Text("SeqCounterNext"), "");
}

// The captions the window shows for the control `box`: its own text (a check box), its title (a
// group of radio buttons), else the labels just above it or just left of it, its form label
// and the title of the group it sits in. "Caption (example)" names the box by its words too.
QStringList CaptionsOf(const QWidget* box) {
  QStringList captions;
  const auto add = [&](QString caption) {
    caption.remove(u'&');
    caption = caption.simplified();
    if (caption.endsWith(u':')) caption.chop(1);
    if (caption.isEmpty()) return;
    captions << caption;
    const qsizetype example = caption.indexOf(QStringLiteral(" ("));
    if (example > 0) captions << caption.left(example);
  };
  if (const auto* button = qobject_cast<const QAbstractButton*>(box)) add(button->text());
  if (const auto* group = qobject_cast<const QGroupBox*>(box)) add(group->title());
  const QWidget* parent = box->parentWidget();
  const QRect place = box->geometry();
  for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
    const QRect at = label->geometry();
    const bool above = at.bottom() <= place.top() + 2 && place.top() - at.bottom() < 30 &&
                       at.left() >= place.left() - 4 && at.left() < place.right();
    const bool left = std::abs(at.center().y() - place.center().y()) < 12 &&
                      at.right() <= place.left() && place.left() - at.right() < 40;
    if (above || left) add(label->text());
  }
  for (const QFormLayout* form : parent->findChildren<QFormLayout*>()) {
    if (const auto* label = qobject_cast<const QLabel*>(form->labelForField(const_cast<QWidget*>(box)))) {
      add(label->text());
    }
  }
  if (const auto* group = qobject_cast<const QGroupBox*>(parent)) add(group->title());
  return captions;
}

// The guide names a box as the window captions it, its field after it in brackets: every
// "Caption (`Field`)" of the guide whose field has a control in the window ends with a caption
// of that control.
TEST_F(EngraveFormTest, TheGuideNamesBoxesAsTheWindowCaptionsThem) {
  QFile guide(QStringLiteral(STYLOR_SOURCE_DIR "/docs/guide.md"));
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(guide.readAll());
  CodesSection codes(m_form.Model(), nullptr);
  CuttingSection cutting(m_form.Model(), ProgramUnit::Millimetres, nullptr);
  const QRegularExpression named(QStringLiteral("([^.:;|]{1,60}?)\\s*\\(`(\\w+)`\\)"));
  int checked = 0;
  for (QRegularExpressionMatchIterator it = named.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch match = it.next();
    const QString field = match.captured(2);
    const QWidget* box = m_form.findChild<QWidget*>(field);
    if (box == nullptr) box = codes.findChild<QWidget*>(field);
    if (box == nullptr) box = cutting.findChild<QWidget*>(field);
    if (box == nullptr) continue;  // a command or a field without a box
    QString before = match.captured(1).simplified();
    before.remove(u'"');
    const QStringList captions = CaptionsOf(box);
    const bool captioned = std::any_of(captions.begin(), captions.end(), [&](const QString& c) {
      return before == c || before.endsWith(u' ' + c);
    });
    EXPECT_TRUE(captioned) << field.toStdString() << " after \"" << before.toStdString()
                           << "\"; the window: " << captions.join(" | ").toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 30) << "the guide's boxes were found";
}

TEST_F(EngraveFormTest, FormNeverScrollsSidewaysOnSmallScreens) {
  for (const QSize screen : {QSize(1024, 768), QSize(1366, 768)}) {
    SCOPED_TRACE(screen.width());
    // The window fits the screen less a usual frame.
    EXPECT_LE(m_form.minimumSizeHint().width(), screen.width() - 12);
    m_form.resize(screen.width() - 12, screen.height() - 70);
    Idle();
    auto* scroll = Find<QScrollArea>("FormScroll");
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0) << "every page fits a screen 768 high";
    EXPECT_GE(scroll->viewport()->width(), m_form.Surface()->width());
    for (int page = 0; page < Find<QTabWidget>("PageControl")->count(); ++page) {
      ShowPage(static_cast<Page>(page));
      Idle();
      for (QPushButton* button : m_form.Surface()->findChildren<QPushButton*>()) {
        if (!button->isVisibleTo(m_form.Surface())) continue;
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
        const QRect inSurface(button->mapTo(m_form.Surface(), QPoint()), button->size());
        EXPECT_TRUE(m_form.Surface()->rect().contains(inSurface)) << button->text().toStdString();
      }
    }
    // Long statistics do not widen the preview.
    const int width = m_form.Preview()->width();
    Find<QLabel>("PreviewStats")->setText(QString(400, u'8'));
    Idle();
    EXPECT_EQ(m_form.Preview()->width(), width);
  }
}

TEST_F(EngraveFormTest, PreviewZoomsAboutTheCursorAndKeepsTheUsersViewUntilFit) {
  ShowPage(Page::FreeForm);
  Idle();
  PreviewView* view = m_form.Preview()->View();
  int rebuilds = m_form.Preview()->Rebuilds();
  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "HI");
  ASSERT_TRUE(RebuiltSince(rebuilds));
  Idle();
  const PreviewViewport fitted = view->Viewport();

  const QPointF cursor(120, 150);
  const Point2 under = fitted.ToPlane(cursor);
  QWheelEvent wheel(cursor, view->mapToGlobal(cursor), QPoint(), QPoint(0, 240), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &wheel);
  const PreviewViewport zoomed = view->Viewport();
  EXPECT_GT(zoomed.scale, fitted.scale);
  EXPECT_NEAR(zoomed.ToPixel(under).x(), cursor.x(), 1e-6);
  EXPECT_NEAR(zoomed.ToPixel(under).y(), cursor.y(), 1e-6);

  QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
  QTest::mouseMove(view, QPoint(230, 190));
  QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(230, 190));
  EXPECT_EQ(view->Viewport().origin, zoomed.origin + QPointF(30, -10));

  rebuilds = m_form.Preview()->Rebuilds();
  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "J");
  ASSERT_TRUE(RebuiltSince(rebuilds));
  EXPECT_EQ(view->Viewport().scale, zoomed.scale) << "typing keeps the zoom the user chose";

  QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
  EXPECT_TRUE(view->FollowsScene());
  EXPECT_LT(view->Viewport().scale, zoomed.scale);
}

TEST_F(EngraveFormTest, TabLeavesEveryMemoAndKeepsItsText) {
  const char* memos[] = {"FreeFormTextE", "SeqPreGCodes",   "SeqPostGCodes", "PreToolChange",
                         "ToolChange",    "PostToolChange", "PostEngrave"};
  for (const char* name : memos) {
    SCOPED_TRACE(name);
    auto* memo = Find<QPlainTextEdit>(name);
    ShowPage(memo->parentWidget()->objectName() == "TabSheet2" ? Page::Machine
             : std::string_view(name) == "FreeFormTextE"       ? Page::FreeForm
                                                               : Page::Sequence);
    memo->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return memo->hasFocus(); }, 2000));
    QTest::keyClicks(memo, "AB");
    QTest::keyClick(memo, Qt::Key_Tab);
    EXPECT_FALSE(memo->hasFocus()) << "Tab moved on";
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(memo->hasFocus()) << "Shift+Tab moved back";
    EXPECT_EQ(memo->toPlainText(), "AB");
  }
  EXPECT_THAT(m_form.Model().Settings().FreeFormTextE, ElementsAre("AB"));
  EXPECT_THAT(m_form.Model().Settings().PostEngrave, ElementsAre("AB"));
}

TEST_F(EngraveFormTest, DigitsAndStepFollowTheKeysAndTheWheel) {
  ShowPage(Page::Sequence);
  auto* digits = Find<QLineEdit>("SeqDigits");
  auto* spinner = Find<UpDown>("SeqDigitsSpinner");
  EXPECT_EQ(spinner->focusPolicy(), Qt::StrongFocus);
  struct KeyCase {
    QWidget* target;
    Qt::Key key;
    const char* after;
  };
  const KeyCase keys[] = {
      {digits, Qt::Key_Up, "1"},         {digits, Qt::Key_Up, "2"},
      {spinner, Qt::Key_PageUp, "7"},    {spinner, Qt::Key_Down, "6"},
      {digits, Qt::Key_PageDown, "1"},   {digits, Qt::Key_Down, "0"},
      {digits, Qt::Key_Down, "0"},  // stays at the end of the range
  };
  for (const KeyCase& c : keys) {
    QTest::keyClick(c.target, c.key);
    EXPECT_EQ(Text("SeqDigits"), c.after) << "key " << c.key;
  }
  QWheelEvent wheel(QPointF(5, 5), spinner->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 240),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(digits, &wheel);
  EXPECT_EQ(Text("SeqDigits"), "2");
  EXPECT_EQ(m_form.Model().Settings().SeqDigits, "2");

  // The arrows step from what the box shows, typed in or loaded.
  auto* step = Find<QLineEdit>("SeqStep");
  QTest::keyClick(step, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(step, "40");
  QTest::keyClick(step, Qt::Key_Up);
  EXPECT_EQ(Text("SeqStep"), "41");

  // Digits takes typed digits, and nothing else.
  QTest::keyClick(digits, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(digits, "6x");
  EXPECT_EQ(Text("SeqDigits"), "6");
  EXPECT_EQ(m_form.Model().Settings().SeqDigits, "6");
}

TEST(WindowPlacement, TheWholeFrameLiesInsideTheFreeAreaOfCommonScreens) {
  const QSize wanted(1208, 735);
  const QMargins frame(4, 32, 4, 4);
  struct ScreenCase {
    const char* name;
    QRect available;
  };
  const ScreenCase screens[] = {
      {"1366x768 with a bottom panel", QRect(0, 0, 1366, 728)},
      {"1024x768 with a top panel", QRect(0, 27, 1024, 741)},
      {"1600x1000 at 125%", QRect(0, 0, 1280, 770)},
      {"second screen right of the first", QRect(1920, 0, 1366, 768)},
      {"1920x1080", QRect(0, 0, 1920, 1050)},
  };
  for (const ScreenCase& c : screens) {
    SCOPED_TRACE(c.name);
    const QRect client = FirstPlacement(wanted, QPoint(259, 166), frame, c.available);
    EXPECT_TRUE(c.available.contains(client.marginsAdded(frame)))
        << client.x() << "," << client.y() << " " << client.width() << "x" << client.height();
    EXPECT_GT(client.width(), 0);
    EXPECT_GT(client.height(), 0);
  }
  // Where the screen has room, the window keeps its usual place and size.
  EXPECT_EQ(FirstPlacement(wanted, QPoint(259, 166), frame, QRect(0, 0, 1920, 1050)),
            QRect(QPoint(263, 198), wanted));
}

TEST_F(EngraveFormTest, FirstShownInsideTheScreenAndBackWhereItWasNextTime) {
  TestForm first;
  first.PlaceOnScreen();
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(available.contains(first.geometry())) << "offscreen screen " << available.width()
                                                    << "x" << available.height();
  first.show();
  // Pushed half off the screen, it is brought back whole.
  first.resize(600, 400);
  const QSize small = first.size();
  first.move(available.right() - 300, available.top() + 20);
  first.KeepFrameOnScreen();
  EXPECT_TRUE(available.contains(first.frameGeometry()));
  EXPECT_EQ(first.size(), small) << "moved in, not shrunk, where it fits";

  first.resize(1000, 560);
  first.move(40, 30);
  first.Splitter()->setSizes({700, 290});
  ASSERT_TRUE(QTest::qWaitFor([&] { return first.size() == QSize(1000, 560); }, 2000));
  const QList<int> sizes = first.Splitter()->sizes();
  first.close();

  TestForm next;
  next.PlaceOnScreen();
  EXPECT_EQ(next.size(), QSize(1000, 560));
  next.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
  EXPECT_EQ(next.Splitter()->sizes(), sizes);
  // Too small for the whole surface: it scrolls instead of being cut off.
  EXPECT_GT(next.findChild<QScrollArea*>("FormScroll")->verticalScrollBar()->maximum(), 0);
}

TEST_F(EngraveFormTest, TheUnitIsNamedBesideLengthsAndFeedsAndChangesNoWrittenNumber) {
  auto suffix = [&](const char* name) { return Find<UnitEdit>(name)->Suffix(); };
  auto engrave = [&](const QString& name) {
    m_form.programFile = m_dir.filePath(name).toStdString();
    QTest::mouseClick(Find<QAbstractButton>("EngraveText"), Qt::LeftButton);
    QFile file(m_dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
  };
  ShowPage(Page::FreeForm);
  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "AB");
  const QByteArray inMillimetres = engrave("mm.eia");

  m_form.findChild<QAction*>("InchesAction")->trigger();
  struct SuffixCase {
    const char* field;
    const char* suffix;
  };
  const SuffixCase cases[] = {
      {"TextHeightE", "in"},       {"PenDownE", "in"},     {"PenUpE", "in"},
      {"Axis1StartE", "in"},       {"Axis2StartE", "in"},  {"RadiusE", "in"},
      {"AEdit", "in"},             {"BEdit", "in"},        {"EngraveFeedE", "in/min"},
      {"PlungeFeedE", "in/min"},   {"TextAngleE", "\u00b0"}, {"WidthRatioE", ""},
      {"SeqStart", ""},
  };
  for (const SuffixCase& c : cases) EXPECT_EQ(suffix(c.field), QString(c.suffix)) << c.field;
  EXPECT_EQ(Text("WidthUnit"), "in");
  Idle();
  EXPECT_THAT(Text("PreviewStats").toStdString(), testing::HasSubstr(" in<"));
  EXPECT_EQ(StoredProgramUnit(), ProgramUnit::Inches) << "kept for the next run";

  Find<QComboBox>("Axis1E")->setEditText("C");
  EXPECT_EQ(suffix("Axis1StartE"), "\u00b0") << "a rotary start is in degrees";
  Find<QComboBox>("Axis1E")->setEditText("X");

  EXPECT_EQ(engrave("in.eia"), inMillimetres);
  m_form.findChild<QAction*>("MillimetresAction")->trigger();
  EXPECT_EQ(suffix("TextHeightE"), "mm");
}

TEST_F(EngraveFormTest, TheStatusBarSaysWhatEachJobWrote) {
  ShowPage(Page::FreeForm);
  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "AB");
  m_form.programFile = m_dir.filePath("part.eia").toStdString();
  QTest::mouseClick(Find<QAbstractButton>("EngraveText"), Qt::LeftButton);
  QFile file(m_dir.filePath("part.eia"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  const qsizetype lines = bytes.count("\r\n");
  EXPECT_THAT(StatusText().toStdString(),
              testing::MatchesRegex("Wrote part\\.eia: " + std::to_string(lines) +
                                    " lines, cut length [0-9]+\\.[0-9]{4} mm, about "
                                    "[0-9]+\\.[0-9]{2} min"));

  ShowPage(Page::Sequence);
  QDir(m_dir.path()).mkdir("out");
  Find<QLineEdit>("SeqStart")->setText("1");
  Find<QLineEdit>("SeqEnd")->setText("20");
  Find<QLineEdit>("SeqPrefix")->setText("SN");
  Click(Item("Files", "Many Files"));
  Find<QLineEdit>("FilePrefix")->setText("SN");
  m_form.programFile = m_dir.filePath("out/SN1.eia").toStdString();
  QTest::mouseClick(Find<QAbstractButton>("GenerateSequences"), Qt::LeftButton);
  EXPECT_THAT(m_form.errors, IsEmpty());
  EXPECT_EQ(StatusText(), "Wrote 20 programs SN1.eia ... SN20.eia in out/");
}

// Pick Font reads a single-line font; a job whose text it lacks a character of still writes its
// program, and the status bar names the character after what was written.
TEST_F(EngraveFormTest, PickFontReadsAnLffFontAndTheStatusBarNamesBlankCharacters) {
  QFile font(m_dir.filePath("face.lff"));
  ASSERT_TRUE(font.open(QIODevice::WriteOnly));
  font.write("# Format: LibreCAD Font 1\n[0045] E\n0,0;0,10;6,10\n[00b0] \xc2\xb0\n1,9;2,10\n");
  font.close();
  m_form.fontFile = font.fileName().toStdString();
  QTest::mouseClick(Find<QAbstractButton>("PickFont"), Qt::LeftButton);
  EXPECT_THAT(m_form.errors, IsEmpty());
  EXPECT_EQ(m_form.Model().Settings().FontFile, font.fileName().toStdString());

  ShowPage(Page::FreeForm);
  Find<QPlainTextEdit>("FreeFormTextE")->setPlainText(QString::fromUtf8("E\u00B0 \u00D8E"));
  m_form.programFile = m_dir.filePath("part.eia").toStdString();
  // Named while typed, before any job.
  EXPECT_EQ(StatusText(), QString::fromUtf8("No glyph in face.lff for: \u00D8"));
  QTest::mouseClick(Find<QAbstractButton>("EngraveText"), Qt::LeftButton);
  EXPECT_THAT(m_form.errors, IsEmpty());
  EXPECT_TRUE(QFile::exists(m_dir.filePath("part.eia")));
  EXPECT_THAT(StatusText().toStdString(), testing::StartsWith("Wrote part.eia: "));
  EXPECT_THAT(StatusText().toStdString(),
              testing::EndsWith("No glyph in face.lff for: \u00D8"));
}

TEST_F(EngraveFormTest, TheTitleNamesTheMachineFileAndTheFileMenuOffersItAgain) {
  const QString path = m_dir.filePath("lathe.mch");
  TestForm form;
  form.machineFileToSave = path.toStdString();
  form.Start(m_dir.path());
  EXPECT_EQ(form.windowTitle(), "Stylor");
  QTest::mouseClick(form.findChild<QPushButton*>("Save"), Qt::LeftButton);
  EXPECT_EQ(form.windowTitle(), "lathe.mch - Stylor");
  auto* recent = form.findChild<QMenu*>("RecentMachineFiles");
  ASSERT_EQ(recent->actions().size(), 1);
  EXPECT_EQ(recent->actions()[0]->toolTip(), path);

  form.findChild<QLineEdit*>("TextHeightE")->setText("0.75");
  recent->actions()[0]->trigger();
  EXPECT_EQ(form.Model().Settings().TextHeightE, ".125") << "the recent file opened";
}

TEST_F(EngraveFormTest, MenusCarryTheUsualShortcutsAndTheGuideOpensInside) {
  const std::pair<const char*, QKeySequence> shortcuts[] = {
      {"OpenMachineAction", QKeySequence(Qt::CTRL | Qt::Key_O)},
      {"SaveMachineAction", QKeySequence(Qt::CTRL | Qt::Key_S)},
      {"QuitAction", QKeySequence(Qt::CTRL | Qt::Key_Q)},
      {"UserGuideAction", QKeySequence(Qt::Key_F1)},
  };
  for (const auto& [name, keys] : shortcuts) {
    auto* action = m_form.findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << name;
    EXPECT_EQ(action->shortcut(), keys) << name;
  }
  QStringList menus;
  for (QAction* menu : m_form.menuBar()->actions()) menus << menu->text().remove('&');
  EXPECT_EQ(menus, QStringList({"File", "Units", "Codes", "Cutting", "Help"}));

  m_form.findChild<QAction*>("UserGuideAction")->trigger();
  ASSERT_NE(m_form.Guide(), nullptr);
  EXPECT_TRUE(m_form.Guide()->isVisible());
  QTextBrowser* guide = m_form.Guide()->Browser();
  EXPECT_THAT(guide->toPlainText().toStdString(), testing::HasSubstr("A three-line nameplate"));
  // The pictures are SVG drawings of the programs: they need Qt's SVG image plugin.
  const QByteArray picture =
      guide->loadResource(QTextDocument::ImageResource, QUrl("guide/nameplate.svg")).toByteArray();
  EXPECT_FALSE(QImage::fromData(picture).isNull()) << "the guide shows no picture";
  EXPECT_THAT(m_form.errors, IsEmpty());

  m_form.findChild<QAction*>("AboutAction")->trigger();
  EXPECT_EQ(Find<QTabWidget>("PageControl")->currentIndex(), static_cast<int>(Page::About));
}

TEST_F(EngraveFormTest, EveryControlSaysWhatItDoes) {
  QStringList missing;
  for (QWidget* control : m_form.findChildren<QWidget*>()) {
    const bool input = qobject_cast<QLineEdit*>(control) || qobject_cast<QComboBox*>(control) ||
                       qobject_cast<QPlainTextEdit*>(control) ||
                       qobject_cast<QGroupBox*>(control) || dynamic_cast<UpDown*>(control) ||
                       (qobject_cast<QAbstractButton*>(control) &&
                        !qobject_cast<QToolButton*>(control));
    // The line edits inside the combo and spin boxes speak through their box.
    if (!input || qobject_cast<QComboBox*>(control->parentWidget()) ||
        qobject_cast<QAbstractSpinBox*>(control->parentWidget())) {
      continue;
    }
    // Groups that only frame other controls need no words of their own.
    if (qobject_cast<QGroupBox*>(control) && control->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly).isEmpty()) {
      continue;
    }
    if (control->toolTip().isEmpty()) {
      missing << control->objectName() + "/" + control->metaObject()->className();
    }
  }
  EXPECT_THAT(missing, IsEmpty()) << missing.join(", ").toStdString();
}

TEST_F(EngraveFormTest, StatisticsNeverShowANegativeZero) {
  const std::pair<double, const char*> values[] = {
      {-0.00004, "0.0000"}, {-0.0, "0.0000"}, {-0.00005, "-0.0001"}, {0.00004, "0.0000"},
      {-1.5, "-1.5000"}};
  for (const auto& [value, text] : values) EXPECT_EQ(FormatStatNumber(value, 4), text) << value;

  const QString path = m_dir.filePath("tiny.eia");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("G00 X-0.00001 Y0.0000 Z0.1000\r\nG01 Z-0.0100 F25.00\r\nG01 Y1.0000 F50.00\r\n");
  }
  m_form.programToOpen = path.toStdString();
  QTest::mouseClick(Find<QPushButton>("OpenProgram"), Qt::LeftButton);
  EXPECT_THAT(Text("PreviewStats").toStdString(), testing::Not(testing::HasSubstr("-0.0000")));
  EXPECT_THAT(Text("PreviewStats").toStdString(), testing::HasSubstr("0.0000 to 0.0000 mm"));
}

TEST_F(EngraveFormTest, PreviewSaysWhyNothingIsDrawnWithoutAFont) {
  ShowPage(Page::FreeForm);
  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "AB");
  Idle();
  const int rebuilds = m_form.Preview()->Rebuilds();
  m_form.Model().SetText(&EngraveSettings::FontFile, m_dir.filePath("gone.fnt").toStdString());
  m_form.Model().LoadFontFile();
  ASSERT_TRUE(RebuiltSince(rebuilds));
  EXPECT_THAT(Shown().message, testing::HasSubstr("No font is loaded"));
  EXPECT_THAT(Shown().message, testing::HasSubstr("gone.fnt"));
}

TEST_F(EngraveFormTest, PreviewExplainsItsMarksAndCanHideRapids) {
  ShowPage(Page::FreeForm);
  Idle();
  const int rebuilds = m_form.Preview()->Rebuilds();
  QTest::keyClicks(Find<QPlainTextEdit>("FreeFormTextE"), "HI");
  ASSERT_TRUE(RebuiltSince(rebuilds));
  Idle();
  PreviewView* view = m_form.Preview()->View();
  ASSERT_TRUE(Shown().marker.has_value());
  ASSERT_TRUE(Shown().programStart.has_value());
  EXPECT_THAT(view->ToolTipAt(view->Viewport().ToPixel(Shown().marker->at)).toStdString(),
              StartsWith("Start point"));
  EXPECT_THAT(view->ToolTipAt(view->Viewport().ToPixel(*Shown().programStart) + QPointF(0, 20))
                  .toStdString(),
              testing::HasSubstr("zoom"));
  EXPECT_FALSE(Find<QLabel>("PreviewLegend")->text().isEmpty());

  const QImage withRapids = view->grab().toImage();
  QTest::mouseClick(Find<QPushButton>("PreviewRapids"), Qt::LeftButton);
  EXPECT_FALSE(view->RapidsShown());
  EXPECT_NE(view->grab().toImage(), withRapids);
  QTest::mouseClick(Find<QPushButton>("PreviewRapids"), Qt::LeftButton);
  EXPECT_EQ(view->grab().toImage(), withRapids);
}

// A dot or a stroke pointed at tells its program line and the words in effect there, read back
// through modal words, comments and CR LF line ends.
TEST(PreviewMarks, TellTheirLinePositionDepthAndFeed) {
  const std::string program =
      "\r\n(FEED F9 IS A COMMENT)\r\nG00 X1.0000 Y2.0000 Z0.1000\r\nG01 Z-0.0100 F25.00\r\n"
      "G01 X1.5000 F50.00\r\nG01 Y2.5000\r\nG00 Z0.1000\r\nG00 X3.0000 ; Y7\r\n";
  const MarkLetters letters{'X', 'Y', 'Z'};
  struct Case {
    SegmentKind kind;
    std::int64_t line;
    const char* item;
    std::vector<std::string> told;
  };
  const Case cases[] = {
      {SegmentKind::Plunge, 4, "2 of 11 numbers",
       {"Plunge (dot): the tool goes down here", "Shown: 2 of 11 numbers",
        "Program line 4: G01 Z-0.0100 F25.00", "At X1.0000 Y2.0000, depth Z-0.0100",
        "Feed F25.00"}},
      {SegmentKind::Cut, 6, "",
       {"Cut (solid line): the tool cuts along here", "Program line 6: G01 Y2.5000",
        "To X1.5000 Y2.5000, depth Z-0.0100", "Feed F50.00"}},
      {SegmentKind::Rapid, 8, "",
       {"Rapid (dashed line): the tool moves above the work",
        "Program line 8: G00 X3.0000 ; Y7", "To X3.0000 Y2.5000, depth Z0.1000"}},
      {SegmentKind::Rapid, 3, "",
       {"Rapid (dashed line): the tool moves above the work",
        "Program line 3: G00 X1.0000 Y2.0000 Z0.1000", "To X1.0000 Y2.0000, depth Z0.1000"}},
      {SegmentKind::Cut, 40, "", {"Cut (solid line): the tool cuts along here", "Program line 40"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const PreviewSegment segment{c.kind, {1, 2}, {1, 2}, c.line};
    const QStringList told = DescribeSegment(segment, program, letters, c.item).split('\n');
    std::vector<std::string> lines;
    for (const QString& line : told) lines.push_back(line.toStdString());
    EXPECT_EQ(lines, c.told);
  }
}

TEST(PlungeDots, ShrinkWhereTheyWouldHideAPageOfText) {
  const double area = 400.0 * 480.0;
  EXPECT_EQ(PlungeDotRadius(12, area), 2.0) << "a few plunges keep their full dot";
  const double page = PlungeDotRadius(2000, area);
  EXPECT_LT(page, 1.0);
  EXPECT_GE(page, 0.5);
  EXPECT_EQ(PlungeDotRadius(1000000, area), 0.5) << "never thinner than half a pixel";
  EXPECT_LE(PlungeDotRadius(2000, area), PlungeDotRadius(1000, area));
}

TEST_F(EngraveFormTest, BatchPageListsTheRowsPreviewsRowOneAndWritesEveryRow) {
  ShowPage(Page::Batch);
  Find<QPlainTextEdit>("FreeFormTextE")->setPlainText("{Text}");
  QFile rows(m_dir.filePath("rows.csv"));
  ASSERT_TRUE(rows.open(QIODevice::WriteOnly));
  rows.write("Text,Tag\r\nL,a\r\nLL,b\r\nLLL,c\r\n");
  rows.close();
  m_form.dataFile = rows.fileName().toStdString();
  const int before = m_form.Preview()->Rebuilds();
  QTest::mouseClick(Find<QAbstractButton>("DataFile"), Qt::LeftButton);
  EXPECT_EQ(Text("DataRowsLabel"), "3 rows");
  auto* table = Find<QTableWidget>("DataRows");
  ASSERT_EQ(table->rowCount(), 3);
  EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "Tag");
  EXPECT_EQ(table->item(2, 0)->text(), "LLL");
  ASSERT_TRUE(RebuiltSince(before));
  EXPECT_EQ(Shown().note, "row 1 of 3");
  ASSERT_TRUE(Shown().stats);
  EXPECT_EQ(Shown().stats->plunges, 6);

  Click(Item("BatchTextKind", "Circle Text"));
  EXPECT_EQ(m_form.Model().Settings().BatchTextKind, 1);
  Click(Item("BatchTextKind", "Free Form Text"));
  ShowPage(Page::Sequence);
  Click(Item("Files", "Many Files"));
  ShowPage(Page::Batch);
  Find<QLineEdit>("BatchNameColumn")->setText("Tag");
  QDir(m_dir.path()).mkdir("out");
  m_form.programFile = m_dir.filePath("out/x.eia").toStdString();
  QTest::mouseClick(Find<QAbstractButton>("GenerateBatch"), Qt::LeftButton);
  EXPECT_THAT(m_form.errors, IsEmpty());
  EXPECT_TRUE(QFile::exists(m_dir.filePath("out/a.eia")) && QFile::exists(m_dir.filePath("out/c.eia")));
  EXPECT_EQ(StatusText(), "Wrote 3 programs a.eia ... c.eia in out/");
}

TEST_F(EngraveFormTest, BatchPagePreviewsTheClickedRowAndSaysWhatItTakesFromSequence) {
  ShowPage(Page::Batch);
  Find<QPlainTextEdit>("FreeFormTextE")->setPlainText("{Text}");
  QFile rows(m_dir.filePath("rows.csv"));
  ASSERT_TRUE(rows.open(QIODevice::WriteOnly));
  rows.write("Text;Tag\r\nL;a\r\nLL;b\r\nLLL;c\r\n");  // a semicolon file
  rows.close();
  m_form.dataFile = rows.fileName().toStdString();
  QTest::mouseClick(Find<QAbstractButton>("DataFile"), Qt::LeftButton);
  auto* table = Find<QTableWidget>("DataRows");
  ASSERT_EQ(table->rowCount(), 3);
  EXPECT_EQ(table->currentRow(), 0);
  Idle();
  int before = m_form.Preview()->Rebuilds();
  const QRect third = table->visualItemRect(table->item(2, 1));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
  EXPECT_EQ(m_form.Model().PreviewRow(), 2u);
  ASSERT_TRUE(RebuiltSince(before));
  EXPECT_EQ(Shown().note, "row 3 of 3");
  ASSERT_TRUE(Shown().stats);
  EXPECT_EQ(Shown().stats->plunges, 6) << "the statistics stay those of the whole run";
  before = m_form.Preview()->Rebuilds();
  QTest::mouseClick(Find<QAbstractButton>("DataFile"), Qt::LeftButton);  // read again
  EXPECT_EQ(table->currentRow(), 0);
  ASSERT_TRUE(RebuiltSince(before));
  EXPECT_EQ(Shown().note, "row 1 of 3");

  EXPECT_THAT(Text("BatchSequenceLabel").toStdString(),
              testing::StartsWith("Takes from Sequence: One File, prefix ''"));
  ShowPage(Page::Sequence);
  Click(Item("Files", "Many Files"));
  QLineEdit* prefix = Find<QLineEdit>("FilePrefix");
  prefix->setFocus();
  QTest::keyClicks(prefix, "SNV-");
  EXPECT_THAT(Text("BatchSequenceLabel").toStdString(),
              testing::StartsWith("Takes from Sequence: Many Files, prefix 'SNV-'"));
}

TEST_F(EngraveFormTest, CodeButtonOpensTheCodeFieldsAndThePreviewDrawsTheCode) {
  ShowPage(Page::FreeForm);
  Click(Find<QPushButton>("CodeButton"));
  EXPECT_TRUE(Find<QWidget>("CodeSection")->isVisible());
  Idle();
  const int before = m_form.Preview()->Rebuilds();
  Find<QLineEdit>("CodeText")->setText("SN 7");
  Click(Item("CodeKind", "Data Matrix"));
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return m_form.Preview()->Rebuilds() > before && Shown().cutWidth > 0;
  }, 5000));
  EXPECT_EQ(Shown().message, "");
  Find<QLineEdit>("ToolDiameterE")->setText("1");  // wider than the module
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Shown().message.empty(); }, 5000));
  EXPECT_THAT(Shown().message.c_str(), testing::HasSubstr("smaller than the tool can make"));
}


// "On the control" is the third choice of Files: one program, so no file name prefix, and the
// control's three fields beside it, every caption readable in full.
TEST_F(EngraveFormTest, SequencePageOffersOnTheControlWithItsFields) {
  ShowPage(Page::Sequence);
  Click(Item("Files", "On the control"));
  EXPECT_EQ(m_form.Model().Settings().Files, 2);
  Idle();
  EXPECT_FALSE(Find<QLineEdit>("FilePrefix")->isVisible());
  Click(Item("ControlDialect", "LinuxCNC (o-words)"));
  EXPECT_EQ(m_form.Model().Settings().ControlDialect, 1);
  Find<QLineEdit>("CounterVariable")->setText("3100");
  EXPECT_EQ(m_form.Model().Settings().CounterVariable, "3100");
  EXPECT_TRUE(Find<QLineEdit>("FirstSubprogram")->isVisible());
  // The preview runs the cycle as the control does, with the counter at the serial chosen.
  Find<QLineEdit>("SeqStart")->setText("41");
  Find<QLineEdit>("SeqEnd")->setText("45");
  Idle();
  auto* shown = Find<QSpinBox>("ShowSerial");
  EXPECT_EQ(shown->value(), 41);
  const int rebuilds = m_form.Preview()->Rebuilds();
  shown->setValue(43);
  ASSERT_TRUE(RebuiltSince(rebuilds));
  const PreviewScene& scene = m_form.Preview()->View()->Scene();
  EXPECT_EQ(scene.message, "");
  EXPECT_THAT(scene.note, testing::HasSubstr("counter at 43 (3 of 5 numbers)"));
  EXPECT_FALSE(scene.segments.empty());
  for (const char* group : {"Files", "ControlDialect"}) {
    for (QRadioButton* button : Find<QGroupBox>(group)->findChildren<QRadioButton*>()) {
      SCOPED_TRACE(button->text().toStdString());
      EXPECT_GE(button->height(), button->sizeHint().height());
      EXPECT_GE(button->width(), button->sizeHint().width());
      EXPECT_TRUE(Find<QGroupBox>(group)->rect().contains(button->geometry()));
    }
  }
  if (qEnvironmentVariableIsSet("STYLOR_SHOT")) {
    m_form.grab().save(qEnvironmentVariable("STYLOR_SHOT"));
  }
}
}  // namespace
}  // namespace stylor
