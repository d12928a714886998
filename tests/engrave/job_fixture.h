#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engrave/job_host.h"
#include "engrave/program_store.h"

namespace stylor::test {

/// A job host that answers the save dialog with a fixed name (or cancels), records every dialog
/// and message, and keeps the program files in memory.
class FakeJobHost final : public JobHost {
 public:
  explicit FakeJobHost(std::optional<std::string> answer = "job.eia") : answer(std::move(answer)) {}

  std::optional<std::string> AskProgramFile(const std::optional<std::string>& presetName) override {
    if (presetName) dialogFileName = *presetName;
    presets.push_back(presetName.value_or("<kept>"));
    ++dialogs;
    if (answer) dialogFileName = *answer;
    return answer;
  }
  void ClearProgramFileName() override { dialogFileName.clear(); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  ProgramStore& Programs() override { return store; }

  std::optional<std::string> answer;
  std::string dialogFileName;
  std::vector<std::string> presets;
  std::vector<std::string> messages;
  int dialogs = 0;
  MemoryProgramStore store;
};

}  // namespace stylor::test
