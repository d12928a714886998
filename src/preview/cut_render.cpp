#include "preview/cut_render.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "preview/png.h"
#include "preview/svg.h"
#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

// White around the drawing, a fifth of its longer side: room for the quiet zone a decoder
// needs around a code (four modules of a QR code of 21).
constexpr double kMarginPixels = kRenderSide / 5;


// Where the drawing lands in the picture: the extent of everything the tool removes, fitted.
struct Frame {
  double minX = 0;
  double maxY = 0;
  double scale = 1;  // pixels per machine length
  int width = 0;
  int height = 0;
  double X(double x) const { return kMarginPixels + (x - minX) * scale; }
  double Y(double y) const { return kMarginPixels + (maxY - y) * scale; }
};

Frame FrameOf(const CutDrawing& drawing) {
  double minX = std::numeric_limits<double>::infinity();
  double minY = minX;
  double maxX = -minX;
  double maxY = -minX;
  const auto add = [&](Point2 p) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  };
  for (const CutDrawing::Cut& cut : drawing.cuts) {
    add(cut.from);
    add(cut.to);
  }
  for (const Point2& dot : drawing.dots) add(dot);
  Frame frame;
  if (!std::isfinite(minX)) {
    frame.width = frame.height = static_cast<int>(2 * kMarginPixels);
    return frame;
  }
  const double r = drawing.toolDiameter / 2;
  minX -= r;
  minY -= r;
  maxX += r;
  maxY += r;
  const double span = std::max(maxX - minX, maxY - minY);
  frame.minX = minX;
  frame.maxY = maxY;
  frame.scale = span > 0 ? kRenderSide / span : 1;
  frame.width = static_cast<int>(std::ceil((maxX - minX) * frame.scale + 2 * kMarginPixels));
  frame.height = static_cast<int>(std::ceil((maxY - minY) * frame.scale + 2 * kMarginPixels));
  return frame;
}

// Pixels are drawn as kSamples x kSamples samples, each black or white, and shown as their
// mean: edges come out grey, as a camera sees them.
constexpr int kSamples = 4;

struct SampleImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> black;
  void Set(int x, int y) {
    black[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = 1;
  }
};

// Blackens the samples whose centres lie within `radius` samples of the segment a-b.
void FillCapsule(SampleImage& image, double ax, double ay, double bx, double by, double radius) {
  const int x0 = std::max(0, static_cast<int>(std::floor(std::min(ax, bx) - radius)));
  const int x1 = std::min(image.width - 1, static_cast<int>(std::ceil(std::max(ax, bx) + radius)));
  const int y0 = std::max(0, static_cast<int>(std::floor(std::min(ay, by) - radius)));
  const int y1 = std::min(image.height - 1, static_cast<int>(std::ceil(std::max(ay, by) + radius)));
  const double dx = bx - ax;
  const double dy = by - ay;
  const double length2 = dx * dx + dy * dy;
  const double r2 = radius * radius;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const double px = x + 0.5 - ax;
      const double py = y + 0.5 - ay;
      double t = length2 > 0 ? (px * dx + py * dy) / length2 : 0;
      t = std::clamp(t, 0.0, 1.0);
      const double ex = px - t * dx;
      const double ey = py - t * dy;
      if (ex * ex + ey * ey <= r2) image.Set(x, y);
    }
  }
}

void Number(std::string& out, double value) { AppendFixed(out, value, 2); }

}  // namespace

CutDrawing CutDrawingOf(std::string_view program, const std::string& name,
                        const ReaderOptions& options, double toolDiameter) {
  if (!(toolDiameter > 0) || !std::isfinite(toolDiameter)) {
    throw Error("The tool diameter (ToolDiameterE) must be above 0 to draw what the tool removes");
  }
  CutDrawing drawing;
  drawing.toolDiameter = toolDiameter;
  ReadProgram(program, name, options, [&](const ProgramMove& move) {
    if (move.kind == MoveKind::Plunge) {
      drawing.dots.push_back(move.to);
    } else if (move.kind == MoveKind::Cut) {
      const std::vector<Point2> points = MovePoints(move);
      for (std::size_t k = 1; k < points.size(); ++k) drawing.cuts.push_back({points[k - 1], points[k]});
    }
  });
  return drawing;
}

std::string RenderCutsSvg(const CutDrawing& drawing) {
  const Frame frame = FrameOf(drawing);
  std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"";
  AppendInteger(out, frame.width);
  out += "\" height=\"";
  AppendInteger(out, frame.height);
  out += "\">\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  const double width = drawing.toolDiameter * frame.scale;
  if (!drawing.cuts.empty()) {
    out += "<path fill=\"none\" stroke=\"#000000\" stroke-linecap=\"round\" "
           "stroke-linejoin=\"round\" stroke-width=\"";
    Number(out, width);
    out += "\" d=\"";
    for (const CutDrawing::Cut& cut : drawing.cuts) {
      out += 'M';
      Number(out, frame.X(cut.from.x));
      out += ' ';
      Number(out, frame.Y(cut.from.y));
      out += 'L';
      Number(out, frame.X(cut.to.x));
      out += ' ';
      Number(out, frame.Y(cut.to.y));
    }
    out += "\"/>\n";
  }
  for (const Point2& dot : drawing.dots) {
    out += "<circle fill=\"#000000\" cx=\"";
    Number(out, frame.X(dot.x));
    out += "\" cy=\"";
    Number(out, frame.Y(dot.y));
    out += "\" r=\"";
    Number(out, width / 2);
    out += "\"/>\n";
  }
  out += "</svg>\n";
  return out;
}

std::string RenderCutsPng(const CutDrawing& drawing) {
  const Frame frame = FrameOf(drawing);
  SampleImage samples;
  samples.width = frame.width * kSamples;
  samples.height = frame.height * kSamples;
  samples.black.assign(static_cast<std::size_t>(samples.width) * static_cast<std::size_t>(samples.height), 0);
  const double radius = drawing.toolDiameter * frame.scale / 2 * kSamples;
  for (const CutDrawing::Cut& cut : drawing.cuts) {
    FillCapsule(samples, frame.X(cut.from.x) * kSamples, frame.Y(cut.from.y) * kSamples,
                frame.X(cut.to.x) * kSamples, frame.Y(cut.to.y) * kSamples, radius);
  }
  for (const Point2& dot : drawing.dots) {
    const double x = frame.X(dot.x) * kSamples;
    const double y = frame.Y(dot.y) * kSamples;
    FillCapsule(samples, x, y, x, y, radius);
  }
  GreyImage image = WhiteImage(frame.width, frame.height);
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      int black = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        const std::size_t row = static_cast<std::size_t>(y * kSamples + sy) * static_cast<std::size_t>(samples.width);
        for (int sx = 0; sx < kSamples; ++sx) black += samples.black[row + static_cast<std::size_t>(x * kSamples + sx)];
      }
      image.At(x, y) = static_cast<std::uint8_t>(255 - black * 255 / (kSamples * kSamples));
    }
  }
  return EncodePng(image);
}

void RenderProgramFile(const EngraveSettings& settings, const std::string& program,
                       const std::string& out) {
  const auto endsWith = [&](std::string_view tail) {
    if (out.size() < tail.size()) return false;
    for (std::size_t k = 0; k < tail.size(); ++k) {
      const char c = out[out.size() - tail.size() + k];
      if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != tail[k]) return false;
    }
    return true;
  };
  const bool png = endsWith(".png");
  if (!png && !endsWith(".svg")) {
    throw Error("render draws a .png or .svg picture, and '" + out + "' is neither");
  }
  const double tool = ReadReal(settings.ToolDiameterE);
  const CutDrawing drawing =
      CutDrawingOf(ReadProgramFile(program), program, ReaderOptionsFrom(settings), tool);
  SaveTextFile(out, png ? RenderCutsPng(drawing) : RenderCutsSvg(drawing));
}

}  // namespace stylor
