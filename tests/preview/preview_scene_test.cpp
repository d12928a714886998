#include "preview/preview_scene.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <cmath>
#include <functional>
#include <memory>

#include "engrave/fonts/font_file.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/layouts/sequence.h"
#include "settings/engrave_settings.h"
#include "support/job_host_double.h"

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
  const PreviewScene scene = BuildPreview(Example(), LetterL(), JobKind::FreeFormText);
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

TEST(BuildPreviewTest, UnderATravelOrderTheStatisticsCompareWithTheFontsOrder) {
  EngraveSettings settings = Example();
  settings.FreeFormTextE = {"LLL", "LLL"};
  const PreviewScene plain = BuildPreview(settings, LetterL(), JobKind::FreeFormText);
  ASSERT_TRUE(plain.stats);
  EXPECT_FALSE(plain.stats->fontOrder);
  EXPECT_THAT(FormatStats(*plain.stats), testing::Not(HasSubstr("font order")));

  settings.TravelOrder = 3;
  const PreviewScene ordered = BuildPreview(settings, LetterL(), JobKind::FreeFormText);
  ASSERT_TRUE(ordered.stats && ordered.stats->fontOrder);
  EXPECT_DOUBLE_EQ(ordered.stats->fontOrder->rapidLength, plain.stats->rapidLength);
  EXPECT_DOUBLE_EQ(ordered.stats->fontOrder->feedMinutes, plain.stats->feedMinutes);
  EXPECT_LT(ordered.stats->rapidLength, plain.stats->rapidLength);
  const double saved = MinutesSaved(*ordered.stats, kRapidPerMin);
  EXPECT_NEAR(saved, (plain.stats->rapidLength - ordered.stats->rapidLength) / kRapidPerMin +
                         plain.stats->feedMinutes - ordered.stats->feedMinutes,
              1e-12);
  EXPECT_GT(saved, 0);
  const std::string text = FormatStats(*ordered.stats);
  EXPECT_THAT(text, HasSubstr("\nfont order rapid length: " +
                              FormatStatNumber(plain.stats->rapidLength, 4) + "\n"));
  EXPECT_THAT(text, HasSubstr("\ntime saved: " + FormatStatNumber(saved, 4) + " min\n"));
  // The job's own statistics, as job-stats prints them.
  const ProgramStats job = JobStats(JobKind::FreeFormText, {settings, LetterL()}, ReaderOptionsFrom(settings));
  EXPECT_EQ(FormatStats(job), text);
}

TEST(BuildPreviewTest, StatisticsOfTheProgramItDraws) {
  const PreviewScene scene = BuildPreview(Example(), LetterL(), JobKind::FreeFormText);
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
  JobKind page;
  std::function<void(EngraveSettings&)> change;
  PreviewGuide guide;
  MarkerKind marker;
  int plunges;
  const char* note;
};

const double kDeg30 = 30 * 3.141592653589793 * (1.0 / 180);

const PageCase kPages[] = {
    {"ArcClockwiseOnTheRadius", JobKind::CircleText,
     [](EngraveSettings& s) { s.ArcTextE = "LL", s.RadiusE = "2"; },
     {GuideKind::Circle, {0, 0}, 2, 2, 0}, MarkerKind::Centre, 2, ""},
    {"ArcCounterClockwiseOnRadiusPlusHeight", JobKind::CircleText,
     [](EngraveSettings& s) {
       s.ArcTextE = "L", s.RadiusE = "2", s.Direction = 1, s.Axis1StartE = "1";
     },
     {GuideKind::Circle, {1, 0}, 3, 3, 0}, MarkerKind::Centre, 1, ""},
    {"EllipseTurnedByTheTextAngle", JobKind::EllipseText,
     [](EngraveSettings& s) { s.EllipseTextE = "LL", s.TextAngleE = "30", s.TextHeightE = ".5"; },
     {GuideKind::Ellipse, {0, 0}, 2, 1.25, kDeg30}, MarkerKind::Centre, 2, ""},
    {"SequenceDrawsTheFirstNumber", JobKind::Sequence,
     [](EngraveSettings& s) { s.SeqPrefix = "L"; },
     {}, MarkerKind::StartPoint, 1, "1 of 11 numbers"},
    {"ManyFilesDrawTheFirstProgram", JobKind::Sequence,
     [](EngraveSettings& s) { s.SeqPrefix = "L", s.Files = 1, s.SeqStep = "5"; },
     {}, MarkerKind::StartPoint, 1, "1 of 3 programs"},
    {"SequenceAroundTheArc", JobKind::Sequence,
     [](EngraveSettings& s) { s.SeqPrefix = "L", s.UseArcSettings = true, s.SeqEnd = "1000"; },
     {GuideKind::Circle, {0, 0}, 1, 1, 0}, MarkerKind::Centre, 1, "1 of 1 number"},
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

// The preview draws one number but counts the run as it will be written: its statistics are
// those of the program files the job writes, every number and every file.
TEST(BuildPreviewTest, SequenceStatisticsAreThoseOfTheWholeRun) {
  for (const int files : {0, 1}) {
    SCOPED_TRACE(files);
    EngraveSettings settings = Example();
    settings.SeqPrefix = "L";
    settings.SeqEnd = "1019";
    settings.Files = files;
    settings.PreToolChange = {"T1 M06"};
    settings.PostEngrave = {"M30"};
    const PreviewScene scene = BuildPreview(settings, LetterL(), JobKind::Sequence);
    ASSERT_EQ(scene.message, "");
    ASSERT_TRUE(scene.stats);

    test::FakeJobHost host("/out/SN.eia");
    GenerateSequences(settings, LetterL(), host);
    ASSERT_EQ(host.store.Files().size(), files == 0 ? 1u : 20u);
    ProgramStats written;
    for (const auto& [name, bytes] : host.store.Files()) {
      AddProgramStats(written, StatsOfProgram(bytes, name, ReaderOptionsFrom(settings)));
    }
    EXPECT_EQ(FormatStats(*scene.stats), FormatStats(written));
    EXPECT_EQ(scene.stats->plunges, 20);
    EXPECT_EQ(OfKind(scene, SegmentKind::Plunge).size(), 1u);
  }
}

// A batch draws its first row, framed as its file, and counts every row and every file.
TEST(BuildPreviewTest, BatchDrawsRowOneAndCountsTheWholeRun) {
  const DataTable table = ReadDataTable("Text\nL\nLL\nLLL\n", DataFormat::Csv);
  for (const int files : {0, 1}) {
    SCOPED_TRACE(files);
    EngraveSettings settings = Example();
    settings.FreeFormTextE = {"{Text}"};
    settings.Files = files;
    settings.PreToolChange = {"(PLATE {Row})"};
    settings.SeqPreGCodes = {"M00"};
    const PreviewScene scene =
        BuildBatchPreview(settings, table, BatchLayout::FreeFormText, LetterL());
    ASSERT_EQ(scene.message, "");
    EXPECT_EQ(scene.note, "row 1 of 3");
    EXPECT_EQ(OfKind(scene, SegmentKind::Plunge).size(), 1u);
    ASSERT_TRUE(scene.stats);

    test::FakeJobHost host("/out/P.eia");
    GenerateBatch(settings, table, BatchLayout::FreeFormText, LetterL(), host);
    ASSERT_EQ(host.store.Files().size(), files == 0 ? 1u : 3u);
    ProgramStats written;
    for (const auto& [name, bytes] : host.store.Files()) {
      AddProgramStats(written, StatsOfProgram(bytes, name, ReaderOptionsFrom(settings)));
    }
    EXPECT_EQ(FormatStats(*scene.stats), FormatStats(written));
    EXPECT_EQ(scene.stats->plunges, 6);
  }
  EngraveSettings unknown = Example();
  unknown.FreeFormTextE = {"{Txet}"};
  EXPECT_THAT(BuildBatchPreview(unknown, table, BatchLayout::FreeFormText, LetterL()).message,
              HasSubstr("{Txet}"));
}

TEST(BuildPreviewTest, RotaryStartUnrolledLikeTheProgram) {
  EngraveSettings settings = Example();
  settings.FreeFormTextE = {"L"};
  settings.Axis1E = "C";
  settings.Axis1StartE = "90";
  settings.PenUpE = "2.1";
  settings.PenDownE = "2";
  const PreviewScene scene = BuildPreview(settings, LetterL(), JobKind::FreeFormText);
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
  const PreviewScene scene = BuildPreview(settings, LetterL(), JobKind::FreeFormText);
  EXPECT_EQ(scene.caption, "Okuma G138  (C, Z, X)");
  EXPECT_EQ(scene.axis1, 'Y');
  EXPECT_EQ(OfKind(scene, SegmentKind::Cut).size(), 4u);
}

struct FailureCase {
  const char* name;
  JobKind page;
  std::function<void(EngraveSettings&)> change;
  const char* message;
  GuideKind guide;
};

const FailureCase kFailures[] = {
    {"FieldDoesNotConvert", JobKind::FreeFormText, [](EngraveSettings& s) { s.TextHeightE = "abc"; },
     "'abc' is not a valid floating point value.", GuideKind::None},
    {"SequenceEndDoesNotConvert", JobKind::Sequence, [](EngraveSettings& s) { s.SeqEnd = "x"; },
     "'x' is not a valid integer value.", GuideKind::None},
    {"EllipseRefusalKeepsTheEllipse", JobKind::EllipseText,
     [](EngraveSettings& s) { s.EllipseTextE = "L", s.AEdit = "2"; },
     "Major Axis Must be larger than Minor Axis.", GuideKind::Ellipse},
    {"LettersThatCannotBeReadBack", JobKind::FreeFormText, [](EngraveSettings& s) { s.Axis2E = "X"; },
     "Axis 1 (Axis1E) and Axis 2 (Axis2E) are both 'X': each axis needs a letter of its own, or "
     "a move writes two X words on one line, which a control refuses.", GuideKind::None},
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

TEST(SceneOfProgramTest, AnArcIsDrawnAsChordsAroundItsCentre) {
  // A quarter turn cut counter-clockwise round (0, 0), then a straight cut back to the centre.
  const PreviewScene scene = SceneOfProgram(
      "G00 X1 Y0\r\nG01 Z-1 F10\r\nG03 X0 Y1 I-1 J0\r\nG01 X0 Y0\r\n", "arc.eia", ReaderOptions{});
  ASSERT_EQ(scene.segments.size(), 1u + 32u + 1u);
  EXPECT_EQ(scene.segments[0].kind, SegmentKind::Plunge);
  for (std::size_t k = 1; k <= 32; ++k) {
    const PreviewSegment& chord = scene.segments[k];
    EXPECT_EQ(chord.kind, SegmentKind::Cut);
    EXPECT_NEAR(std::hypot(chord.to.x, chord.to.y), 1, 1e-12);
    if (k > 1) {
      EXPECT_EQ(chord.from, scene.segments[k - 1].to);
    }
    // Every chord turns the same way by the same small angle.
    const double turn = std::atan2(chord.to.y, chord.to.x) - std::atan2(chord.from.y, chord.from.x);
    EXPECT_NEAR(turn, kPi / 64, 1e-9);
  }
  EXPECT_EQ(scene.segments[1].from, (Point2{1, 0}));
  EXPECT_EQ(scene.segments[32].to, (Point2{0, 1}));
  EXPECT_EQ(scene.segments[33].from, (Point2{0, 1}));
  ASSERT_TRUE(scene.stats);
  EXPECT_NEAR(scene.stats->cutLength, kPi / 2 + 1, 1e-12);
  EXPECT_EQ(scene.stats->moves, 3);
}

}  // namespace
}  // namespace stylor
