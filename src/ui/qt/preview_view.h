#pragma once

#include <QPoint>
#include <QWidget>

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
  /// What the mark under `pixel` stands for (the start point, the centre, the program's start),
  /// or how to look around when no mark is there.
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
};

}  // namespace stylor
