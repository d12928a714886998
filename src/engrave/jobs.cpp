#include "engrave/jobs.h"

#include "engrave/control/control_program.h"
#include "engrave/job_plan.h"
#include "engrave/layouts/arc.h"
#include "engrave/layouts/batch.h"
#include "engrave/layouts/ellipse.h"
#include "engrave/layouts/free_form.h"
#include "engrave/layouts/sequence.h"
#include "settings/error.h"

namespace stylor {
namespace {

std::unique_ptr<JobPlan> FreeFormText(const JobInput& in) {
  return PlanFreeFormText(in.settings, in.font);
}
std::unique_ptr<JobPlan> CircleText(const JobInput& in) {
  return PlanCircleText(in.settings, in.font);
}
std::unique_ptr<JobPlan> EllipseText(const JobInput& in) {
  return PlanEllipseText(in.settings, in.font);
}
std::unique_ptr<JobPlan> Sequence(const JobInput& in) {
  if (OnTheControlOf(in.settings.Files)) return PlanControlSequence(in.settings, in.font);
  return PlanSequence(in.settings, in.font);
}
std::unique_ptr<JobPlan> Batch(const JobInput& in) {
  if (in.rows == nullptr) {
    throw Error("No data file is chosen: pick one with \"Data File...\" before generating");
  }
  return PlanBatch(in.settings, *in.rows, BatchLayoutOf(in.settings.BatchTextKind), in.font,
                   in.codes);
}

constexpr JobInfo kJobs[] = {
    {JobKind::FreeFormText, kBatchLayoutCaptions[0], "EngraveText", "EngraveText", "text", "FILE",
     "\"EngraveText\": free-form text into the program FILE (not a folder)",
     BatchLayout::FreeFormText, FreeFormText},
    {JobKind::CircleText, kBatchLayoutCaptions[1], "CreateArc", "Create Arc", "arc", "FILE",
     "\"Create Arc\": circle text into FILE", BatchLayout::CircleText, CircleText},
    {JobKind::EllipseText, kBatchLayoutCaptions[2], "CreateEllipse", "Create Ellipse", "ellipse",
     "FILE", "\"Create Ellipse\": ellipse text into FILE", BatchLayout::EllipseText, EllipseText},
    {JobKind::Sequence, "Sequence", "GenerateSequences", "Generate Sequences", "sequence", "FILE",
     "\"Generate Sequences\" into FILE (Many Files: into the folder of FILE, or FILE itself "
     "when it is a folder)",
     std::nullopt, Sequence},
    {JobKind::Batch, "Batch", "GenerateBatch", "Generate from Data", "batch", "JOB ROWS OUT",
     "\"Generate from Data\": the job text, arc or ellipse once per row of the data file ROWS "
     "(values separated by commas, tabs or semicolons, as its first line shows), into the "
     "program OUT (One File) or the folder OUT (Many Files); {Column}, {Row} and {Rows} in the "
     "texts and G-code blocks take each row's values",
     std::nullopt, Batch},
};

// The table is in JobKind order, so that a kind is its own index.
constexpr bool InKindOrder() {
  for (std::size_t k = 0; k < std::size(kJobs); ++k) {
    if (static_cast<std::size_t>(kJobs[k].kind) != k) return false;
  }
  return true;
}
static_assert(InKindOrder(), "kJobs must list the jobs in JobKind order");

}  // namespace

std::span<const JobInfo> AllJobs() { return kJobs; }

const JobInfo& JobInfoOf(JobKind kind) { return kJobs[static_cast<std::size_t>(kind)]; }

const JobInfo& JobOfBatchLayout(BatchLayout layout) {
  for (const JobInfo& job : kJobs) {
    if (job.batchLayout == layout) return job;
  }
  return kJobs[0];
}

std::unique_ptr<JobPlan> MakePlan(JobKind kind, const JobInput& input) {
  return JobInfoOf(kind).plan(input);
}

}  // namespace stylor
