#include "engrave/layouts/free_form.h"

#include "engrave/emitter.h"
#include "engrave/framing.h"
#include "engrave/job_writer.h"
#include "engrave/program_store.h"
#include "engrave/stroke_font.h"
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
  for (std::size_t k = 0; k < prepared.lines.size(); ++k) {
    const std::string& line = prepared.lines[k];
    const double offset = job.textHeight * job.lineSpacing * static_cast<double>(k) * (-1);
    Point2 point = RotatePoint(0, offset, theta, job.start.x, job.start.y);
    if (prepared.alignment != TextAlignment::Left) {
      const double width = TextWidth(font, line, job.textHeight, job.widthRatio, job.spacingRatio);
      point = RotatePoint(AlignmentShift(prepared.alignment, width), 0, theta, point.x, point.y);
    }
    AppendEngraveMoves(text.Out(), job, point, theta, line, font);
    text.FlushIfLarge();
  }
  if (prepared.code) AppendCodeMoves(text.Out(), *prepared.code, job, prepared.code->request.content);
  text.Flush();
}

bool EngraveFreeFormText(const EngraveSettings& settings, const StrokeFont& font, JobHost& host) {
  const FreeFormJob job = PrepareFreeFormJob(settings);
  const ProgramFrame frame = FrameOf(settings);
  if (job.lines.empty() && !job.code) RequireSomethingToWrite(frame, kNoText);
  return WriteFramedProgram(host, frame,
                            [&](ProgramSink& body) { WriteFreeFormBody(job, font, body); });
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
