#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engrave/geometry.h"
#include "engrave/prepared_job.h"

namespace stylor {

struct EngraveSettings;
struct PreparedJob;
struct StrokeFont;
class JobHost;
class JobPlan;
class ProgramSink;

/// How a text goes around its circle: radius of the character baselines, direction sign
/// (-1 clockwise, +1 counter-clockwise) and the tangent offset (-pi/2 or +pi/2).
struct ArcLayout {
  double radius = 1;
  double directionSign = -1;
  double tangentOffsetRad = -kPi / 2;
  friend bool operator==(const ArcLayout&, const ArcLayout&) = default;
};

/// Where one character of an arc text is engraved: the start of its own straight baseline,
/// tangent to the circle at the character's middle, and that baseline's angle.
struct ArcPlacement {
  char character = 0;
  Point2 start;
  double baselineAngleRad = 0;
  friend bool operator==(const ArcPlacement&, const ArcPlacement&) = default;
};

/// The "Create Arc" job, converted: the 8-bit text, its circle and justification.
struct ArcJob {
  PreparedJob job;  // spacingRatio prepared for the direction
  ArcLayout layout;
  TextAlignment alignment = TextAlignment::Left;
  std::string text;
};

/// Reads the settings of the "Create Arc" job. Throws Error when a field does not convert or
/// the radius gives no angular step.
ArcJob PrepareArcTextJob(const EngraveSettings& settings);

/// Writes the moves of every character of the arc job around its circle.
void WriteArcBody(const ArcJob& job, const StrokeFont& font, ProgramSink& body);

/// The "Create Arc" job's plan: one program of the text around its circle. Throws Error when a
/// field does not convert, the radius gives no angular step or there is nothing to engrave.
std::unique_ptr<JobPlan> PlanCircleText(const EngraveSettings& settings, const StrokeFont& font);

/// The "Create Arc" job: ArcTextE around the circle of RadiusE about the start point, justified
/// at the text angle. Throws Error; writes nothing when a field does not convert, the radius
/// gives no angular step, a value is out of a machine's range or the user cancels.
void CreateArc(const EngraveSettings& settings, const StrokeFont& font, JobHost& host);

/// The circle of the "Create Arc" job for the typed `radius` and its winding. Counter-clockwise
/// baselines sit one text height further out and `job.spacingRatio` grows by (R + H) / R, so
/// that both directions take the same angle per character. Throws Error when the radius gives
/// no angular step.
ArcLayout PrepareArcJob(PreparedJob& job, double radius, Winding winding);

/// Throws Error when `layout.radius` is 0 (the steps around the circle divide by it) or is not
/// a finite number.
void CheckArcRadius(const ArcLayout& layout);

/// The placement of every character of `text` around the circle about `centre`, first to last,
/// aligned about `startAngleRad`, with
/// the job's text height, width ratio and spacing ratio. Characters without a glyph measure 0.
std::vector<ArcPlacement> PlaceArcCharacters(const PreparedJob& job, Point2 centre,
                                             double startAngleRad, std::string_view text,
                                             const ArcLayout& layout, TextAlignment alignment,
                                             const StrokeFont& font);

/// Appends the moves of `text` laid around the circle about `centre`, each character on its own
/// baseline, aligned about `startAngleRad`. The job's spacingRatio is used as given (the caller
/// prepares it for the direction).
void AppendArcMoves(std::string& out, const PreparedJob& job, Point2 centre,
                    double startAngleRad, std::string_view text, const ArcLayout& layout,
                    TextAlignment alignment, const StrokeFont& font);

}  // namespace stylor
