#pragma once

#include <QPlainTextEdit>

#include <cstdint>
#include <functional>
#include <string_view>

namespace stylor {

/// The text of a program, read only, with the line numbers in a margin at its left. The line
/// under the mouse is lit and told to the listener; a line lit from outside (a stroke pointed at
/// in the preview) is scrolled into sight. A plain text view, so that a program of a million
/// lines stays quick to scroll.
class ProgramTextView final : public QPlainTextEdit {
 public:
  explicit ProgramTextView(QWidget* parent);

  /// Shows `program` (CR LF or LF line ends); the lit line goes.
  void SetProgram(std::string_view program);
  /// Lights line `line` (1 for the first; 0 none) and scrolls it into sight.
  void LightLine(std::int64_t line);
  /// The lit line, 0 for none.
  std::int64_t LitLine() const { return m_lit; }
  /// Called with the line under the mouse as it moves (0 when it leaves the text).
  void OnLineHovered(std::function<void(std::int64_t)> hovered) { m_hovered = std::move(hovered); }

  /// Width of the line-number margin for the lines shown.
  int MarginWidth() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  class Margin;
  void PaintMargin(QPaintEvent* event);
  void Light(std::int64_t line, bool scroll);

  Margin* m_margin = nullptr;
  std::int64_t m_lit = 0;
  std::function<void(std::int64_t)> m_hovered;
};

}  // namespace stylor
