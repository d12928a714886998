#include "preview/preview_scene.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "engrave/stroke_font.h"
#include "settings/engrave_settings.h"
#include "ui/model/engrave_form_model.h"

namespace stylor {
namespace {

using testing::HasSubstr;

const StrokeFont& LetterL() {
  static const std::unique_ptr<StrokeFont> font = [] {
    auto loaded = std::make_unique<StrokeFont>();
    FontReport report;
    LoadFont(std::string(STYLOR_TEST_DATA) + "/letter_l.fnt", *loaded, report);
    return loaded;
  }();
  return *font;
}

// The worked "LL" example of the emitter: height 1, pen up 0.1, pen down -0.01.
EngraveSettings Example() {
  EngraveSettings settings;
  settings.TextHeightE = "1";
  settings.PenUpE = "0.1";
  settings.PenDownE = "-0.01";
  settings.FreeFormTextE = {"LL"};
  return settings;
}

std::vector<PreviewSegment> OfKind(const PreviewScene& scene, SegmentKind kind) {
  std::vector<PreviewSegment> found;
  for (const PreviewSegment& segment : scene.segments) {
    if (segment.kind == kind) found.push_back(segment);
  }
  return found;
}

TEST(BuildPreviewTest, FreeFormTextAsSegments) {
  const PreviewScene scene = BuildPreview(Example(), LetterL(), Page::FreeForm);
  using K = SegmentKind;
  EXPECT_THAT(scene.segments,
              testing::ElementsAre(PreviewSegment{K::Rapid, {0, 0}, {0, 1}},
                                   PreviewSegment{K::Plunge, {0, 1}, {0, 1}},
                                   PreviewSegment{K::Cut, {0, 1}, {0, 0}},
                                   PreviewSegment{K::Cut, {0, 0}, {0.6, 0}},
                                   PreviewSegment{K::Rapid, {0.6, 0}, {0.95, 1}},
                                   PreviewSegment{K::Plunge, {0.95, 1}, {0.95, 1}},
                                   PreviewSegment{K::Cut, {0.95, 1}, {0.95, 0}},
                                   PreviewSegment{K::Cut, {0.95, 0}, {1.55, 0}}));
  EXPECT_EQ(scene.programStart, (Point2{0, 0}));
  EXPECT_EQ(scene.marker, (PreviewMarker{MarkerKind::StartPoint, {0, 0}}));
  EXPECT_EQ(scene.guide.kind, GuideKind::None);
  EXPECT_EQ(scene.axis1, 'X');
  EXPECT_EQ(scene.axis2, 'Y');
  EXPECT_EQ(scene.caption, "");
  EXPECT_EQ(scene.message, "");
  EXPECT_FALSE(std::filesystem::exists("preview.eia"));
}

TEST(BuildPreviewTest, StatisticsOfTheProgramItDraws) {
  const PreviewScene scene = BuildPreview(Example(), LetterL(), Page::FreeForm);
  ASSERT_TRUE(scene.stats);
  EXPECT_EQ(scene.stats->plunges, 2);
  EXPECT_DOUBLE_EQ(scene.stats->cutLength, 3.2);
  EXPECT_GT(scene.stats->lines, 8);
  EXPECT_GT(scene.stats->feedMinutes, 0);
  ASSERT_GE(scene.stats->extents.size(), 2u);
  EXPECT_EQ(scene.stats->extents[0], (AxisExtent{'X', 0, 1.55}));
}

struct PageCase {
  const char* name;
  Page page;
  std::function<void(EngraveSettings&)> change;
  PreviewGuide guide;
  MarkerKind marker;
  int plunges;
  const char* note;
};

const double kDeg30 = 30 * 3.141592653589793 * (1.0 / 180);

const PageCase kPages[] = {
    {"ArcClockwiseOnTheRadius", Page::CircleText,
     [](EngraveSettings& s) { s.ArcTextE = "LL", s.RadiusE = "2"; },
     {GuideKind::Circle, {0, 0}, 2, 2, 0}, MarkerKind::Centre, 2, ""},
    {"ArcCounterClockwiseOnRadiusPlusHeight", Page::CircleText,
     [](EngraveSettings& s) {
       s.ArcTextE = "L", s.RadiusE = "2", s.Direction = 1, s.Axis1StartE = "1";
     },
     {GuideKind::Circle, {1, 0}, 3, 3, 0}, MarkerKind::Centre, 1, ""},
    {"EllipseTurnedByTheTextAngle", Page::EllipseText,
     [](EngraveSettings& s) { s.EllipseTextE = "LL", s.TextAngleE = "30", s.TextHeightE = ".5"; },
     {GuideKind::Ellipse, {0, 0}, 2, 1.25, kDeg30}, MarkerKind::Centre, 2, ""},
    {"SequenceShowsTheFirstNumbers", Page::Sequence,
     [](EngraveSettings& s) { s.SeqPrefix = "L"; },
     {}, MarkerKind::StartPoint, 3, "First 3 of 11 numbers, engraved at the same place"},
    {"ShortSequenceWhole", Page::Sequence,
     [](EngraveSettings& s) { s.SeqPrefix = "L", s.SeqEnd = "1001"; },
     {}, MarkerKind::StartPoint, 2, ""},
    {"ManyFilesInOnePicture", Page::Sequence,
     [](EngraveSettings& s) { s.SeqPrefix = "L", s.Files = 1, s.SeqStep = "5"; },
     {}, MarkerKind::StartPoint, 3, "Many Files writes each number to a program of its own"},
    {"SequenceAroundTheArc", Page::Sequence,
     [](EngraveSettings& s) { s.SeqPrefix = "L", s.UseArcSettings = true, s.SeqEnd = "1000"; },
     {GuideKind::Circle, {0, 0}, 1, 1, 0}, MarkerKind::Centre, 1, ""},
    {"PagesWithoutAJobShowTheFreeFormText", Page::Machine, [](EngraveSettings&) {},
     {}, MarkerKind::StartPoint, 2, ""},
};

class PageTest : public testing::TestWithParam<PageCase> {};

TEST_P(PageTest, RunsThePagesJob) {
  const PageCase& c = GetParam();
  EngraveSettings settings = Example();
  c.change(settings);
  const PreviewScene scene = BuildPreview(settings, LetterL(), c.page);
  ASSERT_EQ(scene.message, "");
  EXPECT_EQ(scene.guide.kind, c.guide.kind);
  EXPECT_EQ(scene.guide.centre, c.guide.centre);
  EXPECT_NEAR(scene.guide.radius1, c.guide.radius1, 1e-12);
  EXPECT_NEAR(scene.guide.radius2, c.guide.radius2, 1e-12);
  EXPECT_NEAR(scene.guide.angleRad, c.guide.angleRad, 1e-12);
  ASSERT_TRUE(scene.marker);
  EXPECT_EQ(scene.marker->kind, c.marker);
  const std::vector<PreviewSegment> plunges = OfKind(scene, SegmentKind::Plunge);
  EXPECT_EQ(static_cast<int>(plunges.size()), c.plunges);
  EXPECT_THAT(scene.note, testing::StartsWith(c.note));
}

INSTANTIATE_TEST_SUITE_P(Pages, PageTest, testing::ValuesIn(kPages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildPreviewTest, SequenceNumbersStackAtOnePoint) {
  EngraveSettings settings = Example();
  settings.SeqPrefix = "L";
  settings.Files = 1;
  const PreviewScene scene = BuildPreview(settings, LetterL(), Page::Sequence);
  const std::vector<PreviewSegment> plunges = OfKind(scene, SegmentKind::Plunge);
  ASSERT_EQ(plunges.size(), 3u);
  EXPECT_EQ(plunges[1], plunges[0]);
  EXPECT_EQ(plunges[2], plunges[0]);
  EXPECT_THAT(scene.note, HasSubstr("Many Files writes each number to a program of its own"));
}

TEST(BuildPreviewTest, RotaryStartUnrolledLikeTheProgram) {
  EngraveSettings settings = Example();
  settings.FreeFormTextE = {"L"};
  settings.Axis1E = "C";
  settings.Axis1StartE = "90";
  settings.PenUpE = "2.1";
  settings.PenDownE = "2";
  const PreviewScene scene = BuildPreview(settings, LetterL(), Page::FreeForm);
  ASSERT_EQ(scene.message, "");
  ASSERT_TRUE(scene.programStart);
  EXPECT_NEAR(scene.programStart->x, 3.141592653589793, 1e-4);  // C90.0000 on radius 2
  EXPECT_NEAR(scene.marker->at.x, scene.programStart->x, 1e-4);
  EXPECT_EQ(scene.axis1, 'C');
  EXPECT_EQ(OfKind(scene, SegmentKind::Cut).size(), 2u);
}

TEST(BuildPreviewTest, ModeCaption) {
  EngraveSettings settings = Example();
  settings.IntegrexMode = 6;
  settings.Axis1E = "Y";
  settings.Axis2E = "Z";
  settings.Axis3E = "X";
  settings.PenUpE = "2.1";
  settings.PenDownE = "2";
  const PreviewScene scene = BuildPreview(settings, LetterL(), Page::FreeForm);
  EXPECT_EQ(scene.caption, "Okuma G138  (C, Z, X)");
  EXPECT_EQ(scene.axis1, 'Y');
  EXPECT_EQ(OfKind(scene, SegmentKind::Cut).size(), 4u);
}

struct FailureCase {
  const char* name;
  Page page;
  std::function<void(EngraveSettings&)> change;
  const char* message;
  GuideKind guide;
};

const FailureCase kFailures[] = {
    {"FieldDoesNotConvert", Page::FreeForm, [](EngraveSettings& s) { s.TextHeightE = "abc"; },
     "'abc' is not a valid floating point value.", GuideKind::None},
    {"SequenceEndDoesNotConvert", Page::Sequence, [](EngraveSettings& s) { s.SeqEnd = "x"; },
     "'x' is not a valid integer value.", GuideKind::None},
    {"EllipseRefusalKeepsTheEllipse", Page::EllipseText,
     [](EngraveSettings& s) { s.EllipseTextE = "L", s.AEdit = "2"; },
     "Major Axis Must be larger than Minor Axis.", GuideKind::Ellipse},
    {"LettersThatCannotBeReadBack", Page::FreeForm, [](EngraveSettings& s) { s.Axis2E = "X"; },
     "Axis 1 and Axis 2 both have the letter 'X': their words cannot be told apart in the "
     "program.", GuideKind::None},
};

TEST(BuildPreviewTest, MessagesInsteadOfSegments) {
  for (const FailureCase& c : kFailures) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings = Example();
    c.change(settings);
    const PreviewScene scene = BuildPreview(settings, LetterL(), c.page);
    EXPECT_EQ(scene.message, c.message);
    EXPECT_TRUE(scene.segments.empty());
    EXPECT_FALSE(scene.stats);
    EXPECT_EQ(scene.guide.kind, c.guide);
  }
}

TEST(PreviewBoundsTest, HoldSegmentsMarkersAndTheTurnedEllipse) {
  PreviewScene scene;
  EXPECT_TRUE(BoundsOf(scene).empty);
  scene.segments.push_back({SegmentKind::Cut, {1, 1}, {2, 3}});
  scene.guide = {GuideKind::Ellipse, {0, 0}, 2, 1, 3.141592653589793 / 2};  // upright
  const PreviewBounds bounds = BoundsOf(scene);
  EXPECT_FALSE(bounds.empty);
  EXPECT_NEAR(bounds.min.x, -1, 1e-12);
  EXPECT_NEAR(bounds.min.y, -2, 1e-12);
  EXPECT_NEAR(bounds.max.x, 2, 1e-12);
  EXPECT_NEAR(bounds.max.y, 3, 1e-12);
}

}  // namespace
}  // namespace stylor
