#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engrave/geometry.h"
#include "preview/program_reader.h"

namespace stylor {

/// What the tool removes from the work: straight cuts as wide as the tool and dots of its
/// diameter, in the text plane (machine lengths, Axis 2 up).
struct CutDrawing {
  double toolDiameter = 0;
  struct Cut {
    Point2 from;
    Point2 to;
  };
  std::vector<Cut> cuts;    // feed moves with the tool down; an arc as its chords
  std::vector<Point2> dots; // every place the tool goes down
};

/// The cuts and dots of a program read with `options`. Throws what ReadProgram throws, and
/// Error when the tool diameter is not above 0.
CutDrawing CutDrawingOf(std::string_view program, const std::string& name,
                        const ReaderOptions& options, double toolDiameter);

/// The drawing as an SVG picture: black on white and nothing else, the longer side of the
/// drawing kRenderSide pixels inside a margin of white a fifth as wide.
std::string RenderCutsSvg(const CutDrawing& drawing);

/// The drawing as a greyscale PNG picture of the same size as RenderCutsSvg's, black on white,
/// its edges smoothed as an SVG renderer smooths them.
std::string RenderCutsPng(const CutDrawing& drawing);

/// Draws what the tool removes in the program file `program`, read with the settings' axes,
/// pen levels and modes, at ToolDiameterE, into the picture `out`: PNG or SVG by its extension.
/// Throws Error for another extension, a diameter that does not convert or is not above 0, and
/// what reading the program or writing the picture throws.
void RenderProgramFile(const EngraveSettings& settings, const std::string& program,
                       const std::string& out);

/// Pixels along the longer side of the drawing.
constexpr double kRenderSide = 800;

}  // namespace stylor
