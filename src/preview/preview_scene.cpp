#include "preview/preview_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "engrave/framing.h"
#include "engrave/job_writer.h"
#include "engrave/layouts/arc.h"
#include "engrave/layouts/batch.h"
#include "engrave/layouts/ellipse.h"
#include "engrave/layouts/free_form.h"
#include "engrave/layouts/sequence.h"
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

void AddProgram(PreviewScene& scene, std::string_view bytes, const std::string& name,
                const ReaderOptions& options) {
  scene.axis1 = options.axis1;
  scene.axis2 = options.axis2;
  scene.caption = ModeCaption(*options.mode);
  ProgramStats stats;
  const ProgramSummary summary = ReadProgram(bytes, name, options, [&](const ProgramMove& move) {
    AddMove(stats, move);
    switch (move.kind) {
      case MoveKind::Cut:
      case MoveKind::Rapid:
      case MoveKind::Travel: {
        const SegmentKind kind = move.kind == MoveKind::Cut ? SegmentKind::Cut : SegmentKind::Rapid;
        if (move.arc) {
          const std::vector<Point2> points = MovePoints(move);
          for (std::size_t k = 1; k < points.size(); ++k) {
            scene.segments.push_back({kind, points[k - 1], points[k]});
          }
        } else if (!(move.from == move.to)) {
          scene.segments.push_back({kind, move.from, move.to});
        }
        break;
      }
      case MoveKind::Plunge:
        scene.segments.push_back({SegmentKind::Plunge, move.to, move.to});
        break;
      case MoveKind::Lift: break;
    }
  });
  scene.programStart = summary.start;
  AddSummary(stats, summary);
  scene.stats = std::move(stats);
  if (summary.unreadLines > 0) {
    std::string note;
    AppendInteger(note, summary.unreadLines);
    note += summary.unreadLines == 1 ? " line" : " lines";
    note += " not read (macro lines or numbers that do not read)";
    scene.note = scene.note.empty() ? note : scene.note + "; " + note;
  }
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

// The statistics of a whole sequence run: one program, or one per number added up.
ProgramStats SequenceRunStats(const SequenceJob& run, const ProgramFrame& frame,
                              const StrokeFont& font, const ReaderOptions& options) {
  const std::int64_t count = run.Count();
  SequenceWriter writer(run, font);
  if (!run.manyFiles) {
    StatsSink sink(options, kPreviewFile);
    sink.Write(frame.startBlock);
    for (std::int64_t k = 0; k < count; ++k) writer.WriteNumber(k, sink);
    sink.Write(frame.endBlock);
    return sink.Finish();
  }
  ProgramStats total;
  for (std::int64_t k = 0; k < count; ++k) {
    StatsSink sink(options, kPreviewFile);
    sink.Write(frame.startBlock);
    writer.WriteNumber(k, sink);
    sink.Write(frame.endBlock);
    AddProgramStats(total, sink.Finish());
  }
  return total;
}

std::string SequenceNote(const SequenceJob& run) {
  std::string note = "1 of ";
  AppendInteger(note, run.Count());
  note += run.manyFiles ? " program" : " number";
  if (run.Count() != 1) note += 's';
  return note;
}

// The start point or centre marker of the job, and its circle or ellipse as a guide. The job
// has read these fields already, so they convert.
void AddGuide(PreviewScene& scene, const EngraveSettings& settings, JobKind job) {
  const PreparedJob prepared = PrepareJob(settings);
  const bool onCircle =
      job == JobKind::CircleText || (job == JobKind::Sequence && settings.UseArcSettings);
  if (onCircle) {
    scene.guide = ArcGuide(settings, prepared);
    scene.marker = PreviewMarker{MarkerKind::Centre, prepared.start};
  } else if (job == JobKind::EllipseText) {
    const double a = ReadReal(settings.AEdit) * 0.5;
    const double b = ReadReal(settings.BEdit) * 0.5;
    scene.guide = {GuideKind::Ellipse, prepared.start, std::abs(a), std::abs(b),
                   prepared.textAngleRad};
    scene.marker = PreviewMarker{MarkerKind::Centre, prepared.start};
  } else {
    scene.marker = PreviewMarker{MarkerKind::StartPoint, prepared.start};
  }
}

// Runs the job's layout in memory and reads its program into the scene; a plain refusal of the
// job becomes the scene's message, with the job's guide still drawn.
void RunJob(PreviewScene& scene, const EngraveSettings& settings, const StrokeFont& font,
            JobKind job) {
  std::string program;
  std::optional<std::string> refusal;
  std::optional<SequenceJob> run;
  std::optional<ProgramFrame> runFrame;
  switch (job) {
    case JobKind::FreeFormText: {
      const FreeFormJob prepared = PrepareFreeFormJob(settings);
      const ProgramFrame frame = FrameOf(settings);
      if (prepared.lines.empty()) RequireSomethingToWrite(frame, kNoText);
      program = FramedProgram(frame, [&](ProgramSink& body) {
        WriteFreeFormBody(prepared, font, body);
      });
      break;
    }
    case JobKind::CircleText: {
      const ArcJob prepared = PrepareArcTextJob(settings);
      const ProgramFrame frame = FrameOf(settings);
      if (prepared.text.empty()) RequireSomethingToWrite(frame, kNoText);
      program = FramedProgram(frame,
                              [&](ProgramSink& body) { WriteArcBody(prepared, font, body); });
      break;
    }
    case JobKind::EllipseText: {
      const EllipseJob prepared = PrepareEllipseJob(settings, font);
      refusal = prepared.refusal;
      if (refusal) break;
      const ProgramFrame frame = FrameOf(settings);
      if (prepared.text.empty()) RequireSomethingToWrite(frame, kNoText);
      program = FramedProgram(frame, [&](ProgramSink& body) {
        WriteEllipseBody(prepared, font, body);
      });
      break;
    }
    case JobKind::Sequence: {
      run = PrepareSequenceJob(settings);
      runFrame = FrameOf(settings);
      RequireNumbers(*run);
      program = FramedProgram(*runFrame, [&](ProgramSink& body) {
        SequenceWriter(*run, font).WriteNumber(0, body);
      });
      scene.note = SequenceNote(*run);
      break;
    }
  }

  AddGuide(scene, settings, job);
  if (refusal) {
    scene.message = WithFullStop(*refusal);
    return;
  }
  const ReaderOptions options = ReaderOptionsFrom(settings);
  AddProgram(scene, program, kPreviewFile, options);
  if (run) scene.stats = SequenceRunStats(*run, *runFrame, font, options);
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

JobKind JobKindOf(BatchLayout layout) {
  if (layout == BatchLayout::CircleText) return JobKind::CircleText;
  if (layout == BatchLayout::EllipseText) return JobKind::EllipseText;
  return JobKind::FreeFormText;
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

PreviewScene BuildPreview(const EngraveSettings& settings, const StrokeFont& font,
                          JobKind job) {
  return GuardedScene(settings, [&](PreviewScene& scene) { RunJob(scene, settings, font, job); });
}

PreviewScene BuildBatchPreview(const EngraveSettings& settings, const DataTable& table,
                               BatchLayout layout, const StrokeFont& font, std::size_t row) {
  return GuardedScene(settings, [&](PreviewScene& scene) {
    const BatchJob batch = PrepareBatchJob(settings, table, layout);
    BatchWriter writer(batch, font);
    if (table.Rows() > 0) row = std::min(row, table.Rows() - 1);
    // One File frames every row in the blocks of its one program; Many Files frames each row
    // in its own.
    const std::size_t framed = writer.Programs() > 1 ? row : 0;
    const std::string program = FramedProgram(writer.Frame(framed), [&](ProgramSink& body) {
      writer.WriteRow(row, body);
    });
    AddGuide(scene, settings, JobKindOf(layout));
    const ReaderOptions options = ReaderOptionsFrom(settings);
    AddProgram(scene, program, kPreviewFile, options);
    std::string note = "row ";
    AppendInteger(note, static_cast<long long>(row + 1));
    note += " of ";
    AppendInteger(note, static_cast<long long>(table.Rows()));
    scene.note = scene.note.empty() ? note : note + "; " + scene.note;
    ProgramStats total;
    for (std::size_t k = 0; k < writer.Programs(); ++k) {
      const ProgramFrame frame = writer.Frame(k);
      StatsSink sink(options, kPreviewFile);
      sink.Write(frame.startBlock);
      writer.WriteBody(k, sink);
      sink.Write(frame.endBlock);
      AddProgramStats(total, sink.Finish());
    }
    scene.stats = total;
  });
}

}  // namespace stylor
