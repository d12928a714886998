#include "engrave/job_plan.h"

#include <utility>

#include "engrave/job_host.h"
#include "engrave/job_writer.h"
#include "engrave/layouts/program_size.h"

namespace stylor {

bool WritePlan(JobPlan& plan, JobHost& host) {
  if (const std::optional<std::string> refusal = plan.Refusal()) {
    host.ShowMessage(*refusal);
    return false;
  }
  // Everything that can refuse the job is worked out before the save dialog: the size needs
  // the first program's bytes, and the names of a series are checked whole.
  const std::optional<SizeEstimate> size = plan.Size();
  std::optional<SeriesNames> names = plan.Series();
  ChoiceKeepingHost chosen(host);
  const auto requireRoom = [&] {
    if (size) RequireRoomFor(size->bytes, size->how, chosen.Chosen().value_or(""));
  };
  if (!names) {
    return WriteFramedProgram(chosen, plan.Frame(0), [&](ProgramSink& body) {
      requireRoom();
      plan.WriteBody(0, body);
    });
  }
  ProgramSeries series;
  series.presetName = std::move(names->presetName);
  series.fileNames = std::move(names->fileNames);
  series.frameOf = [&](std::size_t k) { return plan.Frame(k); };
  series.body = [&](std::size_t k, ProgramSink& body) {
    if (k == 0) requireRoom();
    plan.WriteBody(k, body);
  };
  return WriteProgramSeries(chosen, plan.Frame(0), series);
}

}  // namespace stylor
