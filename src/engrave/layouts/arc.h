#pragma once

#include <string>
#include <string_view>

#include "engrave/geometry.h"

namespace stylor {

struct EngraveSettings;
struct PreparedJob;
struct StrokeFont;
class JobHost;
class ProgramStore;

/// How a text goes around its circle: radius of the character baselines, direction sign
/// (-1 clockwise, +1 counter-clockwise) and the tangent offset (-pi/2 or +pi/2).
struct ArcLayout {
  double radius = 1;
  double directionSign = -1;
  double tangentOffsetRad = -kPi / 2;
  friend bool operator==(const ArcLayout&, const ArcLayout&) = default;
};

/// The "Create Arc" job: ArcTextE around the circle of RadiusE about the start point, justified
/// at the text angle. Throws Error; writes nothing when a field does not convert, the radius
/// gives no angular step, or the user cancels.
void CreateArc(const EngraveSettings& settings, const StrokeFont& font, JobHost& host);

/// Lays `text` around the circle about `centre`, one EngraveLine call per character, justified
/// (0 left, 1 centre, 2 right, any other index as left) about `startAngleRad`. The job's
/// spacingRatio is used as given (the caller prepares it for the direction).
void EngraveArc(ProgramStore& store, const std::string& fileName, const PreparedJob& job,
                Point2 centre, double startAngleRad, std::string_view text,
                const ArcLayout& layout, int justification, const StrokeFont& font);

}  // namespace stylor
