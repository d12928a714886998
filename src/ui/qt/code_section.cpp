// The Code section of the Free Form Text page: a Data Matrix or QR code cut after the text.
// Its controls sit in a window of their own, opened from the page, so that the text keeps the
// page's room; the preview beside the form shows the code as it changes.

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "ui/qt/engrave_form.h"
#include "ui/qt/form_widgets.h"

namespace stylor {
namespace {

constexpr int kEditHeight = 21;

void Caption(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->move(left, top);
  label->adjustSize();
}

}  // namespace

void TEngraveForm::BuildCodeSection(QWidget* page) {
  using S = EngraveSettings;
  auto* section = new QDialog(this);
  section->setObjectName("CodeSection");
  section->setWindowTitle("Code");
  section->setFixedSize(632, 262);

  AddRadioGroup(section, &S::CodeKind, "Code", 3, {8, 4, 300, 45});
  AddRadioGroup(section, &S::CodeStyle, "Cut Each Module As", 3, {316, 4, 308, 45});
  Caption(section, "Code Text ({Serial}: each number of a sequence)", 8, 56);
  AddEdit(section, &S::CodeText, {8, 72, 616, kEditHeight});

  struct Box {
    const char* caption;
    TextField field;
  };
  const Box sizes[] = {{"Module", &S::CodeModuleE},  {"Tool Diameter", &S::ToolDiameterE},
                       {"Size", &S::CodeSizeE},      {"Quiet Zone", &S::CodeQuietE},
                       {"Dwell (s)", &S::CodeDwellE}};
  int left = 8;
  for (const Box& box : sizes) {
    Caption(section, box.caption, left, 100);
    AddEdit(section, box.field, {left, 116, 112, kEditHeight});
    left += 124;
  }
  const Box place[] = {{"Corner Axis 1", &S::CodeXE},
                       {"Corner Axis 2", &S::CodeYE},
                       {"Angle", &S::CodeAngleE}};
  left = 8;
  for (const Box& box : place) {
    Caption(section, box.caption, left, 144);
    AddEdit(section, box.field, {left, 160, 112, kEditHeight});
    left += 124;
  }
  AddRadioGroup(section, &S::CodeLevel, "QR Error Correction", 4, {8, 192, 300, 45});
  AddCheckBox(section, &S::CodeRectangular, "Rectangular Data Matrix", {384, 156, 240, 20});
  AddCheckBox(section, &S::CodeGS1, "GS1 element strings", {384, 180, 240, 20});
  AddCheckBox(section, &S::CodeLightOnDark, "Light on dark (cut shows light)",
              {384, 204, 240, 20});
  auto* close = new QPushButton("Close", section);
  close->setObjectName("CodeClose");
  close->setToolTip("Close the code's fields; the code stays as set");
  close->setGeometry(544, 230, 80, 25);
  connect(close, &QPushButton::clicked, section, &QDialog::hide);

  auto* open = new QPushButton("Code...", page);
  open->setObjectName("CodeButton");
  open->setGeometry(680, 6, 81, 25);
  open->setToolTip("A Data Matrix or QR code cut after the text: its content, size and place");
  connect(open, &QPushButton::clicked, section, [section] {
    section->show();
    section->raise();
  });
}

}  // namespace stylor
