#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engrave/job_host.h"
#include "engrave/program_store.h"

namespace stylor::test {

/// The job-host part of every test host: answers the program-file dialog with a fixed name (or
/// cancels when `answer` is empty), records every dialog and message, and keeps the program
/// files in memory, or on the disk when `onDisk` is set.
template <typename Host>
class RecordingJobHostOf : public Host {
 public:
  explicit RecordingJobHostOf(std::optional<std::string> answer = "job.eia")
      : answer(std::move(answer)) {}

  std::optional<std::string> AskProgramFile(const std::optional<std::string>& presetName) override {
    if (presetName) dialogFileName = *presetName;
    presets.push_back(presetName.value_or("<kept>"));
    ++dialogs;
    if (answer) dialogFileName = *answer;
    return answer;
  }
  void ClearProgramFileName() override { dialogFileName.clear(); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  ProgramStore& Programs() override {
    return onDisk ? static_cast<ProgramStore&>(files) : store;
  }

  std::optional<std::string> answer;
  std::string dialogFileName;              // the name the dialog would show now
  std::vector<std::string> presets;        // per dialog: the preset name, or "<kept>"
  std::vector<std::string> messages;       // plain message boxes
  int dialogs = 0;
  bool onDisk = false;
  MemoryProgramStore store;
  FileProgramStore files;
};

/// A job host for the layouts' tests.
using FakeJobHost = RecordingJobHostOf<JobHost>;

}  // namespace stylor::test
