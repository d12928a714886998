#include "engrave/layouts/ellipse.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "engrave/emitter.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/framing.h"
#include "engrave/job_host.h"
#include "engrave/job_plan.h"
#include "engrave/job_writer.h"
#include "engrave/prepared_job.h"
#include "engrave/program_store.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {

constexpr double kStepRad = 0.0001;
constexpr double kTwoPi = 2 * kPi;


// Where one clockwise turn starts and ends, as ellipse parameters, for the points A (left),
// B (top), C (right) and D (bottom).
struct WalkRange {
  double start;
  double end;
};
constexpr WalkRange kWalkRanges[4] = {
    {kPi, -kPi},
    {kPi / 2, -4.71238898038469},
    {0, -kTwoPi},
    {-kPi / 2, -7.853981633974483},
};

// Along the walk a character takes its advance; its middle sits half its width into it.
struct CharacterSize {
  double advance;
  double width;
};

CharacterSize SizeOf(const StrokeFont& font, char c, const PreparedJob& job) {
  const double glyphWidth = GlyphWidth(font, c);
  return {(glyphWidth + font.LetterGap()) * job.spacingRatio * job.textHeight * job.widthRatio,
          glyphWidth * job.spacingRatio * job.textHeight * job.widthRatio};
}

void RequireAxisAboveZero(double half, const char* name, const std::string& typed) {
  if (!(half > 0)) {
    throw Error(std::string(name) + " must be larger than 0 ('" + typed + "' was entered)");
  }
}

// The combo box takes typed text: when no item is selected, a typed point letter counts as
// choosing that point, so the text the user sees is the point that is engraved.
EllipsePoint JustifyPointOf(const EngraveSettings& settings) {
  if (settings.JustifyPoint >= 0 && settings.JustifyPoint <= 3) {
    return static_cast<EllipsePoint>(settings.JustifyPoint);
  }
  const std::string& typed = settings.JustifyPointText;
  if (typed.size() == 1) {
    const char letter = typed[0];
    if (letter >= 'A' && letter <= 'D') return static_cast<EllipsePoint>(letter - 'A');
    if (letter >= 'a' && letter <= 'd') return static_cast<EllipsePoint>(letter - 'a');
  }
  throw Error("Justify Point '" + typed + "' is not one of A, B, C or D");
}

}  // namespace

double EllipsePerimeter(double a, double b) {
  const double h = (a - b) * (a - b) / ((a + b) * (a + b));
  return (3 * h / (std::sqrt(4 - 3 * h) + 10) + 1) * ((a + b) * kPi);
}

double EllipseBaselineAngle(double dX, double dY, bool counterClockwise) {
  double phi;
  if (dX != 0) phi = std::atan(dY / dX);
  else phi = dY < 0 ? -kPi / 2 : kPi / 2;
  // The principal arctangent points right. A clockwise walk runs left exactly on the lower half,
  // but the turn is decided by the chord itself and not by the half its end lies on: the chord
  // that crosses the major axis at A or C starts on the other half, and judged by its end it
  // would engrave its character upside down.
  if (dX < 0) phi = phi + kPi;
  // Counter-clockwise text runs its baseline against the walk, glyph tops toward the centre.
  if (counterClockwise) phi = phi + kPi;
  return phi;
}

std::vector<EllipsePlacement> PlaceEllipseText(std::string_view text,
                                               const EllipseLayout& layout,
                                               const PreparedJob& job, const StrokeFont& font) {
  std::vector<EllipsePlacement> placed;
  if (text.empty()) return placed;

  const double textWidth =
      TextWidth(font, text, job.textHeight, job.widthRatio, job.spacingRatio);
  std::string order(text);
  double a = layout.a;
  double b = layout.b;
  const bool counterClockwise = layout.winding == Winding::CounterClockwise;
  if (counterClockwise) {
    // The walk is always clockwise: counter-clockwise text is placed last-first, on baselines
    // one text height outside the ellipse, so that glyph tops turned inward reach the ellipse.
    std::reverse(order.begin(), order.end());
    a = a + job.textHeight;
    b = b + job.textHeight;
  }
  const double perimeter = EllipsePerimeter(a, b);

  const auto& range = kWalkRanges[static_cast<int>(layout.point)];
  double start = range.start;
  double end = range.end;
  double offset = 0;
  if (layout.alignment == TextAlignment::Centre) {
    start = start - kPi;
    end = end - kPi;
    offset = (perimeter - textWidth) * 0.5;
  } else if (layout.alignment == TextAlignment::Right) {
    offset = perimeter - textWidth;
  }
  if (start <= -kPi) {
    start = start + kTwoPi;
    end = end + kTwoPi;
  }

  placed.reserve(order.size());
  std::size_t index = 0;
  CharacterSize size = SizeOf(font, order[0], job);
  double target = size.width * 0.5 + offset;
  double walked = 0;
  bool firstSample = true;
  Point2 previous;
  for (double t = start; t >= end; t = t - kStepRad) {
    double tPrime = t;
    while (tPrime <= -kTwoPi) tPrime = tPrime + kTwoPi;
    const double x = std::cos(tPrime) * a;
    const double y = std::sin(tPrime) * b;
    double dX = x - previous.x;
    double dY = y - previous.y;
    if (firstSample) {
      // A character due at the very first sample (a zero-width first glyph with "Left") has no
      // chord behind it: its baseline follows the tangent, the derivative of (a cos t, b sin t)
      // taken for a falling t, which is the direction the walk travels.
      dX = a * std::sin(tPrime);
      dY = -(b * std::cos(tPrime));
    } else {
      walked = std::sqrt(dX * dX + dY * dY) + walked;
    }
    firstSample = false;

    if (walked >= target) {
      const double phi = EllipseBaselineAngle(dX, dY, counterClockwise);
      const Point2 q = RotatePoint(-size.width / 2, 0, phi, x, y);
      const Point2 s = RotatePoint(q.x, q.y, job.textAngleRad, job.start.x, job.start.y);
      placed.push_back({order[index], s, phi + job.textAngleRad, tPrime});
      if (++index == order.size()) break;
      target = (size.advance - size.width * 0.5) + target;
      size = SizeOf(font, order[index], job);
      target = size.width * 0.5 + target;
    }
    previous = {x, y};
  }
  return placed;
}

EllipseJob PrepareEllipseJob(const EngraveSettings& settings, const StrokeFont& font) {
  EllipseJob ellipse;
  const PreparedJob& job = ellipse.job = PrepareJob(settings);
  ellipse.text = To8Bit(settings.EllipseTextE);
  const double a = ReadReal(settings.AEdit) * 0.5;
  const double b = ReadReal(settings.BEdit) * 0.5;
  // An axis of 0 or below is no ellipse (a + b = 0 divides by zero in the perimeter); saying so
  // comes before the comparison of the two axes, which would only mislead then.
  RequireAxisAboveZero(a, "Major Axis", settings.AEdit);
  RequireAxisAboveZero(b, "Minor Axis", settings.BEdit);
  if (a < b) {
    ellipse.refusal = "Major Axis Must be larger than Minor Axis";
    return ellipse;
  }
  const double textWidth =
      TextWidth(font, ellipse.text, job.textHeight, job.widthRatio, job.spacingRatio);
  const double perimeter = EllipsePerimeter(a, b);
  if (perimeter < textWidth) {
    ellipse.refusal = "Text is too long to fit around ellipse";
    return ellipse;
  }

  EllipseLayout& layout = ellipse.layout;
  layout.a = a;
  layout.b = b;
  layout.point = JustifyPointOf(settings);
  layout.alignment = AlignmentOf(settings.Justification);
  layout.winding = EllipseWindingOf(settings.EllipseDirection);
  const bool counterClockwise = layout.winding == Winding::CounterClockwise;
  const double walkedA = counterClockwise ? a + job.textHeight : a;
  const double walkedB = counterClockwise ? b + job.textHeight : b;
  if (!(walkedB > 0)) {
    throw Error("Counter Clock Wise text lies on the ellipse enlarged by the text height; with "
                "the text height '" + settings.TextHeightE + "' its Minor Axis is 0 or below");
  }
  // A perimeter beyond the largest number leaves no place on the walk for any character.
  if (!std::isfinite(perimeter) || !std::isfinite(EllipsePerimeter(walkedA, walkedB))) {
    throw Error("The ellipse of Major Axis '" + settings.AEdit + "' and Minor Axis '" +
                settings.BEdit + "' is too large to engrave");
  }
  return ellipse;
}

void WriteEllipseBody(const EllipseJob& ellipse, const StrokeFont& font, ProgramSink& body) {
  ProgramText text(body);
  for (const EllipsePlacement& placed :
       PlaceEllipseText(ellipse.text, ellipse.layout, ellipse.job, font)) {
    AppendEngraveMoves(text.Out(), ellipse.job, placed.start, placed.angleRad,
                       std::string_view(&placed.character, 1), font);
    text.FlushIfLarge();
  }
  text.Flush();
}

namespace {

class EllipsePlan final : public JobPlan {
 public:
  EllipsePlan(const EngraveSettings& settings, const StrokeFont& font)
      : m_ellipse(PrepareEllipseJob(settings, font)), m_font(font) {
    // A refused ellipse is said in a plain message box; its frame is never read.
    if (m_ellipse.refusal) return;
    m_frame = FrameOf(settings);
    if (m_ellipse.text.empty()) RequireSomethingToWrite(m_frame, kNoText);
  }
  std::size_t Programs() const override { return 1; }
  ProgramFrame Frame(std::size_t) override { return m_frame; }
  void WriteBody(std::size_t, ProgramSink& body) override {
    WriteEllipseBody(m_ellipse, m_font, body);
  }
  std::optional<std::string> Refusal() const override { return m_ellipse.refusal; }
  std::string EngravedText() const override { return m_ellipse.text; }
  TextShape Shape() const override { return TextShape::Ellipse; }

 private:
  EllipseJob m_ellipse;
  ProgramFrame m_frame;
  const StrokeFont& m_font;
};

}  // namespace

std::unique_ptr<JobPlan> PlanEllipseText(const EngraveSettings& settings, const StrokeFont& font) {
  return std::make_unique<EllipsePlan>(settings, font);
}

void CreateEllipse(const EngraveSettings& settings, const StrokeFont& font, JobHost& host) {
  WritePlan(*PlanEllipseText(settings, font), host);
}

}  // namespace stylor
