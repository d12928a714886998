#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engrave/job_host.h"

namespace stylor {

class ProgramStore;

/// A host that passes every question to another and keeps the path the user chose, so that a
/// job can look at the folder its program goes to before it writes the program.
class ChoiceKeepingHost final : public JobHost {
 public:
  explicit ChoiceKeepingHost(JobHost& host) : m_host(host) {}
  std::optional<std::string> AskProgramFile(const std::optional<std::string>& presetName) override {
    m_chosen = m_host.AskProgramFile(presetName);
    return m_chosen;
  }
  void ClearProgramFileName() override { m_host.ClearProgramFileName(); }
  void ShowMessage(const std::string& text) override { m_host.ShowMessage(text); }
  ProgramStore& Programs() override { return m_host.Programs(); }
  /// The path of the last save dialog, when the user chose one.
  const std::optional<std::string>& Chosen() const { return m_chosen; }

 private:
  JobHost& m_host;
  std::optional<std::string> m_chosen;
};

/// The bytes free to the user in the folder of `path` (the working folder when it names none),
/// or nothing when the folder cannot be asked (it does not exist, or the programs go to memory).
std::optional<std::uint64_t> FreeBytesFor(const std::string& path);

/// Throws Error when a job estimated at `estimateBytes` (`what` says how it was estimated)
/// needs more than `freeBytes`, giving both: a program that fills the disk stops half-written
/// after minutes or hours. Nothing without a free size.
void RequireRoom(std::uint64_t estimateBytes, std::optional<std::uint64_t> freeBytes,
                 const std::string& what, const std::string& folder);

/// RequireRoom for the folder of `path` as FreeBytesFor finds it.
void RequireRoomFor(std::uint64_t estimateBytes, const std::string& what, const std::string& path);

/// `bytes` as a message gives a size: "12,345 bytes" below a megabyte, "1.6 TB" above.
std::string ShownSize(std::uint64_t bytes);

}  // namespace stylor
