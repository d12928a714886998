#include "ui/cli/manual.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "settings/marking/marking_codes.h"
#include "ui/cli/actions.h"

namespace stylor {
namespace {

constexpr std::size_t kWidth = 78;
constexpr std::size_t kFieldColumn = 20;
constexpr std::size_t kActionColumn = 28;

constexpr std::string_view kDescription =
    "Starts like the Stylor window in DIR (default: the current folder): BasicFont.fnt and "
    "default.mch of DIR are read when present. Then runs each ACTION from left to right, like the "
    "window's button of that name, on one set of fields.";

constexpr std::string_view kUnits =
    "Lengths are in the program's unit, inch or millimetre: nothing converts, so type them in the "
    "unit the machine runs in. Feeds are that unit per minute (degrees per minute with FeedMode 1 "
    "on a rotary axis). Angles are degrees. Index fields take the number of an item (-1: nothing "
    "selected), state fields 0 or 1, text fields the text as typed.";

constexpr std::string_view kSeveralLines =
    "A memo field (its default is \"none\") takes its lines in one argument, separated by line "
    "feeds. In bash, $'...' writes a line feed as \\n:";
constexpr std::string_view kSeveralLinesExample =
    "stylor-cli --set $'FreeFormTextE=STYLOR\\nSERIAL 0042' text plate.eia";

constexpr std::string_view kExitStatus[] = {
    "0  every action worked.",
    "1  an action failed: its message is on standard error as \"Stylor: ...\". Also when an error "
    "was shown while the run went on: a font that did not load, a field that a change rule could "
    "not read. A default.mch that is there but does not load (cut short, a bad value, a link to "
    "nothing, a pipe, a folder) stops the run before its first action.",
    "2  a usage error: an unknown action or field, a missing argument, an index or state that is "
    "not a number. Nothing ran.",
};

constexpr std::string_view kWindowHead =
    R"(stylor \- write G\-code programs that engrave text with stroke fonts
.SH SYNOPSIS
\fBstylor\fR [\fB\-\-screenshot\fR \fIFILE\fR] [\fB\-\-version\fR] [\fB\-\-help\fR]
.SH DESCRIPTION
Stylor writes G\-code programs that engrave text on CNC machines with single\-line stroke fonts:
justified lines at any angle, text around a circle or an ellipse, and runs of serial numbers, on
milling machines, on rotary axes and in lathe\-with\-mill programming modes. The form on the left
holds every field below; the preview on the right draws the program that the current page's job
would write. Each job asks for its program file (.eia or .txt).
.PP
At start\-up the window reads BasicFont.fnt and default.mch of the folder it was started in, as
\fBstylor\-cli\fR(1) does.
.SH OPTIONS
.TP
\fB\-\-screenshot\fR \fIFILE\fR
Save a PNG picture of the window after start\-up to FILE, then exit.
.TP
\fB\-\-version\fR
Print the version and exit.
.TP
\fB\-\-help\fR
Print the options and exit.
.PP
Qt's own options, such as \fB\-platform\fR, pass through.
.SH BUTTONS
Every button of the window is an action of \fBstylor\-cli\fR(1):
)";

constexpr std::string_view kCommandLineHead =
    R"(stylor\-cli \- write engraving G\-code programs from the command line
.SH SYNOPSIS
\fBstylor\-cli\fR [\fB\-\-dir\fR \fIDIR\fR] [\fB\-\-now\fR \fIYYYY\-MM\-DDTHH:MM:SS\fR] \fIACTION\fR...
.br
\fBstylor\-cli \-\-help\fR [\fIFIELD\fR]
.br
\fBstylor\-cli \-\-version\fR
.SH DESCRIPTION
)";

struct Example {
  std::string_view what;
  std::string_view command;
};

constexpr Example kExamples[] = {
    {"Two lines of text, centred on the start point:",
     "stylor-cli --set $'FreeFormTextE=STYLOR\\nSERIAL 0042' --set Justification=1 text plate.eia"},
    {"Text around a circle of radius 1.5, centred on top:",
     "stylor-cli --set ArcTextE=\"ON THE RIM\" --set RadiusE=1.5 --set TextAngleE=90 arc rim.eia"},
    {"Serial numbers 1 to 20, one program each, into the folder out:",
     "mkdir -p out && stylor-cli --set SeqStart=1 --set SeqEnd=20 --set Files=1 --set "
     "FilePrefix=SN sequence out"},
    {"One nameplate per row of plates.csv, each program named by the row's Tag:",
     "mkdir -p tags && stylor-cli --set FreeFormTextE={Name} --set Files=1 --set "
     "BatchNameColumn=Tag batch text plates.csv tags"},
    {"Serial 0042 on, with today's date code and shift, the counter moved past it:",
     "stylor-cli counter SN 42 && stylor-cli --set FillPlaceholders=1 --set \"ShiftTable=A 06:00, "
     "B 14:00\" --set \"FreeFormTextE=PN-{Date:yyMMdd}-{Shift}-{Counter:SN}\" text part.eia"},
    {"Keep the machine's lines in default.mch, read at every start in this folder:",
     "stylor-cli --set $'PostEngrave=G00 Z0.5\\nM30' save-machine default.mch"},
    {"Check a program's extents and times, then draw it:",
     "stylor-cli stats plate.eia && stylor-cli preview plate.eia plate.svg"},
};

std::string_view HeldKind(const FieldInfo& field) {
  if (std::holds_alternative<TextField>(field.ref)) return "text";
  if (std::holds_alternative<LinesField>(field.ref)) return "lines";
  if (std::holds_alternative<IndexField>(field.ref)) return "index";
  return "state";
}

std::string DefaultOf(const FieldInfo& field) {
  static const EngraveSettings defaults;
  if (auto text = std::get_if<TextField>(&field.ref)) {
    const std::string& value = defaults.*(*text);
    return value.empty() ? "empty" : value;
  }
  if (auto lines = std::get_if<LinesField>(&field.ref)) {
    return (defaults.*(*lines)).empty() ? "none" : "lines";
  }
  if (auto index = std::get_if<IndexField>(&field.ref)) return std::to_string(defaults.*(*index));
  return defaults.*std::get<StateField>(field.ref) ? "1" : "0";
}

std::string ItemList(const FieldInfo& field) {
  std::string list;
  for (std::size_t k = 0; k < field.items.size(); ++k) {
    list += std::to_string(k) + " " + std::string(field.items[k]) + ", ";
  }
  return list + "-1 nothing";
}

std::string Capitalised(std::string_view text) {
  std::string result(text);
  if (!result.empty() && result[0] >= 'a' && result[0] <= 'z') result[0] -= 'a' - 'A';
  return result;
}

// "Length; default .125." or "0 Left, 1 Center, 2 Right, -1 nothing; default
// 0."
std::string Facts(const FieldInfo& field) {
  std::string facts;
  if (!field.unit.empty()) facts = Capitalised(field.unit) + "; ";
  const std::string_view kind = HeldKind(field);
  if (kind == "index") facts += ItemList(field) + "; ";
  if (kind == "state") facts += "0 or 1; ";
  if (kind == "lines") facts += "lines; ";
  return Capitalised(facts + "default " + DefaultOf(field) + ".");
}

std::string Sentence(std::string_view meaning) {
  return meaning.empty() ? std::string() : std::string(meaning) + ". ";
}

// "Window: Height. ", the caption of the field's box, so that a field can be found on screen.
std::string WindowCaption(const FieldInfo& field) {
  return field.caption.empty() ? std::string() : "Window: " + std::string(field.caption) + ". ";
}

// "Left: The line starts at the start point", or the caption alone.
std::string ItemLine(const FieldInfo& field, std::size_t k) {
  std::string line(field.items[k]);
  if (k < field.itemMeanings.size()) line += ": " + std::string(field.itemMeanings[k]);
  return line;
}

// Writes `text` from column `column` (the cursor is there already) to kWidth,
// going on at `indent` on each following line.
void WriteWrapped(std::ostream& out, std::string_view text, std::size_t column,
                  std::size_t indent) {
  std::size_t at = column;
  bool lineEmpty = true;
  while (!text.empty()) {
    const std::size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    if (word.empty()) continue;
    if (!lineEmpty && at + 1 + word.size() > kWidth) {
      out << "\n" << std::string(indent, ' ');
      at = indent;
      lineEmpty = true;
    }
    if (!lineEmpty) {
      out << ' ';
      ++at;
    }
    out << word;
    at += word.size();
    lineEmpty = false;
  }
  out << "\n";
}

void WriteEntry(std::ostream& out, std::string head, std::size_t column, std::string_view text) {
  head = "  " + head;
  if (head.size() + 1 > column) {
    out << head << "\n" << std::string(column, ' ');
  } else {
    out << head << std::string(column - head.size(), ' ');
  }
  WriteWrapped(out, text, column, column);
}

std::string ActionHead(const ActionInfo& action) {
  std::string head(action.name);
  if (!action.argument.empty()) head += " " + std::string(action.argument);
  return head;
}

// An example value for --set: the default of a field, or a short text where
// that is empty.
std::string ExampleValue(const FieldInfo& field) {
  const std::string_view kind = HeldKind(field);
  if (kind == "lines") return "FIRST LINE\\nSECOND LINE";
  if (kind == "index") return field.items.size() > 1 ? "1" : "0";
  const std::string value = DefaultOf(field);
  return value == "empty" ? "ABC" : value;
}

std::string SetExample(const FieldInfo& field) {
  const bool lines = HeldKind(field) == "lines";
  return std::string("stylor-cli --set ") + (lines ? "$'" : "'") + std::string(field.name) + "=" +
         ExampleValue(field) + "' show " + std::string(field.name);
}

// roff: a backslash is \e, a minus is \-, and a line may not start with a
// control character.
std::string Roff(std::string_view text) {
  std::string result;
  for (const char c : text) {
    if (c == '\\')
      result += "\\e";
    else if (c == '-')
      result += "\\-";
    else
      result += c;
  }
  if (!result.empty() && (result[0] == '.' || result[0] == '\'')) result.insert(0, "\\&");
  return result;
}

void WriteRoffActions(std::ostream& out) {
  for (const ActionInfo& action : AllActions()) {
    out << ".TP\n\\fB" << Roff(action.name) << "\\fR";
    if (!action.argument.empty()) out << " \\fI" << Roff(action.argument) << "\\fR";
    out << "\n" << Roff(Capitalised(action.help)) << ".\n";
  }
}

void WriteRoffFields(std::ostream& out) {
  out << ".SH FIELDS\n" << Roff(kUnits) << "\n";
  for (const FieldInfo& field : AllFields()) {
    out << ".TP\n\\fB" << Roff(field.name) << "\\fR\n"
        << Roff(WindowCaption(field)) << Roff(Sentence(field.meaning)) << Roff(Facts(field))
        << "\n";
    for (std::size_t k = 0; k < field.items.size(); ++k) {
      out << ".br\n" << k << "  " << Roff(ItemLine(field, k)) << "\n";
    }
  }
  out << ".SS Several lines\n"
      << Roff(kSeveralLines) << "\n.PP\n.RS\n.nf\n"
      << Roff(kSeveralLinesExample) << "\n.fi\n.RE\n";
}

void WriteRoffExamples(std::ostream& out) {
  out << ".SH EXAMPLES\n";
  for (const Example& example : kExamples) {
    out << ".PP\n"
        << Roff(example.what) << "\n.RS\n.nf\n"
        << Roff(example.command) << "\n.fi\n.RE\n";
  }
}

void WriteRoffFiles(std::ostream& out) {
  out << R"(.SH FILES
.TP
\fIdefault.mch\fR
The machine file of the working folder, read at start\-up: text parameters, axes, feeds, mode and
the four blocks of G\-code lines. It loads whole or not at all; one that does not load stops
\fBstylor\-cli\fR, and the window goes on with the factory set\-up and says so in its title.
.TP
\fIBasicFont.fnt\fR
The font of the working folder; without one, the font installed with Stylor.
.TP
\fI)" STYLOR_INSTALL_FONT_DIR R"(/\fR
The stroke fonts installed with Stylor.
.TP
\fI)" STYLOR_INSTALL_DOC_DIR R"(/guide.md\fR
The guide for machinists, also shown by the window's Help menu.
)";
}

constexpr std::string_view kNowOption =
    "--now YYYY-MM-DDTHH:MM:SS: the instant every placeholder of the run takes, in place of the "
    "clock (tests, and re-cutting a part with its original date).";

// The placeholders, as the help prints them and the pages show them unfilled.
void WriteRoffPlaceholders(std::ostream& out) {
  out << ".SH PLACEHOLDERS\n.nf\n" << Roff(PlaceholderHelp()) << ".fi\n";
}

constexpr std::string_view kWarnOption =
    "Warnings: after each job, a line \"Stylor: warning: ...\" on stderr for every setting that "
    "makes its program dangerous to run as it stands (the axes a lathe-with-mill mode left under "
    "mode None, One File runs with nothing between the numbers, Inverse Time Feed without G93 in "
    "the start block, an empty start block). The program is written all the same and the exit "
    "status stays 0. --warn is still accepted and changes nothing.";

}  // namespace

void WriteCommandLineHelp(std::ostream& out) {
  out << "Usage: stylor-cli [--dir DIR] [--now YYYY-MM-DDTHH:MM:SS] ACTION...\n"
         "       stylor-cli --help [FIELD]\n"
         "       stylor-cli --version\n\n";
  WriteWrapped(out, kDescription, 0, 0);
  out << "\n";
  WriteWrapped(out, kWarnOption, 0, 0);
  out << "\n";
  WriteWrapped(out, kNowOption, 0, 0);
  out << "\nPlaceholders:\n" << PlaceholderHelp() << "\nActions:\n";
  for (const ActionInfo& action : AllActions()) {
    WriteEntry(out, ActionHead(action), kActionColumn, Capitalised(action.help) + ".");
  }
  out << "\nFields (stylor-cli --help FIELD tells more of one):\n";
  for (const FieldInfo& field : AllFields()) {
    WriteEntry(out, std::string(field.name), kFieldColumn,
               WindowCaption(field) + Sentence(field.meaning) + Facts(field));
  }
  out << "\n";
  WriteWrapped(out, kUnits, 0, 0);
  out << "\n";
  WriteWrapped(out, kSeveralLines, 0, 0);
  out << "  " << kSeveralLinesExample << "\n\nExit status:\n";
  for (const std::string_view status : kExitStatus) {
    out << "  ";
    WriteWrapped(out, status, 2, 4);
  }
}

void WriteFieldHelp(std::ostream& out, const FieldInfo& field) {
  out << field.name << ": ";
  WriteWrapped(out, field.meaning.empty() ? "(no description)" : Sentence(field.meaning),
               field.name.size() + 2, 2);
  if (!field.caption.empty()) out << "  Window: " << field.caption << "\n";
  if (!field.unit.empty()) out << "  Unit: " << field.unit << "\n";
  const std::string_view kind = HeldKind(field);
  if (kind == "index") {
    out << "  Values:\n";
    for (std::size_t k = 0; k < field.items.size(); ++k) {
      out << "    " << k << "  ";
      WriteWrapped(out, ItemLine(field, k), 7, 7);
    }
    out << "    -1  nothing selected\n";
  } else if (kind == "state") {
    out << "  Values: 0 or 1\n";
  } else if (kind == "lines") {
    out << "  Values: lines, separated by line feeds in one argument\n";
  } else {
    out << "  Values: a text as typed\n";
  }
  out << "  Default: " << DefaultOf(field) << "\n  Example: " << SetExample(field) << "\n";
}

void WriteManualPage(std::ostream& out, ManualPage page) {
  const bool window = page == ManualPage::Window;
  out << ".TH " << (window ? "STYLOR" : "STYLOR\\-CLI")
      << " 1 \"\" \"Stylor " STYLOR_VERSION "\" \"User Commands\"\n.SH NAME\n";
  if (window) {
    out << kWindowHead;
    WriteRoffActions(out);
    WriteRoffFields(out);
    WriteRoffPlaceholders(out);
    WriteRoffFiles(out);
    out << ".SH EXIT STATUS\n0 when the window is closed; 1 when the screenshot could not be "
           "written or the window could not start; another status, with a message, for an option "
           "it cannot read.\n"
           ".SH SEE ALSO\n\\fBstylor\\-cli\\fR(1), " STYLOR_INSTALL_DOC_DIR "/guide.md\n";
    return;
  }
  out << kCommandLineHead << Roff(kDescription) << "\n.SH ACTIONS\n";
  WriteRoffActions(out);
  out << ".TP\n\\fB\\-\\-now\\fR \\fIYYYY\\-MM\\-DDTHH:MM:SS\\fR\n" << Roff(Capitalised(kNowOption.substr(27)))
      << "\n";
  out << ".TP\n\\fB\\-\\-help\\fR [\\fIFIELD\\fR]\nPrint the actions and fields, or everything "
         "about one field, and exit.\n.TP\n\\fB\\-\\-version\\fR\nPrint the version and exit.\n";
  WriteRoffFields(out);
  WriteRoffPlaceholders(out);
  WriteRoffExamples(out);
  WriteRoffFiles(out);
  out << ".SH EXIT STATUS\n";
  for (const std::string_view status : kExitStatus) {
    out << ".TP\n\\fB" << status.substr(0, 1) << "\\fR\n" << Roff(status.substr(3)) << "\n";
  }
  out << ".SH SEE ALSO\n\\fBstylor\\fR(1), " STYLOR_INSTALL_DOC_DIR "/guide.md\n";
}

}  // namespace stylor
