#include "ui/qt/form_widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

#include <algorithm>

namespace stylor {

UpDown::UpDown(int minimum, int maximum, QWidget* parent)
    : QWidget(parent),
      m_minimum(minimum),
      m_maximum(maximum),
      m_position(minimum),
      m_up(new QToolButton(this)),
      m_down(new QToolButton(this)) {
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

void UpDown::Step(int delta) {
  const int position = std::clamp(m_position + delta, m_minimum, m_maximum);
  if (position == m_position) return;
  m_position = position;
  if (m_moved) m_moved(m_position);
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
