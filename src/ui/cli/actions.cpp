#include "ui/cli/actions.h"

namespace stylor {
namespace {

constexpr ActionInfo kActions[] = {
    {"--set", ActionKind::Set, "FIELD=VALUE",
     "set one field as the window holds it (see the fields)"},
    {"--font", ActionKind::Font, "FILE",
     "\"Pick Font\": load FILE as the font (a .fnt stroke font, or a single-line .lff or .cxf)"},
    {"text", ActionKind::Text, "FILE",
     "\"EngraveText\": free-form text into the program FILE (not a folder)"},
    {"arc", ActionKind::Arc, "FILE", "\"Create Arc\": circle text into FILE"},
    {"ellipse", ActionKind::Ellipse, "FILE", "\"Create Ellipse\": ellipse text into FILE"},
    {"sequence", ActionKind::Sequence, "FILE",
     "\"Generate Sequences\" into FILE (Many Files: into the folder of FILE, or FILE itself "
     "when it is a folder)"},
    {"batch", ActionKind::Batch, "JOB ROWS OUT",
     "\"Generate from Data\": the job text, arc or ellipse once per row of the data file ROWS "
     "(values separated by commas, tabs or semicolons, as its first line shows), into the "
     "program OUT (One File) or the folder OUT (Many Files); {Column}, {Row} and {Rows} in the "
     "texts and G-code blocks take each row's values"},
    {"save-machine", ActionKind::SaveMachine, "FILE", "\"Save\": write the machine file FILE"},
    {"open-machine", ActionKind::OpenMachine, "FILE", "\"Open\": read the machine file FILE"},
    {"open-old", ActionKind::OpenOld, "FILE",
     "\"Open Old\": read the G-code blocks of an old machine file"},
    {"reset-machine", ActionKind::ResetMachine, "", "\"Reset\": empty the four G-code blocks"},
    {"width", ActionKind::Width, "", "print the width label of the free-form text's last line"},
    {"example", ActionKind::Example, "", "print the sequence example label"},
    {"font-report", ActionKind::FontReport, "", "print the lines of the font report"},
    {"show", ActionKind::Show, "FIELD", "print a field as held (memo lines one per line)"},
    {"stats", ActionKind::Stats, "FILE",
     "print lines, lengths, plunges, times (rapids at 5000 per min) and extents of the program "
     "FILE, read with the axes, pen levels and modes of the fields"},
    {"preview", ActionKind::Preview, "FILE OUT",
     "draw the program FILE as the SVG picture OUT, read like stats"},
    {"render", ActionKind::Render, "FILE OUT",
     "draw only what the tool removes in the program FILE, black on white: cuts as wide as "
     "ToolDiameterE and dots of that diameter, into OUT (.png or .svg), read like stats"},
};

}  // namespace

std::span<const ActionInfo> AllActions() { return kActions; }

const ActionInfo* FindAction(std::string_view name) {
  for (const ActionInfo& info : kActions) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

}  // namespace stylor
