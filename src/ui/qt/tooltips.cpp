#include "ui/qt/tooltips.h"

namespace stylor {
namespace {

using S = EngraveSettings;

// What a field's control adds to the field's meaning: the keys that work in it.
struct ControlHint {
  FieldRef field;
  const char* text;
};

const ControlHint kControlHints[] = {
    {&S::FreeFormTextE, ". Tab moves to the next control"},
    {&S::SeqStep, "; Up, Down, Page Up, Page Down and the wheel step it"},
    {&S::SeqDigits, "; Up, Down, Page Up, Page Down and the wheel change it"},
};

struct FieldCaptionEntry {
  TextField field;
  const char* caption;
};

const FieldCaptionEntry kCaptions[] = {
    {&S::TextHeightE, "Height"},           {&S::WidthRatioE, "Width Ratio"},
    {&S::SpacingRatioE, "Spacing Ratio"},  {&S::LineSpacingE, "Line Spacing"},
    {&S::Axis1StartE, "Axis 1 Start"},     {&S::TextAngleE, "Text Angle"},
    {&S::Axis2StartE, "Axis 2 Start"},     {&S::PenDownE, "Plunge Axis Down"},
    {&S::PenUpE, "Plunge Axis Up"},        {&S::EngraveFeedE, "Engrave Feed"},
    {&S::PlungeFeedE, "Plunge Feed"},      {&S::RadiusE, "Radius"},
    {&S::AEdit, "Major Axis"},             {&S::BEdit, "Minor Axis"},
    {&S::SeqStart, "Start Number"},        {&S::SeqEnd, "End Number"},
    {&S::SeqStep, "Step"},                 {&S::SeqDigits, "Digits"},
    {&S::Axis1E, "Axis 1"},                {&S::Axis2E, "Axis 2"},
    {&S::Axis3E, "Plunge Axis"},
};

}  // namespace

QString FieldCaption(const FieldInfo& field) {
  for (const FieldCaptionEntry& entry : kCaptions) {
    if (FieldRef(entry.field) == field.ref) return entry.caption;
  }
  return QString::fromUtf8(field.name.data(), static_cast<qsizetype>(field.name.size()));
}

QString FieldToolTip(const FieldRef& field) {
  const std::string_view meaning = InfoOf(field).meaning;
  QString tip = QString::fromUtf8(meaning.data(), static_cast<qsizetype>(meaning.size()));
  for (const ControlHint& hint : kControlHints) {
    if (hint.field == field) tip += hint.text;
  }
  return tip;
}

QStringList ItemToolTips(IndexField field) {
  QStringList tips;
  for (const std::string_view meaning : InfoOf(field).itemMeanings) {
    tips << QString::fromUtf8(meaning.data(), static_cast<qsizetype>(meaning.size()));
  }
  return tips;
}

}  // namespace stylor
