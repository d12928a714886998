#include "preview/preview_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "engrave/framing.h"
#include "engrave/job_plan.h"
#include "engrave/layouts/arc.h"
#include "engrave/layouts/batch.h"
#include "engrave/prepared_job.h"
#include "engrave/program_store.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

constexpr const char* kPreviewFile = "preview.eia";

// "None" draws the moves as they are and needs no caption.
std::string ModeCaption(const LatheMillMode& mode) {
  return &mode == &kLatheMillModes[0] ? std::string() : std::string(mode.caption);
}

// The note of lines the reader skipped, joined to what the scene notes already.
void AddUnreadNote(PreviewScene& scene, std::int64_t unreadLines) {
  if (unreadLines <= 0) return;
  std::string note;
  AppendInteger(note, unreadLines);
  note += unreadLines == 1 ? " line" : " lines";
  note += " not read (macro lines or numbers that do not read)";
  scene.note = scene.note.empty() ? note : scene.note + "; " + note;
}

// Reads a program with `read` (its bytes or its file), handing the segments of each move to
// `segment` and, with `stats`, adding the move to them; the scene gets the plane letters, the
// caption, the start and the note.
template <typename Read, typename Segment>
ProgramSummary ReadSegments(PreviewScene& scene, const ReaderOptions& options, Read&& read,
                            ProgramStats* stats, Segment&& segment) {
  scene.axis1 = options.axis1;
  scene.axis2 = options.axis2;
  scene.caption = ModeCaption(*options.mode);
  const ProgramSummary summary = read([&](const ProgramMove& move) {
    if (stats != nullptr) AddMove(*stats, move);
    SegmentsOfMove(move, segment);
  });
  scene.programStart = summary.start;
  AddUnreadNote(scene, summary.unreadLines);
  return summary;
}

// Reads a program with `read` (its bytes or its file) into the scene's segments and statistics.
template <typename Read>
void AddProgramRead(PreviewScene& scene, const ReaderOptions& options, Read&& read) {
  ProgramStats stats;
  const ProgramSummary summary =
      ReadSegments(scene, options, std::forward<Read>(read), &stats,
                   [&](const PreviewSegment& segment) { scene.segments.push_back(segment); });
  AddSummary(stats, summary);
  scene.stats = std::move(stats);
}

void AddProgram(PreviewScene& scene, std::string_view bytes, const std::string& name,
                const ReaderOptions& options) {
  AddProgramRead(scene, options, [&](const MoveVisitor& visit) {
    return ReadProgram(bytes, name, options, visit);
  });
  scene.program.assign(bytes);
}

PreviewGuide ArcGuide(const EngraveSettings& settings, const PreparedJob& job) {
  double radius = ReadReal(settings.RadiusE);
  // Counter-clockwise baselines sit one text height further out.
  if (ArcWindingOf(settings.Direction) == Winding::CounterClockwise) {
    radius = radius + job.textHeight;
  }
  return {GuideKind::Circle, job.start, std::abs(radius), std::abs(radius), 0};
}

// The program of a job as its file would hold it, framed, in memory.
template <typename Body>
std::string FramedProgram(const ProgramFrame& frame, Body&& body) {
  MemorySink program;
  program.Write(frame.startBlock);
  body(program);
  program.Write(frame.endBlock);
  return std::move(program.Bytes());
}

// The statistics of every program of a plan, added up.
ProgramStats PlanStats(JobPlan& plan, const ReaderOptions& options) {
  const auto programStats = [&](std::size_t k) {
    const ProgramFrame frame = plan.Frame(k);
    StatsSink sink(options, kPreviewFile);
    sink.Write(frame.startBlock);
    plan.WriteBody(k, sink);
    sink.Write(frame.endBlock);
    return sink.Finish();
  };
  if (plan.Programs() == 1) return programStats(0);
  ProgramStats total;
  for (std::size_t k = 0; k < plan.Programs(); ++k) AddProgramStats(total, programStats(k));
  return total;
}

// The statistics of every program of a plan and, under a travel order, of the same job in the
// font's order: `plainPlan` makes the plan of settings.
template <typename PlainPlan>
ProgramStats JobPlanStats(JobPlan& plan, const EngraveSettings& settings,
                          const ReaderOptions& options, PlainPlan&& plainPlan) {
  ProgramStats stats = PlanStats(plan, options);
  if (settings.TravelOrder == 0) return stats;
  EngraveSettings plain = settings;
  plain.TravelOrder = 0;
  const std::unique_ptr<JobPlan> fontOrder = plainPlan(plain);
  const ProgramStats plainStats = PlanStats(*fontOrder, options);
  stats.fontOrder = FontOrderStats{plainStats.rapidLength, plainStats.feedMinutes};
  return stats;
}

// The start point or centre marker of the job, and its circle or ellipse as a guide. The job
// has read these fields already, so they convert.
void AddGuide(PreviewScene& scene, const EngraveSettings& settings, TextShape shape) {
  const PreparedJob prepared = PrepareJob(settings);
  switch (shape) {
    case TextShape::Circle:
      scene.guide = ArcGuide(settings, prepared);
      scene.marker = PreviewMarker{MarkerKind::Centre, prepared.start};
      return;
    case TextShape::Ellipse: {
      const double a = ReadReal(settings.AEdit) * 0.5;
      const double b = ReadReal(settings.BEdit) * 0.5;
      scene.guide = {GuideKind::Ellipse, prepared.start, std::abs(a), std::abs(b),
                     prepared.textAngleRad};
      scene.marker = PreviewMarker{MarkerKind::Centre, prepared.start};
      return;
    }
    case TextShape::Line:
      scene.marker = PreviewMarker{MarkerKind::StartPoint, prepared.start};
      return;
  }
}

// Draws item `item` of the plan (the last, past the end) framed as its program file would be,
// with the job's guide and the item's note; the statistics are those of every program of the
// plan. A refused plan gives its message, with the guide still drawn.
template <typename PlainPlan>
void AddPlan(PreviewScene& scene, JobPlan& plan, const EngraveSettings& settings,
             std::size_t item, PlainPlan&& plainPlan) {
  AddGuide(scene, settings, plan.Shape());
  if (const std::optional<std::string> refusal = plan.Refusal()) {
    scene.message = WithFullStop(*refusal);
    return;
  }
  if (plan.Items() > 0) item = std::min(item, plan.Items() - 1);
  scene.note = plan.ItemNote(item);
  const std::string program = FramedProgram(plan.Frame(plan.ProgramOfItem(item)),
                                            [&](ProgramSink& body) { plan.WriteItem(item, body); });
  ReaderOptions options = ReaderOptionsFrom(settings);
  for (const auto& [variable, value] : plan.ItemVariables(item)) {
    options.variables.push_back({variable, value});
  }
  AddProgram(scene, program, kPreviewFile, options);
  scene.stats = JobPlanStats(plan, settings, options, plainPlan);
}

void Include(PreviewBounds& bounds, Point2 p) {
  if (bounds.empty) {
    bounds = {p, p, false};
    return;
  }
  bounds.min.x = std::min(bounds.min.x, p.x);
  bounds.min.y = std::min(bounds.min.y, p.y);
  bounds.max.x = std::max(bounds.max.x, p.x);
  bounds.max.y = std::max(bounds.max.y, p.y);
}

// A scene with the plane letters and mode caption of the settings, filled by `fill`; an error
// leaves only the message.
template <typename Fill>
PreviewScene GuardedScene(const EngraveSettings& settings, Fill&& fill) {
  PreviewScene scene;
  scene.axis1 = ReadLetter(settings.Axis1E);
  scene.axis2 = ReadLetter(settings.Axis2E);
  scene.caption = ModeCaption(LatheMillModeOf(settings.IntegrexMode));
  try {
    if (settings.CodeKind != 0) scene.cutWidth = ReadReal(settings.ToolDiameterE);
    fill(scene);
  } catch (const Error& error) {
    PreviewScene failed;
    failed.axis1 = scene.axis1;
    failed.axis2 = scene.axis2;
    failed.caption = scene.caption;
    failed.message = WithFullStop(error.what());
    return failed;
  }
  return scene;
}

}  // namespace

PreviewBounds BoundsOf(const PreviewScene& scene) {
  PreviewBounds bounds;
  for (const PreviewSegment& segment : scene.segments) {
    Include(bounds, segment.from);
    Include(bounds, segment.to);
  }
  if (scene.programStart) Include(bounds, *scene.programStart);
  if (scene.marker) Include(bounds, scene.marker->at);
  const PreviewGuide& guide = scene.guide;
  if (guide.kind != GuideKind::None) {
    const double c = std::cos(guide.angleRad);
    const double s = std::sin(guide.angleRad);
    const double half1 = std::hypot(guide.radius1 * c, guide.radius2 * s);
    const double half2 = std::hypot(guide.radius1 * s, guide.radius2 * c);
    Include(bounds, {guide.centre.x - half1, guide.centre.y - half2});
    Include(bounds, {guide.centre.x + half1, guide.centre.y + half2});
  }
  return bounds;
}

PreviewScene SceneOfProgram(std::string_view bytes, const std::string& name,
                            const ReaderOptions& options) {
  PreviewScene scene;
  AddProgram(scene, bytes, name, options);
  return scene;
}

void IncludeInBounds(PreviewBounds& bounds, Point2 point) { Include(bounds, point); }

PreviewScene SceneOfProgramFile(const std::string& path, const ReaderOptions& options,
                                const ReadProgress& progress) {
  PreviewScene scene;
  bool reserved = false;
  AddProgramRead(scene, options, [&](const MoveVisitor& visit) {
    return ReadProgramFile(path, options, visit, [&](std::size_t done, std::size_t total) {
      // A move takes 10 bytes of program or more: room for them all at once spares the copies
      // of a growing list, and the pages of what is not used are never touched.
      if (!reserved) scene.segments.reserve(std::min(total, kMaxProgramBytes) / 10 + 16);
      reserved = true;
      if (progress) progress(done, total);
    });
  });
  scene.programFile = path;
  return scene;
}

PreviewScene BuildPreview(const EngraveSettings& settings, const StrokeFont& font, JobKind job,
                          const DataTable* rows, std::size_t item, const RowCodes& codes) {
  return GuardedScene(settings, [&](PreviewScene& scene) {
    const std::unique_ptr<JobPlan> plan = MakePlan(job, {settings, font, rows, codes});
    AddPlan(scene, *plan, settings, item,
            [&](const EngraveSettings& plain) { return MakePlan(job, {plain, font, rows, codes}); });
  });
}

FontOrderStats FontOrderOf(JobKind job, const JobInput& input, const ReaderOptions& options) {
  EngraveSettings plain = input.settings;
  plain.TravelOrder = 0;
  const ProgramStats stats =
      PlanStats(*MakePlan(job, {plain, input.font, input.rows, input.codes}), options);
  return {stats.rapidLength, stats.feedMinutes};
}

ProgramStats JobStats(JobKind job, const JobInput& input, const ReaderOptions& options) {
  const std::unique_ptr<JobPlan> plan = MakePlan(job, input);
  // A program that counts on the control: one cycle, with the counter at the run's first number.
  ReaderOptions withCounter = options;
  for (const auto& [variable, value] : plan->ItemVariables(0)) {
    withCounter.variables.push_back({variable, value});
  }
  return JobPlanStats(*plan, input.settings, withCounter, [&](const EngraveSettings& plain) {
    return MakePlan(job, {plain, input.font, input.rows, input.codes});
  });
}

PreviewScene BuildBatchPreview(const EngraveSettings& settings, const DataTable& table,
                               BatchLayout layout, const StrokeFont& font, std::size_t row) {
  return GuardedScene(settings, [&](PreviewScene& scene) {
    const std::unique_ptr<JobPlan> plan = PlanBatch(settings, table, layout, font);
    AddPlan(scene, *plan, settings, row, [&](const EngraveSettings& plain) {
      return PlanBatch(plain, table, layout, font);
    });
  });
}

PreviewScene ReadProgramFileSegments(const std::string& path, const ReaderOptions& options,
                                     const SegmentVisitor& segment) {
  PreviewScene scene;
  ReadSegments(
      scene, options,
      [&](const MoveVisitor& visit) { return ReadProgramFile(path, options, visit); }, nullptr,
      segment);
  return scene;
}

}  // namespace stylor
