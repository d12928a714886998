#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

#include "preview/preview_scene.h"
#include "ui/qt/program_units.h"

class QLabel;
class QPushButton;
class QScrollArea;
class QTabWidget;
class QTimer;

namespace stylor {

class EngraveFormModel;
class PreviewView;
class ProgramTextView;

/// The panel beside the form: the preview of the current page's job with the current settings,
/// or of a program file the user opened, a legend of its marks, and below it the statistics of
/// that program or, on the "Program" tab, its text with line numbers. A line pointed at in the
/// text lights its strokes in the drawing, and a stroke pointed at lights its line. The live preview is rebuilt once the event loop is idle after a change, so
/// that a keystroke, or a machine file that changes every field, costs one rebuild. The drawing
/// takes whatever room the panel gets.
class PreviewPanel final : public QWidget {
 public:
  /// Usual width of the panel.
  static constexpr int kWidth = 430;

  /// Shows the preview of `model`, which must outlive the panel; the first one is built once the
  /// event loop runs.
  PreviewPanel(const EngraveFormModel& model, QWidget* parent);

  /// A setting changed: a program file on show gives way to the live preview, rebuilt soon.
  void SettingsChanged();
  /// The page, the font or a label changed: the live preview is rebuilt soon.
  void ViewChanged();
  /// Reads the program file `path` (file-system encoding) with the settings' axis letters and pen
  /// levels and shows it and its statistics until a setting changes or ShowLive; a file that
  /// cannot be read shows why in the preview.
  void ShowProgramFile(const std::string& path);
  /// Back to the preview of the settings, rebuilt and fitted now.
  void ShowLive();
  /// The action of "Open Program...".
  void OnOpenProgram(std::function<void()> open) { m_open = std::move(open); }
  /// Names `unit` after lengths in the statistics and the scale bar.
  void SetUnit(ProgramUnit unit);
  /// The rapid rate of the application settings changed: the statistics are counted again.
  void RapidRateChanged();

  /// The scene drawn now.
  const PreviewScene& Scene() const;
  /// True while a program file is shown instead of the settings.
  bool ShowsProgramFile() const { return m_showsFile; }
  /// How many times the live preview has been built.
  int Rebuilds() const { return m_rebuilds; }
  /// The drawing.
  PreviewView* View() const { return m_view; }
  /// The program text of the "Program" tab (filled while that tab is shown).
  ProgramTextView* ProgramText() const { return m_programText; }
  /// The program line whose strokes are lit in the drawing, 0 for none.
  std::int64_t LitLine() const { return m_litLine; }
  /// The program line of the stroke nearest `pixel` of the drawing within a few pixels, 0 for
  /// none.
  std::int64_t LineAt(QPointF pixel) const;
  /// Lights the strokes of program line `line` (0: none).
  void LightStrokes(std::int64_t line);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool ProgramTextShown() const;
  /// The text of the program drawn: the job's, or that of the opened file.
  const std::string& ShownProgram();
  void ShowProgramText();
  void PaintLitStrokes();
  void Rebuild();
  void Show(const PreviewScene& scene, const QString& title, const QString& toolTip);
  void ShowStats(const PreviewScene& scene);

  const EngraveFormModel& m_model;
  std::function<void()> m_open;
  QTimer* m_rebuildTimer = nullptr;
  QLabel* m_title = nullptr;
  QPushButton* m_live = nullptr;
  PreviewView* m_view = nullptr;
  QLabel* m_stats = nullptr;
  QScrollArea* m_statsScroll = nullptr;
  int m_statsColumns = 2;
  QTabWidget* m_lower = nullptr;
  ProgramTextView* m_programText = nullptr;
  QLabel* m_programNote = nullptr;
  QWidget* m_litStrokes = nullptr;
  bool m_textShown = false;
  std::int64_t m_litLine = 0;
  QPushButton* m_rapids = nullptr;
  ProgramUnit m_unit = ProgramUnit::Millimetres;
  bool m_showsFile = false;
  std::string m_fileText;    // the text of the opened program file, once it is looked at
  std::string m_fileTextOf;  // the file it was read from
  bool m_refit = true;
  QString m_liveTitle;
  int m_rebuilds = 0;
};

}  // namespace stylor
