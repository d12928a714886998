#include "ui/qt/form_widgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

namespace stylor {

UpDown::UpDown(int minimum, int maximum, QWidget* parent)
    : QWidget(parent),
      m_minimum(minimum),
      m_maximum(maximum),
      m_position(minimum),
      m_up(new QToolButton(this)),
      m_down(new QToolButton(this)) {
  setFocusPolicy(Qt::StrongFocus);
  for (QToolButton* button : {m_up, m_down}) {
    button->setArrowType(button == m_up ? Qt::UpArrow : Qt::DownArrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
  }
  connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
  connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDown::resizeEvent(QResizeEvent* /*event*/) {
  const int upper = height() / 2;
  m_up->setGeometry(0, 0, width(), upper);
  m_down->setGeometry(0, upper, width(), height() - upper);
}

void UpDown::SetPosition(int position) {
  m_position = std::clamp(position, m_minimum, m_maximum);
}

void UpDown::Step(int delta) {
  const int position = std::clamp(m_position + delta, m_minimum, m_maximum);
  if (position == m_position) return;
  m_position = position;
  if (m_moved) m_moved(m_position);
}

bool UpDown::StepForKey(int key) {
  switch (key) {
    case Qt::Key_Up: Step(1); return true;
    case Qt::Key_Down: Step(-1); return true;
    case Qt::Key_PageUp: Step(kPageStep); return true;
    case Qt::Key_PageDown: Step(-kPageStep); return true;
    default: return false;
  }
}

void UpDown::Attach(QWidget* edit) { edit->installEventFilter(this); }

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      return StepForKey(key->key());
    }
  } else if (event->type() == QEvent::Wheel) {
    wheelEvent(static_cast<QWheelEvent*>(event));
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void UpDown::keyPressEvent(QKeyEvent* event) {
  if (!StepForKey(event->key())) QWidget::keyPressEvent(event);
}

void UpDown::wheelEvent(QWheelEvent* event) {
  // One step a notch; a touchpad's small deltas add up to a notch first.
  constexpr int kNotch = 120;
  m_wheelDelta += event->angleDelta().y();
  const int steps = m_wheelDelta / kNotch;
  m_wheelDelta -= steps * kNotch;
  if (steps != 0) Step(steps);
  event->accept();
}

UnitEdit::UnitEdit(QWidget* parent) : QLineEdit(parent) {}

void UnitEdit::SetSuffix(const QString& suffix) {
  if (suffix == m_suffix) return;
  m_suffix = suffix;
  const int room = suffix.isEmpty() ? 0 : fontMetrics().horizontalAdvance(suffix) + 4;
  setTextMargins(0, 0, room, 0);
  update();
}

void UnitEdit::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  if (m_suffix.isEmpty()) return;
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::PlaceholderText));
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  painter.drawText(rect().adjusted(0, 0, -frame - 3, 0), Qt::AlignRight | Qt::AlignVCenter,
                   m_suffix);
}

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) { setCursor(Qt::PointingHandCursor); }

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
      m_clicked) {
    m_clicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

EllipseDiagram::EllipseDiagram(QWidget* parent) : QWidget(parent) {}

void EllipseDiagram::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF area = rect();
  // Room around the ellipse for a letter at each of its four points.
  constexpr qreal kLetterRoom = 24;
  const QRectF ellipse = area.adjusted(kLetterRoom, kLetterRoom, -kLetterRoom, -kLetterRoom);
  const QColor ink = palette().color(QPalette::WindowText);
  const QColor mark = palette().color(QPalette::Highlight);

  painter.setPen(QPen(ink, 2));
  painter.setBrush(palette().color(QPalette::Base));
  painter.drawEllipse(ellipse);

  const QPointF center = ellipse.center();
  const QPointF points[] = {{ellipse.left(), center.y()},
                            {center.x(), ellipse.top()},
                            {ellipse.right(), center.y()},
                            {center.x(), ellipse.bottom()}};
  painter.setPen(Qt::NoPen);
  painter.setBrush(mark);
  for (const QPointF& point : points) painter.drawEllipse(point, 3.5, 3.5);

  QFont letters = font();
  letters.setBold(true);
  letters.setPixelSize(18);
  painter.setFont(letters);
  painter.setPen(ink);
  const qreal half = kLetterRoom / 2;
  const QRectF boxes[] = {
      {area.left(), center.y() - half, kLetterRoom, kLetterRoom},
      {center.x() - half, area.top(), kLetterRoom, kLetterRoom},
      {area.right() - kLetterRoom, center.y() - half, kLetterRoom, kLetterRoom},
      {center.x() - half, area.bottom() - kLetterRoom, kLetterRoom, kLetterRoom},
  };
  const char* names[] = {"A", "B", "C", "D"};
  for (int i = 0; i < 4; ++i) painter.drawText(boxes[i], Qt::AlignCenter, names[i]);
}

}  // namespace stylor
