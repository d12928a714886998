#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/job_host_double.h"
#include "ui/model/form_host.h"

namespace stylor::test {

/// A window host for the model's tests: the job host's records, plus the answers of the font
/// and machine-file dialogs, every error box, address and changed field, the
/// errors shown at the fields and the files each job wrote.
class FakeFormHost final : public RecordingJobHostOf<FormHost> {
 public:
  using RecordingJobHostOf<FormHost>::RecordingJobHostOf;

  std::optional<std::string> AskFontFile(const std::string& directory) override {
    fontDialogDir = directory;
    return fontAnswer;
  }
  std::optional<std::string> AskMachineFileToSave(const std::string&) override {
    return machineSaveAnswer;
  }
  std::optional<std::string> AskMachineFileToOpen(const std::string&) override {
    return machineOpenAnswer;
  }
  std::optional<std::string> AskDataFile(const std::string&) override { return dataAnswer; }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void ShowWarning(const std::string& text) override { warnings.push_back(text); }
  void ShowSetupWarning(const std::string& text) override { setupWarnings.push_back(text); }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  void FieldChanged(const FieldInfo& field) override { changes.emplace_back(field.name); }
  void ShowFieldError(const FieldInfo& field, const std::string& text) override {
    fieldErrors.push_back(std::string(field.name) + ": " + text);
  }
  void FieldErrorChanged(const FieldInfo& field) override { errorChanges.emplace_back(field.name); }
  void ProgramsWritten(const std::vector<std::string>& files) override { written.push_back(files); }

  std::optional<std::string> fontAnswer;
  std::optional<std::string> machineSaveAnswer;
  std::optional<std::string> machineOpenAnswer;
  std::optional<std::string> dataAnswer;
  std::string fontDialogDir;
  std::vector<std::string> errors, warnings, urls, changes;
  std::vector<std::string> setupWarnings;  // what ShowSetupWarning was told
  std::vector<std::string> fieldErrors;   // "Field: message" shown at the field
  std::vector<std::string> errorChanges;  // fields whose error state changed
  std::vector<std::vector<std::string>> written;  // the files of each job, per job
};

}  // namespace stylor::test
