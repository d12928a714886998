#include "ui/qt/cutting_section.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGridLayout>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include <cassert>

#include "ui/model/engrave_form_model.h"
#include "ui/qt/form_widgets.h"

namespace stylor {
namespace {

using S = EngraveSettings;

QString ToQt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The tooltip of a field: what it does, and for a choice what each item does.
QString Tip(const FieldInfo& info) {
  QString tip = ToQt(info.meaning);
  for (std::size_t k = 0; k < info.items.size() && k < info.itemMeanings.size(); ++k) {
    tip += "\n" + ToQt(info.items[k]) + ": " + ToQt(info.itemMeanings[k]);
  }
  tip += "\n(" + ToQt(info.name) + ")";
  return tip;
}

}  // namespace

CuttingSection::CuttingSection(EngraveFormModel& model, ProgramUnit unit, QWidget* parent)
    : QWidget(parent), m_model(model) {
  setObjectName("CuttingSection");
  auto* layout = new QGridLayout(this);
  const auto group = [&](const char* name, const char* caption, int row, int column) {
    auto* box = new QGroupBox(caption, this);
    box->setObjectName(name);
    auto* form = new QFormLayout(box);
    layout->addWidget(box, row, column);
    return form;
  };
  const auto edit = [&](QFormLayout* form, const char* caption, TextField field) {
    const FieldInfo& info = InfoOf(field);
    auto* box = new UnitEdit(this);
    box->setObjectName(ToQt(info.name));
    box->setToolTip(Tip(info));
    if (info.unit == "length") box->SetSuffix(LengthSuffix(unit));
    connect(box, &QLineEdit::editingFinished, this, [this, box, field] {
      if (box->text().toStdString() == m_model.Settings().*field) return;
      m_model.Run([&] { m_model.SetText(field, box->text().toStdString()); });
      Refresh();
    });
    m_shows.push_back([this, box, field] { box->setText(QString::fromStdString(m_model.Settings().*field)); });
    form->addRow(caption, box);
  };
  const auto check = [&](QFormLayout* form, const char* caption, StateField field) {
    const FieldInfo& info = InfoOf(field);
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(ToQt(info.name));
    box->setToolTip(Tip(info));
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
      m_model.Run([&] { m_model.SetState(field, on); });
    });
    m_shows.push_back([this, box, field] {
      const QSignalBlocker block(box);
      box->setChecked(m_model.Settings().*field);
    });
    form->addRow(box);
  };
  const auto choice = [&](QFormLayout* form, const char* caption, IndexField field,
                          std::initializer_list<const char*> items) {
    const FieldInfo& info = InfoOf(field);
    auto* box = new QComboBox(this);
    box->setObjectName(ToQt(info.name));
    box->setToolTip(Tip(info));
    // The window's words for the items of the field table, in its order.
    assert(items.size() == info.items.size());
    for (const char* item : items) box->addItem(item);
    connect(box, &QComboBox::currentIndexChanged, this, [this, field](int index) {
      m_model.Run([&] { m_model.SetIndex(field, index); });
    });
    m_shows.push_back([this, box, field] {
      const QSignalBlocker block(box);
      box->setCurrentIndex(m_model.Settings().*field);
    });
    form->addRow(caption, box);
  };

  QFormLayout* depth = group("DepthGroup", "Deep Text", 0, 0);
  edit(depth, "Depth per pass:", &S::DepthPerPassE);
  check(depth, "Spring pass (once more at full depth)", &S::SpringPass);
  edit(depth, "Ramp in over:", &S::RampLengthE);

  QFormLayout* travel = group("TravelGroup", "Rapids", 1, 0);
  choice(travel, "Cut order:", &S::TravelOrder,
         {"As the font draws", "Shortest in each character", "Shortest in each line",
          "Shortest over the whole job"});

  QFormLayout* laser = group("LaserGroup", "Laser / Diode", 0, 1);
  choice(laser, "Beam:", &S::LaserMode,
         {"Off (Z moves the tool)", "M3, M5 off (constant power)", "M4, S0 off (dynamic power)"});
  edit(laser, "Power (S):", &S::LaserPowerE);
  edit(laser, "Passes:", &S::LaserPassesE);
  edit(laser, "Z step per pass:", &S::LaserZStepE);
  edit(laser, "Lead-in:", &S::LaserLeadInE);
  choice(laser, "Air assist:", &S::AirAssist, {"Off", "M7 on, M9 off", "M8 on, M9 off"});

  QFormLayout* dots = group("DotGroup", "Dot Peen / Scribe", 1, 1);
  edit(dots, "Dot pitch:", &S::DotPitchE);
  choice(dots, "Each dot by:", &S::DotStyle,
         {"Plunge and dwell", "Drill cycle G81/G82", "Pin M codes"});
  edit(dots, "Dwell (s):", &S::DotDwellE);
  edit(dots, "Pin on, off:", &S::DotCodesE);
  Refresh();
}

void CuttingSection::Refresh() {
  for (const std::function<void()>& show : m_shows) show();
}

void AddCuttingMenu(QMenuBar* menuBar, EngraveFormModel& model, QWidget* parent,
                    std::function<ProgramUnit()> unit) {
  QMenu* cutting = menuBar->addMenu("C&utting");
  QAction* open = cutting->addAction("Cutting &Options...", parent, [&model, parent, unit] {
    QDialog dialog(parent);
    dialog.setWindowTitle("Cutting Options");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new CuttingSection(model, unit(), &dialog));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(close, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(close);
    dialog.exec();
  });
  open->setObjectName("CuttingAction");
  open->setToolTip("Depth in passes, ramped entry, the order of the rapids, laser and dots");
}

}  // namespace stylor
