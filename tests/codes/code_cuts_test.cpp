#include "engrave/codes/code_cuts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "decoders.h"
#include "preview/cut_render.h"
#include "settings/error.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

using testing::HasSubstr;

ModuleMatrix Matrix(std::initializer_list<const char*> rows) {
  ModuleMatrix m;
  for (const char* row : rows) {
    m.columns = static_cast<int>(std::strlen(row));
    for (const char* c = row; *c != 0; ++c) m.dark.push_back(*c == '#' ? 1 : 0);
    ++m.rows;
  }
  return m;
}

CodePlacement Unit(CodeCutStyle style, double tool) {
  CodePlacement p;
  p.moduleSize = 1;
  p.toolDiameter = tool;
  p.style = style;
  return p;
}

TEST(CutCode, RefusesAModuleSmallerThanTheToolNamingBothSizes) {
  const ModuleMatrix m = Matrix({"#"});
  CodePlacement p = Unit(CodeCutStyle::Filled, 0.5);
  p.moduleSize = 0.4;
  EXPECT_THAT([&] { CutCode(m, p); },
              testing::ThrowsMessage<Error>(HasSubstr(
                  "The module size (CodeModuleE) 0.4 is smaller than the tool can make: the tool "
                  "diameter (ToolDiameterE) is 0.5")));
  p.toolDiameter = 0;
  EXPECT_THAT([&] { CutCode(m, p); },
              testing::ThrowsMessage<Error>(HasSubstr("(ToolDiameterE) must be above 0")));
}

TEST(CutCode, FilledRunsArePassesHalfAToolInsideTheirModules) {
  // One run of two modules; a tool of 0.5 needs three passes 0.25 apart (0.5 > 0.8 x 0.5).
  const CodeCuts cuts = CutCode(Matrix({"##."}), Unit(CodeCutStyle::Filled, 0.5));
  ASSERT_EQ(cuts.strokes.size(), 1u);
  const std::vector<Point2> expected = {{0.25, 0.75}, {1.75, 0.75}, {1.75, 0.5},
                                        {0.25, 0.5},  {0.25, 0.25}, {1.75, 0.25}};
  EXPECT_EQ(cuts.strokes[0], expected);
  // A tool as wide as the module cuts it in one pass along its middle.
  const CodeCuts one = CutCode(Matrix({"#"}), Unit(CodeCutStyle::Filled, 1));
  EXPECT_EQ(one.strokes, (std::vector<std::vector<Point2>>{{{0.5, 0.5}, {0.5, 0.5}}}));
}

TEST(CutCode, RowsAlternateSoTheToolNeverCrossesBack) {
  const CodeCuts cuts = CutCode(Matrix({"#.#", "#.#"}), Unit(CodeCutStyle::Dots, 1));
  const std::vector<Point2> expected = {{0.5, 1.5}, {2.5, 1.5}, {2.5, 0.5}, {0.5, 0.5}};
  EXPECT_EQ(cuts.dots, expected);
}

TEST(CutCode, OutlinesFollowEachRegionWithTheToolInside) {
  // An L of three modules, and a module that touches it only at a corner: two regions.
  const CodeCuts cuts = CutCode(Matrix({"#.#", "##."}), Unit(CodeCutStyle::Outlines, 0.2));
  ASSERT_EQ(cuts.strokes.size(), 2u);
  const std::vector<Point2> l = {{0.1, 0.1}, {1.9, 0.1}, {1.9, 0.9}, {0.9, 0.9},
                                 {0.9, 1.9}, {0.1, 1.9}, {0.1, 0.1}};
  const std::vector<Point2> single = {{2.1, 1.1}, {2.9, 1.1}, {2.9, 1.9}, {2.1, 1.9}, {2.1, 1.1}};
  const auto near = [](const std::vector<Point2>& a, const std::vector<Point2>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
      if (std::abs(a[k].x - b[k].x) > 1e-12 || std::abs(a[k].y - b[k].y) > 1e-12) return false;
    }
    return true;
  };
  EXPECT_TRUE(near(cuts.strokes[0], l)) << "the L";
  EXPECT_TRUE(near(cuts.strokes[1], single)) << "the single module";
}

TEST(CutCode, LightOnDarkCutsTheLightModulesAndTheQuietZone) {
  CodePlacement p = Unit(CodeCutStyle::Dots, 1);
  p.lightOnDark = true;
  p.quietZone = 1;
  const CodeCuts cuts = CutCode(Matrix({"#.", ".#"}), p);
  EXPECT_EQ(cuts.dots.size(), 16u - 2u);
  EXPECT_EQ(cuts.dots.front(), (Point2{-0.5, 2.5}));  // the quiet zone's top-left module
}

TEST(CutCode, TurnsAboutTheCorner) {
  CodePlacement p = Unit(CodeCutStyle::Dots, 1);
  p.corner = {10, 20};
  p.angleRad = kPi / 2;
  const CodeCuts cuts = CutCode(Matrix({"#"}), p);
  ASSERT_EQ(cuts.dots.size(), 1u);
  EXPECT_NEAR(cuts.dots[0].x, 9.5, 1e-12);
  EXPECT_NEAR(cuts.dots[0].y, 20.5, 1e-12);
}

CutDrawing DrawingOf(const CodeCuts& cuts, double tool) {
  CutDrawing drawing;
  drawing.toolDiameter = tool;
  for (const auto& stroke : cuts.strokes) {
    for (std::size_t k = 1; k < stroke.size(); ++k) drawing.cuts.push_back({stroke[k - 1], stroke[k]});
  }
  drawing.dots = cuts.dots;
  return drawing;
}

struct ReadCase {
  const char* name;
  CodeRequest request;
  CodeCutStyle style;
  double tool;  // for a module of 1
  double angleDeg;
};

const ReadCase kRead[] = {
    {"DataMatrixFilledFineTool", {CodeSymbology::DataMatrix, "SN-004711", false, "", false, 1}, CodeCutStyle::Filled, 0.3, 0},
    {"DataMatrixFilledToolJustFits", {CodeSymbology::DataMatrix, "SN-004711", false, "", false, 1}, CodeCutStyle::Filled, 1, 37},
    {"DataMatrixDots", {CodeSymbology::DataMatrix, "\xD8" "8 \xB1" "0.1", false, "", false, 1}, CodeCutStyle::Dots, 1, 90},
    {"QrFilled", {CodeSymbology::Qr, "LOT 22-117", false, "", false, 2}, CodeCutStyle::Filled, 0.45, 37},
};

TEST(CutCode, WhatTheToolCutsIsReadByADecoder) {
  test::TempFolder folder;
  for (const ReadCase& c : kRead) {
    SCOPED_TRACE(c.name);
    CodePlacement p = Unit(c.style, c.tool);
    p.angleRad = c.angleDeg * kPi / 180;
    const CodeCuts cuts = CutCode(EncodeCode(c.request), p);
    const std::string png = folder.Write(std::string(c.name) + ".png", RenderCutsPng(DrawingOf(cuts, c.tool)));
    EXPECT_EQ(test::DecodePicture(c.request.symbology, png), test::ExpectedDecoding(c.request));
  }
}

}  // namespace
}  // namespace stylor
