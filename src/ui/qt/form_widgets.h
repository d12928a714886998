#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <functional>

class QToolButton;

namespace stylor {

/// A pair of arrow buttons that moves a position within [minimum, maximum] and reports every
/// move; the position stays where it is at either end. It takes focus, and Up, Down, Page Up,
/// Page Down and the wheel move it as the arrows do.
class UpDown final : public QWidget {
 public:
  /// Moves by this much for Page Up and Page Down.
  static constexpr int kPageStep = 5;

  /// Starts at `minimum`.
  UpDown(int minimum, int maximum, QWidget* parent);
  /// Called with the new position after each step that moved it.
  void OnMoved(std::function<void(int)> moved) { m_moved = std::move(moved); }
  /// Where the position is.
  int Position() const { return m_position; }
  /// Puts the position at `position` (clamped to the range) without reporting it: the edit the
  /// arrows belong to shows a new value.
  void SetPosition(int position);
  /// Steps by `delta` and reports the move.
  void Step(int delta);
  /// Handles Up, Down, Page Up and Page Down; false for any other key.
  bool StepForKey(int key);
  /// Lets the keys and the wheel step the position while `edit`, the box it belongs to, has the
  /// focus or the cursor.
  void Attach(QWidget* edit);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  int m_minimum;
  int m_maximum;
  int m_position;
  int m_wheelDelta = 0;
  std::function<void(int)> m_moved;
  QToolButton* m_up;
  QToolButton* m_down;
};

/// A line edit that shows a unit after its text ("mm", "mm/min", "°"), faint and out of the way
/// of the text, which stays exactly what the user typed.
class UnitEdit final : public QLineEdit {
 public:
  explicit UnitEdit(QWidget* parent);
  /// The unit shown; empty for none.
  void SetSuffix(const QString& suffix);
  const QString& Suffix() const { return m_suffix; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_suffix;
};

/// A label that runs an action when clicked with the left button, shown as a link.
class LinkLabel final : public QLabel {
 public:
  /// An empty label with the pointing-hand cursor.
  explicit LinkLabel(QWidget* parent);
  /// The action of a click.
  void OnClicked(std::function<void()> clicked) { m_clicked = std::move(clicked); }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::function<void()> m_clicked;
};

/// An ellipse with its four justification points marked A (left), B (top), C (right) and
/// D (bottom).
class EllipseDiagram final : public QWidget {
 public:
  /// Drawn in the palette's text and highlight colours.
  explicit EllipseDiagram(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace stylor
