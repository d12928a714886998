#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engrave/layouts/sequence.h"
#include "settings/control_dialects.h"

namespace stylor {

struct EngraveSettings;
struct StrokeFont;
class JobPlan;

/// The "On the control" sequence, converted: the run as the plain sequence reads it, the
/// control's dialect, the kept variable that counts and the first subprogram number.
struct ControlJob {
  SequenceJob run;
  const ControlDialect* dialect = &kControlDialects[0];
  std::int32_t counterVariable = 500;
  std::int32_t firstSubprogram = 8000;
};

/// Reads the settings of a sequence that counts on the control. Throws Error as
/// PrepareSequenceJob and RequireNumbers do, and names the field, the mode or the option that
/// such a program cannot hold: a lathe-mill mode, a feed mode other than per minute, the cutting
/// options, a code, an append mode that leaves out the start or end block, a dialect, counter
/// variable or subprogram number outside the dialect's ranges.
ControlJob PrepareControlJob(const EngraveSettings& settings, const StrokeFont& font);

/// The program that stays in the control ("\n" line ends, no frame): the subprograms of every
/// character the run can need, and the cycle that reads the serial from the kept variable,
/// checks it against the run, cuts it and steps the variable. `beforeCycle` is what comes
/// between the start block and the end block; `afterEnd` what follows the end block (empty
/// where the dialect puts its subprograms first).
struct ControlProgram {
  std::string beforeCycle;
  std::string afterEnd;
};

/// Writes the program of `job`. Throws Error when a value cannot be written as a machine number.
ControlProgram WriteControlProgram(const ControlJob& job, const StrokeFont& font);

/// The plan of a sequence that counts on the control: one program. The preview draws the first
/// number as the plain program cuts it.
std::unique_ptr<JobPlan> PlanControlSequence(const EngraveSettings& settings,
                                             const StrokeFont& font);

}  // namespace stylor
