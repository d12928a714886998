#pragma once

#include <QLabel>
#include <QWidget>

#include <functional>

class QToolButton;

namespace stylor {

/// A pair of arrow buttons that moves a position within [minimum, maximum] by one a click and
/// reports every move; the position stays where it is at either end.
class UpDown final : public QWidget {
 public:
  /// Starts at `minimum`.
  UpDown(int minimum, int maximum, QWidget* parent);
  /// Called with the new position after each click that moved it.
  void OnMoved(std::function<void(int)> moved) { m_moved = std::move(moved); }
  /// Where the arrows have moved the position so far.
  int Position() const { return m_position; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Step(int delta);

  int m_minimum;
  int m_maximum;
  int m_position;
  std::function<void(int)> m_moved;
  QToolButton* m_up;
  QToolButton* m_down;
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
