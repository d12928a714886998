#pragma once

#include <vector>

#include "engrave/codes/code_symbol.h"
#include "engrave/geometry.h"

namespace stylor {

/// How the tool makes a module (CodeStyle's items, by index).
enum class CodeCutStyle {
  Dots,      // one plunge at the centre of each module, as a drill or a scribe marks it
  Filled,    // the runs of modules along each row, cut in passes a step-over apart
  Outlines,  // the border of each region of modules, the tool's edge on the border
};

/// CodeStyle 1 filled squares, 2 outlines; any other index dots.
CodeCutStyle CodeCutStyleOf(int codeStyle);

/// Where and how a symbol is cut. Lengths are machine lengths in the text plane.
struct CodePlacement {
  Point2 corner;              // lower-left corner of the symbol (its quiet zone lies outside)
  double angleRad = 0;        // turn of the symbol about its corner, counter-clockwise
  double moduleSize = 0.02;   // side of one module
  double toolDiameter = 0.02; // width of the cut, and the diameter of a dot
  int quietZone = 1;          // light margin around the symbol, in modules
  bool lightOnDark = false;   // the cut shows light: cut the light modules and the quiet zone
  CodeCutStyle style = CodeCutStyle::Filled;
};

/// The share of the tool diameter between neighbouring passes of filled modules: passes overlap,
/// so no ridge stands between them.
constexpr double kCodeStepOver = 0.8;

/// The tool paths of a symbol: strokes cut with the tool down from their first point to their
/// last, and dots, one plunge each. Travel goes row by row, every other row backwards.
struct CodeCuts {
  std::vector<std::vector<Point2>> strokes;
  std::vector<Point2> dots;
  friend bool operator==(const CodeCuts&, const CodeCuts&) = default;
};

/// The cuts of `matrix` placed as `placement` says. Throws Error when the tool cannot make a
/// module (its diameter larger than the module, naming both sizes) or a size is not above 0.
CodeCuts CutCode(const ModuleMatrix& matrix, const CodePlacement& placement);

}  // namespace stylor
