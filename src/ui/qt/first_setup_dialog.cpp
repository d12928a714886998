#include "ui/qt/first_setup_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace stylor {
namespace {

QString ToQt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

FirstSetupDialog::FirstSetupDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("FirstSetupDialog");
  setWindowTitle("Machine Set-up");
  auto* intro = new QLabel(
      "Stylor writes the start and the end of every program from the four G-code blocks of the "
      "Machine page, and they are empty. Choose your machine, and Stylor fills them with a "
      "start (unit, absolute positions, tool, spindle) and an end (spindle stop, program end) "
      "and keeps them in default.mch. Read them on the Machine page before the first run.");
  intro->setWordWrap(true);

  m_unit = new QComboBox;
  m_unit->setObjectName("SetupUnit");
  m_unit->addItems({"Millimetres (G21)", "Inches (G20)"});
  m_unit->setToolTip("The unit of your programs: it also names lengths and feeds in the window");
  m_kind = new QComboBox;
  m_kind->setObjectName("SetupMachine");
  for (const MachineKind& kind : kMachineKinds) m_kind->addItem(ToQt(kind.caption));
  m_kind->setToolTip("A lathe with a mill also selects its mode and axes");
  m_control = new QComboBox;
  m_control->setObjectName("SetupControl");
  m_control->setToolTip("The control of a mill; a lathe with a mill has the maker's control");

  auto* form = new QFormLayout;
  form->addRow("&Unit:", m_unit);
  form->addRow("&Machine:", m_kind);
  form->addRow("&Control:", m_control);

  auto* buttons = new QDialogButtonBox;
  QPushButton* fill = buttons->addButton("&Fill the Blocks", QDialogButtonBox::AcceptRole);
  fill->setObjectName("SetupFill");
  fill->setDefault(true);
  buttons->addButton("&Not Now", QDialogButtonBox::RejectRole)->setObjectName("SetupSkip");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addLayout(form);
  layout->addWidget(buttons);
  setMinimumWidth(460);

  KindChanged();
  connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { KindChanged(); });
  connect(m_control, &QComboBox::activated, this, [this](int index) { m_millControl = index; });
}

void FirstSetupDialog::KindChanged() {
  FirstSetup setup = Chosen();
  const bool mill = kMachineKinds[setup.kind].latheMillMode == 0;
  if (m_control->isEnabled() && m_control->count() > 1) m_millControl = m_control->currentIndex();
  m_control->clear();
  if (mill) {
    for (std::string_view control : kMillControls) m_control->addItem(ToQt(control));
    m_control->setCurrentIndex(m_millControl);
  } else {
    m_control->addItem(ControlOf(setup) == Control::Okuma ? "Okuma" : "Mazak");
  }
  m_control->setEnabled(mill);
}

FirstSetup FirstSetupDialog::Chosen() const {
  FirstSetup setup;
  setup.unit = m_unit->currentIndex() == 1 ? SetupUnit::Inches : SetupUnit::Millimetres;
  setup.kind = static_cast<std::size_t>(std::max(0, m_kind->currentIndex()));
  setup.control = m_control->isEnabled() && m_control->currentIndex() == 1 ? Control::Iso
                                                                             : Control::LinuxCnc;
  return setup;
}

}  // namespace stylor
