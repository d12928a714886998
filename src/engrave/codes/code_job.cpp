#include "engrave/codes/code_job.h"

#include "engrave/emitter.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {

std::optional<CodeJob> PrepareCodeJob(const EngraveSettings& settings, const PreparedJob& job) {
  const CodeSymbologyInfo& info = CodeSymbologyOf(settings.CodeKind);
  if (info.symbology == CodeSymbology::None) return std::nullopt;
  CodeJob code;
  code.request.symbology = info.symbology;
  code.request.content = To8Bit(settings.CodeText);
  code.request.gs1 = settings.CodeGS1;
  code.request.size = settings.CodeSizeE;
  code.request.rectangular = settings.CodeRectangular;
  code.request.qrLevel = settings.CodeLevel;
  CodePlacement& place = code.placement;
  place.corner.x = ReadReal(settings.CodeXE);
  place.corner.y = ReadReal(settings.CodeYE);
  place.angleRad = ReadReal(settings.CodeAngleE) * kPi * (1.0 / 180);
  place.moduleSize = ReadReal(settings.CodeModuleE);
  place.toolDiameter = ReadReal(settings.ToolDiameterE);
  place.style = CodeCutStyleOf(settings.CodeStyle);
  place.lightOnDark = settings.CodeLightOnDark;
  place.quietZone = info.quietZoneModules;
  if (!settings.CodeQuietE.empty()) {
    place.quietZone = ReadInteger(settings.CodeQuietE);
    if (place.quietZone < info.quietZoneModules) {
      throw Error("The quiet zone (CodeQuietE) of " + settings.CodeQuietE + " modules is less " +
                  "than " + std::string(info.caption) + " asks for: at least " +
                  std::to_string(info.quietZoneModules));
    }
  }
  code.dwellSeconds = ReadReal(settings.CodeDwellE);
  if (!(code.dwellSeconds >= 0)) {
    throw Error("The dwell (CodeDwellE) must be 0 seconds or more, not " + settings.CodeDwellE);
  }
  const double circumference = 2 * kPi * job.penDown;
  if (IsRotaryLetter(job.axis1)) place.corner.x = circumference * (place.corner.x * (1.0 / 360));
  if (IsRotaryLetter(job.axis2)) place.corner.y = circumference * (place.corner.y * (1.0 / 360));
  // The tool and module sizes, and a content without placeholders, are checked before any file
  // is asked for.
  CutCode(ModuleMatrix{1, 1, {1}}, place);
  if (code.request.content.find('{') == std::string::npos) EncodeCode(code.request);
  return code;
}

std::string WithSerial(std::string_view content, std::string_view serial) {
  constexpr std::string_view kSerial = "{Serial}";
  std::string out;
  std::size_t pos = 0;
  for (std::size_t at; (at = content.find(kSerial, pos)) != std::string_view::npos;) {
    out.append(content.substr(pos, at - pos));
    out.append(serial);
    pos = at + kSerial.size();
  }
  out.append(content.substr(pos));
  return out;
}

void AppendCodeMoves(std::string& out, const CodeJob& code, const PreparedJob& job,
                     std::string_view content) {
  CodeRequest request = code.request;
  request.content.assign(content);
  const CodeCuts cuts = CutCode(EncodeCode(request), code.placement);
  AppendCutMoves(out, job, cuts.strokes, cuts.dots, code.dwellSeconds);
}

}  // namespace stylor
