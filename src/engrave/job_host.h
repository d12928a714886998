#pragma once

#include <optional>
#include <string>

namespace stylor {

class ProgramStore;

/// What an engrave job needs from its front end: the program-file save dialog, a plain message
/// box, and the place program files go. The window, the command line and the tests are hosts.
class JobHost {
 public:
  virtual ~JobHost() = default;
  /// The program-file save dialog (filter "EIA|*.eia|Text File|*.txt", default extension eia).
  /// `presetName` replaces the dialog's file name before it shows; nothing keeps the name it has.
  /// Returns the chosen path (native bytes), or nothing when the user cancels.
  virtual std::optional<std::string> AskProgramFile(
      const std::optional<std::string>& presetName) = 0;
  /// Empties the file name that the save dialog will show next time.
  virtual void ClearProgramFileName() = 0;
  /// A plain message box with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  /// Where the program files are written.
  virtual ProgramStore& Programs() = 0;
};

}  // namespace stylor
