// A run of 10,000 serial numbers in the default font, into one program file and into one file
// per number, on disk, beside the physical limit of writing the same bytes to the same files
// (open, one write, close per file) and beside the run into the memory-backed writer (the
// engine alone). Each reports its time per number ("per_number").
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "engrave/fonts/font_file.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/job_host.h"
#include "engrave/layouts/sequence.h"
#include "engrave/program_store.h"
#include "settings/engrave_settings.h"

#ifndef STYLOR_SOURCE_DIR
#define STYLOR_SOURCE_DIR "."
#endif

namespace stylor {
namespace {

constexpr int kNumbers = 10000;

const StrokeFont& DefaultFont() {
  static const std::unique_ptr<StrokeFont> font = [] {
    auto loaded = std::make_unique<StrokeFont>();
    FontReport report;
    std::string path = std::string(STYLOR_SOURCE_DIR) + "/fonts/BasicFont.fnt";
    if (!std::filesystem::exists(path)) path = "fonts/BasicFont.fnt";
    LoadFont(path, *loaded, report);
    return loaded;
  }();
  return *font;
}

// One scratch folder for the whole program, removed at exit.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "stylor-seq-bench-XXXXXX").string();
    m_path = mkdtemp(pattern.data());
  }
  ~ScratchDir() { std::filesystem::remove_all(m_path); }
  std::string Folder(const std::string& name) const {
    std::filesystem::create_directories(m_path / name);
    return (m_path / name).string() + "/";
  }

 private:
  std::filesystem::path m_path;
};

const ScratchDir& Scratch() {
  static const ScratchDir dir;
  return dir;
}

template <typename Store>
class BenchHost final : public JobHost {
 public:
  explicit BenchHost(std::string answer) : m_answer(std::move(answer)) {}
  std::optional<std::string> AskProgramFile(const std::optional<std::string>&) override {
    return m_answer;
  }
  void ClearProgramFileName() override {}
  void ShowMessage(const std::string&) override {}
  ProgramStore& Programs() override { return store; }
  Store store;

 private:
  std::string m_answer;
};

EngraveSettings RunSettings(bool manyFiles) {
  EngraveSettings settings;
  settings.SeqStart = "1";
  settings.SeqEnd = std::to_string(kNumbers);
  settings.SeqDigits = "6";
  settings.SeqPrefix = "SN-";
  settings.Files = manyFiles ? 1 : 0;
  settings.FilePrefix = "P";
  settings.PreToolChange = {"T1 M06"};
  settings.PostEngrave = {"M30"};
  settings.SeqPreGCodes = {"G54"};
  settings.SeqPostGCodes = {"M00"};
  return settings;
}

// The bytes of every file of the run, as the memory-backed writer holds them.
std::map<std::string, std::string> RunBytes(bool manyFiles, const std::string& folder) {
  BenchHost<MemoryProgramStore> host(folder + "run.eia");
  GenerateSequences(RunSettings(manyFiles), DefaultFont(), host);
  return host.store.Files();
}

void SetPerNumber(benchmark::State& state, std::size_t bytes) {
  state.counters["per_number"] = benchmark::Counter(
      kNumbers, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

std::size_t TotalSize(const std::map<std::string, std::string>& files) {
  std::size_t total = 0;
  for (const auto& [name, bytes] : files) total += bytes.size();
  return total;
}

void BM_SequenceToDisk(benchmark::State& state) {
  const bool manyFiles = state.range(0) != 0;
  const std::string folder = Scratch().Folder(manyFiles ? "many" : "one");
  const EngraveSettings settings = RunSettings(manyFiles);
  BenchHost<FileProgramStore> host(folder + "run.eia");
  for (auto _ : state) GenerateSequences(settings, DefaultFont(), host);
  SetPerNumber(state, TotalSize(RunBytes(manyFiles, folder)));
}
BENCHMARK(BM_SequenceToDisk)->ArgName("many_files")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SameBytesToDisk(benchmark::State& state) {
  const bool manyFiles = state.range(0) != 0;
  const std::string folder = Scratch().Folder(manyFiles ? "many-direct" : "one-direct");
  const std::map<std::string, std::string> files = RunBytes(manyFiles, folder);
  for (auto _ : state) {
    for (const auto& [name, bytes] : files) {
      std::FILE* file = std::fopen(name.c_str(), "wb");
      if (file == nullptr) {
        state.SkipWithError("cannot create a file in the scratch folder");
        return;
      }
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
    }
  }
  SetPerNumber(state, TotalSize(files));
}
BENCHMARK(BM_SameBytesToDisk)->ArgName("many_files")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SequenceInMemory(benchmark::State& state) {
  const bool manyFiles = state.range(0) != 0;
  const EngraveSettings settings = RunSettings(manyFiles);
  BenchHost<MemoryProgramStore> host("/memory/run.eia");
  for (auto _ : state) {
    host.store.Clear();
    GenerateSequences(settings, DefaultFont(), host);
  }
  SetPerNumber(state, TotalSize(host.store.Files()));
}
BENCHMARK(BM_SequenceInMemory)->ArgName("many_files")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace stylor
