#pragma once

#include <QWidget>

#include <functional>
#include <vector>

#include "settings/engrave_settings.h"
#include "ui/qt/program_units.h"

class QMenuBar;

namespace stylor {

class EngraveFormModel;

/// The "Cutting" section: how the strokes are cut (depth in passes, ramped entry, the order of
/// the rapids, laser beam switching and its extras, dots), one box per cutting field of the
/// model, lengths shown in the program unit.
class CuttingSection final : public QWidget {
 public:
  CuttingSection(EngraveFormModel& model, ProgramUnit unit, QWidget* parent);
  /// Shows the fields as the model holds them.
  void Refresh();

 private:
  EngraveFormModel& m_model;
  std::vector<std::function<void()>> m_shows;  // one per box: shows its field's value
};

/// Adds the menu "Cutting" with "Cutting Options...", which opens the section in a dialog with
/// the lengths in `unit()`: the window's one hook.
void AddCuttingMenu(QMenuBar* menuBar, EngraveFormModel& model, QWidget* parent,
                    std::function<ProgramUnit()> unit);

}  // namespace stylor
