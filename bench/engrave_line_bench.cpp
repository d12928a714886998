// EngraveLine of an 80-character line of the default font: into a real program file (written
// beside its target and put in place, as every job writes), beside the physical limit of writing
// the same bytes to a file (open, one write, close), and into memory (the engine alone).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "engrave/emitter.h"
#include "engrave/fonts/font_file.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/program_store.h"

namespace stylor {
namespace {

const std::string kLine =
    "SERIAL 0042-ABCD efgh ijkl MNOP 1234567890 The quick brown fox jumps over it. !?";

const StrokeFont& DefaultFont() {
  static const std::unique_ptr<StrokeFont> font = [] {
    auto loaded = std::make_unique<StrokeFont>();
    FontReport report;
    LoadFont(std::string(STYLOR_SOURCE_DIR) + "/fonts/BasicFont.fnt", *loaded, report);
    return loaded;
  }();
  return *font;
}

std::string TempFile() {
  return (std::filesystem::temp_directory_path() / ("stylor-bench-" + std::to_string(getpid())))
      .string();
}

std::string LineBytes() {
  MemorySink memory;
  EngraveLine(memory, PreparedJob{}, {}, 0.3, kLine, DefaultFont());
  return memory.Bytes();
}

void BM_EngraveLineToFile(benchmark::State& state) {
  const std::string file = TempFile();
  FileProgramStore store;
  const PreparedJob job;
  const std::size_t bytes = LineBytes().size();
  for (auto _ : state) {
    const std::unique_ptr<ProgramFile> program = store.Open(file, WriteMode::Create);
    EngraveLine(*program, job, {}, 0.3, kLine, DefaultFont());
    program->Commit();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  std::remove(file.c_str());
}
BENCHMARK(BM_EngraveLineToFile);

void BM_WriteSameBytesToFile(benchmark::State& state) {
  const std::string file = TempFile();
  const std::string bytes = LineBytes();
  for (auto _ : state) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    std::fclose(f);
    f = std::fopen(file.c_str(), "ab");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  std::remove(file.c_str());
}
BENCHMARK(BM_WriteSameBytesToFile);

void BM_EngraveLineToMemory(benchmark::State& state) {
  MemorySink sink;
  const PreparedJob job;
  const std::size_t bytes = LineBytes().size();
  for (auto _ : state) {
    sink.Bytes().clear();
    EngraveLine(sink, job, {}, 0.3, kLine, DefaultFont());
    benchmark::DoNotOptimize(sink.Bytes().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_EngraveLineToMemory);

}  // namespace
}  // namespace stylor
