#include "engrave/cutting/cutting.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/machine_modes.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

// More passes than this is a depth per pass typed in the wrong unit, not a job.
constexpr double kMaxPasses = 1000;
// 2-opt and Or-opt stop after this many comparisons of two paths, so that a long job stays fast
// and the order never depends on the clock.
constexpr long long kOrderBudget = 20'000;
// Paths ordered together at most; see OrderPaths.
constexpr std::size_t kChunk = 200;

double Distance(Point2 a, Point2 b) {
  const double dx = a.x - b.x;
  const double dy = a.y - b.y;
  return std::sqrt(dx * dx + dy * dy);
}

double ReadField(const std::string& text, const char* field) {
  try {
    return ReadReal(text);
  } catch (const Error& error) {
    throw Error(std::string(field) + ": " + error.what());
  }
}

// A value as an S or P word: two decimals at most, without trailing zeros.
std::string Compact(double value) {
  std::string text = FormatFixed(value, 3);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

[[noreturn]] void Refuse(const std::string& message) { throw Error(message); }

void RequireNotBoth(bool a, const char* fieldA, bool b, const char* fieldB, const char* why) {
  if (a && b) Refuse(std::string(fieldA) + " and " + fieldB + " cannot be used together: " + why);
}

// The two M codes of a marker pin, "M10 M11" or "10 11".
void ReadDotCodes(const std::string& text, CuttingOptions& options) {
  std::string digits[2];
  int at = -1;
  bool inWord = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (!inWord) {
        if (++at > 1) break;
        inWord = true;
      }
      digits[at] += c;
    } else {
      inWord = false;
    }
  }
  if (at != 1 || digits[0].size() > 3 || digits[1].size() > 3) {
    Refuse("DotCodesE must hold two M codes, the one that fires the marker pin and the one that "
           "releases it (for example \"M10 M11\"), not '" + text + "'");
  }
  options.dotCodeOn = ReadInteger(digits[0]);
  options.dotCodeOff = ReadInteger(digits[1]);
}

}  // namespace

CuttingOptions ReadCuttingOptions(const EngraveSettings& settings, double penUp, double penDown) {
  CuttingOptions options;
  options.depthPerPass = ReadField(settings.DepthPerPassE, "DepthPerPassE");
  options.springPass = settings.SpringPass;
  options.rampLength = ReadField(settings.RampLengthE, "RampLengthE");
  options.travelOrder = std::clamp(settings.TravelOrder, 0, 3);
  options.laserMode = std::clamp(settings.LaserMode, 0, 2);
  options.laserPower = ReadField(settings.LaserPowerE, "LaserPowerE");
  options.dotPitch = ReadField(settings.DotPitchE, "DotPitchE");
  options.dotStyle = std::clamp(settings.DotStyle, 0, 2);
  options.dotDwell = ReadField(settings.DotDwellE, "DotDwellE");
  try {
    options.laserPasses = ReadInteger(settings.LaserPassesE);
  } catch (const Error& error) {
    throw Error(std::string("LaserPassesE: ") + error.what());
  }
  options.laserZStep = ReadField(settings.LaserZStepE, "LaserZStepE");
  options.laserLeadIn = ReadField(settings.LaserLeadInE, "LaserLeadInE");
  options.airAssist = std::clamp(settings.AirAssist, 0, 2);
  if (options.laserMode == 0) {
    // The laser extras belong to the beam: set alone they would change nothing.
    const std::pair<bool, const char*> extras[] = {{options.laserPasses != 1, "LaserPassesE"},
                                                   {options.laserZStep != 0, "LaserZStepE"},
                                                   {options.laserLeadIn != 0, "LaserLeadInE"},
                                                   {options.airAssist != 0, "AirAssist"}};
    for (const auto& [set, field] : extras) {
      if (set) Refuse(std::string(field) + " is for a laser: set LaserMode too, or leave it " +
                      (std::string_view(field) == "LaserPassesE" ? "at 1" : "at 0"));
    }
  }
  if (!options.Active()) return options;

  const auto requireNotNegative = [](double value, const char* field) {
    if (!(value >= 0)) Refuse(std::string(field) + " must not be negative");
  };
  requireNotNegative(options.depthPerPass, "DepthPerPassE");
  requireNotNegative(options.rampLength, "RampLengthE");
  requireNotNegative(options.laserPower, "LaserPowerE");
  requireNotNegative(options.dotPitch, "DotPitchE");
  requireNotNegative(options.dotDwell, "DotDwellE");

  const bool passes = options.depthPerPass != 0 || options.springPass;
  const bool laser = options.laserMode != 0;
  const bool dots = options.dotPitch != 0;
  RequireNotBoth(laser, "LaserMode", passes, "DepthPerPassE or SpringPass",
                 "a laser program has no Z moves");
  RequireNotBoth(laser, "LaserMode", options.rampLength != 0, "RampLengthE",
                 "a laser program has no Z moves");
  RequireNotBoth(laser, "LaserMode", dots, "DotPitchE", "a laser marks strokes, not dots");
  RequireNotBoth(dots, "DotPitchE", passes, "DepthPerPassE or SpringPass",
                 "a dot is made in one plunge");
  RequireNotBoth(dots, "DotPitchE", options.rampLength != 0, "RampLengthE",
                 "a dot is made in one plunge");
  if (laser && options.laserPower == 0) {
    Refuse("LaserMode needs a LaserPowerE above 0: the beam would never burn");
  }
  if (!(options.laserPower < 1e9)) Refuse("LaserPowerE is too large for an S word");
  requireNotNegative(options.laserZStep, "LaserZStepE");
  requireNotNegative(options.laserLeadIn, "LaserLeadInE");
  if (options.laserPasses < 1 || options.laserPasses > kMaxPasses) {
    Refuse("LaserPassesE must be from 1 to 1000");
  }
  if (options.laserZStep != 0 && options.laserPasses == 1) {
    Refuse("LaserZStepE steps between passes: set LaserPassesE above 1");
  }
  if (options.depthPerPass != 0) {
    // Passes step down from the work surface at 0 on the plunge axis.
    const bool surfaceBetween = (penDown < 0 && penUp >= 0) || (penDown > 0 && penUp <= 0);
    if (!surfaceBetween) {
      Refuse("DepthPerPassE steps down from the work surface at 0 on the plunge axis: PenUpE "
             "must be at or above 0 and PenDownE below it");
    }
    if (std::abs(penDown) / options.depthPerPass > kMaxPasses) {
      Refuse("DepthPerPassE would make more than 1000 passes to reach PenDownE");
    }
  }
  if (dots && options.dotStyle == 2) ReadDotCodes(settings.DotCodesE, options);

  if (dots && options.dotStyle == 1) {
    for (const std::string* axis : {&settings.Axis1E, &settings.Axis2E}) {
      if (IsRotaryLetter(ReadLetter(*axis))) {
        Refuse("A canned drilling cycle (DotStyle 1) cannot position the rotary axis " + *axis +
               ": use DotStyle 0");
      }
    }
  }
  const LatheMillMode& mode = LatheMillModeOf(settings.IntegrexMode);
  if (&mode != &kLatheMillModes[0]) {
    const std::string named = "The lathe-mill mode " + std::string(mode.caption) + " cannot take ";
    if (dots && options.dotStyle == 1) {
      Refuse(named + "a canned drilling cycle (DotStyle 1) under its interpolation");
    }
    if (options.rampLength != 0 && (mode.planeRapidFeed != 0 || mode.directionCodes)) {
      Refuse(named + "a ramped entry (RampLengthE): the plunge axis cannot move with the rotary "
                     "axis there");
    }
  }
  return options;
}

std::vector<double> PassLevels(double penUp, double penDown, double depthPerPass,
                               bool springPass) {
  std::vector<double> levels;
  if (depthPerPass > 0) {
    const double depth = std::abs(penDown);
    const double sign = penDown < penUp ? -1 : 1;
    const auto count = static_cast<long long>(std::ceil(depth / depthPerPass - 1e-9));
    for (long long k = 1; k < count; ++k) levels.push_back(sign * depthPerPass * k);
  }
  levels.push_back(penDown);
  if (springPass) levels.push_back(penDown);
  return levels;
}

std::vector<double> LaserLevels(double penUp, double penDown, int passes, double zStep) {
  std::vector<double> levels;
  if (zStep == 0) {
    // Every pass at the focus: the plunge axis never moves.
    levels.assign(static_cast<std::size_t>(std::max(passes, 1)), NAN);
    return levels;
  }
  const double sign = penDown <= penUp ? -1 : 1;
  for (int k = 0; k < passes; ++k) levels.push_back(penDown + sign * zStep * k);
  return levels;
}

std::optional<Point2> LeadInStart(const CutPath& path, double length) {
  if (!(length > 0)) return std::nullopt;
  for (std::size_t k = 1; k < path.size(); ++k) {
    const double stroke = Distance(path[0], path[k]);
    if (stroke == 0) continue;
    const double t = length / stroke;
    return Point2{path[0].x - (path[k].x - path[0].x) * t, path[0].y - (path[k].y - path[0].y) * t};
  }
  return std::nullopt;
}

std::string_view AirAssistOn(int airAssist) {
  if (airAssist == 1) return "M07";
  if (airAssist == 2) return "M08";
  return {};
}

namespace {
void Reorder(std::vector<CutPath>& paths, Point2 from, double joinTolerance);
}  // namespace

double TravelLength(const std::vector<CutPath>& paths, Point2 from) {
  double length = 0;
  for (const CutPath& path : paths) {
    if (path.empty()) continue;
    length += Distance(from, path.front());
    from = path.back();
  }
  return length;
}

void OrderPaths(std::vector<CutPath>& paths, Point2 from, double joinTolerance) {
  std::erase_if(paths, [](const CutPath& path) { return path.empty(); });
  const std::vector<CutPath> given = paths;
  if (paths.size() <= kChunk) {
    Reorder(paths, from, joinTolerance);
  } else {
    // A long job is ordered a run of paths at a time, each run from where the one before ends:
    // the font's order keeps a run together on the work, and the time grows with the paths
    // rather than with their square.
    std::vector<CutPath> ordered;
    ordered.reserve(paths.size());
    Point2 at = from;
    for (std::size_t first = 0; first < paths.size(); first += kChunk) {
      const std::size_t last = std::min(paths.size(), first + kChunk);
      std::vector<CutPath> run(std::make_move_iterator(paths.begin() + static_cast<std::ptrdiff_t>(first)),
                               std::make_move_iterator(paths.begin() + static_cast<std::ptrdiff_t>(last)));
      Reorder(run, at, joinTolerance);
      if (!run.empty()) at = run.back().back();
      for (CutPath& path : run) ordered.push_back(std::move(path));
    }
    paths = std::move(ordered);
  }
  // Nearest neighbour and 2-opt may miss an order the font already has right.
  if (TravelLength(paths, from) >= TravelLength(given, from) && paths.size() == given.size()) {
    paths = given;
  }
}

namespace {

// A path in the order: where the tool enters and leaves it.
struct Leg {
  Point2 first;
  Point2 last;
  std::size_t path = 0;
  bool reversed = false;
  void Turn() {
    std::swap(first, last);
    reversed = !reversed;
  }
};

// 2-opt (a run of the order turned round, each of its paths reversed) and Or-opt (a run of one to
// three paths moved elsewhere, either way round), until neither shortens the rapids or the
// budget of comparisons is spent. There is no chance in it: the same order comes in, the same
// order goes out.
void ImproveOrder(std::vector<Leg>& legs, Point2 from) {
  const std::size_t n = legs.size();
  if (n < 2) return;
  long long budget = kOrderBudget;
  constexpr double kGain = 1e-9;
  bool improved = true;
  while (improved && budget > 0) {
    improved = false;
    // 2-opt on [i, j]: the rapid into i and the one out of j change.
    for (std::size_t i = 0; i + 1 < n && budget > 0; ++i) {
      for (std::size_t j = i + 1; j < n; ++j) {
        --budget;
        const Point2 before = i == 0 ? from : legs[i - 1].last;
        const bool end = j + 1 == n;
        const double old = Distance(before, legs[i].first) +
                           (end ? 0 : Distance(legs[j].last, legs[j + 1].first));
        const double now = Distance(before, legs[j].last) +
                           (end ? 0 : Distance(legs[i].first, legs[j + 1].first));
        if (now < old - kGain) {
          std::reverse(legs.begin() + static_cast<std::ptrdiff_t>(i),
                       legs.begin() + static_cast<std::ptrdiff_t>(j) + 1);
          for (std::size_t k = i; k <= j; ++k) legs[k].Turn();
          improved = true;
        }
      }
    }
    // Or-opt: the run [i, i + length) taken out and put in after position `to` (before the
    // first leg when `to` is n).
    for (std::size_t length = 1; length <= 3 && length < n; ++length) {
      for (std::size_t i = 0; i + length <= n && budget > 0; ++i) {
        const std::size_t j = i + length - 1;
        const Point2 before = i == 0 ? from : legs[i - 1].last;
        const bool end = j + 1 == n;
        const double removed = Distance(before, legs[i].first) +
                               (end ? 0 : Distance(legs[j].last, legs[j + 1].first)) -
                               (end ? 0 : Distance(before, legs[j + 1].first));
        for (std::size_t to = 0; to <= n; ++to) {
          // `to` == n: at the very start; else after legs[to].
          if (to != n && to + 1 >= i && to <= j) continue;
          if (to == n && i == 0) continue;
          --budget;
          const Point2 a = to == n ? from : legs[to].last;
          const bool atEnd = to != n && to + 1 == n;
          const Point2 b = to == n ? legs[0].first : (atEnd ? Point2{} : legs[to + 1].first);
          const double gap = atEnd ? 0 : Distance(a, b);
          const double forward = Distance(a, legs[i].first) +
                                 (atEnd ? 0 : Distance(legs[j].last, b)) - gap;
          const double backward = Distance(a, legs[j].last) +
                                  (atEnd ? 0 : Distance(legs[i].first, b)) - gap;
          const bool turn = backward < forward;
          if (std::min(forward, backward) >= removed - kGain) continue;
          std::vector<Leg> run(legs.begin() + static_cast<std::ptrdiff_t>(i),
                               legs.begin() + static_cast<std::ptrdiff_t>(j) + 1);
          if (turn) {
            std::reverse(run.begin(), run.end());
            for (Leg& leg : run) leg.Turn();
          }
          legs.erase(legs.begin() + static_cast<std::ptrdiff_t>(i),
                     legs.begin() + static_cast<std::ptrdiff_t>(j) + 1);
          const std::size_t place = to == n ? 0 : (to < i ? to + 1 : to + 1 - length);
          legs.insert(legs.begin() + static_cast<std::ptrdiff_t>(place), run.begin(), run.end());
          improved = true;
          break;
        }
      }
    }
  }
}

// A closed path can start at any of its corners: each is entered at the corner that makes the
// rapids in and out of it shortest, one after another in the order.
void EnterClosedPathsNearest(std::vector<CutPath>& paths, Point2 from) {
  for (std::size_t k = 0; k < paths.size(); ++k) {
    CutPath& path = paths[k];
    if (!(path.size() > 3 && path.front().x == path.back().x && path.front().y == path.back().y)) {
      continue;
    }
    const Point2 before = k == 0 ? from : paths[k - 1].back();
    const bool last = k + 1 == paths.size();
    const auto cost = [&](Point2 corner) {
      return Distance(before, corner) + (last ? 0 : Distance(corner, paths[k + 1].front()));
    };
    std::size_t best = 0;
    double bestCost = cost(path[0]);
    for (std::size_t v = 1; v + 1 < path.size(); ++v) {
      const double c = cost(path[v]);
      if (c < bestCost - 1e-9) {
        bestCost = c;
        best = v;
      }
    }
    if (best == 0) continue;
    CutPath turned(path.begin() + static_cast<std::ptrdiff_t>(best), path.end() - 1);
    turned.insert(turned.end(), path.begin(), path.begin() + static_cast<std::ptrdiff_t>(best) + 1);
    path = std::move(turned);
  }
}

void Reorder(std::vector<CutPath>& paths, Point2 from, double joinTolerance) {
  const auto closed = [](const CutPath& path) {
    return path.size() > 2 && path.front().x == path.back().x && path.front().y == path.back().y;
  };
  // Joins: a path that ends where another starts (or ends, reversed) continues into it.
  for (std::size_t a = 0; a < paths.size(); ++a) {
    bool joined = true;
    while (joined && !closed(paths[a])) {
      joined = false;
      for (std::size_t b = 0; b < paths.size(); ++b) {
        if (b == a || closed(paths[b])) continue;
        const bool forward = Distance(paths[a].back(), paths[b].front()) <= joinTolerance;
        const bool backward = !forward && Distance(paths[a].back(), paths[b].back()) <= joinTolerance;
        if (!forward && !backward) continue;
        CutPath next = std::move(paths[b]);
        if (backward) std::reverse(next.begin(), next.end());
        paths[a].insert(paths[a].end(), next.begin() + 1, next.end());
        paths.erase(paths.begin() + static_cast<std::ptrdiff_t>(b));
        if (b < a) --a;
        joined = true;
        break;
      }
    }
  }
  // Nearest neighbour, open paths entered at whichever end is nearer; ties keep the font's order.
  const std::size_t n = paths.size();
  std::vector<Leg> legs;
  legs.reserve(n);
  std::vector<bool> used(n, false);
  Point2 at = from;
  for (std::size_t step = 0; step < n; ++step) {
    std::size_t best = 0;
    bool reverse = false;
    double bestDistance = INFINITY;
    for (std::size_t k = 0; k < n; ++k) {
      if (used[k]) continue;
      const double toStart = Distance(at, paths[k].front());
      if (toStart < bestDistance) {
        bestDistance = toStart;
        best = k;
        reverse = false;
      }
      const double toEnd = Distance(at, paths[k].back());
      if (!closed(paths[k]) && toEnd < bestDistance) {
        bestDistance = toEnd;
        best = k;
        reverse = true;
      }
    }
    used[best] = true;
    Leg leg{paths[best].front(), paths[best].back(), best, false};
    if (reverse) leg.Turn();
    legs.push_back(leg);
    at = leg.last;
  }
  ImproveOrder(legs, from);
  std::vector<CutPath> ordered;
  ordered.reserve(n);
  for (const Leg& leg : legs) {
    ordered.push_back(std::move(paths[leg.path]));
    // A closed path is cut the way the font draws it: turning it round saves nothing.
    if (leg.reversed && !closed(ordered.back())) {
      std::reverse(ordered.back().begin(), ordered.back().end());
    }
  }
  EnterClosedPathsNearest(ordered, from);
  paths = std::move(ordered);
}

}  // namespace

std::vector<RampPoint> RampAlong(const CutPath& path, double fromLevel, double toLevel,
                                 double length) {
  std::vector<RampPoint> ramp;
  if (path.size() < 2) return ramp;
  const Point2 a = path[0];
  const Point2 b = path[1];
  const double stroke = Distance(a, b);
  if (stroke == 0 || !(length > 0)) return ramp;
  // Whole legs of the stroke, then the part of one more leg.
  double walked = 0;
  bool forward = true;
  while (walked < length - 1e-12) {
    const double leg = std::min(stroke, length - walked);
    walked += leg;
    const double t = forward ? leg / stroke : 1 - leg / stroke;
    const Point2 at{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
    ramp.push_back({at, fromLevel + (toLevel - fromLevel) * (walked / length)});
    forward = !forward;
    if (ramp.size() > 10000) break;  // a ramp length thousands of times the stroke
  }
  ramp.back().level = toLevel;
  return ramp;
}

std::vector<Point2> DotsAlong(const CutPath& path, double pitch) {
  std::vector<Point2> dots;
  if (path.empty()) return dots;
  dots.push_back(path.front());
  for (std::size_t k = 1; k < path.size(); ++k) {
    const Point2 a = path[k - 1];
    const Point2 b = path[k];
    const double length = Distance(a, b);
    if (length == 0) continue;
    const auto steps = static_cast<long long>(std::max(1.0, std::ceil(length / pitch - 1e-9)));
    for (long long s = 1; s < steps; ++s) {
      const double t = static_cast<double>(s) / static_cast<double>(steps);
      dots.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
    }
    dots.push_back(b);
  }
  // A closed path's last dot is its first.
  if (dots.size() > 1 && Distance(dots.front(), dots.back()) < 1e-9) dots.pop_back();
  return dots;
}

namespace {

std::string DwellLine(double seconds) { return "G04 P" + Compact(seconds); }

void CutDots(const CutPath& path, const CuttingOptions& options, double penUp, double penDown,
             CutTarget& target) {
  for (const Point2 dot : DotsAlong(path, options.dotPitch)) {
    if (options.dotStyle == 1) {
      target.Cycle(dot, penUp, penDown, options.dotDwell);
      continue;
    }
    target.Rapid(dot);
    if (options.dotStyle == 2) {
      std::string on = "M";
      AppendInteger(on, options.dotCodeOn);
      target.Line(on);
      target.Line(DwellLine(options.dotDwell));
      std::string off = "M";
      AppendInteger(off, options.dotCodeOff);
      target.Line(off);
    } else {
      target.Level(penDown, true);
      if (options.dotDwell > 0) target.Line(DwellLine(options.dotDwell));
      target.Level(penUp, false);
    }
  }
}

void CutLaser(const CutPath& path, const CuttingOptions& options, CutTarget& target) {
  const std::string power = Compact(options.laserPower);
  const char* on = options.laserMode == 1 ? "M03 S" : "M04 S";
  if (const std::optional<Point2> lead = LeadInStart(path, options.laserLeadIn)) {
    // The head gets up to the engrave feed along the lead-in with the beam enabled at S0; the
    // first move of the stroke carries the power, so the burn starts without a stop.
    target.Rapid(*lead);
    target.Line(std::string(on) + "0");
    target.Cut(path.front(), nullptr);
    for (std::size_t k = 1; k < path.size(); ++k) {
      if (k == 1) target.CutWith(path[k], " S" + power);
      else target.Cut(path[k], nullptr);
    }
  } else {
    target.Rapid(path.front());
    target.Line(on + power);
    for (std::size_t k = 1; k < path.size(); ++k) target.Cut(path[k], nullptr);
  }
  target.Line(options.laserMode == 1 ? "M05" : "S0");
}

bool SurfaceBetween(double penUp, double penDown) {
  return (penDown < 0 && penUp > 0) || (penDown > 0 && penUp < 0);
}

bool IsClosed(const CutPath& path) {
  return path.size() > 2 && Distance(path.front(), path.back()) < 1e-9;
}

// One pass of one path at `level`, the tool starting at `startLevel` over the path's start.
void CutPass(const CutPath& path, double startLevel, double level, double rampLength,
             CutTarget& target) {
  const std::vector<RampPoint> ramp =
      rampLength > 0 ? RampAlong(path, startLevel, level, rampLength) : std::vector<RampPoint>{};
  if (ramp.empty()) {
    target.Level(level, true);
    for (std::size_t k = 1; k < path.size(); ++k) target.Cut(path[k], nullptr);
    return;
  }
  for (const RampPoint& point : ramp) target.Cut(point.at, &point.level);
  const bool straightOn = ramp.size() == 1 && IsClosed(path);
  if (!straightOn) {
    // Back over the ramp at depth, then the whole path.
    target.Cut(path[0], nullptr);
    for (std::size_t k = 1; k < path.size(); ++k) target.Cut(path[k], nullptr);
    return;
  }
  // A closed path goes on from the ramp's end and finishes by cutting over the ramp again.
  for (std::size_t k = 1; k < path.size(); ++k) target.Cut(path[k], nullptr);
  target.Cut(ramp.front().at, nullptr);
}

}  // namespace

void CutPaths(const std::vector<CutPath>& paths, const CuttingOptions& options, double penUp,
              double penDown, CutTarget& target) {
  if (options.laserMode != 0) {
    const std::vector<double> levels =
        LaserLevels(penUp, penDown, options.laserPasses, options.laserZStep);
    const bool stepped = options.laserZStep != 0;
    for (const double level : levels) {
      if (stepped) target.Level(level, false);
      for (const CutPath& path : paths) {
        if (!path.empty()) CutLaser(path, options, target);
      }
    }
    // Back to the focus for what follows, with the beam off.
    if (stepped) target.Level(penDown, false);
    return;
  }
  if (options.dotPitch > 0) {
    for (const CutPath& path : paths) CutDots(path, options, penUp, penDown, target);
    if (options.dotStyle == 1) target.Line("G80");
    return;
  }
  const std::vector<double> levels =
      PassLevels(penUp, penDown, options.depthPerPass, options.springPass);
  double previous = penUp;
  for (const double level : levels) {
    for (const CutPath& path : paths) {
      if (path.empty()) continue;
      target.Rapid(path.front());
      double start = penUp;
      if (options.rampLength > 0 && previous == penUp && SurfaceBetween(penUp, penDown)) {
        // The ramp starts on the work surface at 0, not in the air above it.
        target.Level(0, true);
        start = 0;
      } else if (previous != penUp && options.rampLength > 0) {
        // Down at the plunge feed to the last pass's floor; the ramp takes the rest.
        target.Level(previous, true);
        start = previous;
      }
      CutPass(path, start, level, options.rampLength, target);
      target.Level(penUp, false);
    }
    previous = level;
  }
}

}  // namespace stylor
