#include "engrave/layouts/arc.h"

#include <cmath>
#include <optional>

#include "engrave/emitter.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/framing.h"
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

constexpr const char* kZeroRadius =
    "The radius must not be 0: the characters are spaced around the circle by dividing by it";

}  // namespace

void CheckArcRadius(const ArcLayout& layout) {
  if (layout.radius == 0) {
    if (layout.directionSign > 0) {
      throw Error("Counter Clock Wise text needs a radius other than minus the text height: its "
                  "baselines sit on the radius plus the text height, which would be 0");
    }
    throw Error(kZeroRadius);
  }
  if (!std::isfinite(layout.radius)) {
    throw Error("The radius of the text's circle is out of range");
  }
}

ArcLayout PrepareArcJob(PreparedJob& job, double radius, Winding winding) {
  ArcLayout layout;
  if (winding == Winding::Clockwise) {
    layout = {radius, -1, -kPi / 2};
  } else {
    // The spacing ratio is scaled by the typed radius before the radius grows.
    if (radius == 0) throw Error(kZeroRadius);
    const double height = job.textHeight;
    job.spacingRatio = job.spacingRatio * (radius + height) / radius;
    layout = {radius + height, 1, kPi / 2};
  }
  CheckArcRadius(layout);
  return layout;
}

std::vector<ArcPlacement> PlaceArcCharacters(const PreparedJob& job, Point2 centre,
                                             double startAngleRad, std::string_view text,
                                             const ArcLayout& layout, TextAlignment alignment,
                                             const StrokeFont& font) {
  CheckArcRadius(layout);
  const double height = job.textHeight;
  const double widthRatio = job.widthRatio;
  const double spacingRatio = job.spacingRatio;
  const double radius = layout.radius;
  const double sign = layout.directionSign;

  const double width = TextWidth(font, text, height, widthRatio, spacingRatio);
  double theta = startAngleRad;
  if (alignment != TextAlignment::Left) {
    theta = theta + (AlignmentShift(alignment, width) / radius) * sign;
  }

  std::vector<ArcPlacement> placements;
  placements.reserve(text.size());
  for (const char c : text) {
    const double glyphWidth = GlyphWidth(font, c);
    const double advance = (glyphWidth + font.LetterGap()) * spacingRatio * height * widthRatio;
    const double w = glyphWidth * spacingRatio * height * widthRatio;
    // theta moves to the middle of the character, where its baseline touches the circle.
    theta = theta + (w * 0.5 / radius) * sign;
    const double phi = theta + layout.tangentOffsetRad;
    const double middle1 = std::cos(theta) * radius + centre.x;
    const double middle2 = std::sin(theta) * radius + centre.y;
    placements.push_back({c, RotatePoint(-w / 2, 0, phi, middle1, middle2), phi});
    theta = theta + ((advance - w * 0.5) / radius) * sign;
  }
  return placements;
}

void AppendArcMoves(std::string& out, const PreparedJob& job, Point2 centre,
                    double startAngleRad, std::string_view text, const ArcLayout& layout,
                    TextAlignment alignment, const StrokeFont& font) {
  for (const ArcPlacement& placement :
       PlaceArcCharacters(job, centre, startAngleRad, text, layout, alignment, font)) {
    AppendEngraveMoves(out, job, placement.start, placement.baselineAngleRad,
                       std::string_view(&placement.character, 1), font);
  }
}

ArcJob PrepareArcTextJob(const EngraveSettings& settings) {
  ArcJob arc;
  arc.job = PrepareJob(settings);
  const double radius = ReadReal(settings.RadiusE);
  arc.layout = PrepareArcJob(arc.job, radius, ArcWindingOf(settings.Direction));
  arc.text = To8Bit(settings.ArcTextE);
  arc.alignment = AlignmentOf(settings.Justification);
  return arc;
}

void WriteArcBody(const ArcJob& arc, const StrokeFont& font, ProgramSink& body) {
  ProgramText text(body);
  AppendArcMoves(text.Out(), arc.job, arc.job.start, arc.job.textAngleRad, arc.text, arc.layout,
                 arc.alignment, font);
  text.Flush();
}

namespace {

class ArcPlan final : public JobPlan {
 public:
  ArcPlan(const EngraveSettings& settings, const StrokeFont& font)
      : m_arc(PrepareArcTextJob(settings)), m_frame(FrameOf(settings)), m_font(font) {
    if (m_arc.text.empty()) RequireSomethingToWrite(m_frame, kNoText);
  }
  std::size_t Programs() const override { return 1; }
  ProgramFrame Frame(std::size_t) override { return m_frame; }
  void WriteBody(std::size_t, ProgramSink& body) override { WriteArcBody(m_arc, m_font, body); }
  std::string EngravedText() const override { return m_arc.text; }
  TextShape Shape() const override { return TextShape::Circle; }

 private:
  ArcJob m_arc;
  ProgramFrame m_frame;
  const StrokeFont& m_font;
};

}  // namespace

std::unique_ptr<JobPlan> PlanCircleText(const EngraveSettings& settings, const StrokeFont& font) {
  return std::make_unique<ArcPlan>(settings, font);
}

void CreateArc(const EngraveSettings& settings, const StrokeFont& font, JobHost& host) {
  WritePlan(*PlanCircleText(settings, font), host);
}

}  // namespace stylor
