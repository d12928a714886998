#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engrave/job_host.h"
#include "settings/engrave_settings.h"

namespace stylor {

/// What the window model asks of its front end: the dialogs, the message boxes, the browser, and
/// word of every change so that the screen always shows what the model holds.
class FormHost : public JobHost {
 public:
  /// The font dialog (title "Font File"; stroke fonts .fnt and single-line fonts .lff, .cxf).
  virtual std::optional<std::string> AskFontFile(const std::string& initialDirectory) = 0;
  /// The machine save dialog (filter "Machine File|*.mch", extension mch, no overwrite question).
  virtual std::optional<std::string> AskMachineFileToSave(const std::string& initialDirectory) = 0;
  /// The machine open dialog (filter "Machine File|*.mch").
  virtual std::optional<std::string> AskMachineFileToOpen(const std::string& initialDirectory) = 0;
  /// The data file dialog of the Batch page (filter "Data File|*.csv;*.tsv;*.txt").
  virtual std::optional<std::string> AskDataFile(const std::string& initialDirectory) = 0;
  /// A message box with the error icon, titled "Stylor"; `text` already ends as shown.
  virtual void ShowError(const std::string& text) = 0;
  /// A warning that does not stop what was done (the window's status bar, the command line's
  /// stderr), such as the characters a job left blank.
  virtual void ShowWarning(const std::string& text) = 0;
  /// A setting that makes the program dangerous to run, said when a job runs with it: the window
  /// shows it as any warning, the command line as "Stylor: warning: ...".
  virtual void ShowSetupWarning(const std::string& text) { ShowWarning(text); }
  /// Opens an address in the user's browser.
  virtual void OpenUrl(const std::string& url) = 0;
  /// A field changed, by the user or by the program.
  virtual void FieldChanged(const FieldInfo& /*field*/) {}
  /// A handler was refused for the value of `field`: `text` already ends as shown. A window names
  /// the box and puts the focus on it; a host without boxes shows it as any other error.
  virtual void ShowFieldRefusal(const FieldInfo& /*field*/, const std::string& text) {
    ShowError(text);
  }
  /// A change rule stopped at the value of `field` (for instance while the user types): `text`
  /// already ends as shown. A window marks the field instead of opening a box; a host without
  /// fields to mark shows it as any other error.
  virtual void ShowFieldError(const FieldInfo& /*field*/, const std::string& text) {
    ShowError(text);
  }
  /// The check of a field's value changed: EngraveFormModel::FieldError tells what is wrong now.
  virtual void FieldErrorChanged(const FieldInfo& /*field*/) {}
  /// A handler wrote these program files (native paths, in the order first written).
  virtual void ProgramsWritten(const std::vector<std::string>& /*files*/) {}
  /// A job handed out counter numbers ("SN 0042, LOT 7"): the window's status bar names them.
  virtual void NumbersTaken(const std::string& /*numbers*/) {}
  /// A label, the font report, a visibility or the current page changed.
  virtual void ViewChanged() {}
};

}  // namespace stylor
