#pragma once

#include <span>
#include <string_view>

namespace stylor {

/// What an action of the command line does.
enum class ActionKind {
  Set,
  Font,
  Text,
  Arc,
  Ellipse,
  Sequence,
  SaveMachine,
  OpenMachine,
  OpenOld,
  ResetMachine,
  Width,
  Example,
  FontReport,
  Show,
  Stats,
  Preview,
  Batch,
  Render,
};

/// One action of the command line: its name, its arguments and the line of help
/// about it.
struct ActionInfo {
  std::string_view name;
  ActionKind kind;
  std::string_view argument;  // empty: the action takes none; else one operand per word
  std::string_view help;
};

/// Every action, in the order the help lists them.
std::span<const ActionInfo> AllActions();

/// The action of that exact name, or nothing.
const ActionInfo* FindAction(std::string_view name);

}  // namespace stylor
