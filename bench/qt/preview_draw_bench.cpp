// What the window does for a keystroke in a page of text: the preview's job for 10 lines of 40
// characters of the default font, then the drawing of its scene into an image of the preview
// panel's size. Both together must stay inside one 60 Hz frame (16 ms).
// And what it does with a program file of a million lines: open it (read and draw it fitted,
// under 1 s), then each zoom step and pan (one drawing, under 100 ms).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <memory>
#include <string>

#include "engrave/fonts/font_file.h"
#include "engrave/fonts/stroke_font.h"
#include "preview/preview_scene.h"
#include "settings/engrave_settings.h"
#include "settings/files.h"
#include "settings/numbers.h"
#include "ui/model/engrave_form_model.h"
#include "ui/qt/preview_painting.h"
#include "ui/qt/preview_panel.h"

namespace stylor {
namespace {

// Painting text needs the fonts of a GUI application; no display is needed.
void NeedApplication() {
  static std::unique_ptr<QGuiApplication> app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "preview_draw_bench";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
  }();
}

const StrokeFont& DefaultFont() {
  static const std::unique_ptr<StrokeFont> font = [] {
    auto loaded = std::make_unique<StrokeFont>();
    FontReport report;
    LoadFont(std::string(STYLOR_SOURCE_DIR) + "/fonts/BasicFont.fnt", *loaded, report);
    return loaded;
  }();
  return *font;
}

EngraveSettings TenLines() {
  EngraveSettings settings;
  for (int k = 0; k < 10; ++k) {
    settings.FreeFormTextE.push_back("The quick brown fox jumps over 0123456789");
    settings.FreeFormTextE.back().resize(40);
  }
  settings.Justification = 1;
  settings.TextAngleE = "15";
  return settings;
}

// The drawing's height in a window of the usual size; the panel takes whatever room it gets.
constexpr int kDrawingHeight = 430;

void Draw(const PreviewScene& scene, QImage& image) {
  QPainter painter(&image);
  const QRectF area(image.rect());
  PaintScene(painter, area, scene, FitScene(scene, area));
}

void BM_PreviewJobAndDraw(benchmark::State& state) {
  NeedApplication();
  const EngraveSettings settings = TenLines();
  std::size_t segments = 0;
  for (auto _ : state) {
    const PreviewScene scene = BuildPreview(settings, DefaultFont(), JobKind::FreeFormText);
    QImage image(PreviewPanel::kWidth, kDrawingHeight, QImage::Format_ARGB32_Premultiplied);
    Draw(scene, image);
    segments = scene.segments.size();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["segments"] = static_cast<double>(segments);
}
BENCHMARK(BM_PreviewJobAndDraw)->Unit(benchmark::kMillisecond);

void BM_DrawOnly(benchmark::State& state) {
  NeedApplication();
  const PreviewScene scene = BuildPreview(TenLines(), DefaultFont(), JobKind::FreeFormText);
  QImage image(PreviewPanel::kWidth, kDrawingHeight, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    Draw(scene, image);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_DrawOnly)->Unit(benchmark::kMillisecond);

// A program of a million lines as the writer lays out text: per stroke a rapid to its start, a
// plunge, three cuts and a lift, strokes of 0.3 units in rows of 500 glyphs.
const std::string& MillionLineProgram() {
  static const std::string path = [] {
    std::string text = "G00 X0.0000 Y0.0000 Z0.0010\r\n";
    const int strokes = 1'000'000 / 6;
    for (int k = 0; k < strokes; ++k) {
      const double x = (k % 2000) * 0.1;
      const double y = -(k / 2000) * 0.6;
      const auto move = [&](const char* code, double px, double py) {
        text += code;
        text += " X";
        AppendFixed(text, px, 4);
        text += " Y";
        AppendFixed(text, py, 4);
        text += "\r\n";
      };
      move("G00", x, y);
      text += "G01 Z-0.0010 F25.00\r\n";
      move("G01", x + 0.03, y + 0.3);
      move("G01", x + 0.06, y);
      move("G01", x + 0.02, y + 0.12);
      text += "G00 Z0.0010\r\n";
    }
    const std::string file = "/tmp/stylor-preview-bench-million.eia";
    ReplaceFile(file, text, "Cannot write the benchmark program");
    return file;
  }();
  return path;
}

void BM_OpenMillionLines(benchmark::State& state) {
  NeedApplication();
  const std::string& path = MillionLineProgram();
  for (auto _ : state) {
    const PreviewScene scene = SceneOfProgramFile(path, ReaderOptions{});
    QImage image(PreviewPanel::kWidth, kDrawingHeight, QImage::Format_ARGB32_Premultiplied);
    Draw(scene, image);
    benchmark::DoNotOptimize(image.constBits());
    state.counters["segments"] = static_cast<double>(scene.segments.size());
  }
}
BENCHMARK(BM_OpenMillionLines)->Unit(benchmark::kMillisecond);

// One zoom step (1.25 times about the middle) or one pan of a quarter of the view.
void BM_ZoomAndPanMillionLines(benchmark::State& state) {
  NeedApplication();
  const PreviewScene scene = SceneOfProgramFile(MillionLineProgram(), ReaderOptions{});
  QImage image(PreviewPanel::kWidth, kDrawingHeight, QImage::Format_ARGB32_Premultiplied);
  const QRectF area(image.rect());
  PreviewViewport viewport = FitScene(scene, area);
  int step = 0;
  for (auto _ : state) {
    if (step++ % 2 == 0) {
      const QPointF middle = area.center();
      viewport.origin = middle - (middle - viewport.origin) * 1.25;
      viewport.scale *= 1.25;
    } else {
      viewport.origin += QPointF(area.width() / 4, 0);
    }
    QPainter painter(&image);
    PaintScene(painter, area, scene, viewport);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_ZoomAndPanMillionLines)->Unit(benchmark::kMillisecond)->Iterations(16);

}  // namespace
}  // namespace stylor
