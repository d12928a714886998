#pragma once

#include <memory>
#include <optional>
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

/// The ellipse of one job as entered and how its text sits on it.
struct EllipseLayout {
  double a = 2;           // half the major axis, along Axis 1 before the text-angle turn
  double b = 1.25;        // half the minor axis
  EllipsePoint point = EllipsePoint::A;  // where the text starts
  TextAlignment alignment = TextAlignment::Left;
  Winding winding = Winding::Clockwise;
  friend bool operator==(const EllipseLayout&, const EllipseLayout&) = default;
};

/// One character on the ellipse: its baseline start point (program coordinates), its baseline
/// angle (text angle included, not reduced to one turn) and the ellipse parameter t' of the
/// sample that placed it.
struct EllipsePlacement {
  char character = 0;
  Point2 start;
  double angleRad = 0;
  double parameterRad = 0;
  friend bool operator==(const EllipsePlacement&, const EllipsePlacement&) = default;
};

/// Perimeter of the ellipse with half axes `a` and `b` by Ramanujan's second approximation.
double EllipsePerimeter(double a, double b);

/// Baseline angle, in -pi/2 to 5 pi/2, of a character placed after the chord (dX, dY) of the
/// walk: the chord's direction of travel (a vertical chord points up for dY >= 0, down otherwise),
/// turned by a further pi for counter-clockwise text.
double EllipseBaselineAngle(double dX, double dY, bool counterClockwise);

/// Places the 8-bit `text` around the ellipse about job.start, turned by job.textAngleRad: one
/// clockwise turn from the justification point in parameter steps of 0.0001, each character at
/// the first sample whose walked chord length reaches its middle, at most one per sample.
/// Counter-clockwise text is laid last-first on the ellipse larger by the text height. Characters
/// the turn does not reach are left out.
std::vector<EllipsePlacement> PlaceEllipseText(std::string_view text,
                                               const EllipseLayout& layout,
                                               const PreparedJob& job, const StrokeFont& font);

/// The "Create Ellipse" job, converted: its text in 8 bits and its ellipse, or the plain message
/// that refuses it ("Major Axis Must be larger than Minor Axis", "Text is too long to fit around
/// ellipse").
struct EllipseJob {
  PreparedJob job;
  EllipseLayout layout;
  std::string text;
  std::optional<std::string> refusal;
};

/// Reads the settings of the "Create Ellipse" job. Throws Error when a field does not convert
/// or the ellipse cannot be engraved at all.
EllipseJob PrepareEllipseJob(const EngraveSettings& settings, const StrokeFont& font);

/// Writes the moves of every character placed on the ellipse.
void WriteEllipseBody(const EllipseJob& job, const StrokeFont& font, ProgramSink& body);

/// The "Create Ellipse" job's plan: one program of the text placed on its ellipse, or the plain
/// refusal. Throws Error when a field does not convert or the ellipse cannot be engraved at all.
std::unique_ptr<JobPlan> PlanEllipseText(const EngraveSettings& settings, const StrokeFont& font);

/// The "Create Ellipse" job: EllipseTextE around the ellipse of AEdit by BEdit about the start
/// point, justified at JustifyPoint, turned by the text angle. The two refusals ("Major Axis Must
/// be larger than Minor Axis", "Text is too long to fit around ellipse") go to the host's plain
/// message box and write nothing; other faults, a move out of a machine's range among them, throw
/// Error before any file is asked for.
void CreateEllipse(const EngraveSettings& settings, const StrokeFont& font, JobHost& host);

}  // namespace stylor
