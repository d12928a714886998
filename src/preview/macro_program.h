#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace stylor {

/// A variable (a numbered parameter) and the value it holds when a macro program starts: the
/// kept variables of a control (#500-#999), LinuxCNC's parameters from its parameter file.
struct MacroPreset {
  int number = 0;
  double value = 0;
  friend bool operator==(const MacroPreset&, const MacroPreset&) = default;
};

/// How far a macro program may run before the reader gives up on it.
struct MacroLimits {
  std::int64_t blocks = 5'000'000;     // blocks run, each pass of a loop counted again
  int callDepth = 64;                  // subprograms running inside one another
  std::size_t bytes = std::size_t{16} << 20;  // text kept from the first macro line on
  std::int64_t lines = 1'000'000;      // lines kept from the first macro line on
  friend bool operator==(const MacroLimits&, const MacroLimits&) = default;
};

/// Which macro language a program speaks: the one of most industrial controls (O numbers,
/// M98/G65, WHILE .. DO, IF .. GOTO, #3000 alarms) or LinuxCNC's (o-words).
enum class MacroDialect { Industrial, LinuxCnc };

/// One word of a block as the macro program worked it out: the letter in upper case, the value.
struct MacroWord {
  char letter = 0;
  double value = 0;
};

/// Receives the words of each block that the program runs, with the line of the file it is on.
using MacroBlockVisitor = std::function<void(std::span<const MacroWord>, std::int64_t line)>;

/// The value of an expression of the dialect, as in `#1=expression` ("[1+2]*3", "SIN[30]",
/// "[2 GT 1] AND [1 EQ 1]"); the variables all read 0. Throws Error naming what is wrong.
double EvaluateMacroExpression(std::string_view expression, MacroDialect dialect);

/// The lines of a program from its first macro line on, kept to be run once the whole file is
/// read: subprograms may follow their calls and jumps may go forward. Running it hands each
/// block's words to the visitor, with variables worked out, loops and calls followed.
class MacroProgram {
 public:
  /// `name` names the program in messages.
  MacroProgram(std::string name, std::vector<MacroPreset> presets, const MacroLimits& limits);
  ~MacroProgram();
  MacroProgram(const MacroProgram&) = delete;
  MacroProgram& operator=(const MacroProgram&) = delete;

  /// Keeps one line (line end removed) that is line `number` of the file. Throws Error naming
  /// the program when the kept text passes the limits.
  void Keep(std::string_view line, std::int64_t number);

  /// Runs the program from its first kept line. Throws Error naming the line for what cannot
  /// be run (a loop or a call without end, an unknown variable or function, a division by zero,
  /// a jump to a missing label, an unclosed structure), for an alarm (#3000) or an abort, and
  /// what `visit` throws.
  void Run(const MacroBlockVisitor& visit);

  /// The dialect the kept lines speak (known once Run has started).
  MacroDialect Dialect() const;

  /// The kept lines, the variables and where the run stands; only the source knows it.
  struct State;

 private:
  std::unique_ptr<State> m_state;
};

}  // namespace stylor
