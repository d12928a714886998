#include "engrave/codes/code_cuts.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

// The cells to cut: the symbol's dark modules, or for light-on-dark its light modules and the
// quiet zone around it. Row 0 is the top row; `shift` modules lie left of and below the corner.
struct CutGrid {
  int rows = 0;
  int columns = 0;
  int shift = 0;
  std::vector<std::uint8_t> cut;
  bool Cut(int row, int column) const {
    if (row < 0 || column < 0 || row >= rows || column >= columns) return false;
    return cut[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
               static_cast<std::size_t>(column)] != 0;
  }
};

CutGrid GridOf(const ModuleMatrix& matrix, const CodePlacement& placement) {
  CutGrid grid;
  const int q = placement.lightOnDark ? placement.quietZone : 0;
  grid.rows = matrix.rows + 2 * q;
  grid.columns = matrix.columns + 2 * q;
  grid.shift = q;
  grid.cut.assign(static_cast<std::size_t>(grid.rows) * static_cast<std::size_t>(grid.columns),
                  placement.lightOnDark ? 1 : 0);
  for (int row = 0; row < matrix.rows; ++row) {
    for (int column = 0; column < matrix.columns; ++column) {
      const bool dark = matrix.Dark(row, column);
      grid.cut[static_cast<std::size_t>(row + q) * static_cast<std::size_t>(grid.columns) +
               static_cast<std::size_t>(column + q)] = dark != placement.lightOnDark ? 1 : 0;
    }
  }
  return grid;
}

// Turns symbol lengths (x right, y up from the grid's lower-left corner) into the text plane.
class Placer {
 public:
  Placer(const CutGrid& grid, const CodePlacement& placement)
      : m_placement(placement),
        m_shift(static_cast<double>(grid.shift) * placement.moduleSize) {}
  Point2 operator()(double x, double y) const {
    return RotatePoint(x - m_shift, y - m_shift, m_placement.angleRad, m_placement.corner.x,
                       m_placement.corner.y);
  }

 private:
  const CodePlacement& m_placement;
  double m_shift;
};

void Dots(const CutGrid& grid, const CodePlacement& placement, const Placer& place, CodeCuts& cuts) {
  const double m = placement.moduleSize;
  for (int row = 0; row < grid.rows; ++row) {
    const double y = (static_cast<double>(grid.rows - 1 - row) + 0.5) * m;
    const bool backwards = row % 2 == 1;
    for (int k = 0; k < grid.columns; ++k) {
      const int column = backwards ? grid.columns - 1 - k : k;
      if (grid.Cut(row, column)) cuts.dots.push_back(place((column + 0.5) * m, y));
    }
  }
}

// Each run of cut cells along a row is one stroke: passes along the row, a step-over apart,
// joined at alternate ends. The outer passes lie half a tool inside the run's edges, so that
// runs in neighbouring rows meet without a gap.
void Filled(const CutGrid& grid, const CodePlacement& placement, const Placer& place, CodeCuts& cuts) {
  const double m = placement.moduleSize;
  const double r = placement.toolDiameter / 2;
  const double spread = m - placement.toolDiameter;
  const int passes = spread <= 0 ? 1
                                 : static_cast<int>(std::ceil(spread / (placement.toolDiameter * kCodeStepOver) - 1e-9)) + 1;
  for (int row = 0; row < grid.rows; ++row) {
    const double bottom = static_cast<double>(grid.rows - 1 - row) * m;
    std::vector<std::pair<int, int>> runs;
    for (int column = 0; column < grid.columns;) {
      if (!grid.Cut(row, column)) {
        ++column;
        continue;
      }
      int end = column;
      while (grid.Cut(row, end + 1)) ++end;
      runs.emplace_back(column, end);
      column = end + 1;
    }
    const bool backwards = row % 2 == 1;
    if (backwards) std::reverse(runs.begin(), runs.end());
    for (const auto& [first, last] : runs) {
      double left = first * m + r;
      double right = (last + 1) * m - r;
      if (backwards) std::swap(left, right);
      std::vector<Point2> stroke;
      for (int pass = 0; pass < passes; ++pass) {
        // From the top of the module down, so that the next row (below) starts near.
        const double y = passes == 1 ? bottom + m / 2
                                     : bottom + m - r - spread * pass / (passes - 1);
        const bool forth = pass % 2 == 0;
        stroke.push_back(place(forth ? left : right, y));
        stroke.push_back(place(forth ? right : left, y));
      }
      cuts.strokes.push_back(std::move(stroke));
    }
  }
}

// The borders of the regions of cut cells as closed loops with the region on the left, each
// corner moved half a tool into the region. Where two cells touch only at a corner the loop
// turns left, so they stay two regions.
void Outlines(const CutGrid& grid, const CodePlacement& placement, const Placer& place, CodeCuts& cuts) {
  const double m = placement.moduleSize;
  const double r = placement.toolDiameter / 2;
  // Corners are (x, y) in modules from the grid's lower-left corner; an edge runs between two.
  using Corner = std::pair<int, int>;
  std::multimap<Corner, Corner> edges;
  for (int row = 0; row < grid.rows; ++row) {
    const int y = grid.rows - 1 - row;
    for (int x = 0; x < grid.columns; ++x) {
      if (!grid.Cut(row, x)) continue;
      if (!grid.Cut(row + 1, x)) edges.emplace(Corner{x, y}, Corner{x + 1, y});
      if (!grid.Cut(row, x + 1)) edges.emplace(Corner{x + 1, y}, Corner{x + 1, y + 1});
      if (!grid.Cut(row - 1, x)) edges.emplace(Corner{x + 1, y + 1}, Corner{x, y + 1});
      if (!grid.Cut(row, x - 1)) edges.emplace(Corner{x, y + 1}, Corner{x, y});
    }
  }
  const auto leftOf = [](int dx, int dy) { return std::pair<int, int>{-dy, dx}; };
  while (!edges.empty()) {
    auto it = edges.begin();
    const Corner start = it->first;
    std::vector<Corner> loop{start};
    Corner at = it->second;
    int dx = at.first - start.first;
    int dy = at.second - start.second;
    edges.erase(it);
    while (at != start) {
      auto [from, to] = edges.equal_range(at);
      auto chosen = from;
      for (auto k = from; k != to; ++k) {
        const int ndx = k->second.first - at.first;
        const int ndy = k->second.second - at.second;
        if (std::pair<int, int>{ndx, ndy} == leftOf(dx, dy)) chosen = k;
      }
      const int ndx = chosen->second.first - at.first;
      const int ndy = chosen->second.second - at.second;
      if (ndx != dx || ndy != dy) loop.push_back(at);  // a corner; straight on adds no point
      dx = ndx;
      dy = ndy;
      at = chosen->second;
      edges.erase(chosen);
    }
    // The start is a corner when the last edge turns into the first one.
    const int firstDx = loop.size() > 1 ? loop[1].first - loop[0].first : 0;
    const int firstDy = loop.size() > 1 ? loop[1].second - loop[0].second : 0;
    const bool startIsCorner = firstDx * dx + firstDy * dy == 0;
    if (!startIsCorner) loop.erase(loop.begin());
    std::vector<Point2> stroke;
    const std::size_t n = loop.size();
    for (std::size_t k = 0; k <= n; ++k) {
      const Corner& before = loop[(k + n - 1) % n];
      const Corner& corner = loop[k % n];
      const Corner& after = loop[(k + 1) % n];
      const auto in1 = leftOf(corner.first - before.first == 0 ? 0 : (corner.first - before.first > 0 ? 1 : -1),
                              corner.second - before.second == 0 ? 0 : (corner.second - before.second > 0 ? 1 : -1));
      const auto in2 = leftOf(after.first - corner.first == 0 ? 0 : (after.first - corner.first > 0 ? 1 : -1),
                              after.second - corner.second == 0 ? 0 : (after.second - corner.second > 0 ? 1 : -1));
      stroke.push_back(place(corner.first * m + r * (in1.first + in2.first),
                             corner.second * m + r * (in1.second + in2.second)));
    }
    cuts.strokes.push_back(std::move(stroke));
  }
}

}  // namespace

CodeCutStyle CodeCutStyleOf(int codeStyle) {
  if (codeStyle == 1) return CodeCutStyle::Filled;
  if (codeStyle == 2) return CodeCutStyle::Outlines;
  return CodeCutStyle::Dots;
}

CodeCuts CutCode(const ModuleMatrix& matrix, const CodePlacement& placement) {
  if (!(placement.toolDiameter > 0)) {
    throw Error("The tool diameter (ToolDiameterE) must be above 0 to cut a code");
  }
  if (!(placement.moduleSize > 0)) {
    throw Error("The module size (CodeModuleE) must be above 0");
  }
  if (placement.toolDiameter > placement.moduleSize) {
    throw Error("The module size (CodeModuleE) " + FormatGeneral(placement.moduleSize) +
                " is smaller than the tool can make: the tool diameter (ToolDiameterE) is " +
                FormatGeneral(placement.toolDiameter));
  }
  const CutGrid grid = GridOf(matrix, placement);
  const Placer place(grid, placement);
  CodeCuts cuts;
  switch (placement.style) {
    case CodeCutStyle::Dots: Dots(grid, placement, place, cuts); break;
    case CodeCutStyle::Filled: Filled(grid, placement, place, cuts); break;
    case CodeCutStyle::Outlines: Outlines(grid, placement, place, cuts); break;
  }
  return cuts;
}

}  // namespace stylor
