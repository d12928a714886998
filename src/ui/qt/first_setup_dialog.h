#pragma once

#include <QDialog>

#include "ui/model/first_setup.h"

class QComboBox;

namespace stylor {

/// The short set-up of a first start: the unit, the kind of machine and, for a mill, its
/// control. The window fills the four G-code blocks from the answer.
class FirstSetupDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit FirstSetupDialog(QWidget* parent = nullptr);
  /// The set-up as the boxes show it.
  FirstSetup Chosen() const;

 private:
  void KindChanged();

  QComboBox* m_unit = nullptr;
  QComboBox* m_kind = nullptr;
  QComboBox* m_control = nullptr;
  int m_millControl = 0;  // the mill's control, kept while a lathe is shown
};

}  // namespace stylor
