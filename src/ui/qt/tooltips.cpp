#include "ui/qt/tooltips.h"

namespace stylor {
namespace {

using S = EngraveSettings;

struct FieldTip {
  FieldRef field;
  const char* text;
};

// Lengths and feeds are in the unit of the machine program; nothing converts them.
const FieldTip kFieldTips[] = {
    {&S::TextHeightE, "Height of a capital letter, in program units"},
    {&S::WidthRatioE, "Letter width as a multiple of the font's own width (1 = as drawn)"},
    {&S::SpacingRatioE, "Space between letters as a multiple of the font's spacing"},
    {&S::LineSpacingE, "Distance between baselines of free-form lines, as a multiple of the height"},
    {&S::FontFile, "The stroke font (.fnt) every job draws its letters with"},
    {&S::Justification, "Where a free-form line sits against the start point"},
    {&S::AppendMode, "Whether a job writes the start block, the end block, both or neither, so "
                     "that several jobs can go into one program"},
    {&S::PreEngraveW, "Write the start block: the tool-change lines and the lathe-mill preamble. "
                      "Unticked, the job appends to the chosen program"},
    {&S::PostEngraveW, "Write the end block: the lathe-mill postamble and the Post Engrave lines"},
    {&S::Axis1E, "Letter of the axis along the text (A, B, C: rotary, degrees)"},
    {&S::Axis1StartE, "Axis 1 position of the start point (degrees on a rotary axis)"},
    {&S::TextAngleE, "Angle of the baseline in degrees, counter-clockwise from Axis 1"},
    {&S::Axis2E, "Letter of the axis across the text (A, B, C: rotary, degrees)"},
    {&S::Axis2StartE, "Axis 2 position of the start point (degrees on a rotary axis)"},
    {&S::Axis3E, "Letter of the axis that plunges the tool"},
    {&S::PenDownE, "Absolute plunge-axis position while cutting (the cutting depth)"},
    {&S::PenUpE, "Absolute plunge-axis position while moving between strokes"},
    {&S::EngraveFeedE, "Feed of the cutting moves, a length per minute; sets the plunge feed "
                       "to half of it"},
    {&S::PlungeFeedE, "Feed of the plunge moves, a length per minute"},
    {&S::InverseTimeE, "Kept in machine files; no job reads it"},
    {&S::FeedMode, "How the F word of each move is written"},
    {&S::IntegrexMode, "The lathe-mill programming mode: its preamble, its postamble and the axis "
                       "letters it sets"},
    {&S::IntegrexHead, "The head of the lathe-mill modes; sets the axis letters of the mode"},
    {&S::PreToolChange, "Lines written first in the start block"},
    {&S::ToolChange, "Lines written after Pre Tool Change in the start block"},
    {&S::PostToolChange, "Lines written after Tool Change, before the lathe-mill preamble"},
    {&S::PostEngrave, "Lines written last, after the lathe-mill postamble"},
    {&S::FreeFormTextE, "The text to engrave, one baseline per line. Tab moves to the next "
                        "control"},
    {&S::RadiusE, "Radius of the circle the text runs around, in program units"},
    {&S::ArcTextE, "The text to engrave around the circle, centred on the text angle"},
    {&S::Direction, "Which way the text runs around the circle"},
    {&S::AEdit, "Length of the ellipse along Axis 1 (A to C), in program units; larger than the "
                "minor axis"},
    {&S::BEdit, "Length of the ellipse along Axis 2 (B to D), in program units"},
    {&S::EllipseTextE, "The text to engrave around the ellipse"},
    {&S::JustifyPointText, "The point of the ellipse the text starts from, as in the picture"},
    {&S::EllipseDirection, "Which way the text runs around the ellipse"},
    {&S::SeqStart, "First serial number"},
    {&S::SeqEnd, "Last serial number (included)"},
    {&S::SeqStep, "Added to each number for the next; Up, Down, Page Up, Page Down and the wheel "
                  "step it"},
    {&S::SeqPrefix, "Text engraved before every number"},
    {&S::SeqPostfix, "Text engraved after every number"},
    {&S::SeqDigits, "Least number of digits, filled with leading zeros (0: as many as needed); "
                    "Up, Down, Page Up, Page Down and the wheel change it"},
    {&S::SeqPreGCodes, "Lines written before each number"},
    {&S::SeqPostGCodes, "Lines written after each number"},
    {&S::Files, "One program for the whole run, or one program file per number"},
    {&S::FilePrefix, "Start of each file name of Many Files; the number and the extension follow"},
    {&S::UseArcSettings, "Engrave each number around the circle of the Circle Text page"},
    {&S::BatchTextKind, "The text job written once per row of the data file, with the settings "
                        "of its page"},
    {&S::BatchNameColumn, "Many Files: the column whose values name the files (empty: the row "
                          "numbers); the prefix comes first, the extension last"},
    {&S::SymAngleE, "For Vertical Text"},
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
};

}  // namespace

QString FieldCaption(const FieldInfo& field) {
  for (const FieldCaptionEntry& entry : kCaptions) {
    if (FieldRef(entry.field) == field.ref) return entry.caption;
  }
  return QString::fromUtf8(field.name.data(), static_cast<qsizetype>(field.name.size()));
}

QString FieldToolTip(const FieldRef& field) {
  for (const FieldTip& tip : kFieldTips) {
    if (tip.field == field) return tip.text;
  }
  return {};
}

QStringList ItemToolTips(IndexField field) {
  if (field == &S::Justification) {
    return {"The line starts at the start point", "The line is centred on the start point",
            "The line ends at the start point"};
  }
  if (field == &S::AppendMode) {
    return {"A whole program: start block, text, end block",
            "Start a program to which later jobs append: start block and text",
            "Append text only to the chosen program",
            "Append the text and the end block, closing the program"};
  }
  if (field == &S::FeedMode) {
    return {"F is the feed as typed: inches or millimetres per minute",
            "F of moves that turn a rotary axis is in degrees per minute",
            "F is one over the minutes each move takes"};
  }
  if (field == &S::IntegrexMode) {
    return {"No preamble or postamble; the axis letters stay as typed",
            "Writes G00 C0.0, G12.1 and G16 C<down> (head 2: G110C2 first); ends with G13.1",
            "Writes no preamble; the rotary axis is programmed in degrees",
            "Writes G00 C0.0 and G12.1; ends with G13.1",
            "Writes G00 C0.0 and G12.1 (head 2: G110C2 first); ends with G13.1",
            "Writes G00 C0.0, G17UH, G12.1 and G122.1; ends with G13.1",
            "Writes G138; ends with G136"};
  }
  if (field == &S::BatchTextKind) {
    return {"Each row fills the lines of the Free Form Text page",
            "Each row fills the text of the Circle Text page, engraved around its circle",
            "Each row fills the text of the Ellipse Text page, engraved around its ellipse"};
  }
  if (field == &S::IntegrexHead) {
    return {"Axis letters of the mode for head 1", "Axis letters of the mode for head 2"};
  }
  if (field == &S::Direction || field == &S::EllipseDirection) {
    return {"The text runs clockwise", "The text runs counter-clockwise"};
  }
  if (field == &S::Files) {
    return {"Every number goes into the one program chosen",
            "Each number gets its own program: File Name Prefix, the number and the extension"};
  }
  return {};
}

}  // namespace stylor
