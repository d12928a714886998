#include "settings/engrave_settings.h"

#include <array>
#include <cassert>

#include "settings/control_dialects.h"
#include "settings/machine_modes.h"
#include "settings/text8.h"

namespace stylor {
namespace {

using S = EngraveSettings;
using Items = std::span<const std::string_view>;

constexpr std::array<std::string_view, 3> kJustificationItems = {"Left", "Center", "Right"};
constexpr std::array<std::string_view, 3> kFeedModeItems = {"IPM/MMPM", "Degrees Per Min",
                                                            "Inverse Time Feed"};
// The captions of the lathe-mill modes, from the table of the modes.
constexpr auto kIntegrexModes = [] {
  std::array<std::string_view, std::size(kLatheMillModes)> captions{};
  for (std::size_t k = 0; k < captions.size(); ++k) captions[k] = kLatheMillModes[k].caption;
  return captions;
}();
constexpr std::array<std::string_view, 2> kHeadItems = {"Head 1", "Head 2"};
constexpr std::array<std::string_view, 4> kAppendModes = {
    "Single Engrave Operation", "Start New Engrave Job", "Append to Engrave Job",
    "Close Engrave Job"};
constexpr std::array<std::string_view, 2> kDirectionItems = {"Clock Wise", "Counter Clock Wise"};
constexpr std::array<std::string_view, 4> kJustifyPointItems = {"A", "B", "C", "D"};
constexpr std::array<std::string_view, 3> kFilesItems = {"One File", "Many Files",
                                                         "On the control"};
constexpr std::array<std::string_view, 3> kBatchTextItems = kBatchLayoutCaptions;

// What choosing each item writes or does, index by index.
constexpr std::array<std::string_view, 3> kJustificationMeanings = {
    "The line starts at the start point", "The line is centred on the start point",
    "The line ends at the start point"};
constexpr std::array<std::string_view, 3> kFeedModeMeanings = {
    "F is the feed as typed: inches or millimetres per minute",
    "F of moves that turn a rotary axis is in degrees per minute",
    "F is one over the minutes each move takes; put G93 in the start lines"};
// What each lathe-mill mode writes, from the table of the modes.
constexpr auto kIntegrexModeMeanings = [] {
  std::array<std::string_view, std::size(kLatheMillModes)> meanings{};
  for (std::size_t k = 0; k < meanings.size(); ++k) meanings[k] = kLatheMillModes[k].meaning;
  return meanings;
}();
constexpr std::array<std::string_view, 2> kHeadMeanings = {"Axis letters of the mode for head 1",
                                                           "Axis letters of the mode for head 2"};
constexpr std::array<std::string_view, 4> kAppendModeMeanings = {
    "A whole program: start block, text, end block",
    "Start a program to which later jobs append: start block and text",
    "Append text only to the chosen program",
    "Append the text and the end block, closing the program"};
constexpr std::array<std::string_view, 2> kDirectionMeanings = {"The text runs clockwise",
                                                                "The text runs counter-clockwise"};
constexpr std::array<std::string_view, 4> kJustifyPointMeanings = {
    "The left end of the ellipse", "The top of the ellipse", "The right end of the ellipse",
    "The bottom of the ellipse"};
constexpr std::array<std::string_view, 3> kFilesMeanings = {
    "Every number goes into the one program chosen",
    "Each number gets its own program: File Name Prefix, the number and .eia",
    "One program stays in the control and cuts the next number on every cycle, counting in a "
    "kept variable"};
constexpr auto kControlDialectItems = [] {
  std::array<std::string_view, std::size(kControlDialects)> captions{};
  for (std::size_t k = 0; k < captions.size(); ++k) captions[k] = kControlDialects[k].caption;
  return captions;
}();
constexpr auto kControlDialectMeanings = [] {
  std::array<std::string_view, std::size(kControlDialects)> meanings{};
  for (std::size_t k = 0; k < meanings.size(); ++k) meanings[k] = kControlDialects[k].meaning;
  return meanings;
}();
constexpr std::array<std::string_view, 3> kBatchTextMeanings = {
    "Each row fills the lines of the Free Form Text page",
    "Each row fills the text of the Circle Text page, engraved around its circle",
    "Each row fills the text of the Ellipse Text page, engraved around its ellipse"};
constexpr std::array<std::string_view, 4> kTravelOrderItems = {
    "Font's Order", "Each Character", "Each Line", "Whole Job"};
constexpr std::array<std::string_view, 4> kTravelOrderMeanings = {
    "Strokes are cut in the order the font draws them",
    "The strokes of each character are put in the shortest travel order",
    "The strokes of each line of text are put in the shortest travel order",
    "The strokes of each text the job engraves in one piece are put in the shortest travel order"};
constexpr std::array<std::string_view, 3> kLaserModeItems = {"Off", "M3", "M4"};
constexpr std::array<std::string_view, 3> kLaserModeMeanings = {
    "The plunge axis moves the tool between the pen levels",
    "No Z moves: M03 S<power> switches the beam on for each stroke, M05 off",
    "No Z moves: M04 S<power> switches the beam on for each stroke, S0 off"};
constexpr std::array<std::string_view, 3> kDotStyleItems = {"Plunge and Dwell", "Canned Cycle",
                                                           "M-Code Pair"};
constexpr std::array<std::string_view, 3> kDotStyleMeanings = {
    "Each dot: a rapid over it, a plunge to the pen down level, a dwell of DotDwellE, a lift",
    "Each dot is a G81 (G82 with a dwell) cycle from R at the pen up level to Z at pen down",
    "Each dot: a rapid over it, the first M code of DotCodesE, a dwell, the second M code"};
constexpr std::array<std::string_view, 3> kAirAssistItems = {"Off", "M7", "M8"};
constexpr std::array<std::string_view, 3> kAirAssistMeanings = {
    "No air assist codes are written",
    "M07 after the opening rapid of each text turns the air on, M09 after its last burn off",
    "M08 after the opening rapid of each text turns the air on, M09 after its last burn off"};

constexpr std::array<std::string_view, 3> kCodeKindItems = {"None", "Data Matrix", "QR"};
constexpr std::array<std::string_view, 3> kCodeKindMeanings = {
    "No code is cut", "A Data Matrix (ECC 200) code, as parts are marked",
    "A QR code, as a phone reads it"};
constexpr std::array<std::string_view, 3> kCodeStyleItems = {"Dots", "Filled Squares",
                                                             "Outlines"};
constexpr std::array<std::string_view, 3> kCodeStyleMeanings = {
    "One plunge with a dwell at the centre of each module, as a drill or scribe marks it",
    "The runs of modules along each row, cut in passes a step-over apart, so neighbouring "
    "modules join",
    "The border of each region of modules, the edge of the cut on the border"};
constexpr std::array<std::string_view, 4> kCodeLevelItems = {"L", "M", "Q", "H"};
constexpr std::array<std::string_view, 4> kCodeLevelMeanings = {
    "About 7% may be lost", "About 15% may be lost", "About 25% may be lost",
    "About 30% may be lost"};

// Units: a length is in the program's unit (inch or millimetre; nothing converts), a feed in
// that unit per minute, or degrees per minute on a rotary axis.
const FieldInfo kFields[] = {
    {"TextHeightE", &S::TextHeightE, {}, {}, "length", "Height of a capital letter",
     "Height", Reading::Real, 5},
    {"WidthRatioE", &S::WidthRatioE, {}, {}, "factor",
     "Letter width as a multiple of the font's own width (1 = as drawn)",
     "Width Ratio", Reading::Real, 6},
    {"SpacingRatioE", &S::SpacingRatioE, {}, {}, "factor",
     "Space between letters as a multiple of the font's spacing",
     "Spacing Ratio", Reading::Real, 7},
    {"LineSpacingE", &S::LineSpacingE, {}, {}, "factor",
     "Distance between baselines of free-form lines, as a multiple of the height",
     "Line Spacing", Reading::Real, 8},
    {"FontFile", &S::FontFile, {}, {}, "",
     "The stroke font (.fnt) every job draws its letters with. Start-up makes it a path in the "
     "working folder; BasicFont.fnt comes from the fonts installed with Stylor when that folder "
     "has none",
     "Font File"},
    {"Justification", &S::Justification, kJustificationItems, kJustificationMeanings, "",
     "Where a line sits against its start point (on a circle, against the text angle)",
     "Justification"},
    {"Axis1E", &S::Axis1E, {}, {}, "",
     "Letter of the axis along the text (A, B, C: rotary, degrees)",
     "Axis 1"},
    {"Axis1StartE", &S::Axis1StartE, {}, {}, "length",
     "Axis 1 position of the start point, or of the centre of a circle or ellipse (degrees on a "
     "rotary axis)",
     "Axis 1 Start", Reading::Real, 1, &S::Axis1E},
    {"TextAngleE", &S::TextAngleE, {}, {}, "degrees",
     "Angle of the baseline, counter-clockwise from Axis 1; on a circle, where the text stands",
     "Text Angle", Reading::Real, 11},
    {"Axis2E", &S::Axis2E, {}, {}, "",
     "Letter of the axis across the text (A, B, C: rotary, degrees)",
     "Axis 2"},
    {"Axis2StartE", &S::Axis2StartE, {}, {}, "length",
     "Axis 2 position of the start point (degrees on a rotary axis)",
     "Axis 2 Start", Reading::Real, 2, &S::Axis2E},
    {"Axis3E", &S::Axis3E, {}, {}, "", "Letter of the axis that plunges the tool",
     "Plunge Axis"},
    {"PenDownE", &S::PenDownE, {}, {}, "length",
     "Absolute plunge-axis position while cutting (the cutting depth); with a rotary axis in the "
     "plane, also the radius its degrees are measured on, which must be above 0",
     "Plunge Axis Down", Reading::Real, 4},
    {"PenUpE", &S::PenUpE, {}, {}, "length",
     "Absolute plunge-axis position while moving between strokes",
     "Plunge Axis Up", Reading::Real, 3},
    {"EngraveFeedE", &S::EngraveFeedE, {}, {}, "feed",
     "Feed of the cutting moves; sets the plunge feed to half of it",
     "Engrave Feed", Reading::Real, 10},
    {"PlungeFeedE", &S::PlungeFeedE, {}, {}, "feed", "Feed of the plunge moves",
     "Plunge Feed", Reading::Real, 9},
    {"InverseTimeE", &S::InverseTimeE, {}, {}, "",
     "Kept in machine files; no job reads it (inverse-time feed is FeedMode 2)",
     "ITF"},
    {"FeedMode", &S::FeedMode, kFeedModeItems, kFeedModeMeanings, "",
     "How the F word of each move is written",
     "Feed Mode"},
    {"IntegrexMode", &S::IntegrexMode, kIntegrexModes, kIntegrexModeMeanings, "",
     "The lathe-mill programming mode: its preamble, its postamble and the axis letters it sets",
     "Lathe with Mill Modes"},
    {"IntegrexHead", &S::IntegrexHead, kHeadItems, kHeadMeanings, "",
     "The head of the lathe-mill modes; sets the axis letters of the mode",
     "Integrex Head"},
    {"AppendMode", &S::AppendMode, kAppendModes, kAppendModeMeanings, "",
     "Whether a job writes the start block, the end block, both or neither, so that several "
     "jobs can go into one program; sets PreEngraveW and PostEngraveW",
     "Append Mode"},
    {"PreEngraveW", &S::PreEngraveW, {}, {}, "",
     "Write the start block: the tool-change lines and the lathe-mill preamble. Unticked (0), "
     "the job appends to the chosen program",
     "Write Pre Engrave"},
    {"PostEngraveW", &S::PostEngraveW, {}, {}, "",
     "Write the end block: the lathe-mill postamble and the Post Engrave lines",
     "Write Post Engrave"},
    {"PreToolChange", &S::PreToolChange, {}, {}, "", "Lines written first in the start block",
     "Pre Tool Change"},
    {"ToolChange", &S::ToolChange, {}, {}, "",
     "Lines written after Pre Tool Change in the start block",
     "Tool Change"},
    {"PostToolChange", &S::PostToolChange, {}, {}, "",
     "Lines written after Tool Change, before the lathe-mill preamble",
     "Post Tool Change"},
    {"PostEngrave", &S::PostEngrave, {}, {}, "",
     "Lines written last, after the lathe-mill postamble",
     "Post Engrave"},
    {"FreeFormTextE", &S::FreeFormTextE, {}, {}, "", "The text to engrave, one baseline per line",
     "Free Form Text"},
    {"RadiusE", &S::RadiusE, {}, {}, "length",
     "Radius of the circle the text runs around (and the serial numbers with UseArcSettings)",
     "Radius", Reading::Real, 12},
    {"ArcTextE", &S::ArcTextE, {}, {}, "",
     "The text to engrave around the circle, centred on the text angle",
     "Circle Text"},
    {"Direction", &S::Direction, kDirectionItems, kDirectionMeanings, "",
     "Which way the text runs around the circle",
     "Direction"},
    {"AEdit", &S::AEdit, {}, {}, "length",
     "Length of the ellipse along Axis 1 (A to C); larger than the minor axis",
     "Major Axis", Reading::Real, 13},
    {"BEdit", &S::BEdit, {}, {}, "length", "Length of the ellipse along Axis 2 (B to D)",
     "Minor Axis", Reading::Real, 14},
    {"EllipseTextE", &S::EllipseTextE, {}, {}, "", "The text to engrave around the ellipse",
     "Ellipse Text"},
    {"JustifyPoint", &S::JustifyPoint, kJustifyPointItems, kJustifyPointMeanings, "",
     "The point of the ellipse the text starts from; -1 until start-up selects A",
     "Justification Point"},
    {"JustifyPointText", &S::JustifyPointText, {}, {}, "",
     "The point of the ellipse the text starts from, as in the picture (the box's text; jobs "
     "read JustifyPoint)",
     "Justification Point"},
    {"EllipseDirection", &S::EllipseDirection, kDirectionItems, kDirectionMeanings, "",
     "Which way the text runs around the ellipse",
     "Direction"},
    {"SeqStart", &S::SeqStart, {}, {}, "", "First serial number",
     "Start Number", Reading::Integer, 15},
    {"SeqEnd", &S::SeqEnd, {}, {}, "", "Last serial number (included)",
     "End Number", Reading::Integer, 16},
    {"SeqStep", &S::SeqStep, {}, {}, "", "Added to each number for the next",
     "Step", Reading::Integer, 17},
    {"SeqPrefix", &S::SeqPrefix, {}, {}, "", "Text engraved before every number",
     "Prefix"},
    {"SeqPostfix", &S::SeqPostfix, {}, {}, "", "Text engraved after every number",
     "Suffix"},
    {"SeqDigits", &S::SeqDigits, {}, {}, "",
     "Least number of digits, filled with leading zeros (0: as many as needed)",
     "Digits", Reading::Integer, 18},
    {"SeqPreGCodes", &S::SeqPreGCodes, {}, {}, "", "Lines written before each number",
     "G Codes to add before each Sequence"},
    {"SeqPostGCodes", &S::SeqPostGCodes, {}, {}, "", "Lines written after each number",
     "G Codes to add after each Sequence"},
    {"Files", &S::Files, kFilesItems, kFilesMeanings, "",
     "One program for the whole run, one program file per number, or one program that counts on "
     "the control",
     "Files"},
    {"FilePrefix", &S::FilePrefix, {}, {}, "",
     "Start of each file name of Many Files; the number and the extension follow",
     "File Name Prefix"},
    {"PadFileNumbers", &S::PadFileNumbers, {}, {}, "",
     "Many Files: the numbers of the file names get leading zeros to the width of the widest, so "
     "that the files sort in their order (SN0002 before SN0010); 0: the numbers as they are",
     "Pad numbers"},
    {"UseArcSettings", &S::UseArcSettings, {}, {}, "",
     "Engrave each number around the circle of the Circle Text page",
     "Use Arc Settings"},
    {"ControlDialect", &S::ControlDialect, kControlDialectItems, kControlDialectMeanings, "",
     "On the control: the macro dialect the control reads", "Control Dialect"},
    {"CounterVariable", &S::CounterVariable, {}, {}, "",
     "On the control: the kept variable (macro) or parameter (LinuxCNC) that holds the next "
     "serial number; set it to the first number on the control",
     "Counter Variable", Reading::Integer, 33},
    {"FirstSubprogram", &S::FirstSubprogram, {}, {}, "",
     "On the control: the number of the first subprogram; the glyphs take the numbers after it",
     "First Subprogram", Reading::Integer, 34},
    {"BatchTextKind", &S::BatchTextKind, kBatchTextItems, kBatchTextMeanings, "",
     "The text job written once per row of the data file, with the settings of its page",
     "Text Job"},
    {"BatchNameColumn", &S::BatchNameColumn, {}, {}, "",
     "Many Files of a batch: the column whose values name the files (empty: the row numbers); "
     "File Name Prefix comes first, .eia last",
     "File Name Column"},
    {"FillPlaceholders", &S::FillPlaceholders, {}, {}, "",
     "Fill {Date:FORMAT}, {Shift} and {Counter:NAME} in every text and G-code block when a job "
     "is written ({{ and }} write a brace); 0: text is engraved exactly as typed",
     "Fill placeholders"},
    {"ShiftTable", &S::ShiftTable, {}, {}, "",
     "The shifts for {Shift}: names and start times, as \"A 06:00, B 14:00, C 22:00\"; a shift "
     "past midnight keeps the date it started on",
     "Shifts"},
    {"YearLetterTable", &S::YearLetterTable, {}, {}, "",
     "The year letters of {Date:L}: first year, colon, letters (empty: "
     "2008:ABCDEFGHJKLMNPRSTUVWXYZ)",
     "Year letters"},
    {"CountersFile", &S::CountersFile, {}, {}, "",
     "The file of the counters of {Counter:NAME} (empty: stylor-counters.csv in the working "
     "folder)",
     "Counter file"},
    {"ProductionLog", &S::ProductionLog, {}, {}, "",
     "A CSV file that gets a line for every program written with Fill placeholders on: time, "
     "machine file, program file, the codes used and the text (empty: no log)",
     "Production log"},
    {"CodesInUtc", &S::CodesInUtc, {}, {}, "",
     "Dates and shifts of the placeholders in UTC (1) or local time (0)", "Dates in UTC"},
    {"SeqCounter", &S::SeqCounter, {}, {}, "",
     "Continue from counter: the counter whose next value starts a run, moved past the run when "
     "it is written (empty: SeqStart as typed; needs Fill placeholders)",
     "Continue from counter"},
    {"SymAngleE", &S::SymAngleE, {}, {}, "degrees", "For vertical text; no job reads it yet",
     "Symbol Rotation Angle"},
    {"DepthPerPassE", &S::DepthPerPassE, {}, {}, "length",
     "Cut each character in passes this deep, from the work surface at 0 down to the pen down "
     "level, one pass after the other (0: one pass)",
     "Depth per Pass", Reading::Real, 19},
    {"SpringPass", &S::SpringPass, {}, {}, "",
     "Cut every stroke once more at full depth after the last pass", "Spring Pass"},
    {"RampLengthE", &S::RampLengthE, {}, {}, "length",
     "Enter each stroke path on a ramp this long along its first stroke, back and forth when the "
     "stroke is shorter, instead of a vertical plunge (0: plunge)",
     "Ramp Length", Reading::Real, 20},
    {"TravelOrder", &S::TravelOrder, kTravelOrderItems, kTravelOrderMeanings, "",
     "Reorder and reverse the stroke paths, and join those that meet, for the shortest travel",
     "Travel Order"},
    {"LaserMode", &S::LaserMode, kLaserModeItems, kLaserModeMeanings, "",
     "Switch a laser beam instead of moving the plunge axis", "Laser"},
    {"LaserPowerE", &S::LaserPowerE, {}, {}, "", "The S word of the beam while it burns",
     "Laser Power", Reading::Real, 21},
    {"DotPitchE", &S::DotPitchE, {}, {}, "length",
     "Mark strokes as dots no farther apart than this, on every corner and evenly between "
     "(0: cut strokes)",
     "Dot Pitch", Reading::Real, 22},
    {"DotStyle", &S::DotStyle, kDotStyleItems, kDotStyleMeanings, "", "How each dot is made",
     "Dot Style"},
    {"DotDwellE", &S::DotDwellE, {}, {}, "", "Seconds the tool or pin stays on each dot",
     "Dot Dwell", Reading::Real, 23},
    {"DotCodesE", &S::DotCodesE, {}, {}, "",
     "The M codes that fire and release the marker pin of DotStyle 2, as \"M10 M11\"",
     "Dot M Codes"},
    {"LaserPassesE", &S::LaserPassesE, {}, {}, "",
     "Burn each character this many times over, for a deeper mark (1: once)", "Laser Passes",
     Reading::Integer, 30},
    {"LaserZStepE", &S::LaserZStepE, {}, {}, "length",
     "With laser passes, each pass burns this much nearer the work than the one before, from the "
     "pen down level (the focus) on (0: every pass at the focus)",
     "Z Step per Pass", Reading::Real, 31},
    {"LaserLeadInE", &S::LaserLeadInE, {}, {}, "length",
     "Start each burn this far back along its first stroke with the beam at S0, so that the "
     "burn starts at full speed (0: none)",
     "Lead-in", Reading::Real, 32},
    {"AirAssist", &S::AirAssist, kAirAssistItems, kAirAssistMeanings, "",
     "The M code that turns the air assist of the laser on; M09 turns it off", "Air Assist"},
    {"CodeKind", &S::CodeKind, kCodeKindItems, kCodeKindMeanings, "",
     "The code cut after the free-form text, and after each number or row of a sequence or "
     "batch",
     "Code"},
    {"CodeText", &S::CodeText, {}, {}, "",
     "What the code holds. {Serial} takes each number of a sequence as engraved, a batch's "
     "placeholders each row's values",
     "Code Text"},
    {"CodeModuleE", &S::CodeModuleE, {}, {}, "length",
     "Side of one module (cell) of the code; not smaller than the tool diameter",
     "Module Size", Reading::Real, 24},
    {"CodeStyle", &S::CodeStyle, kCodeStyleItems, kCodeStyleMeanings, "",
     "How the tool makes each module of the code",
     "Module Style"},
    {"CodeXE", &S::CodeXE, {}, {}, "length",
     "Axis 1 position of the code's lower-left corner; its quiet zone lies outside (degrees on a "
     "rotary axis)",
     "Code Axis 1", Reading::Real, 25, &S::Axis1E},
    {"CodeYE", &S::CodeYE, {}, {}, "length",
     "Axis 2 position of the code's lower-left corner (degrees on a rotary axis)",
     "Code Axis 2", Reading::Real, 26, &S::Axis2E},
    {"CodeAngleE", &S::CodeAngleE, {}, {}, "degrees",
     "Turn of the code about its lower-left corner, counter-clockwise from Axis 1",
     "Code Angle", Reading::Real, 27},
    {"ToolDiameterE", &S::ToolDiameterE, {}, {}, "length",
     "Width of the cut at the cutting depth: the step-over of filled modules, the size of a dot, "
     "and the width render draws cuts at",
     "Tool Diameter", Reading::Real, 28},
    {"CodeSizeE", &S::CodeSizeE, {}, {}, "",
     "Size of the code: empty for the smallest that holds the text; Data Matrix rows x columns "
     "(10x10 to 132x132, 8x18 to 16x48), QR a version 1 to 40",
     "Code Size"},
    {"CodeRectangular", &S::CodeRectangular, {}, {}, "",
     "Data Matrix of automatic size: the smallest rectangular symbol (8x18 to 16x48), for a "
     "narrow face",
     "Rectangular"},
    {"CodeLevel", &S::CodeLevel, kCodeLevelItems, kCodeLevelMeanings, "",
     "Error correction of a QR code: the share of the symbol that may be lost and still read",
     "Error Correction"},
    {"CodeGS1", &S::CodeGS1, {}, {}, "",
     "The code text is GS1 element strings, such as (01)09506000134352(21)A12; the code says "
     "so with FNC1",
     "GS1"},
    {"CodeLightOnDark", &S::CodeLightOnDark, {}, {}, "",
     "The cut shows light on a dark surface (anodised, painted): the light modules and the quiet "
     "zone are cut, so the code reads as dark on light",
     "Light on Dark"},
    {"CodeQuietE", &S::CodeQuietE, {}, {}, "",
     "Quiet zone around the code, in modules: empty for the standard's (Data Matrix 1, QR 4), "
     "never less",
     "Quiet Zone"},
    {"CodeDwellE", &S::CodeDwellE, {}, {}, "",
     "Seconds the tool stays down in each dot (G04 P); 0 writes no dwell",
     "Code Dot Dwell", Reading::Real, 29},
};

}  // namespace

const std::span<const std::string_view> kIntegrexModeItems = kIntegrexModes;
const std::span<const std::string_view> kAppendModeItems = kAppendModes;

std::span<const FieldInfo> AllFields() { return kFields; }

const FieldInfo* FindField(std::string_view name) {
  for (const FieldInfo& field : AllFields()) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

const FieldInfo& InfoOf(const FieldRef& ref) {
  for (const FieldInfo& field : AllFields()) {
    if (field.ref == ref) return field;
  }
  assert(false && "every member of EngraveSettings is in the field table");
  return AllFields().front();
}

char ReadLetter(std::string_view axisText) {
  const std::string bytes = To8Bit(axisText);
  return bytes.empty() ? '\0' : bytes.front();
}

TextAlignment AlignmentOf(std::int32_t justification) {
  if (justification == 1) return TextAlignment::Centre;
  if (justification == 2) return TextAlignment::Right;
  return TextAlignment::Left;
}

double AlignmentShift(TextAlignment alignment, double width) {
  if (alignment == TextAlignment::Centre) return width * (-0.5);
  if (alignment == TextAlignment::Right) return width * (-1);
  return 0;
}

Winding ArcWindingOf(std::int32_t direction) {
  return direction == 0 ? Winding::Clockwise : Winding::CounterClockwise;
}

Winding EllipseWindingOf(std::int32_t direction) {
  return direction == 1 ? Winding::CounterClockwise : Winding::Clockwise;
}

FeedRate FeedRateOf(std::int32_t feedMode) {
  if (feedMode == 1) return FeedRate::DegreesPerMinute;
  if (feedMode == 2) return FeedRate::InverseTime;
  return FeedRate::PerMinute;
}

BatchLayout BatchLayoutOf(std::int32_t batchTextKind) {
  if (batchTextKind == 1) return BatchLayout::CircleText;
  if (batchTextKind == 2) return BatchLayout::EllipseText;
  return BatchLayout::FreeFormText;
}

bool IsRotaryLetter(char letter) { return letter == 'A' || letter == 'B' || letter == 'C'; }

}  // namespace stylor
