#include "engrave/layouts/free_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/font_text.h"
#include "support/temp_folder.h"
#include "support/job_host_double.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"

namespace stylor {
namespace {

using testing::ThrowsMessage;

// A glyph one unit wide that cuts its baseline: each line's opening move shows where it starts.
constexpr const char* kDashFont = "SYM -\nG00 X0 Y0\nG01 Z-1\nG01 X1 Y0\nG00 Z1\n";

EngraveSettings Settings(Lines lines) {
  EngraveSettings settings;
  settings.TextHeightE = "0.5";
  settings.LineSpacingE = "2";
  settings.FreeFormTextE = std::move(lines);
  return settings;
}

std::vector<std::string> OpeningMoves(const std::string& program) {
  std::vector<std::string> moves;
  std::size_t pos = 0;
  while ((pos = program.find("G00 X", pos)) != std::string::npos) {
    if (pos == 0 || program[pos - 1] == '\n') {
      const std::size_t end = program.find('\r', pos);
      const std::string line = program.substr(pos, end - pos);
      if (line.find(" Z") != std::string::npos) moves.push_back(line);
    }
    pos += 5;
  }
  return moves;
}

struct PlacementCase {
  const char* name;
  int justification;
  const char* angle;
  const char* start1;
  std::vector<std::string> expected;
};

TEST(EngraveFreeFormText, PlacesLinesByJustificationAngleAndSpacing) {
  auto font = test::FontFromText(kDashFont);
  // Lines "-", "", "--": widths 0.5, 0, 0.5 x (1 + 1.35) = 1.175 at height 0.5.
  const PlacementCase kCases[] = {
      {"Left", 0, "0", "0",
       {"G00 X0.0000 Y0.0000 Z0.0010", "G00 X0.0000 Y-1.0000 Z0.0010",
        "G00 X0.0000 Y-2.0000 Z0.0010"}},
      {"Center", 1, "0", "0",
       {"G00 X-0.2500 Y0.0000 Z0.0010", "G00 X0.0000 Y-1.0000 Z0.0010",
        "G00 X-0.5875 Y-2.0000 Z0.0010"}},
      {"Right", 2, "0", "2",
       {"G00 X1.5000 Y0.0000 Z0.0010", "G00 X2.0000 Y-1.0000 Z0.0010",
        "G00 X0.8250 Y-2.0000 Z0.0010"}},
      {"NothingSelectedIsLeft", -1, "0", "0",
       {"G00 X0.0000 Y0.0000 Z0.0010", "G00 X0.0000 Y-1.0000 Z0.0010",
        "G00 X0.0000 Y-2.0000 Z0.0010"}},
      // At 90 degrees the lines step towards positive Axis 1 and "Right" shifts along Axis 2;
      // cos 90 is not exactly 0, so near-zero values keep their sign.
      {"RightAt90", 2, "90", "0",
       {"G00 X-0.0000 Y-0.5000 Z0.0010", "G00 X1.0000 Y-0.0000 Z0.0010",
        "G00 X2.0000 Y-1.1750 Z0.0010"}},
  };
  for (const PlacementCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings = Settings({"-", "", "--"});
    settings.Justification = c.justification;
    settings.TextAngleE = c.angle;
    settings.Axis1StartE = c.start1;
    test::FakeJobHost host;
    ASSERT_TRUE(EngraveFreeFormText(settings, *font, host));
    EXPECT_EQ(OpeningMoves(host.store.Bytes("job.eia")), c.expected);
  }
}

TEST(EngraveFreeFormText, LineSpacingZeroPutsEveryLineOnOneBaseline) {
  auto font = test::FontFromText(kDashFont);
  EngraveSettings settings = Settings({"-", "-"});
  settings.LineSpacingE = "0";
  test::FakeJobHost host;
  EngraveFreeFormText(settings, *font, host);
  const auto moves = OpeningMoves(host.store.Bytes("job.eia"));
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0], moves[1]);
}

TEST(EngraveFreeFormText, RotaryStartIsConvertedButOffsetsStayLengths) {
  auto font = test::FontFromText(kDashFont);
  EngraveSettings settings = Settings({"-", "-"});
  settings.Axis2E = "A";
  settings.Axis2StartE = "90";
  settings.PenDownE = "2";
  test::FakeJobHost host;
  EngraveFreeFormText(settings, *font, host);
  // 90 degrees on radius 2 is pi; the second line is 1 below it: pi - 1 = 2.1416 = 61.3521 deg.
  const auto moves = OpeningMoves(host.store.Bytes("job.eia"));
  EXPECT_EQ(moves, (std::vector<std::string>{"G00 X0.0000 A90.0000 Z0.0010",
                                             "G00 X0.0000 A61.3521 Z0.0010"}));
}

TEST(EngraveFreeFormText, EmptyMemoWritesOnlyTheBlocksAndCancelWritesNothing) {
  auto font = test::FontFromText(kDashFont);
  EngraveSettings settings = Settings({});
  settings.PreToolChange = {"T1"};
  settings.PostEngrave = {"M30"};
  test::FakeJobHost host;
  EXPECT_TRUE(EngraveFreeFormText(settings, *font, host));
  EXPECT_EQ(host.store.Bytes("job.eia"), "T1\r\nM30\r\n");

  test::FakeJobHost cancelling(std::nullopt);
  EXPECT_FALSE(EngraveFreeFormText(Settings({"-"}), *font, cancelling));
  EXPECT_TRUE(cancelling.store.Files().empty());
}

TEST(EngraveFreeFormText, ABadFieldEndsTheJobBeforeTheDialog) {
  auto font = test::FontFromText(kDashFont);
  EngraveSettings settings = Settings({"-"});
  settings.TextHeightE = "";
  test::FakeJobHost host;
  EXPECT_THAT([&] { EngraveFreeFormText(settings, *font, host); },
              ThrowsMessage<Error>("'' is not a valid floating point value"));
  EXPECT_EQ(host.dialogs, 0);
}

TEST(FreeFormWidthLabel, MeasuresTheLastLineInTheGeneralFormat) {
  auto font = test::FontFromText(kDashFont);
  EXPECT_EQ(FreeFormWidthLabel(Settings({}), *font), "0");
  EXPECT_EQ(FreeFormWidthLabel(Settings({"--", "-"}), *font), "0.5");
  EXPECT_EQ(FreeFormWidthLabel(Settings({"-", "--"}), *font), "1.175");
  EngraveSettings bad = Settings({"-"});
  bad.SpacingRatioE = "x";
  EXPECT_THAT([&] { FreeFormWidthLabel(bad, *font); },
              ThrowsMessage<Error>("'x' is not a valid floating point value"));
}

}  // namespace
}  // namespace stylor
