#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engrave/geometry.h"
#include "engrave/jobs.h"
#include "engrave/layouts/batch.h"
#include "preview/program_reader.h"
#include "preview/program_stats.h"

namespace stylor {

struct EngraveSettings;
struct StrokeFont;

/// The window's pages (the window model defines them). The preview goes by their order:
/// FreeForm, CircleText, EllipseText, Sequence, then the pages that run no job.

/// How a piece of tool path is drawn.
enum class SegmentKind {
  Cut,     // feed move with the tool down: drawn solid
  Rapid,   // positioning move with the tool up (G00, or a feed move above the work)
  Plunge,  // the tool goes down here: `from` and `to` are the same point
};

/// One piece of tool path in the text plane: Axis 1 to the right, Axis 2 up, machine lengths
/// (rotary degrees unrolled on the pen down radius).
struct PreviewSegment {
  SegmentKind kind = SegmentKind::Cut;
  Point2 from;
  Point2 to;
  std::int64_t line = 0;  // the program line of the move, 1 for the first; 0 unknown
  /// Segments are equal when they draw the same, whatever line wrote them.
  friend bool operator==(const PreviewSegment& a, const PreviewSegment& b) {
    return a.kind == b.kind && a.from == b.from && a.to == b.to;
  }
};

/// The shape a layout puts its text on.
enum class GuideKind { None, Circle, Ellipse };

/// The circle or ellipse that the text follows, drawn as a thin guide.
struct PreviewGuide {
  GuideKind kind = GuideKind::None;
  Point2 centre;
  double radius1 = 0;   // along the turned Axis 1 (a circle's radius)
  double radius2 = 0;   // across it (a circle: the same)
  double angleRad = 0;  // turn of radius1 from Axis 1, counter-clockwise
  friend bool operator==(const PreviewGuide&, const PreviewGuide&) = default;
};

/// What the marker stands for.
enum class MarkerKind {
  StartPoint,  // the start values of the settings, where free-form text and numbers begin
  Centre,      // the centre of the arc's circle or of the ellipse
};

/// A point of the settings drawn as a cross.
struct PreviewMarker {
  MarkerKind kind = MarkerKind::StartPoint;
  Point2 at;
  friend bool operator==(const PreviewMarker&, const PreviewMarker&) = default;
};

/// Everything the preview panel draws, in plane coordinates; no toolkit types.
struct PreviewScene {
  std::vector<PreviewSegment> segments;    // in program order
  std::optional<Point2> programStart;      // the first place in the plane the program reaches
  std::optional<PreviewMarker> marker;
  PreviewGuide guide;
  char axis1 = 'X';                        // letters of the horizontal and vertical axes
  char axis2 = 'Y';
  std::string caption;    // the lathe-mill mode ("" for "None"); moves are shown as written
  std::string note;       // what the picture leaves out or joins (sequences), else ""
  std::string message;    // why nothing is drawn: a field that does not convert, a refusal
  std::optional<ProgramStats> stats;  // of the program the segments were read from
  std::string program;    // the text the segments were read from, as the program writes it
  std::string programFile;  // a program read from a file: that file, whose text stays there
  double cutWidth = 0;    // with a code: ToolDiameterE, the width cuts and dots are drawn at
};

/// The rectangle that holds every segment, marker and guide of a scene.
struct PreviewBounds {
  Point2 min;
  Point2 max;
  bool empty = true;
};

/// The bounds of `scene`; empty when it has nothing to draw.
PreviewBounds BoundsOf(const PreviewScene& scene);

/// Widens `bounds` to hold `point`.
void IncludeInBounds(PreviewBounds& bounds, Point2 point);

/// Hands `segment` the segments a move is drawn with, in order: the chords of an arc, a straight
/// move that goes somewhere, a plunge as its point; a lift draws nothing.
template <typename Segment>
void SegmentsOfMove(const ProgramMove& move, Segment&& segment) {
  switch (move.kind) {
    case MoveKind::Cut:
    case MoveKind::Rapid:
    case MoveKind::Travel: {
      const SegmentKind kind = move.kind == MoveKind::Cut ? SegmentKind::Cut : SegmentKind::Rapid;
      if (move.arc) {
        const std::vector<Point2> points = MovePoints(move);
        for (std::size_t k = 1; k < points.size(); ++k) {
          segment(PreviewSegment{kind, points[k - 1], points[k], move.line});
        }
      } else if (!(move.from == move.to)) {
        segment(PreviewSegment{kind, move.from, move.to, move.line});
      }
      break;
    }
    case MoveKind::Plunge:
      segment(PreviewSegment{SegmentKind::Plunge, move.to, move.to, move.line});
      break;
    case MoveKind::Lift: break;
  }
}

/// Receives the segments of a program one by one.
using SegmentVisitor = std::function<void(const PreviewSegment&)>;

/// The scene of a program text: its moves as segments, its first point as the start marker, the
/// options' plane letters and mode caption, and the program's statistics. Throws what ReadProgram
/// throws.
PreviewScene SceneOfProgram(std::string_view bytes, const std::string& name,
                            const ReaderOptions& options);

/// The scene of the program file at `path`, read piece by piece (ReadProgramFile), the file
/// named by its path. Throws what ReadProgramFile throws.
PreviewScene SceneOfProgramFile(const std::string& path, const ReaderOptions& options,
                                const ReadProgress& progress = {});

/// Reads the program file at `path` as SceneOfProgramFile does, handing each segment to
/// `segment` instead of keeping it: the scene comes back without segments and statistics, with
/// the start, the plane letters, the caption and the note. Throws what ReadProgramFile throws.
PreviewScene ReadProgramFileSegments(const std::string& path, const ReaderOptions& options,
                                     const SegmentVisitor& segment);

/// The statistics of the whole job as it will be written, every item and every file; under a
/// TravelOrder with those of the same job in the font's order beside them. Throws Error as the
/// job's plan does.
ProgramStats JobStats(JobKind job, const JobInput& input, const ReaderOptions& options);

/// The rapid length and feed time of the whole job cut in the font's order (TravelOrder 0).
/// Throws Error as the job's plan does.
FontOrderStats FontOrderOf(JobKind job, const JobInput& input, const ReaderOptions& options);

/// Runs the plan of `job` in memory and reads its program back into a scene with the start
/// point or centre marker and the arc's circle or the ellipse as a guide. A job that repeats
/// an item (a number of a run, a row of a batch of `rows`) draws item `item` (past the last,
/// the last), framed as its program file would be, with the note "1 of N numbers" or "row K of
/// N"; the statistics are those of the whole job as it will be written, every item and every
/// file. Never touches a file and never throws: a field that does not convert, or the job's
/// refusal, comes back as the scene's message (full stop included, as a message box shows it)
/// with no segments.
PreviewScene BuildPreview(const EngraveSettings& settings, const StrokeFont& font, JobKind job,
                          const DataTable* rows = nullptr, std::size_t item = 0,
                          const RowCodes& codes = {});

/// The preview of a batch of `layout` (whatever BatchTextKind holds): row `row`, as BuildPreview
/// draws an item.
PreviewScene BuildBatchPreview(const EngraveSettings& settings, const DataTable& table,
                               BatchLayout layout, const StrokeFont& font, std::size_t row = 0);

}  // namespace stylor
