#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "settings/engrave_settings.h"

namespace stylor {

struct DataTable;
class JobPlan;
struct StrokeFont;

/// The jobs that write program files, one per page of the window that has one, in the order
/// of those pages.
enum class JobKind { FreeFormText, CircleText, EllipseText, Sequence, Batch };

/// The codes a batch fills besides its columns (dates, shifts, counters): the value of the
/// placeholder `name` (as written between the braces) in row `row`, or nothing for a name that
/// is no code. With codes, "{{" and "}}" stand for one brace, as in the other jobs' texts.
using RowCodes = std::function<std::optional<std::string>(std::string_view name, std::size_t row)>;

/// What a job is made from: the settings, the font, and for a batch its rows and codes.
struct JobInput {
  const EngraveSettings& settings;
  const StrokeFont& font;
  const DataTable* rows = nullptr;  // the batch's data file, when one is read
  RowCodes codes = {};              // the batch's codes, when placeholders are filled
};

/// Everything the front ends know of a job: its page, its button, its command-line action and
/// how its plan is made. A new job is one row of this table, its layout file and its page.
struct JobInfo {
  JobKind kind;
  std::string_view caption;        // the page's tab, and the batch's name of the layout
  std::string_view button;         // the object name of the button that runs it
  std::string_view buttonCaption;  // its text
  std::string_view action;         // the command-line action
  std::string_view actionArgument; // the action's operands, one per word
  std::string_view actionHelp;     // its line of help
  /// The BatchTextKind that repeats this job's layout per row, when a batch can.
  std::optional<BatchLayout> batchLayout;
  /// Makes the plan; throws Error as the layout does.
  std::unique_ptr<JobPlan> (*plan)(const JobInput& input);
};

/// Every job, in page order.
std::span<const JobInfo> AllJobs();

/// The row of `kind`.
const JobInfo& JobInfoOf(JobKind kind);

/// The job a batch repeats for `layout`.
const JobInfo& JobOfBatchLayout(BatchLayout layout);

/// The plan of `kind` for `input`. Throws Error as the layout does; a batch without rows is
/// refused, naming the "Data File..." button.
std::unique_ptr<JobPlan> MakePlan(JobKind kind, const JobInput& input);

}  // namespace stylor
