#include "settings/engrave_settings.h"

#include <array>
#include <cassert>

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
constexpr std::array<std::string_view, 2> kFilesItems = {"One File", "Many Files"};
constexpr std::array<std::string_view, 3> kBatchTextItems = {"Free Form Text", "Circle Text",
                                                             "Ellipse Text"};

const FieldInfo kFields[] = {
    {"TextHeightE", &S::TextHeightE, {}},
    {"WidthRatioE", &S::WidthRatioE, {}},
    {"SpacingRatioE", &S::SpacingRatioE, {}},
    {"LineSpacingE", &S::LineSpacingE, {}},
    {"FontFile", &S::FontFile, {}},
    {"Justification", &S::Justification, kJustificationItems},
    {"Axis1E", &S::Axis1E, {}},
    {"Axis1StartE", &S::Axis1StartE, {}},
    {"TextAngleE", &S::TextAngleE, {}},
    {"Axis2E", &S::Axis2E, {}},
    {"Axis2StartE", &S::Axis2StartE, {}},
    {"Axis3E", &S::Axis3E, {}},
    {"PenDownE", &S::PenDownE, {}},
    {"PenUpE", &S::PenUpE, {}},
    {"EngraveFeedE", &S::EngraveFeedE, {}},
    {"PlungeFeedE", &S::PlungeFeedE, {}},
    {"InverseTimeE", &S::InverseTimeE, {}},
    {"FeedMode", &S::FeedMode, kFeedModeItems},
    {"IntegrexMode", &S::IntegrexMode, kIntegrexModes},
    {"IntegrexHead", &S::IntegrexHead, kHeadItems},
    {"AppendMode", &S::AppendMode, kAppendModes},
    {"PreEngraveW", &S::PreEngraveW, {}},
    {"PostEngraveW", &S::PostEngraveW, {}},
    {"PreToolChange", &S::PreToolChange, {}},
    {"ToolChange", &S::ToolChange, {}},
    {"PostToolChange", &S::PostToolChange, {}},
    {"PostEngrave", &S::PostEngrave, {}},
    {"FreeFormTextE", &S::FreeFormTextE, {}},
    {"RadiusE", &S::RadiusE, {}},
    {"ArcTextE", &S::ArcTextE, {}},
    {"Direction", &S::Direction, kDirectionItems},
    {"AEdit", &S::AEdit, {}},
    {"BEdit", &S::BEdit, {}},
    {"EllipseTextE", &S::EllipseTextE, {}},
    {"JustifyPoint", &S::JustifyPoint, kJustifyPointItems},
    {"JustifyPointText", &S::JustifyPointText, {}},
    {"EllipseDirection", &S::EllipseDirection, kDirectionItems},
    {"SeqStart", &S::SeqStart, {}},
    {"SeqEnd", &S::SeqEnd, {}},
    {"SeqStep", &S::SeqStep, {}},
    {"SeqPrefix", &S::SeqPrefix, {}},
    {"SeqPostfix", &S::SeqPostfix, {}},
    {"SeqDigits", &S::SeqDigits, {}},
    {"SeqPreGCodes", &S::SeqPreGCodes, {}},
    {"SeqPostGCodes", &S::SeqPostGCodes, {}},
    {"Files", &S::Files, kFilesItems},
    {"FilePrefix", &S::FilePrefix, {}},
    {"UseArcSettings", &S::UseArcSettings, {}},
    {"BatchTextKind", &S::BatchTextKind, kBatchTextItems},
    {"BatchNameColumn", &S::BatchNameColumn, {}},
    {"SymAngleE", &S::SymAngleE, {}},
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
