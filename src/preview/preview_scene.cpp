#include "preview/preview_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "engrave/job_host.h"
#include "engrave/layouts/arc.h"
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

enum class Job { FreeForm, Arc, Ellipse, Sequence };

Job JobOf(Page page) {
  switch (static_cast<int>(page)) {
    case 1: return Job::Arc;
    case 2: return Job::Ellipse;
    case 3: return Job::Sequence;
    default: return Job::FreeForm;
  }
}

// Answers the save dialog with one name, keeps the program in memory and holds the job's plain
// message instead of showing a box.
class PreviewHost final : public JobHost {
 public:
  std::optional<std::string> AskProgramFile(const std::optional<std::string>&) override {
    return std::string(kPreviewFile);
  }
  void ClearProgramFileName() override {}
  void ShowMessage(const std::string& text) override {
    if (!m_message) m_message = text;
  }
  ProgramStore& Programs() override { return m_store; }

  const std::optional<std::string>& Message() const { return m_message; }
  const std::string& Program() const { return m_store.Bytes(kPreviewFile); }

 private:
  MemoryProgramStore m_store;
  std::optional<std::string> m_message;
};

std::string ModeCaption(int latheMillMode) {
  if (latheMillMode < 1 || latheMillMode >= static_cast<int>(kIntegrexModeItems.size())) return {};
  return std::string(kIntegrexModeItems[static_cast<std::size_t>(latheMillMode)]);
}

void AddProgram(PreviewScene& scene, std::string_view bytes, const std::string& name,
                const ReaderOptions& options) {
  scene.axis1 = options.axis1;
  scene.axis2 = options.axis2;
  scene.caption = ModeCaption(options.latheMillMode);
  ProgramStats stats;
  const ProgramSummary summary = ReadProgram(bytes, name, options, [&](const ProgramMove& move) {
    AddMove(stats, move);
    switch (move.kind) {
      case MoveKind::Cut:
        if (!(move.from == move.to)) scene.segments.push_back({SegmentKind::Cut, move.from, move.to});
        break;
      case MoveKind::Rapid:
      case MoveKind::Travel:
        if (!(move.from == move.to)) {
          scene.segments.push_back({SegmentKind::Rapid, move.from, move.to});
        }
        break;
      case MoveKind::Plunge: scene.segments.push_back({SegmentKind::Plunge, move.to, move.to}); break;
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

// The sequence job for the preview: one program, and only the first numbers, since every number
// is engraved at the same place.
EngraveSettings SequencePreviewSettings(const EngraveSettings& settings, std::string& note) {
  EngraveSettings limited = settings;
  limited.Files = 0;
  std::int64_t first = 0;
  std::int64_t last = 0;
  std::int64_t step = 1;
  try {
    first = ReadInteger(settings.SeqStart);
    last = ReadInteger(settings.SeqEnd);
    step = std::max<std::int64_t>(ReadInteger(settings.SeqStep), 1);
  } catch (const Error&) {
    // The job itself reports the field, in the order in which it reads them.
    return limited;
  }
  if (last >= first) {
    const std::int64_t count = (last - first) / step + 1;
    if (count > kPreviewNumbers) {
      limited.SeqEnd.clear();
      AppendInteger(limited.SeqEnd, first + step * (kPreviewNumbers - 1));
      note = "First ";
      AppendInteger(note, kPreviewNumbers);
      note += " of ";
      AppendInteger(note, count);
      note += " numbers, engraved at the same place";
    }
  }
  if (settings.Files != 0) {
    if (!note.empty()) note += "; ";
    note += "Many Files writes each number to a program of its own";
  }
  return limited;
}

PreviewGuide ArcGuide(const EngraveSettings& settings, const PreparedJob& job) {
  double radius = ReadReal(settings.RadiusE);
  // Counter-clockwise baselines sit one text height further out.
  if (settings.Direction != 0) radius = radius + job.textHeight;
  return {GuideKind::Circle, job.start, std::abs(radius), std::abs(radius), 0};
}

void RunJob(PreviewScene& scene, const EngraveSettings& settings, const StrokeFont& font,
            Page page) {
  PreviewHost host;
  const Job job = JobOf(page);
  switch (job) {
    case Job::FreeForm: EngraveFreeFormText(settings, font, host); break;
    case Job::Arc: CreateArc(settings, font, host); break;
    case Job::Ellipse: CreateEllipse(settings, font, host); break;
    case Job::Sequence: {
      std::string note;
      const EngraveSettings limited = SequencePreviewSettings(settings, note);
      GenerateSequences(limited, font, host);
      scene.note = note;
      break;
    }
  }

  // The job has read these fields already, so they convert.
  const PreparedJob prepared = PrepareJob(settings);
  const bool onCircle = job == Job::Arc || (job == Job::Sequence && settings.UseArcSettings);
  if (onCircle) {
    scene.guide = ArcGuide(settings, prepared);
    scene.marker = PreviewMarker{MarkerKind::Centre, prepared.start};
  } else if (job == Job::Ellipse) {
    const double a = ReadReal(settings.AEdit) * 0.5;
    const double b = ReadReal(settings.BEdit) * 0.5;
    scene.guide = {GuideKind::Ellipse, prepared.start, std::abs(a), std::abs(b),
                   prepared.textAngleRad};
    scene.marker = PreviewMarker{MarkerKind::Centre, prepared.start};
  } else {
    scene.marker = PreviewMarker{MarkerKind::StartPoint, prepared.start};
  }

  if (host.Message()) {
    scene.message = WithFullStop(*host.Message());
    return;
  }
  AddProgram(scene, host.Program(), kPreviewFile, ReaderOptionsFrom(settings));
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

PreviewScene BuildPreview(const EngraveSettings& settings, const StrokeFont& font, Page page) {
  PreviewScene scene;
  scene.axis1 = ReadLetter(settings.Axis1E);
  scene.axis2 = ReadLetter(settings.Axis2E);
  scene.caption = ModeCaption(settings.IntegrexMode);
  try {
    RunJob(scene, settings, font, page);
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

}  // namespace stylor
