// What the window does for a keystroke in a page of text: the preview's job for 10 lines of 40
// characters of the default font, then the drawing of its scene into an image of the preview
// panel's size. Both together must stay inside one 60 Hz frame (16 ms).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <memory>
#include <string>

#include "engrave/fonts/font_file.h"
#include "engrave/fonts/stroke_font.h"
#include "preview/preview_scene.h"
#include "settings/engrave_settings.h"
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

}  // namespace
}  // namespace stylor
