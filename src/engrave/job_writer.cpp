#include "engrave/job_writer.h"

#include <memory>

#include "engrave/job_host.h"
#include "engrave/program_store.h"
#include "settings/error.h"

namespace stylor {
namespace {

#ifdef _WIN32
constexpr const char* kPathSeparators = "\\/";
#else
constexpr const char* kPathSeparators = "/";
#endif

std::unique_ptr<ProgramFile> WriteFramed(ProgramStore& store, const std::string& fileName,
                                         const ProgramFrame& frame, const BodyWriter& body,
                                         WriteMode replacing = WriteMode::Create) {
  std::unique_ptr<ProgramFile> file =
      store.Open(fileName, frame.replacesFile ? replacing : WriteMode::Append);
  if (!frame.startBlock.empty()) file->Write(frame.startBlock);
  body(*file);
  if (!frame.endBlock.empty()) file->Write(frame.endBlock);
  file->Finish();
  return file;
}

}  // namespace

void RequireSomethingToWrite(const ProgramFrame& frame, std::string_view reason) {
  if (frame.startBlock.empty() && frame.endBlock.empty()) {
    throw Error("Nothing to engrave: " + std::string(reason));
  }
}

bool WriteFramedProgram(JobHost& host, const ProgramFrame& frame, const BodyWriter& body) {
  const std::optional<std::string> fileName = host.AskProgramFile(std::nullopt);
  if (!fileName) return false;
  WriteFramed(host.Programs(), *fileName, frame, body)->Commit();
  return true;
}

bool WriteProgramSeries(JobHost& host, const ProgramFrame& frame, const ProgramSeries& series) {
  const std::optional<std::string> chosen = host.AskProgramFile(series.presetName);
  host.ClearProgramFileName();
  if (!chosen) return false;
  const std::string directory = DirectoryOf(*chosen);
  std::vector<std::unique_ptr<ProgramFile>> finished;
  finished.reserve(series.fileNames.size());
  for (std::size_t k = 0; k < series.fileNames.size(); ++k) {
    const BodyWriter body = [&](ProgramSink& sink) { series.body(k, sink); };
    const std::string fileName = directory + series.fileNames[k];
    // The names are made by the run: a link planted under one is refused, never followed.
    finished.push_back(
        series.frameOf
            ? WriteFramed(host.Programs(), fileName, series.frameOf(k), body, WriteMode::CreateInSeries)
            : WriteFramed(host.Programs(), fileName, frame, body, WriteMode::CreateInSeries));
  }
  host.Programs().CommitSeries(directory, finished);
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t cut = path.find_last_of(kPathSeparators);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool HoldsPathSeparator(std::string_view name) {
  return name.find_first_of(kPathSeparators) != std::string_view::npos;
}

}  // namespace stylor
