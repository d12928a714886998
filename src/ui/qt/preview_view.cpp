#include "ui/qt/preview_view.h"

#include <QHelpEvent>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace stylor {
namespace {

constexpr double kZoomPerNotch = 1.25;
// Zoom limits against the fitted scale: far enough to read a letter on a large arc, near enough
// that pixel positions stay well inside what the painter handles.
constexpr double kMinZoom = 1.0 / 50;
constexpr double kMaxZoom = 1e5;
constexpr int kWheelNotch = 120;

const QColor kFrame(0xa9, 0xb4, 0xc0);
// How near the cursor must be to a mark, in pixels, for the mark's tooltip.
constexpr double kMarkReach = 9;
const QString kLookAround = QStringLiteral("Wheel: zoom, drag: pan, double click: fit");

bool Near(const PreviewViewport& viewport, Point2 mark, QPointF pixel) {
  return QLineF(viewport.ToPixel(mark), pixel).length() <= kMarkReach;
}

}  // namespace

PreviewView::PreviewView(QWidget* parent) : QWidget(parent) {
  setCursor(Qt::OpenHandCursor);
  setToolTip(kLookAround);
}

void PreviewView::SetRapidsShown(bool shown) {
  m_options.rapids = shown;
  update();
}

void PreviewView::SetUnit(const QString& unit) {
  m_options.unit = unit;
  update();
}

QString PreviewView::ToolTipAt(QPointF pixel) const {
  if (m_scene.marker && Near(m_viewport, m_scene.marker->at, pixel)) {
    return m_scene.marker->kind == MarkerKind::Centre
               ? "Centre (blue cross): the centre of the circle or the ellipse"
               : "Start point (blue cross): the Axis 1 and Axis 2 start values, where the text "
                 "is placed";
  }
  if (m_scene.programStart && Near(m_viewport, *m_scene.programStart, pixel)) {
    return "Program start (green ring): the first point the program moves to";
  }
  return kLookAround;
}

bool PreviewView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), ToolTipAt(help->pos()), this);
    return true;
  }
  return QWidget::event(event);
}

QRectF PreviewView::DrawingArea() const { return QRectF(rect()).adjusted(1, 1, -1, -1); }

void PreviewView::SetScene(PreviewScene scene, bool refit) {
  m_scene = std::move(scene);
  const PreviewViewport fitted = FitScene(m_scene, DrawingArea());
  m_fitScale = fitted.scale;
  if (refit) m_followsScene = true;
  if (m_followsScene) m_viewport = fitted;
  update();
}

void PreviewView::FitToView() {
  m_followsScene = true;
  m_viewport = FitScene(m_scene, DrawingArea());
  m_fitScale = m_viewport.scale;
  update();
}

void PreviewView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(kFrame);
  painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
  PaintScene(painter, DrawingArea(), m_scene, m_viewport, m_options);
}

void PreviewView::resizeEvent(QResizeEvent* /*event*/) {
  if (m_followsScene) FitToView();
}

void PreviewView::wheelEvent(QWheelEvent* event) {
  const double notches = static_cast<double>(event->angleDelta().y()) / kWheelNotch;
  if (notches == 0) {
    event->ignore();
    return;
  }
  const double scale = std::clamp(m_viewport.scale * std::pow(kZoomPerNotch, notches),
                                  m_fitScale * kMinZoom, m_fitScale * kMaxZoom);
  // The plane point under the cursor stays under it.
  const QPointF cursor = event->position();
  m_viewport.origin = cursor - (cursor - m_viewport.origin) * (scale / m_viewport.scale);
  m_viewport.scale = scale;
  m_followsScene = false;
  event->accept();
  update();
}

void PreviewView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton && event->button() != Qt::MiddleButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  m_dragging = true;
  m_dragFrom = event->position();
  setCursor(Qt::ClosedHandCursor);
}

void PreviewView::mouseMoveEvent(QMouseEvent* event) {
  if (!m_dragging) return;
  const QPointF delta = event->position() - m_dragFrom;
  if (delta.isNull()) return;
  m_viewport.origin += delta;
  m_dragFrom = event->position();
  m_followsScene = false;
  update();
}

void PreviewView::mouseReleaseEvent(QMouseEvent* event) {
  if (!m_dragging) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  m_dragging = false;
  setCursor(Qt::OpenHandCursor);
}

void PreviewView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FitToView();
}

}  // namespace stylor
