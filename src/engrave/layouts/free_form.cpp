#include "engrave/layouts/free_form.h"

#include "engrave/emitter.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/framing.h"
#include "engrave/job_plan.h"
#include "engrave/job_writer.h"
#include "engrave/program_store.h"
#include "settings/engrave_settings.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {

FreeFormJob PrepareFreeFormJob(const EngraveSettings& settings) {
  FreeFormJob prepared{PrepareJob(settings), AlignmentOf(settings.Justification), {}, {}};
  prepared.lines.reserve(settings.FreeFormTextE.size());
  for (const std::string& line : settings.FreeFormTextE) prepared.lines.push_back(To8Bit(line));
  prepared.code = PrepareCodeJob(settings, prepared.job);
  return prepared;
}

void WriteFreeFormBody(const FreeFormJob& prepared, const StrokeFont& font, ProgramSink& body) {
  const PreparedJob& job = prepared.job;
  const double theta = job.textAngleRad;
  ProgramText text(body);
  // Travel ordered over the whole job: every line's paths together.
  const bool grouped = job.cutting.travelOrder == 3;
  std::vector<TextPlacement> placements;
  for (std::size_t k = 0; k < prepared.lines.size(); ++k) {
    const std::string& line = prepared.lines[k];
    const double offset = job.textHeight * job.lineSpacing * static_cast<double>(k) * (-1);
    Point2 point = RotatePoint(0, offset, theta, job.start.x, job.start.y);
    if (prepared.alignment != TextAlignment::Left) {
      const double width = TextWidth(font, line, job.textHeight, job.widthRatio, job.spacingRatio);
      point = RotatePoint(AlignmentShift(prepared.alignment, width), 0, theta, point.x, point.y);
    }
    if (grouped) {
      placements.push_back({point, theta, line});
      continue;
    }
    AppendEngraveMoves(text.Bytes(), job, point, theta, line, font, LineEnd::CrLf);
    text.FlushIfLarge();
  }
  if (grouped) AppendEngraveGroup(text.Out(), job, placements, font);
  if (prepared.code) AppendCodeMoves(text.Out(), *prepared.code, job, prepared.code->request.content);
  text.Flush();
}

namespace {

class FreeFormPlan final : public JobPlan {
 public:
  FreeFormPlan(const EngraveSettings& settings, const StrokeFont& font)
      : m_job(PrepareFreeFormJob(settings)), m_frame(FrameOf(settings)), m_font(font) {
    if (m_job.lines.empty() && !m_job.code) RequireSomethingToWrite(m_frame, kNoText);
  }
  std::size_t Programs() const override { return 1; }
  ProgramFrame Frame(std::size_t) override { return m_frame; }
  void WriteBody(std::size_t, ProgramSink& body) override { WriteFreeFormBody(m_job, m_font, body); }
  std::string EngravedText() const override {
    std::string text;
    for (const std::string& line : m_job.lines) text += line;
    return text;
  }

 private:
  FreeFormJob m_job;
  ProgramFrame m_frame;
  const StrokeFont& m_font;
};

}  // namespace

std::unique_ptr<JobPlan> PlanFreeFormText(const EngraveSettings& settings, const StrokeFont& font) {
  return std::make_unique<FreeFormPlan>(settings, font);
}

bool EngraveFreeFormText(const EngraveSettings& settings, const StrokeFont& font, JobHost& host) {
  return WritePlan(*PlanFreeFormText(settings, font), host);
}

std::string FreeFormWidthLabel(const EngraveSettings& settings, const StrokeFont& font) {
  const double height = ReadReal(settings.TextHeightE);
  const double widthRatio = ReadReal(settings.WidthRatioE);
  const double spacingRatio = ReadReal(settings.SpacingRatioE);
  const Lines& lines = settings.FreeFormTextE;
  const std::string last = lines.empty() ? std::string() : To8Bit(lines.back());
  return FormatGeneral(TextWidth(font, last, height, widthRatio, spacingRatio));
}

}  // namespace stylor
