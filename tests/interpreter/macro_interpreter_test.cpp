// Hand-written programs in LinuxCNC's macro dialect (loops, subroutines with arguments, if and
// else, numbered and named parameters, trigonometry), run by LinuxCNC's rs274 and by Stylor's
// program reader: both must make the same moves, move for move.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "preview/program_reader.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;

// rs274 keeps its tool table in $HOME/.tool.mmap, truncated and mapped shared by every run: two
// runs at once (ctest runs tests side by side) would end one with a bus error. Each run here is
// given its own folder as HOME.
const fs::path kInterpreter = fs::path(STYLOR_SOURCE_DIR) / ".cache" / "linuxcnc-uspace";

// The end of a move: X, Y, Z, and whether it is fed.
struct End {
  bool fed = false;
  std::array<double, 3> at{};
};

// The ends of rs274's straight and arc moves, in program order.
std::vector<End> ReadCanon(const fs::path& file) {
  std::vector<End> ends;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    const bool traverse = line.find("STRAIGHT_TRAVERSE(") != std::string::npos;
    const bool feed = line.find("STRAIGHT_FEED(") != std::string::npos;
    const bool arc = line.find("ARC_FEED(") != std::string::npos;
    if (!traverse && !feed && !arc) continue;
    std::string numbers = line.substr(line.find('(') + 1);
    numbers = numbers.substr(0, numbers.find(')'));
    std::replace(numbers.begin(), numbers.end(), ',', ' ');
    std::istringstream values(numbers);
    std::vector<double> v;
    for (double x = 0; values >> x;) v.push_back(x);
    End end;
    end.fed = !traverse;
    // ARC_FEED(first end, second end, first centre, second centre, turn, axis end, ...)
    end.at = arc ? std::array<double, 3>{v[0], v[1], v[5]} : std::array<double, 3>{v[0], v[1], v[2]};
    ends.push_back(end);
  }
  return ends;
}

struct Case {
  const char* name;
  const char* program;
  int preset = 0;  // a parameter that the parameter file and the reader's options give
  double presetValue = 0;
};

const Case kCases[] = {
    {"LoopWithTrigonometry", R"(G21 G90 G17
G0 X0 Y0 Z5
#<r> = 10
#<i> = 0
o10 while [#<i> LE 12]
  #<a> = [#<i> * 30 + 7.5]
  G1 X[#<r> * COS[#<a>]] Y[#<r> * SIN[#<a>]] Z[-1 - #<i> / 10] F300
  #<i> = [#<i> + 1]
o10 endwhile
G0 Z5
M2
)"},
    {"SubroutinesWithArgumentsAndReturn", R"(o<rect> sub
  (#1 x, #2 y, #3 width, #4 height)
  G0 X#1 Y#2
  G1 Z-0.5 F100
  G1 X[#1+#3]
  G1 Y[#2+#4]
  G1 X#1
  G1 Y#2
  G0 Z2
o<rect> endsub
o<hyp> sub
  o<hyp> return [SQRT[#1**2 + #2**2]]
o<hyp> endsub
G0 X0 Y0 Z2
o<rect> call [1] [2] [3] [4]
o<hyp> call [3] [4]
o<rect> call [#<_value>] [0] [1.5] [ATAN[1]/[2]]
o<Rect> call [-2] [-3] [TAN[20]] [ASIN[0.5] / 10]
M2
)"},
    {"IfElseDoRepeat", R"(G0 X0 Y0 Z1
#100 = 10
o4 do
  G1 X[#100 / 2] F200
  #100 = [#100 - 2]
o4 while [#100 GT 0]
o1 while [#100 LT 20]
  #100 = [#100 + 1]
  o2 if [#100 MOD 3 EQ 0]
    o1 continue
  o2 elseif [#100 GT 8]
    o1 break
  o2 else
    G1 X#100 Y[#100 ** 2 / 10] F200
  o2 endif
o1 endwhile
o3 repeat [3]
  #101 = [#101 + 0.5]
  G1 Y[FIX[#101 * 3] + FUP[0.2] + ROUND[1.5] + ABS[-0.25]]
  G1 X[-7 MOD 3] Z[[1 EQ 1.00001] + [2 GT 1 AND 0 LT 1]]
o3 endrepeat
M2
)"},
    {"NumberedSubAndKeptParameter", R"(o200 sub
  #<_count> = [#<_count> + 1]
  G1 X[#1 * #<_count>] Y#500 F100
  o201 if [#<_count> GE 2]
    o200 return
  o201 endif
  G1 Z-1
o200 endsub
G0 X0 Y0 Z0
#<_count> = 0
o200 call [2]
o200 call [3]
#500 = [#500 + 1]
G1 Y#500
#1 = 4
#1 = 5 G1 X#1
G1 X#1
M2
)",
     500, 41},
    {"ArcsInALoop", R"(G0 X0 Y0 Z0
#1 = 0
o5 while [#1 LT 4]
  G2 X[#1 * 5 + 5] Y0 I2.5 J0 F100
  G3 X[#1 * 5 + 5] Y[5] R[2.5 + #1] Z[-#1]
  G0 Y0
  #1 = [#1 + 1]
o5 endwhile
M2
)"},
};

class MacroInterpreterTest : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!fs::exists(kInterpreter / "usr" / "bin" / "rs274")) {
      GTEST_SKIP() << "LinuxCNC's rs274 is not unpacked in " << kInterpreter
                   << ": scripts/setup unpacks the package linuxcnc-uspace there";
    }
    folder.Write("empty.tbl", "");
  }

  std::vector<End> Interpret(const Case& c) {
    const fs::path program = folder.Write("p.ngc", c.program);
    std::string parameters;
    if (c.preset != 0) {
      parameters = std::to_string(c.preset) + "\t" + std::to_string(c.presetValue) + "\n";
    }
    folder.Write("p.var", parameters);
    const std::string command =
        "cd '" + folder.Path().string() + "' && HOME=\"$PWD\" LD_LIBRARY_PATH='" +
        (kInterpreter / "usr" / "lib").string() + "' '" +
        (kInterpreter / "usr" / "bin" / "rs274").string() +
        "' -v p.var -t empty.tbl p.ngc p.canon < /dev/null > p.log 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream logFile(folder.Path() / "p.log");
    const std::string logText((std::istreambuf_iterator<char>(logFile)), {});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "rs274 reports:\n" << logText;
    return ReadCanon(folder.Path() / "p.canon");
  }

  test::TempFolder folder{"stylor-macro-rs274"};
};

TEST_P(MacroInterpreterTest, ReaderMakesTheMovesOfRs274) {
  const Case& c = GetParam();
  std::vector<End> expected = Interpret(c);
  ASSERT_FALSE(expected.empty());
  // rs274 starts at the origin; the reader only learns where the tool is from the first move.
  expected.erase(expected.begin());

  ReaderOptions options;
  options.penUp = 1;
  options.penDown = -1;
  if (c.preset != 0) options.variables = {{c.preset, c.presetValue}};
  std::vector<End> read;
  ReadProgram(c.program, "p.ngc", options, [&](const ProgramMove& move) {
    read.push_back({move.fed, {move.to.x, move.to.y, move.toLevel}});
  });
  ASSERT_EQ(read.size(), expected.size());
  for (std::size_t k = 0; k < read.size(); ++k) {
    SCOPED_TRACE("move " + std::to_string(k));
    EXPECT_EQ(read[k].fed, expected[k].fed);
    for (int axis = 0; axis < 3; ++axis) {
      // rs274 writes four decimals.
      EXPECT_NEAR(read[k].at[static_cast<std::size_t>(axis)],
                  expected[k].at[static_cast<std::size_t>(axis)], 1e-4 + 5e-5);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, MacroInterpreterTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace stylor
