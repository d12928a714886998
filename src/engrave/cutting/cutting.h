#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engrave/geometry.h"

namespace stylor {

struct EngraveSettings;

/// How strokes are cut when they are not one plunge, one cut and one lift each. Every option is
/// off by default; with all off the move writer takes its plain path and never comes here.
struct CuttingOptions {
  double depthPerPass = 0;  // DepthPerPassE: 0 one pass
  bool springPass = false;  // SpringPass: one more pass at full depth
  double rampLength = 0;    // RampLengthE: 0 a vertical plunge
  int travelOrder = 0;      // TravelOrder: 0 the font's, 1 each character, 2 each line, 3 job
  int laserMode = 0;        // LaserMode: 0 off, 1 M3, 2 M4
  double laserPower = 0;    // LaserPowerE: the S word of the cut
  double dotPitch = 0;      // DotPitchE: 0 strokes
  int dotStyle = 0;         // DotStyle: 0 plunge and dwell, 1 G82, 2 M-code pair
  double dotDwell = 0;      // DotDwellE: seconds
  int dotCodeOn = 0;        // DotCodesE: the M codes that fire and release a marker pin
  int dotCodeOff = 0;
  int laserPasses = 1;      // LaserPassesE: burns of each character
  double laserZStep = 0;    // LaserZStepE: each pass this much nearer the work
  double laserLeadIn = 0;   // LaserLeadInE: beam at S0 along this much before each burn
  int airAssist = 0;        // AirAssist: 0 off, 1 M7, 2 M8; M9 off
  bool Active() const {
    return depthPerPass != 0 || springPass || rampLength != 0 || travelOrder != 0 ||
           laserMode != 0 || dotPitch != 0;
  }
  friend bool operator==(const CuttingOptions&, const CuttingOptions&) = default;
};

/// Reads the cutting fields. `mode` names the lathe-mill mode for refusals; `modeIndex` is its
/// IntegrexMode index. Throws Error naming the field of a value that cannot be cut.
CuttingOptions ReadCuttingOptions(const EngraveSettings& settings, double penUp, double penDown);

/// One stroke path in the plane, machine lengths: a tool-down run from its first point.
using CutPath = std::vector<Point2>;

/// The plunge-axis levels of the passes, first to last; the last is penDown. One level when
/// depthPerPass is 0 and there is no spring pass. Passes step down from the work surface at 0.
std::vector<double> PassLevels(double penUp, double penDown, double depthPerPass, bool springPass);

/// Length of the rapid moves that visit `paths` in order from `from`, each from its first point
/// to its last.
double TravelLength(const std::vector<CutPath>& paths, Point2 from);

/// Puts `paths` in a short travel order from `from`: paths meeting end to start within
/// `joinTolerance` become one, then nearest neighbour (open paths may be reversed), then 2-opt
/// on the order with a fixed limit of rounds, so that the same input gives the same order.
void OrderPaths(std::vector<CutPath>& paths, Point2 from, double joinTolerance);

/// A point of a ramp: the plane point and the plunge-axis level reached there.
struct RampPoint {
  Point2 at;
  double level = 0;
};

/// The ramp down from `fromLevel` to `toLevel` along the first stroke of `path` (from path[0]
/// to path[1]) over `length` of plane travel, back and forth along it when the stroke is shorter.
/// The last point is at `toLevel`. Empty for a path of fewer than two distinct points.
std::vector<RampPoint> RampAlong(const CutPath& path, double fromLevel, double toLevel,
                                 double length);

/// The dots of `path` at `pitch`: every corner, and points spaced evenly between, never wider
/// than the pitch.
std::vector<Point2> DotsAlong(const CutPath& path, double pitch);

/// The laser passes' plunge-axis levels, one per pass, first to last: from penDown (the focus)
/// each `zStep` nearer the work, away from penUp; NaN for every pass when `zStep` is 0 (the beam
/// burns where the focus was set and Z never moves).
std::vector<double> LaserLevels(double penUp, double penDown, int passes, double zStep);

/// Where the lead-in of `path` starts: `length` back from its first point against its first
/// stroke that goes somewhere; nothing for 0 or a path that never moves.
std::optional<Point2> LeadInStart(const CutPath& path, double length);

/// The M code that turns the air assist on ("M07", "M08"), "" when it is off.
std::string_view AirAssistOn(int airAssist);

/// What the cutting strategy writes through: the move writer's primitives.
class CutTarget {
 public:
  virtual ~CutTarget() = default;
  virtual Point2 At() const = 0;
  /// A rapid in the plane at the present level.
  virtual void Rapid(Point2 to) = 0;
  /// A move of the plunge axis alone: fed at the plunge feed, or a rapid.
  virtual void Level(double level, bool fed) = 0;
  /// A cutting move in the plane at the engrave feed, with the plunge axis when `level` is set.
  virtual void Cut(Point2 to, const double* level) = 0;
  /// A cutting move in the plane at the engrave feed with more words on its line (" S750"),
  /// written even when it does not move.
  virtual void CutWith(Point2 to, std::string_view words) = 0;
  /// A line of its own (M codes, dwells, canned cycles); `words` has no line end.
  virtual void Line(std::string_view words) = 0;
  /// A drilling cycle line: "G82" with the plane words, R, Z, and P.
  virtual void Cycle(Point2 at, double retract, double depth, double dwell) = 0;
};

/// Cuts `paths` (already in their final order) as the options say, from the target's position
/// at the pen up level, and ends there at the pen up level (beam off in laser mode).
void CutPaths(const std::vector<CutPath>& paths, const CuttingOptions& options, double penUp,
              double penDown, CutTarget& target);

}  // namespace stylor
