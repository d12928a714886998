#include "ui/qt/engrave_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QUrl>

#include <cassert>
#include <utility>
#include <variant>

#include "settings/numbers.h"
#include "ui/qt/form_widgets.h"

namespace stylor {
namespace {

constexpr int kPanelHeight = 309;
constexpr int kEditHeight = 21;
constexpr int kButtonHeight = 25;
constexpr int kCheckHeight = 17;

const QString kTitle = QStringLiteral("Stylor");

QString ToQt(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string ToUtf8(const QString& text) { return text.toStdString(); }
std::string ToNativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

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

const FieldInfo& Field(const char* name) {
  const FieldInfo* field = FindField(name);
  assert(field != nullptr && "every control is named after its field");
  return *field;
}

QLabel* AddLabel(QWidget* parent, const QString& caption, int left, int top) {
  auto* label = new QLabel(caption, parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QGroupBox* AddGroup(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int width, int height) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(name);
  group->setGeometry(left, top, width, height);
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

}  // namespace

TEngraveForm::TEngraveForm(QWidget* parent) : QWidget(parent), m_model(*this) {
  setObjectName("EngraveForm");
  setWindowTitle(kTitle);
  setFixedSize(kWidth, kHeight);

  m_surface = new QWidget(this);
  m_surface->setObjectName("EngraveFormSurface");
  m_surface->setGeometry(0, 0, kSurfaceWidth, kHeight);
  m_surface->setAutoFillBackground(true);

  m_preview = new PreviewPanel(m_model, this);
  m_preview->move(kSurfaceWidth, 0);
  m_preview->OnOpenProgram([this] {
    if (const std::optional<std::string> path = AskProgramToOpen()) {
      m_preview->ShowProgramFile(*path);
    }
  });

  BuildUpperArea();

  auto* panel = new QWidget(m_surface);
  panel->setObjectName("Panel1");
  panel->setGeometry(0, kHeight - kPanelHeight, kSurfaceWidth, kPanelHeight);
  m_pages = new QTabWidget(panel);
  m_pages->setObjectName("PageControl");
  m_pages->setGeometry(0, 0, kSurfaceWidth, kPanelHeight);

  struct PageEntry {
    const char* name;
    const char* caption;
    void (TEngraveForm::*build)(QWidget*);
  };
  const PageEntry pages[] = {
      {"FreeForm", "Free Form Text", &TEngraveForm::BuildFreeFormPage},
      {"CircleTextPage", "Circle Text", &TEngraveForm::BuildCircleTextPage},
      {"EllipseText", "Ellipse Text", &TEngraveForm::BuildEllipseTextPage},
      {"Sequence", "Sequence", &TEngraveForm::BuildSequencePage},
      {"TabSheet2", "Machine", &TEngraveForm::BuildMachinePage},
      {"Advanced", "Advanced Settings", &TEngraveForm::BuildAdvancedPage},
      {"About", "About", &TEngraveForm::BuildAboutPage},
  };
  for (const PageEntry& entry : pages) {
    auto* page = new QWidget;
    page->setObjectName(entry.name);
    (this->*entry.build)(page);
    m_pages->addTab(page, entry.caption);
  }
  // The advanced page keeps its place in the page order but is never offered.
  const int advanced = static_cast<int>(Page::Advanced);
  m_pages->widget(advanced)->setEnabled(false);
  m_pages->setTabEnabled(advanced, false);
  m_pages->setTabVisible(advanced, false);
  connect(m_pages, &QTabWidget::currentChanged, this,
          [this](int index) { FromUser([&] { m_model.ShowPage(static_cast<Page>(index)); }); });

  ViewChanged();
}

TEngraveForm::~TEngraveForm() = default;

void TEngraveForm::BuildUpperArea() {
  QWidget* form = m_surface;

  QGroupBox* text = AddGroup(form, "TextParameters", "TextParameters", 8, 8, 337, 137);
  const std::pair<const char*, const char*> textEdits[] = {{"TextHeightE", "Height"},
                                                           {"WidthRatioE", "Width Ratio"},
                                                           {"SpacingRatioE", "Spacing Ratio"},
                                                           {"LineSpacingE", "Line Spacing"}};
  int left = 8;
  for (const auto& [name, caption] : textEdits) {
    AddLabel(text, caption, left, 18);
    AddEdit(text, name, left, 34, 73);
    left += 80;
  }
  QLineEdit* fontFile = AddEdit(text, "FontFile", 8, 70, 281);
  fontFile->setReadOnly(true);
  fontFile->setCursorPosition(0);
  AddButton(text, "PickFont", "Pick Font", 8, 100, 75, kButtonHeight,
            &EngraveFormModel::PickFontClick);

  AddRadioGroup(form, "Justification", "Justification", 1, 352, 8, 89, 137);
  AddRadioGroup(form, "AppendMode", "Append Mode", 1, 448, 8, 161, 137);
  QGroupBox* append = AddGroup(form, "GroupBox1", "Append Settings", 616, 8, 145, 137);
  AddCheckBox(append, "PreEngraveW", "Write Pre Engrave", 12, 32, 125);
  AddCheckBox(append, "PostEngraveW", "Write Post Engrave", 12, 64, 125);

  QGroupBox* axis1 = AddGroup(form, "Axis1Group", "Text \"Plane\" Axis 1", 8, 152, 193, 65);
  AddLabel(axis1, "Axis", 8, 16);
  AddLabel(axis1, "Start", 64, 16);
  AddLabel(axis1, "Text Angle", 128, 16);
  AddAxisCombo(axis1, "Axis1E", 8, 32, 49);
  AddEdit(axis1, "Axis1StartE", 64, 32, 57);
  AddEdit(axis1, "TextAngleE", 128, 32, 57);

  QGroupBox* axis2 = AddGroup(form, "Axis2Group", "Text \"Plane\" Axis 2", 8, 224, 193, 65);
  AddLabel(axis2, "Axis", 8, 16);
  AddLabel(axis2, "Start", 64, 16);
  AddAxisCombo(axis2, "Axis2E", 8, 32, 49);
  AddEdit(axis2, "Axis2StartE", 64, 32, 57);

  QGroupBox* axis3 = AddGroup(form, "Axis3Group", "Plunge Axis", 8, 296, 193, 73);
  AddLabel(axis3, "Absolute Tool Position", 64, 15);
  AddLabel(axis3, "Axis", 8, 29);
  AddLabel(axis3, "Down", 64, 29);
  AddLabel(axis3, "Up", 128, 29);
  AddAxisCombo(axis3, "Axis3E", 8, 45, 49);
  AddEdit(axis3, "PenDownE", 64, 45, 57);
  AddEdit(axis3, "PenUpE", 128, 45, 57);

  QGroupBox* feeds = AddGroup(form, "FeedOptions", "Feed Options", 208, 152, 137, 217);
  AddLabel(feeds, "Engrave Feed", 8, 24);
  AddEdit(feeds, "EngraveFeedE", 78, 20, 51);
  AddLabel(feeds, "Plunge Feed", 8, 52);
  AddEdit(feeds, "PlungeFeedE", 78, 48, 51);
  // Kept for the machine file only: no job reads it, so the user never sees it.
  AddCheckBox(feeds, "InverseTimeE", "ITF", 8, 74, 97)->setVisible(false);
  AddRadioGroup(feeds, "FeedMode", "Feed Mode", 1, 8, 96, 121, 113);

  AddRadioGroup(form, "IntegrexMode", "Lathe with Mill Modes", 2, 352, 151, 281, 145);
  AddRadioGroup(form, "IntegrexHead", "Integrex Head", 2, 352, 303, 217, 49);

  AddButton(form, "Button1", "Button1", 670, 235, 75, kButtonHeight,
            &EngraveFormModel::Button1Click)
      ->setFocusPolicy(Qt::NoFocus);
  AddButton(form, "Button2", "Button2", 670, 280, 75, kButtonHeight,
            &EngraveFormModel::Button2Click)
      ->setFocusPolicy(Qt::NoFocus);
}

void TEngraveForm::BuildFreeFormPage(QWidget* page) {
  auto* title = new QLabel("Free Form Text", page);
  title->setFont(Scaled(font(), 14, true));
  title->move(8, 9);
  title->adjustSize();
  AddButton(page, "EngraveText", "EngraveText", 168, 6, 97, kButtonHeight,
            &EngraveFormModel::EngraveTextClick);
  AddLabel(page, "Width:", 288, 11);
  m_widthLabel = AddLabel(page, QString(), 324, 11);
  m_widthLabel->setObjectName("WidthLabel");
  m_widthLabel->resize(200, m_widthLabel->height());
  AddMemo(page, "FreeFormTextE", 4, 40, 761, 218);
}

void TEngraveForm::BuildCircleTextPage(QWidget* page) {
  AddLabel(page, "Radius", 8, 8);
  AddEdit(page, "RadiusE", 8, 24, 73);
  AddRadioGroup(page, "Direction", "Direction", 2, 96, 4, 273, 49);
  AddLabel(page, "Circle Text", 8, 60);
  AddEdit(page, "ArcTextE", 8, 76, 713);
  AddButton(page, "CreateArc", "Create Arc", 8, 108, 97, kButtonHeight,
            &EngraveFormModel::CreateArcClick);

  m_memo1 = new QPlainTextEdit(page);
  m_memo1->setObjectName("Memo1");
  m_memo1->setGeometry(8, 144, 361, 41);
  m_memo1->setReadOnly(true);
  m_memo1->setFocusPolicy(Qt::NoFocus);
  m_memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_memo1->setVisible(false);
}

void TEngraveForm::BuildEllipseTextPage(QWidget* page) {
  AddLabel(page, "Major Axis", 8, 8);
  AddEdit(page, "AEdit", 8, 24, 73);
  AddLabel(page, "Minor Axis", 96, 8);
  AddEdit(page, "BEdit", 96, 24, 73);
  AddLabel(page, "Justification Point", 184, 8);

  // The combo box shows JustifyPointText; the model keeps the item index in step with it.
  const TextField text = std::get<TextField>(Field("JustifyPointText").ref);
  auto* justify = new QComboBox(page);
  justify->setObjectName("JustifyPoint");
  justify->setGeometry(184, 24, 97, kEditHeight);
  justify->setEditable(true);
  justify->setInsertPolicy(QComboBox::NoInsert);
  for (std::string_view item : Field("JustifyPoint").items) {
    justify->addItem(ToQt(std::string(item)));
  }
  connect(justify, &QComboBox::editTextChanged, this, [this, text](const QString& value) {
    FromUser([&] { m_model.SetText(text, ToUtf8(value)); });
  });
  OnFieldChanged("JustifyPointText", [this, justify, text] {
    const QString value = ToQt(m_model.Settings().*text);
    if (justify->currentText() != value) justify->setEditText(value);
  });

  auto* diagram = new EllipseDiagram(page);
  diagram->setObjectName("Image1");
  diagram->setGeometry(520, 4, 213, 121);

  AddRadioGroup(page, "EllipseDirection", "Direction", 2, 8, 56, 273, 49);
  AddLabel(page, "Ellipse Text", 8, 116);
  AddEdit(page, "EllipseTextE", 8, 132, 737);
  AddButton(page, "CreateEllipse", "Create Ellipse", 8, 164, 105, kButtonHeight,
            &EngraveFormModel::CreateEllipseClick);
}

void TEngraveForm::BuildSequencePage(QWidget* page) {
  AddLabel(page, "Start Number", 8, 6);
  AddEdit(page, "SeqStart", 8, 22, 73);
  AddLabel(page, "End Number", 88, 6);
  AddEdit(page, "SeqEnd", 88, 22, 73);
  AddLabel(page, "Step", 168, 6);
  QLineEdit* step = AddEdit(page, "SeqStep", 168, 22, 49);
  AddSpinner(page, "SeqStep", step, 1, 1000);
  AddLabel(page, "Prefix", 248, 6);
  AddEdit(page, "SeqPrefix", 248, 22, 81);
  AddLabel(page, "Sutfix", 336, 6);
  AddEdit(page, "SeqPostfix", 336, 22, 81);
  AddLabel(page, "Digits", 424, 6);
  QLineEdit* digits = AddEdit(page, "SeqDigits", 424, 22, 41);
  digits->setReadOnly(true);
  AddSpinner(page, "SeqDigits", digits, 0, 20);
  AddCheckBox(page, "UseArcSettings", "Use Arc Settings", 496, 24, 121);
  AddButton(page, "GenerateSequences", "Generate Sequences", 632, 19, 125, 27,
            &EngraveFormModel::GenerateSequencesClick);

  AddRadioGroup(page, "Files", "Files", 2, 8, 52, 233, 45);
  m_filePrefixLabel = AddLabel(page, "File Name Prefix", 248, 56);
  m_filePrefix = AddEdit(page, "FilePrefix", 248, 72, 169);
  AddLabel(page, "Example", 496, 54);
  m_seqExample = new QLabel(page);
  m_seqExample->setObjectName("SeqExample");
  m_seqExample->setGeometry(496, 68, 261, 30);
  m_seqExample->setFont(Scaled(font(), 20, true));

  AddLabel(page, "G Codes to add before each Sequence", 8, 104);
  AddMemo(page, "SeqPreGCodes", 8, 120, 369, 148);
  AddLabel(page, "G Codes to add after each Sequence", 384, 104);
  AddMemo(page, "SeqPostGCodes", 384, 120, 369, 148);
}

void TEngraveForm::BuildMachinePage(QWidget* page) {
  struct MemoEntry {
    const char* name;
    const char* caption;
    int left;
    int top;
  };
  const MemoEntry memos[] = {{"PreToolChange", "Pre Tool Change", 8, 4},
                            {"PostToolChange", "Post Tool Change", 336, 4},
                            {"ToolChange", "Tool Change", 8, 116},
                            {"PostEngrave", "Post Engrave", 336, 116}};
  for (const MemoEntry& memo : memos) {
    AddLabel(page, memo.caption, memo.left, memo.top);
    AddMemo(page, memo.name, memo.left, memo.top + 16, 320, 89)
        ->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  }
  AddButton(page, "Save", "Save", 672, 20, 75, kButtonHeight, &EngraveFormModel::SaveClick);
  AddButton(page, "Open", "Open", 672, 52, 75, kButtonHeight, &EngraveFormModel::OpenClick);
  AddButton(page, "Reset", "Reset", 672, 84, 75, kButtonHeight, &EngraveFormModel::ResetClick);
  AddButton(page, "OpenOld", "Open Old", 672, 116, 75, kButtonHeight,
            &EngraveFormModel::OpenOldClick);
}

void TEngraveForm::BuildAdvancedPage(QWidget* page) {
  AddLabel(page, "Symbol Rotation Angle", 8, 12);
  AddEdit(page, "SymAngleE", 8, 28, 73)->setToolTip("For Vertical Text");
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
  link->OnClicked([this] { m_model.Run([this] { m_model.URLlabelClick(); }); });
}

QLineEdit* TEngraveForm::AddEdit(QWidget* parent, const char* fieldName, int left, int top,
                                 int width) {
  const TextField field = std::get<TextField>(Field(fieldName).ref);
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(fieldName);
  edit->setGeometry(left, top, width, kEditHeight);
  connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) {
    FromUser([&] { m_model.SetText(field, ToUtf8(text)); });
  });
  OnFieldChanged(fieldName, [this, edit, field] {
    const QString text = ToQt(m_model.Settings().*field);
    // Setting the same text again would move the cursor of a user who is typing.
    if (edit->text() != text) edit->setText(text);
  });
  return edit;
}

QComboBox* TEngraveForm::AddAxisCombo(QWidget* parent, const char* fieldName, int left, int top,
                                      int width) {
  const TextField field = std::get<TextField>(Field(fieldName).ref);
  auto* combo = new QComboBox(parent);
  combo->setObjectName(fieldName);
  combo->setGeometry(left, top, width, kEditHeight);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->addItems({"X", "Y", "Z", "A", "B", "C"});
  connect(combo, &QComboBox::editTextChanged, this, [this, field](const QString& text) {
    FromUser([&] { m_model.SetText(field, ToUtf8(text)); });
  });
  OnFieldChanged(fieldName, [this, combo, field] {
    const QString text = ToQt(m_model.Settings().*field);
    if (combo->currentText() == text) return;
    const int item = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0) combo->setCurrentIndex(item);
    if (combo->currentText() != text) combo->setEditText(text);
  });
  return combo;
}

QPlainTextEdit* TEngraveForm::AddMemo(QWidget* parent, const char* fieldName, int left, int top,
                                      int width, int height) {
  const LinesField field = std::get<LinesField>(Field(fieldName).ref);
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(fieldName);
  memo->setGeometry(left, top, width, height);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, field] {
    FromUser([&] { m_model.SetLines(field, SplitLines(memo->toPlainText())); });
  });
  OnFieldChanged(fieldName, [this, memo, field] {
    const Lines& lines = m_model.Settings().*field;
    if (SplitLines(memo->toPlainText()) != lines) memo->setPlainText(JoinLines(lines));
  });
  return memo;
}

QGroupBox* TEngraveForm::AddRadioGroup(QWidget* parent, const char* fieldName,
                                       const QString& caption, int columns, int left, int top,
                                       int width, int height) {
  const FieldInfo& info = Field(fieldName);
  const IndexField field = std::get<IndexField>(info.ref);
  QGroupBox* box = AddGroup(parent, fieldName, caption, left, top, width, height);
  auto* buttons = new QButtonGroup(box);

  // Items run down the first column, then down the next, spread evenly over the group.
  constexpr int kCaptionRoom = 16;
  const int count = static_cast<int>(info.items.size());
  const int perColumn = (count + columns - 1) / columns;
  const int columnWidth = (width - 10) / columns;
  const int rowHeight = (height - kCaptionRoom - 4) / perColumn;
  for (int i = 0; i < count; ++i) {
    auto* button =
        new QRadioButton(ToQt(std::string(info.items[static_cast<std::size_t>(i)])), box);
    button->setGeometry(8 + (i / perColumn) * columnWidth,
                        kCaptionRoom + (i % perColumn) * rowHeight, columnWidth - 2, rowHeight);
    buttons->addButton(button, i);
  }
  connect(buttons, &QButtonGroup::idToggled, this, [this, field](int id, bool checked) {
    if (checked) FromUser([&] { m_model.SetIndex(field, id); });
  });
  OnFieldChanged(fieldName, [this, buttons, field] {
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

QCheckBox* TEngraveForm::AddCheckBox(QWidget* parent, const char* fieldName, const QString& caption,
                                     int left, int top, int width) {
  const StateField field = std::get<StateField>(Field(fieldName).ref);
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(fieldName);
  box->setGeometry(left, top, width, kCheckHeight);
  connect(box, &QCheckBox::toggled, this,
          [this, field](bool checked) { FromUser([&] { m_model.SetState(field, checked); }); });
  OnFieldChanged(fieldName, [this, box, field] { box->setChecked(m_model.Settings().*field); });
  return box;
}

void TEngraveForm::AddSpinner(QWidget* parent, const char* fieldName, QLineEdit* edit, int minimum,
                              int maximum) {
  const TextField field = std::get<TextField>(Field(fieldName).ref);
  auto* spinner = new UpDown(minimum, maximum, parent);
  spinner->setObjectName(QString(fieldName) + "Spinner");
  const QRect beside = edit->geometry();
  spinner->setGeometry(beside.right() + 1, beside.top(), 16, beside.height());
  spinner->OnMoved([this, field](int position) {
    std::string text;
    AppendInteger(text, position);
    m_model.SetText(field, text);
  });
}

QPushButton* TEngraveForm::AddButton(QWidget* parent, const char* name, const QString& caption,
                                     int left, int top, int width, int height,
                                     void (EngraveFormModel::*handler)()) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(left, top, width, height);
  connect(button, &QPushButton::clicked, this,
          [this, handler] { m_model.Run([this, handler] { (m_model.*handler)(); }); });
  return button;
}

void TEngraveForm::OnFieldChanged(const char* fieldName, std::function<void()> show) {
  {
    QScopedValueRollback<bool> showing(m_showingModel, true);
    show();
  }
  m_showField[Field(fieldName).name] = std::move(show);
}

void TEngraveForm::FromUser(const std::function<void()>& change) {
  if (!m_showingModel) change();
}

void TEngraveForm::Start(const QString& workingDirectory) {
  if (m_started) return;
  m_started = true;
  m_model.Run([&] { m_model.FormActivate(ToUtf8(workingDirectory)); });
}

std::optional<std::string> TEngraveForm::AskProgramFile(
    const std::optional<std::string>& presetName) {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({"EIA (*.eia)", "Text File (*.txt)"});
  dialog.setDefaultSuffix("eia");
  // A name typed without an extension gets the one of the chosen file type.
  connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    dialog.setDefaultSuffix(filter.contains("*.txt") ? "txt" : "eia");
  });
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !m_model.OverwriteQuestion());
  if (presetName) m_programFileName = QFile::decodeName(QByteArray::fromStdString(*presetName));
  if (!m_programFileName.isEmpty()) dialog.selectFile(m_programFileName);
  std::optional<std::string> chosen = RunFileDialog(dialog);
  if (chosen) m_programFileName = dialog.selectedFiles().constFirst();
  return chosen;
}

void TEngraveForm::ClearProgramFileName() { m_programFileName.clear(); }

void TEngraveForm::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, kTitle, ToQt(text), QMessageBox::Ok, this);
  box.exec();
}

std::optional<std::string> TEngraveForm::AskFontFile(const std::string& initialDirectory) {
  QFileDialog dialog(this, "Font File", ToQt(initialDirectory), "Font File (*.fnt)");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix("fnt");
  return RunFileDialog(dialog);
}

std::optional<std::string> TEngraveForm::AskMachineFileToSave(const std::string& initialDirectory) {
  QFileDialog dialog(this, QString(), ToQt(initialDirectory), "Machine File (*.mch)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("mch");
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  return RunFileDialog(dialog);
}

std::optional<std::string> TEngraveForm::AskMachineFileToOpen(const std::string& initialDirectory) {
  QFileDialog dialog(this, QString(), ToQt(initialDirectory), "Machine File (*.mch)");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return RunFileDialog(dialog);
}

std::optional<std::string> TEngraveForm::AskProgramToOpen() {
  // Where the last program was opened, else where the last one was written.
  QString start = m_openedProgram.isEmpty() ? m_programFileName : m_openedProgram;
  start = start.isEmpty() ? ToQt(m_model.WorkingDirectory()) : QFileInfo(start).absolutePath();
  QFileDialog dialog(this, "Open Program", start, "EIA (*.eia);;Text File (*.txt);;All Files (*)");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  std::optional<std::string> chosen = RunFileDialog(dialog);
  if (chosen) m_openedProgram = dialog.selectedFiles().constFirst();
  return chosen;
}

void TEngraveForm::ShowError(const std::string& text) {
  QMessageBox::critical(this, kTitle, ToQt(text));
}

void TEngraveForm::OpenUrl(const std::string& url) { QDesktopServices::openUrl(QUrl(ToQt(url))); }

void TEngraveForm::FieldChanged(const FieldInfo& field) {
  m_preview->SettingsChanged();
  const auto show = m_showField.find(field.name);
  if (show == m_showField.end()) return;
  QScopedValueRollback<bool> showing(m_showingModel, true);
  show->second();
}

void TEngraveForm::ViewChanged() {
  m_preview->ViewChanged();
  QScopedValueRollback<bool> showing(m_showingModel, true);
  m_widthLabel->setText(ToQt(m_model.WidthLabel()));
  m_seqExample->setText(ToQt(m_model.SeqExample()));
  if (m_model.FontReportLines() != m_shownReport) {
    m_shownReport = m_model.FontReportLines();
    m_memo1->setPlainText(JoinLines(m_shownReport));
  }
  m_memo1->setVisible(m_model.Memo1Visible());
  m_filePrefix->setVisible(m_model.FilePrefixVisible());
  m_filePrefixLabel->setVisible(m_model.FilePrefixVisible());
  m_pages->setCurrentIndex(static_cast<int>(m_model.CurrentPage()));
}

void TEngraveForm::mousePressEvent(QMouseEvent* event) {
  // Only the form's own surface counts: a press that a control let through is not one.
  QWidget* hit = childAt(event->position().toPoint());
  if (hit != nullptr && hit != m_surface) {
    QWidget::mousePressEvent(event);
    return;
  }
  MouseButton button;
  switch (event->button()) {
    case Qt::LeftButton:
      button = MouseButton::Left;
      break;
    case Qt::RightButton:
      button = MouseButton::Right;
      break;
    case Qt::MiddleButton:
      button = MouseButton::Middle;
      break;
    default:
      QWidget::mousePressEvent(event);
      return;
  }
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  m_model.Run([&] {
    m_model.FormMouseDown(button, modifiers.testFlag(Qt::ShiftModifier),
                          modifiers.testFlag(Qt::ControlModifier));
  });
}

}  // namespace stylor
