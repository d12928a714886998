#include "preview/macro_program.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "settings/error.h"

namespace stylor {
namespace {

using testing::HasSubstr;

struct ExpressionCase {
  const char* text;
  MacroDialect dialect;
  double value;
};

constexpr MacroDialect kControl = MacroDialect::Industrial;
constexpr MacroDialect kLinuxCnc = MacroDialect::LinuxCnc;

const ExpressionCase kExpressions[] = {
    {"1+2*3", kControl, 7},
    {"[1+2]*3", kControl, 9},
    {"2**3**2", kLinuxCnc, 64},  // left to right, as LinuxCNC reads it
    {"10-4-3", kControl, 3},
    {"7 MOD 3", kControl, 1},
    {"-7 MOD 3", kLinuxCnc, 2},  // LinuxCNC's remainder is never negative
    {"-7 MOD 3", kControl, -1},
    {"SIN[30]", kControl, 0.5},
    {"COS[60] + TAN[45]", kControl, 1.5},
    {"ATAN[1]/[1]", kControl, 45},
    {"ATAN[-1]/[-1]", kLinuxCnc, -135},
    {"ATAN[-1]/[-1]", kControl, 225},  // the controls give 0 to 360
    {"ATAN[1,-1]", kControl, 135},
    {"SQRT[16]", kControl, 4},
    {"ABS[-2.5]", kControl, 2.5},
    {"FIX[-1.5]", kControl, -1},
    {"FIX[-1.5]", kLinuxCnc, -2},
    {"FUP[-1.5]", kControl, -2},
    {"FUP[-1.5]", kLinuxCnc, -1},
    {"FIX[2.7]", kControl, 2},
    {"FUP[2.1]", kLinuxCnc, 3},
    {"ROUND[-2.5]", kControl, -3},
    {"ROUND[2.5]", kLinuxCnc, 3},
    {"ln[exp[2]]", kLinuxCnc, 2},
    {"1 EQ 1.00001", kLinuxCnc, 1},  // within LinuxCNC's tolerance
    {"1 EQ 1.00001", kControl, 0},
    {"1 NE 2", kControl, 1},
    {"2 GT 1 AND 1 LE 1", kControl, 1},
    {"[1 GT 2] OR [3 GE 4]", kControl, 0},
    {"1 LT 2 XOR 1", kLinuxCnc, 0},
    {"1+2 GT 2", kLinuxCnc, 1},
    {"-[2+3]", kControl, -5},
    {"#1 + 4", kControl, 4},  // variables read 0 here
};

TEST(MacroExpressionTest, ValuesOfBothDialects) {
  for (const ExpressionCase& c : kExpressions) {
    SCOPED_TRACE(c.text);
    EXPECT_NEAR(EvaluateMacroExpression(c.text, c.dialect), c.value, 1e-12);
  }
}

TEST(MacroExpressionTest, FaultsAreNamed) {
  const std::pair<std::string, const char*> kFaults[] = {
      {"1/0", "divides by zero"},
      {"5 MOD 0", "division by zero"},
      {"FOO[1]", "calls the unknown function 'FOO'"},
      {"SQRT[-4]", "square root of the negative number -4"},
      {"ACOS[2]", "outside -1 to 1"},
      {"LN[0]", "not above zero"},
      {"[1+2", "lacks a closing ']'"},
      {"SIN 30", "gives the function SIN no '[' argument"},
      {"1+", "ends where a value should come"},
      {"[-8]**[0.5]", "negative number to a fractional power"},
      {"1]+2", "goes on after its end: ']+2'"},
      {"10**400", "too large to hold"},
      {std::string(300, '['), "nests brackets, signs or functions too deep"},
  };
  for (const auto& [text, message] : kFaults) {
    SCOPED_TRACE(text);
    EXPECT_THAT([&] { EvaluateMacroExpression(text, kLinuxCnc); },
                testing::ThrowsMessage<Error>(HasSubstr(message)));
  }
}

ReaderOptions Options(std::vector<MacroPreset> presets = {}) {
  ReaderOptions options;
  options.penUp = 1;
  options.penDown = -1;
  options.variables = std::move(presets);
  options.macroLimits.blocks = 20'000;
  return options;
}

// The X of every move's end, in order; programs start from the plane's origin.
std::vector<double> EndsAlongX(const std::string& program, const ReaderOptions& options) {
  std::vector<double> ends;
  ReadProgram("G00 X0 Y0 Z1\n" + program, "p.nc", options,
              [&](const ProgramMove& move) { ends.push_back(move.to.x); });
  return ends;
}

struct FlowCase {
  const char* name;
  const char* program;
  std::vector<double> ends;
};

const FlowCase kFlows[] = {
    {"WhileDo", "#1=1\nWHILE [#1 LE 3] DO1\nG01 X#1 F100\n#1=#1+1\nEND1\nM30", {1, 2, 3}},
    {"NestedWhileDo",
     "#1=0\nWHILE[#1LT2]DO1\n#2=0\nWHILE[#2LT2]DO2\nG01X[#1*10+#2]F10\n#2=#2+1\nEND2\n"
     "#1=#1+1\nEND1\nM30",
     {0, 1, 10, 11}},
    {"IfGotoBack", "#1=0\nN10 #1=#1+2\nG01 X#1 F100\nIF [#1 LT 6] GOTO10\nM30", {2, 4, 6}},
    {"GotoForward", "#1=1\nGOTO 20\nG01 X99 F10\nN20 G01 X#1 F10\nM30", {1}},
    {"IfThen", "#1=5\nIF [#1 GT 2] THEN #2=7\nIF [#1 GT 9] THEN #2=8\nG01 X#2 F10\nM30", {7}},
    {"M98RepeatsSharingLocals",
     "#1=0\nM98 P1000 L3\nG01 X[#1*10] F10\nM30\nO1000 (STEP)\n#1=#1+1\nG01 X#1\nM99",
     {1, 2, 3, 30}},
    {"M98CountInP", "O0001\n#1=2\nM98 P0021000\nM30\nO1000\nG01 X#1 F10\n#1=#1+1\nM99", {2, 3}},
    {"G65ArgumentsInOwnLocals",
     "#1=5\nG65 P2000 A2 B3 X4\nG01 X#1 F10\nM30\nO2000\nG01 X[#1*#2+#24] F10\nM99", {10, 5}},
    {"M99ReturnsToABlock", "M98 P1000\nG01 X1 F10\nN5 G01 X2 F10\nM30\nO1000\nN5 G01 X9 F10\nM99 P5",
     {9, 2}},
    {"FunctionsInWords", "G01 X[ROUND[SQRT[2]*100]] F10\nG01 X-#0\nM30", {141, 0}},
    {"MainEndsAtTheNextProgram", "#1=1\nG01 X#1 F10\nO2000\nG01 X50\nM99", {1}},
    {"LinuxCncWhile", "#<i>=0\no1 while [#<i> lt 3]\nG01 X#<i> F10\n#<i>=[#<i>+1]\no1 endwhile\nM2",
     {0, 1, 2}},
    {"LinuxCncIfElse",
     "o<f> sub\no2 if [#1 lt 0]\nG01 X-1 F10\no2 elseif [#1 eq 0]\nG01 X0 F10\no2 else\n"
     "G01 X1 F10\no2 endif\no<f> endsub\no<f> call [-5]\no<f> call [0]\no<f> call [5]\nM2",
     {-1, 0, 1}},
    {"LinuxCncDoBreakContinue",
     "#1=0\no3 do\n#1=[#1+1]\no4 if [#1 eq 2]\no3 continue\no4 endif\no5 if [#1 gt 4]\n"
     "o3 break\no5 endif\nG01 X#1 F10\no3 while [#1 lt 10]\nM2",
     {1, 3, 4}},
    {"LinuxCncReturnValue",
     "o<sq> sub\no<sq> return [#1*#1]\nG01 X99 F10\no<sq> endsub\no<sq> call [3]\n"
     "G01 X#<_value> F10\nM2",
     {9}},
    {"LinuxCncRepeat", "o6 repeat [3]\nG01 X[#1+1] F10\n#1=[#1+1]\no6 endrepeat\nM2", {1, 2, 3}},
    {"LinuxCncSettingsAfterTheLine", "#<a>=1\n#1=2 G01 X[#1+#<a>] F10\nG01 X#1\nM2", {1, 2}},
    {"LinuxCncNumberedSubAndLocals",
     "#1=7\no100 sub\n#1=[#1*2]\nG01 X#1 F10\no100 endsub\no100 call [4]\nG01 X#1\nM2",
     {8, 7}},
};

TEST(MacroProgramTest, ControlFlow) {
  for (const FlowCase& c : kFlows) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(EndsAlongX(c.program, Options()), testing::Pointwise(testing::DoubleNear(1e-9), c.ends));
  }
}

TEST(MacroProgramTest, KeptVariablesStartFromTheGivenValues) {
  const std::string program = "G01 X#500 F10\n#500=#500+1\nG01 X#500\nM30";
  EXPECT_THAT(EndsAlongX(program, Options({{500, 1041}})), testing::ElementsAre(1041, 1042));
  EXPECT_THAT(EndsAlongX(program, Options()), testing::ElementsAre(0, 1));
  EXPECT_THAT([&] { EndsAlongX(program, Options({{5, 1}})); },
              testing::ThrowsMessage<Error>(
                  HasSubstr("The variable #5 cannot be given to the program 'p.nc'")));
  EXPECT_THAT(EndsAlongX("G01 X#3001 F10\n#3001=0\no1 if [1]\no1 endif\nM2", Options({{3001, 4}})),
              testing::ElementsAre(4));
}

// Without o-words or named parameters, the file's ending tells LinuxCNC's parameters (#31 and up,
// FIX rounding down) from the controls' variables.
TEST(MacroProgramTest, DialectOfNumberedParametersAlone) {
  const std::string program = "G00 X0 Y0 Z1\n#50=FIX[-1.5]\nG01 X#50 F10\nM2\n";
  std::vector<double> ends;
  ReadProgram(program, "p.ngc", Options(), [&](const ProgramMove& m) { ends.push_back(m.to.x); });
  EXPECT_THAT(ends, testing::ElementsAre(-2));
  EXPECT_THAT([&] { ReadProgram(program, "p.nc", Options(), {}); },
              testing::ThrowsMessage<Error>(HasSubstr("sets the variable #50")));
}

// Plain lines before the first macro line are read as they come; the moves of the macro
// program follow, each naming the line of the file it is on, and the lines are counted once.
TEST(MacroProgramTest, MovesNameTheLinesOfTheFile) {
  std::vector<std::int64_t> lines;
  const ProgramSummary summary = ReadProgram(
      "G00 X0 Y0 Z1\nG01 X1 F10\n#1=0\nWHILE [#1 LT 2] DO1\nG01 X[#1+2]\n#1=#1+1\nEND1\nG01 X9\n"
      "M30\n",
      "p.nc", Options(), [&](const ProgramMove& move) { lines.push_back(move.line); });
  EXPECT_THAT(lines, testing::ElementsAre(2, 5, 5, 8));
  EXPECT_EQ(summary.lines, 9);
  EXPECT_EQ(summary.unreadLines, 0);
  const ProgramStats stats = StatsOfProgram("G00 X0 Y0 Z1\n#1=3\nG01 X#1 F10\nM30\n", "p.nc",
                                            Options());
  EXPECT_EQ(stats.moves, 1);
  EXPECT_NEAR(stats.travelLength, 3, 1e-12);
}

struct HostileCase {
  const char* name;
  const char* program;
  const char* message;
};

const HostileCase kHostile[] = {
    {"EndlessWhile", "WHILE [1 EQ 1] DO1\nG01 X1 F10\nEND1",
     "Line 4 of the program 'p.nc' cannot be run: the program has run 20000 blocks"},
    {"EndlessGoto", "#1=0\nN1 G01 X1 F10\nGOTO 1", "has run 20000 blocks, more than a program"},
    {"JumpBeforeTheMacroLines", "N1 G01 X1 F10\nGOTO 1",
     "jumps to the block N1, which its program does not hold from line 3 on, where its macro"},
    {"EndlessLinuxCncLoop", "o1 while [1]\no1 endwhile", "an endless loop?"},
    {"DeepRecursion", "M98 P1000\nM30\nO1000\nM98 P1000\nM99",
     "calls subprograms more than 64 deep"},
    {"DeepLinuxCncRecursion", "o<r> sub\no<r> call\no<r> endsub\no<r> call\nM2",
     "Line 3 of the program 'p.nc' calls subprograms more than 64 deep"},
    {"HugeVariable", "#99999999=1", "sets the variable #99999999, which this reader does not hold"},
    {"HugerVariable", "#[10**20]=1", "names a variable with a huge number"},
    {"SystemVariable", "G01 X#5021", "reads the variable #5021"},
    {"LinuxCncParameterOutOfRange", "#<a>=1\nG01 X#6000", "reads the parameter #6000"},
    {"UnsetNamedParameter", "G01 X#<nothing>", "reads the parameter #<NOTHING>, which is not set"},
    {"DivisionByZero", "#1=0\n#2=5/#1", "Line 3 of the program 'p.nc' divides by zero"},
    {"MissingLabel", "#1=1\nGOTO 99", "jumps to the block N99, which its program does not hold"},
    {"MissingLabelInIf", "IF [1 EQ 1] GOTO 7", "jumps to the block N7"},
    {"UnknownFunction", "#1=COT[1]", "calls the unknown function 'COT'"},
    {"UnclosedSub", "o<s> sub\nG01 X1", "Line 2 of the program 'p.nc' opens o<S> sub of line 2 "
                                        "that no endsub closes"},
    {"UnclosedWhile", "WHILE [1 EQ 1] DO1\nG01 X1", "opens WHILE .. DO 1 of line 2 that no END"},
    {"WrongEnd", "o1 while [1]\no2 endwhile", "does not close o1 while of line 2"},
    {"SubWithoutM99", "M98 P1000\nM30\nO1000\nG01 X1 F10",
     "ends the program inside the subprogram O1000 of line 4, which no M99 closes"},
    {"MissingProgram", "M98 P5", "calls the program O5, which the file does not hold"},
    {"MissingSub", "o<nope> call", "calls the subroutine 'NOPE', which the program does not define"},
    {"MissingWorkedOutSub", "#<n>=7\no[#<n>+1] call", "calls the subroutine '8', which the program does not define"},
    {"WorkedOutSubNoWholeNumber", "o[10**20] call", "calls a subroutine by a number that is no whole number"},
    {"Alarm", "#500=#500+1\nIF [#500 GT 3] THEN #3000=1 (SERIAL RUN ENDED)\nM30",
     "Line 3 of the program 'p.nc' stops with the alarm 1: SERIAL RUN ENDED"},
    {"HugeAlarmNumber", "#3000=[10*10**29] (TOO FAR)", "stops with the alarm 1E30: TOO FAR"},
    {"Abort", "#<a>=1\n(abort, past the last serial)", "stops the program: past the last serial"},
    {"BreakOutsideLoop", "o1 break", "has a break outside any structure of its label"},
    {"ReturnOutsideSub", "o<x> sub\no<x> endsub\no<x> return", "outside any structure"},
    {"UnclosedBracket", "G01 X[1+2 F10", "lacks a closing ']'"},
    {"IfWithoutGoto", "IF [1 EQ 1] X5", "lacks GOTO or THEN"},
};

TEST(MacroProgramTest, HostileProgramsAreRefusedByName) {
  for (const HostileCase& c : kHostile) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT([&] { EndsAlongX(c.program, Options({{500, 3}})); },
                testing::ThrowsMessage<Error>(HasSubstr(c.message)));
  }
}

// The default limits stop an endless loop too, in bounded time.
TEST(MacroProgramTest, DefaultLimitsStopAnEndlessLoop) {
  ReaderOptions options = Options();
  options.macroLimits = {};
  EXPECT_THAT([&] { EndsAlongX("N1 #1=#1+1\nGOTO 1", options); },
              testing::ThrowsMessage<Error>(HasSubstr("has run 5000000 blocks")));
}

TEST(MacroProgramTest, KeptTextIsBounded) {
  ReaderOptions options = Options();
  options.macroLimits.lines = 100;
  std::string program = "#1=1\n";
  for (int k = 0; k < 200; ++k) program += "G01 X1 F10\n";
  EXPECT_THAT([&] { EndsAlongX(program, options); },
              testing::ThrowsMessage<Error>(
                  HasSubstr("The program 'p.nc' holds macro statements and goes on for more than")));
}

}  // namespace
}  // namespace stylor
