#pragma once

#include <string>
#include <string_view>

#include "preview/program_reader.h"

namespace stylor {

struct PreviewScene;

/// An SVG picture of `scene`: cuts solid, rapids thin and dashed, plunges as small dots, the
/// program's start as a green ring, the start point or centre marker, the guide circle or
/// ellipse, arrows with the two axis letters, a scale bar, and the caption, note and message
/// below. Axis 2 points up; the drawing is fitted (longer side 960 px) with a margin. Numbers are
/// written with FormatFixed, whatever the locale.
std::string DrawSvg(const PreviewScene& scene);

/// The SVG picture DrawSvg draws of SceneOfProgramFile(path, options), byte for byte, written
/// as the file is read (twice: once for the bounds, once for the picture) without a list of its
/// segments. Throws what ReadProgramFile throws.
std::string DrawProgramFileSvg(const std::string& path, const ReaderOptions& options);

/// Writes DrawProgramFileSvg(path, options) into the file `svgPath` as SaveTextFile does, in
/// pieces. Throws what DrawProgramFileSvg and SaveTextFile throw.
void SaveProgramFileSvg(const std::string& path, const ReaderOptions& options,
                        const std::string& svgPath);

/// The length of a scale bar for a drawing `span` long (span > 0, same units): 1, 2 or 5 times
/// a power of ten, at most a fifth of the span.
double ScaleBarLength(double span);

/// Replaces the file `path` by `text` byte for byte, through a temporary file beside it, so a
/// failed write leaves the old file as it was; a folder, pipe or device is refused. Throws Error
/// naming the file and the system's reason when it cannot be written.
void SaveTextFile(const std::string& path, std::string_view text);

}  // namespace stylor
