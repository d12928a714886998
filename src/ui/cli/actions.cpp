#include "ui/cli/actions.h"

#include <vector>

namespace stylor {
namespace {

constexpr ActionInfo kSettingActions[] = {
    {"--set", ActionKind::Set, "FIELD=VALUE",
     "set one field as the window holds it (see the fields)"},
    {"--var", ActionKind::Var, "N=VALUE",
     "start the variable #N of a macro program that stats and preview read later in the run at "
     "VALUE (the serial the control holds in #500-#999, a LinuxCNC parameter); repeatable; "
     "the others start at 0"},
    {"--font", ActionKind::Font, "FILE",
     "\"Pick Font\": load FILE as the font (a .fnt stroke font, or a single-line .lff or .cxf)"},
};

constexpr ActionInfo kOtherActions[] = {
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
    {"job-stats", ActionKind::JobStats, "JOB",
     "print the statistics of the job JOB (text, arc, ellipse or sequence) as it would be "
     "written, read like stats; under a TravelOrder also the rapid length of the font's order, "
     "the rapid length saved and the time saved"},
    {"counter", ActionKind::Counter, "NAME",
     "print the next value of the counter NAME of {Counter:NAME}; \"counter NAME VALUE\" sets it "
     "(a new counter counts up by 1 from VALUE, unpadded); the counters live in CountersFile"},
    {"preview", ActionKind::Preview, "FILE OUT",
     "draw the program FILE as the SVG picture OUT, read like stats"},
    {"render", ActionKind::Render, "FILE OUT",
     "draw only what the tool removes in the program FILE, black on white: cuts as wide as "
     "ToolDiameterE and dots of that diameter, into OUT (.png or .svg), read like stats"},
};

std::vector<ActionInfo> ListActions() {
  std::vector<ActionInfo> actions(std::begin(kSettingActions), std::end(kSettingActions));
  for (const JobInfo& job : AllJobs()) {
    actions.push_back({job.action, ActionKind::Job, job.actionArgument, job.actionHelp, job.kind});
  }
  actions.insert(actions.end(), std::begin(kOtherActions), std::end(kOtherActions));
  return actions;
}

}  // namespace

std::span<const ActionInfo> AllActions() {
  static const std::vector<ActionInfo> actions = ListActions();
  return actions;
}

const ActionInfo* FindAction(std::string_view name) {
  for (const ActionInfo& info : AllActions()) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

}  // namespace stylor
