#pragma once

namespace stylor {

struct EngraveSettings;
struct StrokeFont;
class JobHost;

/// The "Create Ellipse" job: EllipseTextE around the ellipse of AEdit by BEdit about the start
/// point, justified at JustifyPoint, turned by the text angle. The two refusals ("Major Axis Must
/// be larger than Minor Axis", "Text is too long to fit around ellipse") go to the host's plain
/// message box and write nothing; other faults throw Error before any file is asked for.
void CreateEllipse(const EngraveSettings& settings, const StrokeFont& font, JobHost& host);

}  // namespace stylor
