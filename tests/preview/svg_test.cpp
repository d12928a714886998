#include "preview/svg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "preview/preview_scene.h"

namespace stylor {
namespace {

using testing::HasSubstr;

std::string ReadData(const std::string& name) {
  std::ifstream in(std::string(STYLOR_TEST_DATA) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::size_t Count(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

// One L, 0.6 wide and 1 high: the longer side, 1, becomes 960 px; margins of 24 px; Axis 2 up,
// so Y 1 is at the top (24 px) and Y 0 at 24 + 960 px.
TEST(SvgTest, OneGlyphProgram) {
  ReaderOptions options;
  options.penUp = 0.1;
  options.penDown = -0.01;
  const std::string svg = DrawSvg(SceneOfProgram(ReadData("l.eia"), "l.eia", options));

  EXPECT_THAT(svg, testing::StartsWith("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"624.00\" "
                                       "height=\"1072.00\" viewBox=\"0 0 624.00 1072.00\">\n"));
  EXPECT_THAT(svg, HasSubstr("<path class=\"rapid\" d=\"M24.00 984.00 L24.00 24.00\" fill=\"none\" "
                             "stroke=\"#8c8c8c\" stroke-width=\"0.75\" stroke-dasharray=\"4 3\"/>"));
  EXPECT_THAT(svg, HasSubstr("<path class=\"cut\" d=\"M24.00 24.00 L24.00 984.00 L600.00 984.00\""));
  EXPECT_THAT(svg, HasSubstr("<g class=\"plunge\" fill=\"#d62728\">\n"
                             "<circle cx=\"24.00\" cy=\"24.00\" r=\"1.6\"/>\n</g>"));
  EXPECT_THAT(svg, HasSubstr("<circle class=\"start\" cx=\"24.00\" cy=\"984.00\" r=\"5\""));
  EXPECT_THAT(svg, HasSubstr(">X</text>"));
  EXPECT_THAT(svg, HasSubstr(">Y</text>"));
  // Scale bar: a fifth of the span, rounded down to 1, 2 or 5 times a power of ten: 0.2 = 192 px.
  EXPECT_THAT(svg, HasSubstr("<line x1=\"408.00\" y1=\"1048.00\" x2=\"600.00\" y2=\"1048.00\""));
  EXPECT_THAT(svg, HasSubstr(">0.2</text>"));
  EXPECT_EQ(Count(svg, "<path class="), 2u);
  EXPECT_EQ(Count(svg, "<circle"), 2u);
  EXPECT_THAT(svg, testing::EndsWith("</svg>\n"));
}

TEST(SvgTest, TextsAreEscapedAndGuidesTurnTheOtherWay) {
  PreviewScene scene;
  scene.axis1 = 'C';
  scene.message = "'a<b&c\x01\xff' is not a valid floating point value.";
  scene.caption = "Mazak G16   (Y, Z, X)";
  scene.guide = {GuideKind::Ellipse, {0, 0}, 2, 1, 3.141592653589793 / 6};
  scene.marker = PreviewMarker{MarkerKind::Centre, {0, 0}};
  const std::string svg = DrawSvg(scene);
  EXPECT_THAT(svg, HasSubstr(">'a&lt;b&amp;c?\?' is not a valid floating point value.</text>"));
  EXPECT_THAT(svg, HasSubstr(">Mazak G16   (Y, Z, X)</text>"));
  EXPECT_THAT(svg, HasSubstr("transform=\"rotate(-30.0000 "));
  EXPECT_THAT(svg, HasSubstr("<g class=\"centre\">"));
  EXPECT_THAT(svg, HasSubstr(">C</text>"));
  EXPECT_THAT(svg, testing::Not(HasSubstr("No moves to draw")));
}

// Points are written to a hundredth of a pixel: a cut that ends where it starts as written draws
// nothing and is left out, and one that starts where the pen stands as written goes on from it.
// The statistics keep every move.
TEST(SvgTest, MovesBelowTheResolutionAreLeftOut) {
  // 1 unit is 960 px: 0.000001 is far below a hundredth of a pixel.
  const std::string program =
      "G00 X0 Y0 Z1\nG01 Z-1 F10\nG01 X1\nG01 X1.000001\nG00 Z1\nG00 X1.000002 Y0.000001\n"
      "G01 Z-1\nG01 Y1\n";
  const PreviewScene scene = SceneOfProgram(program, "p.eia", ReaderOptions{});
  const std::string svg = DrawSvg(scene);
  EXPECT_THAT(svg, HasSubstr("<path class=\"cut\" d=\"M24.00 984.00 L984.00 984.00 L984.00 24.00\""));
  EXPECT_THAT(svg, testing::Not(HasSubstr("<path class=\"rapid\"")));
  EXPECT_EQ(scene.stats->moves, 7);
  EXPECT_NEAR(scene.stats->cutLength, 2, 1e-12);
}

TEST(SvgTest, EmptySceneStillDraws) {
  const std::string svg = DrawSvg(PreviewScene{});
  EXPECT_THAT(svg, HasSubstr("No moves to draw"));
  EXPECT_THAT(svg, testing::Not(HasSubstr("class=\"scale\"")));
}

}  // namespace
}  // namespace stylor
