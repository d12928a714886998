#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QTableWidget;

namespace stylor {

class EngraveFormModel;

/// The "Codes" section: the Fill placeholders switch, the shift table, the year letters, the time
/// zone, the counter file and the production log (fields of the model), and the counters of the
/// counter file (name, next value and rules), edited in a table and saved under the file's lock.
class CodesSection final : public QWidget {
 public:
  CodesSection(EngraveFormModel& model, QWidget* parent);
  /// Shows the fields as the model holds them and the counters as the counter file holds them.
  void Refresh();
  /// Writes the table to the counter file; a counter that cannot count is refused by name and
  /// nothing is written.
  void SaveCounters();
  /// Adds an empty row for a new counter.
  void AddCounter();

 private:
  EngraveFormModel& m_model;
  QCheckBox* m_fill;
  QCheckBox* m_utc;
  QLineEdit* m_shifts;
  QLineEdit* m_yearLetters;
  QLineEdit* m_countersFile;
  QLineEdit* m_log;
  QLineEdit* m_seqCounter;
  QTableWidget* m_counters;
  QLabel* m_file;
};

/// Adds the menu "Codes" with "Marking Codes...", which opens the section in a dialog: the
/// window's one hook.
void AddCodesMenu(QMenuBar* menuBar, EngraveFormModel& model, QWidget* parent);

}  // namespace stylor
