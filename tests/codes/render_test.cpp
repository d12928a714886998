#include "preview/cut_render.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "decoders.h"
#include "engrave/job_writer.h"
#include "preview/preview_scene.h"
#include "preview/svg.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "support/font_text.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

using testing::HasSubstr;

TEST(RenderCuts, DrawsCutsAtTheToolWidthAndDotsAtItsDiameterAndNothingElse) {
  const std::string program =
      "G00 X0 Y0 Z1\nG01 Z-1 F10\nG01 X10 F50\nG00 Z1\nG00 X0 Y5\nG01 Z-1\nG00 Z1\n";
  const CutDrawing drawing = CutDrawingOf(program, "p.nc", ReaderOptions{}, 2);
  ASSERT_EQ(drawing.cuts.size(), 1u);
  EXPECT_EQ(drawing.dots.size(), 2u);  // the plunge before the cut, and the lone dot
  const std::string svg = RenderCutsSvg(drawing);
  // 12 long with the tool's ends: 800 px, so the tool is 2 x 800 / 12 px wide.
  EXPECT_THAT(svg, HasSubstr("stroke-width=\"133.33\""));
  EXPECT_THAT(svg, HasSubstr("r=\"66.67\""));
  EXPECT_THAT(svg, testing::Not(HasSubstr("<text")));
  const std::string png = RenderCutsPng(drawing);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_THAT([&] { CutDrawingOf(program, "p.nc", ReaderOptions{}, 0); },
              testing::ThrowsMessage<Error>(HasSubstr("(ToolDiameterE) must be above 0")));
}

TEST(RenderCuts, CommandLineWritesPngOrSvgAndRefusesOtherPictures) {
  test::TempFolder folder;
  const std::string cli = std::string(STYLOR_BIN_DIR) + "/stylor-cli";
  const std::string program = folder.Write("p.nc", "G00 X0 Y0 Z1\r\nG01 Z-1 F10\r\nG01 X10 F50\r\n");
  int status = 0;
  test::RunCommand(cli + " render " + program + " " + folder.File("p.png") + " 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test::ReadBytes(folder.File("p.png")).substr(0, 4), "\x89PNG");
  const std::string refused =
      test::RunCommand(cli + " render " + program + " " + folder.File("p.jpg") + " 2>&1", &status);
  EXPECT_EQ(status, 1);
  EXPECT_THAT(refused, HasSubstr("Stylor: render draws a .png or .svg picture"));
}

TEST(PreviewOfACode, DrawsTheCutsAtTheToolWidth) {
  EngraveSettings s;
  s.FreeFormTextE = {"L"};
  s.CodeKind = 1;
  s.CodeText = "7";
  s.CodeModuleE = "0.5";
  s.ToolDiameterE = "0.4";
  const auto font = test::FontFromText(test::kLetterLFont);
  const PreviewScene scene = BuildPreview(s, *font, JobKind::FreeFormText);
  EXPECT_EQ(scene.message, "");
  EXPECT_EQ(scene.cutWidth, 0.4);
  ASSERT_TRUE(scene.stats);
  EXPECT_GT(scene.stats->plunges, 10) << "the statistics count the code's strokes";
  // The drawing is 960 px over the longer side of the moves, 4.8 long: 200 px a unit.
  EXPECT_THAT(DrawSvg(scene), HasSubstr("stroke-width=\"80.00\""));
  EXPECT_THAT(DrawSvg(scene), HasSubstr("r=\"40.00\""));
  s.CodeKind = 0;
  EXPECT_EQ(BuildPreview(s, *font, JobKind::FreeFormText).cutWidth, 0);
}

}  // namespace
}  // namespace stylor
