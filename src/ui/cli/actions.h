#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "engrave/jobs.h"

namespace stylor {

/// What an action of the command line does.
enum class ActionKind {
  Set,
  Var,  // --var N=VALUE: a variable of the macro programs that stats and preview read
  Font,
  Job,  // runs the job of the action, as its button does (a batch reads its rows first)
  JobStats,  // the statistics of a job as it would be written
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
  Counter,
  Render,
};

/// One action of the command line: its name, its arguments and the line of help
/// about it.
struct ActionInfo {
  std::string_view name;
  ActionKind kind;
  std::string_view argument;  // empty: the action takes none; else one operand per word
  std::string_view help;
  std::optional<JobKind> job = std::nullopt;  // the job of a Job action
};

/// Every action, in the order the help lists them: the settings, then one action per job (from
/// the job table), then the machine files and the readers.
std::span<const ActionInfo> AllActions();

/// The action of that exact name, or nothing.
const ActionInfo* FindAction(std::string_view name);

}  // namespace stylor
