#include "ui/qt/preview_view.h"

#include <QHelpEvent>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
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

// How near the cursor must be to a stroke, in pixels, for the stroke's tooltip.
constexpr double kStrokeReach = 5;
// How many lines back the tooltip looks for the words in effect on a line: a modal word set
// further back is not told.
constexpr int kLinesLookedBack = 20000;

double DistanceToSegment(QPointF p, QPointF a, QPointF b) {
  const QPointF ab = b - a;
  const double squared = QPointF::dotProduct(ab, ab);
  const double t =
      squared > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / squared, 0.0, 1.0) : 0.0;
  return QLineF(p, a + ab * t).length();
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The word of `letter` on a program line as written ("F25.00"), comments left out; empty when
// the line has none.
std::string_view WordOn(std::string_view line, char letter) {
  int comment = 0;
  for (std::size_t k = 0; k < line.size(); ++k) {
    const char c = line[k];
    if (c == '(') ++comment;
    if (c == ')' && comment > 0) --comment;
    if (c == ';') return {};
    if (comment > 0 || Upper(c) != letter) continue;
    std::size_t end = k + 1;
    while (end < line.size() && line[end] == ' ') ++end;
    const std::size_t number = end;
    while (end < line.size() &&
           (line[end] == '-' || line[end] == '+' || line[end] == '.' ||
            (line[end] >= '0' && line[end] <= '9'))) {
      ++end;
    }
    if (end > number) return line.substr(k, end - k);
  }
  return {};
}

// Line `line` (1 for the first) of `program` and where it starts; nothing past the end.
std::optional<std::pair<std::string_view, std::size_t>> LineOf(std::string_view program,
                                                                std::int64_t line) {
  std::size_t start = 0;
  for (std::int64_t k = 1; k < line; ++k) {
    const std::size_t end = program.find('\n', start);
    if (end == std::string_view::npos) return std::nullopt;
    start = end + 1;
  }
  if (start >= program.size() && line > 1) return std::nullopt;
  std::size_t end = program.find('\n', start);
  if (end == std::string_view::npos) end = program.size();
  std::string_view text = program.substr(start, end - start);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return std::pair{text, start};
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString DescribeSegment(const PreviewSegment& segment, std::string_view program,
                        const MarkLetters& letters, std::string_view item) {
  QStringList lines;
  switch (segment.kind) {
    case SegmentKind::Plunge: lines << "Plunge (dot): the tool goes down here"; break;
    case SegmentKind::Cut: lines << "Cut (solid line): the tool cuts along here"; break;
    case SegmentKind::Rapid: lines << "Rapid (dashed line): the tool moves above the work"; break;
  }
  if (!item.empty()) lines << "Shown: " + FromUtf8(item);
  const auto found = segment.line > 0 ? LineOf(program, segment.line) : std::nullopt;
  if (!found) {
    if (segment.line > 0) lines << QString("Program line %1").arg(segment.line);
    return lines.join('\n');
  }
  const auto [text, start] = *found;
  lines << QString("Program line %1: ").arg(segment.line) + FromUtf8(text);

  // The words in effect after the line: its own, else the last ones written before it.
  const char wanted[] = {Upper(letters.axis1), Upper(letters.axis2), Upper(letters.plunge), 'F'};
  std::string_view words[std::size(wanted)];
  std::string_view line = text;
  std::size_t lineStart = start;
  for (int back = 0; back <= kLinesLookedBack; ++back) {
    bool all = true;
    for (std::size_t w = 0; w < std::size(wanted); ++w) {
      if (words[w].empty()) words[w] = WordOn(line, wanted[w]);
      all = all && !words[w].empty();
    }
    if (all || lineStart == 0) break;
    const std::size_t end = lineStart - 1;  // the line end of the line before
    const std::size_t before = end == 0 ? std::string_view::npos : program.rfind('\n', end - 1);
    lineStart = before == std::string_view::npos ? 0 : before + 1;
    line = program.substr(lineStart, end - lineStart);
  }
  QString place = segment.kind == SegmentKind::Plunge ? "At" : "To";
  for (std::size_t w = 0; w < 2; ++w) {
    if (!words[w].empty()) place += ' ' + FromUtf8(words[w]);
  }
  if (!words[2].empty()) place += ", depth " + FromUtf8(words[2]);
  lines << place;
  if (segment.kind == SegmentKind::Rapid) {
    // A rapid runs at the machine's rapid rate; a positioning feed move says its own F.
    if (!WordOn(text, 'F').empty()) lines << "Feed " + FromUtf8(WordOn(text, 'F'));
  } else if (!words[3].empty()) {
    lines << "Feed " + FromUtf8(words[3]);
  }
  return lines.join('\n');
}

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
  // A plunge dot before the stroke it starts; the nearest stroke otherwise.
  const PreviewSegment* nearest = nullptr;
  double reach = kMarkReach;
  for (const PreviewSegment& segment : m_scene.segments) {
    if (segment.kind != SegmentKind::Plunge) continue;
    const double distance = QLineF(m_viewport.ToPixel(segment.from), pixel).length();
    if (distance <= reach) {
      reach = distance;
      nearest = &segment;
    }
  }
  reach = kStrokeReach;
  for (const PreviewSegment& segment : m_scene.segments) {
    if (nearest != nullptr && nearest->kind == SegmentKind::Plunge) break;
    if (segment.kind == SegmentKind::Plunge) continue;
    if (segment.kind == SegmentKind::Rapid && !m_options.rapids) continue;
    const double distance = DistanceToSegment(pixel, m_viewport.ToPixel(segment.from),
                                              m_viewport.ToPixel(segment.to));
    if (distance <= reach) {
      reach = distance;
      nearest = &segment;
    }
  }
  if (nearest == nullptr) return kLookAround;
  const std::string_view program =
      !m_scene.program.empty() || !m_programText ? std::string_view(m_scene.program)
                                                 : m_programText();
  return DescribeSegment(*nearest, program,
                         {m_scene.axis1, m_scene.axis2, m_plungeLetter}, m_scene.note);
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
