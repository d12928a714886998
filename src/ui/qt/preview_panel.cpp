#include "ui/qt/preview_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QCoreApplication>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

#include "preview/palette.h"
#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "ui/model/engrave_form_model.h"
#include "ui/qt/preview_view.h"
#include "ui/qt/program_text_view.h"

namespace stylor {
namespace {

constexpr int kMargin = 8;
constexpr int kButtonHeight = 25;
constexpr int kStatsHeight = 165;
constexpr int kMinViewSide = 160;
// The statistics take two columns of name and value from this width on.
constexpr int kTwoColumnWidth = 380;
// How near the pointer must come to a stroke, in pixels, to light its program line.
constexpr double kStrokeReach = 5;
const QColor kLitStroke(0xff, 0x8f, 0x00);

// The distance from `p` to the segment from `a` to `b`.
double DistanceToSegment(QPointF p, QPointF a, QPointF b) {
  const QPointF ab = b - a;
  const double squared = QPointF::dotProduct(ab, ab);
  double t = squared > 0 ? QPointF::dotProduct(p - a, ab) / squared : 0;
  t = std::clamp(t, 0.0, 1.0);
  return QLineF(p, a + ab * t).length();
}

// The marks of the drawing in their colours, as PaintScene draws them; a mark and its name
// never part at a line break.
QString Legend() {
  const auto mark = [](Rgb colour, const char* glyph, const char* name) {
    return "<span style=\"color:" + HexColour(colour) + "\">" + glyph + "</span>&nbsp;" + name;
  };
  const std::string legend =
      mark(palette::kCut, "&#9473;", "cut &nbsp; ") +
      mark(palette::kRapid, "&#9476;", "rapid &nbsp; ") +
      mark(palette::kPlunge, "&#9679;", "plunge &nbsp; ") +
      mark(palette::kStart, "&#9675;", "program&nbsp;start &nbsp; ") +
      mark(palette::kMarker, "+", "start&nbsp;point &nbsp; ") +
      mark(palette::kMarker, "&#215;", "centre");
  return QString::fromStdString(legend);
}

struct StatRow {
  QString name;
  std::string value;
};

std::string Count(std::int64_t value) {
  std::string text;
  AppendInteger(text, value);
  return text;
}

std::string Minutes(double minutes) { return FormatStatNumber(minutes, 2) + " min"; }

// Lengths and extents with the four decimals the program writes, and the unit after them: the
// words of a rotary axis that `mode` writes in degrees span degrees, not lengths.
std::vector<StatRow> StatRows(const ProgramStats& stats, ProgramUnit unit,
                              const LatheMillMode& mode, double rapidPerMin) {
  const std::string length = " " + LengthSuffix(unit).toStdString();
  auto fixed4 = [](double value) { return FormatStatNumber(value, 4); };
  std::vector<StatRow> rows = {
      {"Lines", Count(stats.lines)},
      {"Moves", Count(stats.moves)},
      {"Plunges", Count(stats.plunges)},
      {"Cut length", fixed4(stats.cutLength) + length},
      {"Rapid length", fixed4(stats.rapidLength) + length},
  };
  if (stats.travelLength > 0) {
    rows.push_back({"Travel length", fixed4(stats.travelLength) + length});
  }
  if (stats.unreadLines > 0) rows.push_back({"Unread lines", Count(stats.unreadLines)});
  rows.push_back({"Feed time", Minutes(stats.feedMinutes)});
  const double rapidMinutes = RapidMinutesAt(stats, rapidPerMin);
  rows.push_back({"Rapids at " + QString::fromStdString(FormatGeneral(rapidPerMin)) + " " +
                      FeedSuffix(unit),
                  Minutes(rapidMinutes)});
  rows.push_back({"Estimated time", Minutes(stats.feedMinutes + rapidMinutes)});
  if (stats.fontOrder) {
    rows.push_back({"Rapid length in the font's order", fixed4(stats.fontOrder->rapidLength) + length});
    rows.push_back({"Saved by the travel order", Minutes(MinutesSaved(stats, rapidPerMin))});
  }
  if (stats.untimedMoves > 0) rows.push_back({"Moves without feed", Count(stats.untimedMoves)});
  for (const AxisExtent& extent : stats.extents) {
    const bool degrees = mode.rotaryInDegrees && IsRotaryLetter(extent.letter);
    rows.push_back({QString(QChar(static_cast<unsigned char>(extent.letter))) + " from",
                    fixed4(extent.min) + " to " + fixed4(extent.max) +
                        (degrees ? kDegreeSuffix.toStdString() : length)});
  }
  return rows;
}

// Two columns of name and value, the first filled before the second.
// In one column when the panel is narrow (beside the whole form on a small screen).
QString StatsTable(const std::vector<StatRow>& rows, bool twoColumns) {
  const std::size_t half = twoColumns ? (rows.size() + 1) / 2 : rows.size();
  auto cells = [&](std::size_t i) {
    if (i >= rows.size()) return QString("<td></td><td></td>");
    return "<td>" + rows[i].name.toHtmlEscaped() + "</td><td align=\"right\">" +
           QString::fromStdString(rows[i].value).toHtmlEscaped() + "</td>";
  };
  QString html = "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"1\">";
  for (std::size_t i = 0; i < half; ++i) {
    html += "<tr>" + cells(i);
    if (twoColumns) html += "<td width=\"18\"></td>" + cells(half + i);
    html += "</tr>";
  }
  return html + "</table>";
}

// The pages without a job of their own show the free-form text.
QString JobTitle(Page page) {
  const std::string_view caption = JobInfoOf(JobOfPage(page)).caption;
  return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

}  // namespace

PreviewPanel::PreviewPanel(const EngraveFormModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
  setObjectName("PreviewPanel");
  setAutoFillBackground(true);

  m_title = new QLabel(this);
  m_title->setObjectName("PreviewTitle");
  m_title->setMinimumWidth(40);
  m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  QFont bold = m_title->font();
  bold.setBold(true);
  m_title->setFont(bold);
  m_rapids = new QPushButton("Rapids", this);
  m_rapids->setObjectName("PreviewRapids");
  m_rapids->setCheckable(true);
  m_rapids->setChecked(true);
  m_rapids->setToolTip("Show or hide the rapid moves (dashed), to see the cuts alone");
  auto* fit = new QPushButton("Fit", this);
  fit->setObjectName("PreviewFit");
  fit->setToolTip("Show the whole drawing (or double click it)");
  auto* open = new QPushButton("Open Program...", this);
  open->setObjectName("OpenProgram");
  open->setToolTip("Show a program file (.eia, .txt) with its statistics instead of the settings");
  m_live = new QPushButton("Live", this);
  m_live->setObjectName("PreviewLive");
  m_live->setToolTip("Back to the preview of the settings");
  m_live->setEnabled(false);
  // The title on a line of its own, the buttons below it: the panel stays narrow enough to sit
  // beside the whole form on a screen 1024 pixels wide.
  auto* titleRow = new QHBoxLayout;
  titleRow->setSpacing(4);
  titleRow->addWidget(m_title, 1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->setSpacing(4);
  for (QPushButton* button : {m_rapids, fit, open, m_live}) {
    // As wide as the caption needs, so that the title keeps its room.
    button->setFixedSize(button->fontMetrics().horizontalAdvance(button->text()) + 18,
                         kButtonHeight);
    (button == m_live ? titleRow : buttonRow)->addWidget(button);
  }
  buttonRow->addStretch(1);
  auto* top = new QVBoxLayout;
  top->setSpacing(2);
  top->addLayout(titleRow);
  top->addLayout(buttonRow);

  m_view = new PreviewView(this);
  m_view->setObjectName("PreviewView");
  m_view->setMinimumSize(kMinViewSide, kMinViewSide);
  m_view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

  auto* legend = new QLabel(Legend(), this);
  legend->setObjectName("PreviewLegend");
  legend->setTextFormat(Qt::RichText);
  legend->setWordWrap(true);
  legend->setToolTip("Point at a mark in the drawing to read what it stands for");

  // Below the drawing: the statistics, or the text of the program drawn. The splitter lets the
  // text take more of the height; neither grows the panel sideways.
  m_lower = new QTabWidget(this);
  m_lower->setObjectName("PreviewLowerTabs");
  m_lower->setDocumentMode(true);
  m_stats = new QLabel;
  m_stats->setObjectName("PreviewStats");
  m_stats->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_stats->setTextFormat(Qt::RichText);
  m_stats->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  m_stats->setWordWrap(true);
  m_stats->setContentsMargins(6, 4, 6, 4);
  m_stats->setToolTip("Counted from the program text; rapids are timed at the rapid rate of "
                      "the Units menu");
  // Scrolled up and down when the rows outgrow the tab; never wider than the panel.
  m_statsScroll = new QScrollArea;
  m_statsScroll->setObjectName("PreviewStatsScroll");
  m_statsScroll->setFrameShape(QFrame::NoFrame);
  m_statsScroll->setWidgetResizable(true);
  m_statsScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_statsScroll->setWidget(m_stats);
  m_statsScroll->viewport()->installEventFilter(this);
  m_lower->addTab(m_statsScroll, "Program Statistics");

  auto* programPage = new QWidget;
  programPage->setObjectName("ProgramPage");
  m_programText = new ProgramTextView(programPage);
  m_programText->setObjectName("ProgramText");
  m_programText->setToolTip("The program as it would be written, with its line numbers; point "
                             "at a line to light its strokes in the drawing");
  auto* copy = new QPushButton("Copy", programPage);
  copy->setObjectName("CopyProgram");
  copy->setToolTip("Copy the whole program text to the clipboard");
  copy->setFixedSize(copy->fontMetrics().horizontalAdvance(copy->text()) + 18, kButtonHeight);
  m_programNote = new QLabel(programPage);
  m_programNote->setObjectName("ProgramNote");
  m_programNote->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* programBar = new QHBoxLayout;
  programBar->addWidget(m_programNote, 1);
  programBar->addWidget(copy);
  auto* programLayout = new QVBoxLayout(programPage);
  programLayout->setContentsMargins(0, 4, 0, 0);
  programLayout->setSpacing(4);
  programLayout->addLayout(programBar);
  programLayout->addWidget(m_programText, 1);
  m_lower->addTab(programPage, "Program");
  m_lower->setTabToolTip(1, "The program text the drawing shows, as it would be written; point "
                            "at a line to light its stroke, or at a stroke to find its line");
  connect(m_lower, &QTabWidget::currentChanged, this, [this] { ShowProgramText(); });
  connect(copy, &QPushButton::clicked, this, [this] {
    QApplication::clipboard()->setText(QString::fromStdString(ShownProgram()).remove(u'\r'));
  });
  m_programText->OnLineHovered([this](std::int64_t line) { LightStrokes(line); });

  // The strokes of the lit line, drawn over the preview; the pointer goes through to it.
  m_litStrokes = new QWidget(m_view);
  m_litStrokes->setObjectName("LitStrokes");
  m_litStrokes->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_litStrokes->installEventFilter(this);
  m_view->installEventFilter(this);
  m_view->setMouseTracking(true);
  // A pointed stroke of an opened file reads its line from the file, once.
  m_view->OnProgramText([this]() -> std::string_view { return ShownProgram(); });

  auto* upper = new QWidget;
  auto* upperLayout = new QVBoxLayout(upper);
  upperLayout->setContentsMargins(0, 0, 0, 0);
  upperLayout->setSpacing(6);
  upperLayout->addWidget(m_view, 1);
  upperLayout->addWidget(legend);
  auto* split = new QSplitter(Qt::Vertical, this);
  split->setObjectName("PreviewSplitter");
  split->setChildrenCollapsible(false);
  split->addWidget(upper);
  split->addWidget(m_lower);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 0);
  split->setSizes({400, kStatsHeight});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->setSpacing(6);
  layout->addLayout(top);
  layout->addWidget(split, 1);

  m_rebuildTimer = new QTimer(this);
  m_rebuildTimer->setSingleShot(true);
  m_rebuildTimer->setInterval(0);
  connect(m_rebuildTimer, &QTimer::timeout, this, [this] { Rebuild(); });
  connect(fit, &QPushButton::clicked, m_view, &PreviewView::FitToView);
  connect(m_rapids, &QPushButton::toggled, m_view, &PreviewView::SetRapidsShown);
  connect(m_live, &QPushButton::clicked, this, [this] { ShowLive(); });
  connect(open, &QPushButton::clicked, this, [this] {
    if (m_open) m_open();
  });
  m_rebuildTimer->start();
}

void PreviewPanel::RapidRateChanged() { ShowStats(m_view->Scene()); }

void PreviewPanel::SetUnit(ProgramUnit unit) {
  m_unit = unit;
  m_view->SetUnit(LengthSuffix(unit));
  ShowStats(m_view->Scene());
}

const PreviewScene& PreviewPanel::Scene() const { return m_view->Scene(); }

void PreviewPanel::SettingsChanged() {
  if (m_showsFile) {
    m_showsFile = false;
    m_refit = true;
  }
  m_rebuildTimer->start();
}

void PreviewPanel::ViewChanged() {
  if (!m_showsFile) m_rebuildTimer->start();
}

void PreviewPanel::ShowLive() {
  m_showsFile = false;
  m_refit = true;
  Rebuild();
}

void PreviewPanel::Rebuild() {
  m_rebuildTimer->stop();
  if (m_showsFile) return;
  const QString title = JobTitle(m_model.CurrentPage());
  // Another job draws something else entirely: show all of it.
  if (title != m_liveTitle) m_refit = true;
  m_liveTitle = title;
  const bool refit = std::exchange(m_refit, false);
  ++m_rebuilds;
  m_live->setEnabled(false);
  PreviewScene scene = m_model.Preview();
  if (!m_model.FontLoaded() && scene.message.empty() && scene.segments.empty()) {
    scene.message = "No font is loaded from \"" + m_model.Settings().FontFile +
                    "\": choose one with \"Pick Font\".";
  }
  m_view->SetPlungeLetter(ReadLetter(m_model.Settings().Axis3E));
  m_view->SetScene(std::move(scene), refit);
  Show(m_view->Scene(), "Preview of " + title, QString());
}

// Steps of the progress bar of a program being read.
constexpr int kProgressSteps = 1000;

void PreviewPanel::ShowProgramFile(const std::string& path) {
  m_rebuildTimer->stop();
  m_fileTextOf.clear();  // the file may have changed since it was last read
  const QString shownPath = QFile::decodeName(QByteArray::fromStdString(path));
  PreviewScene scene;
  // A large file is read behind a progress bar whose Cancel keeps the picture as it was.
  QProgressDialog progress("Reading " + QFileInfo(shownPath).fileName() + " ...", "Cancel", 0,
                           kProgressSteps, this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  struct Cancelled {};
  try {
    scene = m_model.ProgramFileScene(path, [&](std::size_t done, std::size_t total) {
      if (total > 0) progress.setValue(static_cast<int>(kProgressSteps * (double(done) / total)));
      QCoreApplication::processEvents();
      if (progress.wasCanceled()) throw Cancelled{};
    });
  } catch (const Cancelled&) {
    return;
  }
  m_showsFile = true;
  m_live->setEnabled(true);
  m_view->SetPlungeLetter(ReadLetter(m_model.Settings().Axis3E));
  m_view->SetScene(std::move(scene), true);
  Show(m_view->Scene(), "Program " + QFileInfo(shownPath).fileName(), shownPath);
}

void PreviewPanel::Show(const PreviewScene& scene, const QString& title, const QString& toolTip) {
  m_title->setText(title);
  m_title->setToolTip(toolTip.isEmpty() ? title : toolTip);
  ShowStats(scene);
  m_textShown = false;
  m_litLine = 0;
  m_litStrokes->update();
  ShowProgramText();
}

const std::string& PreviewPanel::ShownProgram() {
  const PreviewScene& scene = m_view->Scene();
  if (scene.programFile.empty()) return scene.program;
  // An opened file is read again only when its text is looked at; the drawing did not keep it.
  if (m_fileTextOf != scene.programFile) {
    m_fileTextOf = scene.programFile;
    try {
      m_fileText = ReadProgramFile(scene.programFile);
    } catch (const Error& error) {
      m_fileText = "(" + std::string(error.what()) + ")";
    }
  }
  return m_fileText;
}

bool PreviewPanel::ProgramTextShown() const { return m_lower->currentIndex() == 1; }

void PreviewPanel::ShowProgramText() {
  // The text of a large program costs its time only when someone looks at it.
  if (m_textShown || !ProgramTextShown()) return;
  m_textShown = true;
  const PreviewScene& scene = m_view->Scene();
  m_programText->SetProgram(ShownProgram());
  QString note = ShownProgram().empty() ? QString("No program to show.")
                                       : QString("%1 lines").arg(m_programText->blockCount());
  if (!scene.note.empty()) note += "; " + QString::fromStdString(scene.note);
  m_programNote->setText(note);
  m_programNote->setToolTip(note);
}

void PreviewPanel::LightStrokes(std::int64_t line) {
  if (line == m_litLine) return;
  m_litLine = line;
  m_litStrokes->update();
}

std::int64_t PreviewPanel::LineAt(QPointF pixel) const {
  const PreviewScene& scene = m_view->Scene();
  const PreviewViewport& viewport = m_view->Viewport();
  double nearest = kStrokeReach;
  std::int64_t line = 0;
  for (const PreviewSegment& segment : scene.segments) {
    if (segment.line == 0) continue;
    if (segment.kind == SegmentKind::Rapid && !m_view->RapidsShown()) continue;
    const double distance =
        DistanceToSegment(pixel, viewport.ToPixel(segment.from), viewport.ToPixel(segment.to));
    if (distance <= nearest) {
      nearest = distance;
      line = segment.line;
    }
  }
  return line;
}

void PreviewPanel::PaintLitStrokes() {
  if (m_litLine == 0) return;
  QPainter painter(m_litStrokes);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(kLitStroke, 3, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(kLitStroke);
  const PreviewViewport& viewport = m_view->Viewport();
  for (const PreviewSegment& segment : m_view->Scene().segments) {
    if (segment.line != m_litLine) continue;
    const QPointF from = viewport.ToPixel(segment.from);
    if (segment.kind == SegmentKind::Plunge) painter.drawEllipse(from, 3.5, 3.5);
    else painter.drawLine(from, viewport.ToPixel(segment.to));
  }
}

bool PreviewPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_litStrokes && event->type() == QEvent::Paint) {
    PaintLitStrokes();
    return true;
  }
  if (watched == m_statsScroll->viewport() && event->type() == QEvent::Resize) {
    const int columns = m_statsScroll->viewport()->width() >= kTwoColumnWidth ? 2 : 1;
    if (columns != m_statsColumns) ShowStats(m_view->Scene());
  }
  if (watched == m_view) {
    switch (event->type()) {
      case QEvent::Resize: m_litStrokes->setGeometry(m_view->rect()); break;
      case QEvent::MouseMove: {
        // The other way round: the stroke under the pointer lights its line in the text.
        const auto* move = static_cast<QMouseEvent*>(event);
        if (move->buttons() != Qt::NoButton) {
          m_litStrokes->update();  // the drawing pans under the lit strokes
          break;
        }
        if (!ProgramTextShown()) break;
        const std::int64_t line = LineAt(move->position());
        LightStrokes(line);
        m_programText->LightLine(line);
        break;
      }
      case QEvent::Wheel: m_litStrokes->update(); break;
      case QEvent::Leave:
        LightStrokes(0);
        m_programText->LightLine(0);
        break;
      default: break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void PreviewPanel::ShowStats(const PreviewScene& scene) {
  if (scene.stats) {
    m_statsColumns = m_statsScroll->viewport()->width() >= kTwoColumnWidth ? 2 : 1;
    m_stats->setText(StatsTable(
        StatRows(*scene.stats, m_unit, LatheMillModeOf(m_model.Settings().IntegrexMode),
                 StoredRapidRate()),
        m_statsColumns == 2));
  } else {
    m_stats->setText("<span style=\"color:#5a6673\">No program to count.</span>");
  }
}

}  // namespace stylor
