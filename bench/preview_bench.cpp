// The window's preview of 10 lines of 40 characters of the default font: the job run in memory
// and its program read back into segments, and the same followed by a whole SVG drawing (a
// stand-in for painting). A preview redrawn as the user types must stay well inside one 60 Hz
// frame (16 ms).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engrave/fonts/font_file.h"
#include "engrave/fonts/stroke_font.h"
#include "preview/preview_scene.h"
#include "preview/svg.h"
#include "settings/engrave_settings.h"
#include "ui/model/engrave_form_model.h"

namespace stylor {
namespace {

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

void BM_BuildPreview(benchmark::State& state) {
  const EngraveSettings settings = TenLines();
  std::size_t segments = 0;
  for (auto _ : state) {
    const PreviewScene scene = BuildPreview(settings, DefaultFont(), JobKind::FreeFormText);
    segments = scene.segments.size();
    benchmark::DoNotOptimize(scene.segments.data());
  }
  state.counters["segments"] = static_cast<double>(segments);
}
BENCHMARK(BM_BuildPreview)->Unit(benchmark::kMillisecond);

void BM_BuildPreviewAndDrawSvg(benchmark::State& state) {
  const EngraveSettings settings = TenLines();
  for (auto _ : state) {
    const std::string svg = DrawSvg(BuildPreview(settings, DefaultFont(), JobKind::FreeFormText));
    benchmark::DoNotOptimize(svg.data());
  }
}
BENCHMARK(BM_BuildPreviewAndDrawSvg)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stylor
