#include "ui/qt/codes_section.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "settings/marking/marking_run.h"
#include "ui/model/engrave_form_model.h"

namespace stylor {
namespace {

using S = EngraveSettings;

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

// The table shows a counter file's columns less the period, which the file keeps for the reset
// rule and the table carries through unchanged.
std::vector<std::string> Cells(std::string_view line) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    cells.emplace_back(line.substr(start, comma == std::string_view::npos ? line.npos : comma - start));
    if (comma == std::string_view::npos) return cells;
    start = comma + 1;
  }
}

std::vector<std::string> FileLines(const std::vector<Counter>& counters) {
  const std::string bytes = FormatCounterFile(counters);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace

CodesSection::CodesSection(EngraveFormModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
  setObjectName("CodesSection");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  const auto edit = [&](const char* name, const char* caption, TextField field) {
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    box->setToolTip(ToQt(std::string(InfoOf(field).meaning)));
    connect(box, &QLineEdit::editingFinished, this, [this, box, field] {
      m_model.Run([&] { m_model.SetText(field, box->text().toStdString()); });
      Refresh();
    });
    form->addRow(caption, box);
    return box;
  };
  const auto check = [&](const char* name, const char* caption, StateField field) {
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(name);
    box->setToolTip(ToQt(std::string(InfoOf(field).meaning)));
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
      m_model.Run([&] { m_model.SetState(field, on); });
    });
    form->addRow(box);
    return box;
  };
  m_fill = check("FillPlaceholders", "Fill placeholders ({Date:FORMAT}, {Shift}, {Counter:NAME})",
                 &S::FillPlaceholders);
  m_shifts = edit("ShiftTable", "Shifts:", &S::ShiftTable);
  m_yearLetters = edit("YearLetterTable", "Year letters:", &S::YearLetterTable);
  m_utc = check("CodesInUtc", "Dates and shifts in UTC", &S::CodesInUtc);
  m_countersFile = edit("CountersFile", "Counter file:", &S::CountersFile);
  m_log = edit("ProductionLog", "Production log:", &S::ProductionLog);
  m_seqCounter = edit("SeqCounter", "Continue from counter:", &S::SeqCounter);
  layout->addLayout(form);

  m_file = new QLabel(this);
  m_file->setObjectName("CounterFileLabel");
  layout->addWidget(m_file);
  const std::vector<std::string> header = Cells(FileLines({}).front());
  m_counters = new QTableWidget(0, static_cast<int>(header.size()) - 1, this);
  m_counters->setObjectName("Counters");
  QStringList captions;
  for (std::size_t k = 0; k + 1 < header.size(); ++k) captions << ToQt(header[k]);
  m_counters->setHorizontalHeaderLabels(captions);
  m_counters->setToolTip(
      "Next: the value the next job takes. End empty: none. AtEnd: Stop or Wrap. Width: leading "
      "zeros. Base: 10, 16 or 36. Reset: Never, Day, Shift, Week, Month or Year. Check: None, "
      "Luhn or Mod37_36");
  layout->addWidget(m_counters);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* add = buttons->addButton("Add Counter", QDialogButtonBox::ActionRole);
  add->setObjectName("AddCounter");
  QPushButton* save = buttons->addButton("Save Counters", QDialogButtonBox::ApplyRole);
  save->setObjectName("SaveCounters");
  connect(add, &QPushButton::clicked, this, [this] { AddCounter(); });
  connect(save, &QPushButton::clicked, this, [this] { SaveCounters(); });
  layout->addWidget(buttons);
  Refresh();
}

void CodesSection::Refresh() {
  const EngraveSettings& s = m_model.Settings();
  const QSignalBlocker blockFill(m_fill), blockUtc(m_utc);
  m_fill->setChecked(s.FillPlaceholders);
  m_utc->setChecked(s.CodesInUtc);
  m_shifts->setText(ToQt(s.ShiftTable));
  m_yearLetters->setText(ToQt(s.YearLetterTable));
  m_countersFile->setText(ToQt(s.CountersFile));
  m_log->setText(ToQt(s.ProductionLog));
  m_seqCounter->setText(ToQt(s.SeqCounter));
  m_counters->setRowCount(0);
  m_model.Run([&] {
    const MarkingSetup setup = m_model.Marking();
    m_file->setText("Counters of " + ToQt(setup.counterPath) + ":");
    const std::vector<std::string> lines = FileLines(LoadCounters(setup));
    for (std::size_t row = 1; row < lines.size(); ++row) {
      const std::vector<std::string> cells = Cells(lines[row]);
      m_counters->insertRow(m_counters->rowCount());
      for (std::size_t k = 0; k < cells.size(); ++k) {
        auto* item = new QTableWidgetItem(ToQt(cells[k]));
        // The period stays with the name's cell, out of sight.
        if (k == 0) item->setData(Qt::UserRole, ToQt(cells.back()));
        if (k + 1 < cells.size()) m_counters->setItem(m_counters->rowCount() - 1, static_cast<int>(k), item);
        else delete item;
      }
    }
  });
}

void CodesSection::AddCounter() {
  const int row = m_counters->rowCount();
  m_counters->insertRow(row);
  const std::vector<std::string> cells = Cells(FileLines({NewCounter("SN", 1)}).back());
  for (int k = 0; k < m_counters->columnCount(); ++k) {
    m_counters->setItem(row, k, new QTableWidgetItem(ToQt(cells[static_cast<std::size_t>(k)])));
  }
}

void CodesSection::SaveCounters() {
  m_model.Run([&] {
    std::string bytes = FileLines({}).front() + "\r\n";
    for (int row = 0; row < m_counters->rowCount(); ++row) {
      for (int k = 0; k < m_counters->columnCount(); ++k) {
        const QTableWidgetItem* item = m_counters->item(row, k);
        bytes += (item ? item->text().trimmed().toStdString() : std::string()) + ",";
      }
      const QTableWidgetItem* name = m_counters->item(row, 0);
      bytes += (name ? name->data(Qt::UserRole).toString().toStdString() : std::string()) + "\r\n";
    }
    // The table is read by the counter file's own rules, so its messages name the row as a line.
    stylor::SaveCounters(m_model.Marking(), ParseCounterFile(bytes, "the table of counters"));
  });
  Refresh();
}

void AddCodesMenu(QMenuBar* menuBar, EngraveFormModel& model, QWidget* parent) {
  QMenu* codes = menuBar->addMenu("&Codes");
  QAction* open = codes->addAction("Marking &Codes...", parent, [&model, parent] {
    QDialog dialog(parent);
    dialog.setWindowTitle("Marking Codes");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new CodesSection(model, &dialog));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(close, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(close);
    dialog.resize(760, 480);
    dialog.exec();
  });
  open->setObjectName("CodesAction");
  open->setToolTip("Dates, shifts, counters and the production log of the placeholders");
}

}  // namespace stylor
