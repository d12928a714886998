// The ellipse job of a 60-character text in the default font, written into the memory-backed
// program store: one clockwise turn of about 62,832 samples plus 60 EngraveLine calls. Beside it
// the walk alone (the placements without any program text).
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engrave/fonts/font_file.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/job_host.h"
#include "engrave/layouts/ellipse.h"
#include "engrave/prepared_job.h"
#include "engrave/program_store.h"
#include "settings/engrave_settings.h"

#ifndef STYLOR_SOURCE_DIR
#define STYLOR_SOURCE_DIR "."
#endif

namespace stylor {
namespace {

constexpr std::string_view kText = "SERIAL 0042-ABCD efgh ijkl MNOP 1234567890 The quick brown f";
static_assert(kText.size() == 60);

const StrokeFont& DefaultFont() {
  static const std::unique_ptr<StrokeFont> font = [] {
    auto loaded = std::make_unique<StrokeFont>();
    FontReport report;
    LoadFont(std::string(STYLOR_SOURCE_DIR) + "/fonts/BasicFont.fnt", *loaded, report);
    return loaded;
  }();
  return *font;
}

class MemoryHost final : public JobHost {
 public:
  std::optional<std::string> AskProgramFile(const std::optional<std::string>&) override {
    return "job.eia";
  }
  void ClearProgramFileName() override {}
  void ShowMessage(const std::string& text) override { m_lastMessage = text; }
  ProgramStore& Programs() override { return m_store; }
  MemoryProgramStore& Store() { return m_store; }
  const std::string& LastMessage() const { return m_lastMessage; }

 private:
  MemoryProgramStore m_store;
  std::string m_lastMessage;
};

EngraveSettings JobSettings() {
  EngraveSettings settings;  // height .125, major axis 4, minor axis 2.5
  settings.EllipseTextE = std::string(kText);
  settings.JustifyPoint = 1;
  settings.Justification = 1;
  return settings;
}

void BM_CreateEllipse60Characters(benchmark::State& state) {
  const EngraveSettings settings = JobSettings();
  MemoryHost host;
  for (auto _ : state) {
    host.Store().Clear();
    CreateEllipse(settings, DefaultFont(), host);
    benchmark::DoNotOptimize(host.Store().Bytes("job.eia").data());
  }
  if (!host.LastMessage().empty()) state.SkipWithError(host.LastMessage().c_str());
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * host.Store().Bytes("job.eia").size()));
}
BENCHMARK(BM_CreateEllipse60Characters)->Unit(benchmark::kMillisecond);

void BM_PlaceEllipseText60Characters(benchmark::State& state) {
  const EngraveSettings settings = JobSettings();
  const PreparedJob job = PrepareJob(settings);
  const EllipseLayout layout{2, 1.25, EllipsePoint::B, TextAlignment::Centre, Winding::Clockwise};
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlaceEllipseText(kText, layout, job, DefaultFont()).data());
  }
}
BENCHMARK(BM_PlaceEllipseText60Characters)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stylor
