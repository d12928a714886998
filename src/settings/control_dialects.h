#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace stylor {

/// One macro dialect of the controls that run a sequence program themselves (a ControlDialect
/// item): how that control keeps a number between cycles, branches, loops, calls a subprogram
/// and stops with an alarm. The program that counts on the control is written from these rows
/// alone, so another control is one more row.
///
/// The templates fill these places: {var} a variable, {value} an expression, {n} a variable number, {name} a variable's name, {sub} a
/// subprogram number (or, for a call, the bracketed expression of one), {cond} a condition,
/// {notcond} its opposite, {label} a number unique in the program, {level} the loop's depth
/// (1 outermost), {number} the alarm number, {text} the alarm text.
struct ControlDialect {
  std::string_view caption = {};
  /// What choosing the dialect writes, for its tooltip, the help and the manual.
  std::string_view meaning = {};
  /// The variables the control keeps through a power cycle (the counter lives in one).
  std::int32_t firstKept = 0;
  std::int32_t lastKept = 0;
  /// Where those variables are kept, for the message that refuses a number outside them.
  std::string_view keptWhere = {};
  std::string_view keptVariable = {};
  /// Sets the variable {var} to the value of the expression {value}.
  std::string_view assign = {};
  /// The working variables of a cycle, shared by the main program and its subprograms.
  std::string_view workVariable = {};
  /// The number of the first working variable ({n} counts up from it).
  std::int32_t firstWork = 1;
  /// The subprogram numbers the control takes.
  std::int32_t firstSubprogram = 1;
  std::int32_t lastSubprogram = 9999;
  std::string_view subprogramOpen = {};
  std::string_view subprogramClose = {};
  std::string_view call = {};
  /// The {sub} of a call whose subprogram number is worked out at run time from {sub}.
  std::string_view computedSubprogram = {};
  /// A block of lines run only while {cond} holds.
  std::string_view ifOpen = {};
  std::string_view ifClose = {};
  std::string_view whileOpen = {};
  std::string_view whileClose = {};
  /// The deepest loop nesting the dialect takes.
  int deepestLoop = 3;
  /// The most digits a constant of an expression may have (0: as many as ten decimals take).
  int constantDigits = 0;
  /// Stops the program with {text} shown to the operator.
  std::string_view alarm = {};
  /// The longest alarm text the control shows.
  std::size_t longestAlarmText = 26;
  /// The subprograms follow the main program's end block (a control that takes every O number of
  /// a file as a program of its own); otherwise they come before the cycle's first line.
  bool subprogramsAfterEnd = false;
};

/// Every dialect, in the order of the ControlDialect items.
inline constexpr ControlDialect kControlDialects[] = {
    {.caption = "Macro (#500, O, M98)",
     .meaning = "Kept variables #500-#999, IF [..] GOTO, WHILE [..] DO, subprograms O.... called "
                "by M98 P.... and ended by M99 after the end block, alarm #3000",
     .firstKept = 500,
     .lastKept = 999,
     .keptWhere = "the macro dialect keeps its variables in #500 to #999",
     .keptVariable = "#{n}",
     .assign = "{var}={value}",
     .workVariable = "#{n}",
     .firstWork = 1,
     .firstSubprogram = 1,
     .lastSubprogram = 9999,
     .subprogramOpen = "O{sub}",
     .subprogramClose = "M99",
     .call = "M98 P{sub}",
     .computedSubprogram = "{sub}",
     .ifOpen = "IF [{notcond}] GOTO {label}",
     .ifClose = "N{label}",
     .whileOpen = "WHILE [{cond}] DO {level}",
     .whileClose = "END {level}",
     .deepestLoop = 3,
     .constantDigits = 8,
     .alarm = "#3000={number} ({text})",
     .longestAlarmText = 26,
     .subprogramsAfterEnd = true},
    {.caption = "LinuxCNC (o-words)",
     .meaning = "Parameters #31-#5000 kept in the parameter file, o-word if, while and sub, "
                "abort message",
     .firstKept = 31,
     .lastKept = 5000,
     .keptWhere = "LinuxCNC keeps the user parameters 31 to 5000 in its parameter file",
     .keptVariable = "#{n}",
     .assign = "{var}=[{value}]",
     .workVariable = "#<_stylor_{name}>",
     .firstWork = 1,
     .firstSubprogram = 1,
     .lastSubprogram = 99999,
     .subprogramOpen = "o{sub} sub",
     .subprogramClose = "o{sub} endsub",
     .call = "o{sub} call",
     .computedSubprogram = "[{sub}]",
     .ifOpen = "o<l{label}> if [{cond}]",
     .ifClose = "o<l{label}> endif",
     .whileOpen = "o<l{label}> while [{cond}]",
     .whileClose = "o<l{label}> endwhile",
     .deepestLoop = 10,
     .constantDigits = 0,
     .alarm = "(abort, {text})",
     .longestAlarmText = 60,
     .subprogramsAfterEnd = false},
};

/// The row of a ControlDialect index, or nullptr for an index outside the table.
inline const ControlDialect* ControlDialectOf(std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(std::size(kControlDialects))) return nullptr;
  return &kControlDialects[index];
}

}  // namespace stylor
