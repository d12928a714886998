#pragma once

#include <QPoint>
#include <QWidget>

#include <functional>
#include <string_view>

#include "preview/preview_scene.h"
#include "ui/qt/preview_painting.h"

namespace stylor {

/// Draws a preview scene and lets the user look around it: the wheel zooms about the cursor, a
/// drag with the left or middle button pans, a double click fits the drawing to the view. While
/// the user has not zoomed or panned, every new scene is fitted; after that the view stays where
/// the user put it until FitToView.
class PreviewView final : public QWidget {
 public:
  explicit PreviewView(QWidget* parent);

  /// Shows `scene`, fitted when the view follows the scene or when `refit` asks for it.
  void SetScene(PreviewScene scene, bool refit);
  /// The scene drawn.
  const PreviewScene& Scene() const { return m_scene; }
  /// Fits the whole scene to the view and follows new scenes again.
  void FitToView();
  /// False once the user has zoomed or panned since the last fit.
  bool FollowsScene() const { return m_followsScene; }
  /// Where the plane lies on the view.
  const PreviewViewport& Viewport() const { return m_viewport; }
  /// Shows or hides the rapid moves.
  void SetRapidsShown(bool shown);
  bool RapidsShown() const { return m_options.rapids; }
  /// The unit after the scale bar's length.
  void SetUnit(const QString& unit);
  /// The letter of the plunge axis, whose word the tooltips give as the depth.
  void SetPlungeLetter(char letter) { m_plungeLetter = letter; }
  /// Where the tooltips read the program's lines when the scene does not hold its text (a
  /// program file): called only when a stroke is pointed at.
  void OnProgramText(std::function<std::string_view()> text) { m_programText = std::move(text); }
  /// What the mark under `pixel` stands for (the start point, the centre, the program's start,
  /// a plunge dot, a stroke), or how to look around when no mark is there.
  QString ToolTipAt(QPointF pixel) const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QRectF DrawingArea() const;

  PreviewScene m_scene;
  PreviewViewport m_viewport;
  PaintOptions m_options;
  double m_fitScale = 1;
  bool m_followsScene = true;
  bool m_dragging = false;
  QPointF m_dragFrom;
  char m_plungeLetter = 'Z';
  std::function<std::string_view()> m_programText;
};

/// The words in effect on one program line, as a tooltip tells them.
struct MarkLetters {
  char axis1 = 'X';
  char axis2 = 'Y';
  char plunge = 'Z';
};

/// What a plunge dot or a stroke of the drawing stands for: its kind, the item the picture
/// shows (`item`, "2 of 11 numbers"; empty for none), its program line with that line's text,
/// the plane position and the plunge axis word in effect after the line (the depth), and the
/// feed in effect, all as the program writes them. `program` is the text the segment was read
/// from (empty: only the line number is told).
QString DescribeSegment(const PreviewSegment& segment, std::string_view program,
                        const MarkLetters& letters, std::string_view item);

}  // namespace stylor
