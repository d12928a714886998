// The binding of each control to its field of the model, both ways, and the marks of fields
// whose value is wrong or dangerous.

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
  // A caption wider than its place in this font widens the button, towards the middle of the
  // form, so that no caption is cut.
  const int wanted = button->sizeHint().width();
  if (wanted > place.width()) {
    if (place.center().x() > kSurfaceWidth / 2) place.setLeft(place.right() + 1 - wanted);
    else place.setWidth(wanted);
  }
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

void TEngraveForm::ShowUnits() {
  auto rotary = [this](TextField axis) {
    return IsRotaryLetter(ReadLetter(m_model.Settings().*axis));
  };
  // The unit of each length, feed and angle the field table names; a start value is in degrees
  // while its axis is rotary. Ratios, counts and texts have none.
  for (const FieldInfo& info : AllFields()) {
    QString suffix;
    if (info.unit == "feed") suffix = FeedSuffix(m_unit);
    else if (info.unit == "degrees") suffix = kDegreeSuffix;
    else if (info.unit == "length") {
      suffix = info.startOf != nullptr && rotary(info.startOf) ? kDegreeSuffix : LengthSuffix(m_unit);
    } else continue;
    const auto found = m_fields.find(&info);
    if (found == m_fields.end()) continue;
    if (auto* edit = dynamic_cast<UnitEdit*>(found->second.control)) edit->SetSuffix(suffix);
  }
  m_widthUnit->setText(LengthSuffix(m_unit));
  m_millimetres->setChecked(m_unit == ProgramUnit::Millimetres);
  m_inches->setChecked(m_unit == ProgramUnit::Inches);
  m_preview->SetUnit(m_unit);
}

void TEngraveForm::FieldChanged(const FieldInfo& field) {
  m_preview->SettingsChanged();
  if (field.ref == FieldRef(&S::Axis1E) || field.ref == FieldRef(&S::Axis2E)) ShowUnits();
  ShowSetupWarnings();
  if (field.ref == FieldRef(&S::Files) || field.ref == FieldRef(&S::FilePrefix) ||
      field.ref == FieldRef(&S::SeqPreGCodes) || field.ref == FieldRef(&S::SeqPostGCodes)) {
    m_batchSequence->setText(ToQt(m_model.BatchSequenceLabel()));
  }
  if (field.ref == FieldRef(&S::FreeFormTextE) || field.ref == FieldRef(&S::ArcTextE) ||
      field.ref == FieldRef(&S::EllipseTextE) || field.ref == FieldRef(&S::SeqPrefix) ||
      field.ref == FieldRef(&S::SeqPostfix)) {
    ShowMissingGlyphs();
  }
  if (field.ref == FieldRef(&S::SeqCounter) || field.ref == FieldRef(&S::CountersFile)) {
    ShowSeqCounterNext();
  }
  const auto found = m_fields.find(&field);
  if (found == m_fields.end()) return;
  QScopedValueRollback<bool> showing(m_showingModel, true);
  found->second.show();
}

void TEngraveForm::ShowFieldRefusal(const FieldInfo& field, const std::string& text) {
  ShowError(ToUtf8(FieldMessage(field, text)));
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
    statusBar()->showMessage(FieldMessage(field, *error));
    return;
  }
  if (m_statusField != &field) return;
  // The field is mended: its message goes, and another field still wrong takes its place.
  m_statusField = nullptr;
  statusBar()->clearMessage();
  for (const FieldInfo& other : AllFields()) {
    if (const std::string* otherError = m_model.FieldError(other)) {
      m_statusField = &other;
      statusBar()->showMessage(FieldMessage(other, *otherError));
      return;
    }
  }
}

}  // namespace stylor
