#include "engrave/layouts/free_form.h"

#include <optional>
#include <vector>

#include "engrave/emitter.h"
#include "engrave/framing.h"
#include "engrave/job_host.h"
#include "engrave/program_store.h"
#include "engrave/stroke_font.h"
#include "settings/engrave_settings.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {

bool EngraveFreeFormText(const EngraveSettings& settings, const StrokeFont& font, JobHost& host) {
  const PreparedJob job = PrepareJob(settings);
  const double theta = job.textAngleRad;
  // Every line's moves are made before the dialog: a value that no machine takes (a huge height
  // or start) is refused before the program file, perhaps a finished program, is emptied.
  std::vector<std::string> lineMoves;
  lineMoves.reserve(settings.FreeFormTextE.size());
  for (std::size_t k = 0; k < settings.FreeFormTextE.size(); ++k) {
    const std::string text = To8Bit(settings.FreeFormTextE[k]);
    const double offset = job.textHeight * job.lineSpacing * static_cast<double>(k) * (-1);
    Point2 point = RotatePoint(0, offset, theta, job.start.x, job.start.y);
    const double width = TextWidth(font, text, job.textHeight, job.widthRatio, job.spacingRatio);
    if (settings.Justification == 1 || settings.Justification == 2) {
      const double shift = settings.Justification == 1 ? width * (-0.5) : width * (-1);
      point = RotatePoint(shift, 0, theta, point.x, point.y);
    }
    AppendEngraveMoves(lineMoves.emplace_back(), job, point, theta, text, font);
  }

  const std::optional<std::string> chosen = host.AskProgramFile(std::nullopt);
  if (!chosen) return false;
  const std::string& fileName = *chosen;
  ProgramStore& store = host.Programs();
  WriteFraming(store, fileName, true, settings);
  for (const std::string& moves : lineMoves) store.Write(fileName, WriteMode::Append, moves);
  WriteFraming(store, fileName, false, settings);
  return true;
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
