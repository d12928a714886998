#include "ui/qt/program_text_view.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

namespace stylor {
namespace {

const QColor kMarginGround(0xf0, 0xf2, 0xf5);
const QColor kMarginText(0x7a, 0x86, 0x93);
const QColor kLitLine(0xff, 0xe8, 0x9c);

}  // namespace

class ProgramTextView::Margin final : public QWidget {
 public:
  explicit Margin(ProgramTextView* view) : QWidget(view), m_view(view) {}
  QSize sizeHint() const override { return {m_view->MarginWidth(), 0}; }

 protected:
  void paintEvent(QPaintEvent* event) override { m_view->PaintMargin(event); }

 private:
  ProgramTextView* m_view;
};

ProgramTextView::ProgramTextView(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_margin = new Margin(this);
  connect(this, &QPlainTextEdit::blockCountChanged, this,
          [this] { setViewportMargins(MarginWidth(), 0, 0, 0); });
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
    if (dy != 0) m_margin->scroll(0, dy);
    else m_margin->update(0, rect.y(), m_margin->width(), rect.height());
  });
  setViewportMargins(MarginWidth(), 0, 0, 0);
}

void ProgramTextView::SetProgram(std::string_view program) {
  // One QString built at once: the view splits it into blocks faster than lines appended.
  QString text = QString::fromUtf8(program.data(), static_cast<qsizetype>(program.size()));
  text.remove(u'\r');
  if (text.endsWith(u'\n')) text.chop(1);
  m_lit = 0;
  setExtraSelections({});
  setPlainText(text);
}

int ProgramTextView::MarginWidth() const {
  int digits = 1;
  for (int count = std::max(1, blockCount()); count >= 10; count /= 10) ++digits;
  return 8 + fontMetrics().horizontalAdvance(u'9') * std::max(digits, 3);
}

void ProgramTextView::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  const QRect area = contentsRect();
  m_margin->setGeometry(area.left(), area.top(), MarginWidth(), area.height());
}

void ProgramTextView::PaintMargin(QPaintEvent* event) {
  QPainter painter(m_margin);
  painter.fillRect(event->rect(), kMarginGround);
  painter.setPen(kMarginText);
  QTextBlock block = firstVisibleBlock();
  int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
  const int right = m_margin->width() - 4;
  while (block.isValid() && top <= event->rect().bottom()) {
    const int height = qRound(blockBoundingRect(block).height());
    if (block.isVisible() && top + height >= event->rect().top()) {
      painter.drawText(0, top, right, fontMetrics().height(), Qt::AlignRight,
                       QString::number(block.blockNumber() + 1));
    }
    block = block.next();
    top += height;
  }
}

void ProgramTextView::LightLine(std::int64_t line) { Light(line, true); }

void ProgramTextView::Light(std::int64_t line, bool scroll) {
  if (line == m_lit) return;
  m_lit = line;
  QList<QTextEdit::ExtraSelection> lit;
  const QTextBlock block = document()->findBlockByNumber(static_cast<int>(line - 1));
  if (line > 0 && block.isValid()) {
    QTextEdit::ExtraSelection selection;
    selection.format.setBackground(kLitLine);
    selection.format.setProperty(QTextFormat::FullWidthSelection, true);
    selection.cursor = QTextCursor(block);
    lit.append(selection);
    if (scroll) {
      // Into sight without moving the user's selection.
      const int first = firstVisibleBlock().blockNumber();
      const int shown = std::max(1, viewport()->height() / std::max(1, fontMetrics().height()));
      const int at = block.blockNumber();
      if (at < first || at >= first + shown - 1) {
        verticalScrollBar()->setValue(std::max(0, at - shown / 2));
      }
    }
  }
  setExtraSelections(lit);
}

void ProgramTextView::mouseMoveEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseMoveEvent(event);
  const QTextCursor under = cursorForPosition(event->position().toPoint());
  const QRectF lineBox =
      blockBoundingGeometry(under.block()).translated(contentOffset());
  // Below the last line the cursor is the last line's: nothing is under the mouse there.
  const std::int64_t line =
      lineBox.contains(QPointF(lineBox.left() + 1, event->position().y())) ? under.blockNumber() + 1
                                                                            : 0;
  if (line == m_lit) return;
  Light(line, false);
  if (m_hovered) m_hovered(line);
}

void ProgramTextView::leaveEvent(QEvent* event) {
  QPlainTextEdit::leaveEvent(event);
  if (m_lit == 0) return;
  Light(0, false);
  if (m_hovered) m_hovered(0);
}

}  // namespace stylor
