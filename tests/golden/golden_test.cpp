// Whole stylor-cli runs over a few hundred settings, every job, mode, head, feed mode, append
// chain and refusal, compared byte for byte with the outputs kept in expected/. Any change to
// a program file shows here. After a deliberate change of output, rerun with
// STYLOR_GOLDEN_UPDATE=1 and read the diff of expected/ before committing it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ui/cli/command_line.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = STYLOR_GOLDEN_DIR;
const fs::path kFontDir = fs::path(STYLOR_SOURCE_DIR) / "fonts";

struct Seed {
  std::string name;
  std::string bytes;
};

struct GoldenCase {
  std::string name;
  std::vector<Seed> seeds;
  std::vector<std::string> args;
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string Unescape(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      plain += text[i + 1] == 'n' ? '\n' : text[i + 1];
      ++i;
    } else {
      plain += text[i];
    }
  }
  return plain;
}

std::vector<GoldenCase> LoadCases() {
  std::ifstream in(kGoldenDir / "cases.txt");
  std::vector<GoldenCase> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("case ", 0) == 0) {
      cases.push_back({line.substr(5), {}, {}});
    } else if (line.rfind("seed ", 0) == 0) {
      const std::size_t blank = line.find(' ', 5);
      cases.back().seeds.push_back({line.substr(5, blank - 5), Unescape(line.substr(blank + 1))});
    } else if (line != "end" && !line.empty() && line[0] != '#') {
      cases.back().args.push_back(Unescape(line));
    }
  }
  return cases;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

void AppendPart(std::string& out, const std::string& title, const std::string& bytes) {
  out += title + " " + std::to_string(bytes.size()) + "\n" + bytes + "\n";
}

// Runs one case in a fresh folder and returns everything it produced: exit status, both
// streams, and every file of the folder but the start-up font, by name.
std::string RunCase(const GoldenCase& golden) {
  std::string pattern = (fs::temp_directory_path() / "stylor-golden-XXXXXX").string();
  const fs::path work = mkdtemp(pattern.data());
  fs::copy_file(kFontDir / "BasicFont.fnt", work / "BasicFont.fnt");
  for (const Seed& seed : golden.seeds) std::ofstream(work / seed.name, std::ios::binary) << seed.bytes;

  std::vector<std::string> args = {"--dir", work.string()};
  for (std::string arg : golden.args) {
    if (arg.rfind("@", 0) == 0) arg = work.string() + arg.substr(1);
    ReplaceAll(arg, "$FONTS", kFontDir.string());
    args.push_back(arg);
  }
  std::ostringstream out, err;
  const int status = RunCommandLine(args, out, err);

  std::string result = "status " + std::to_string(status) + "\n";
  AppendPart(result, "stdout", out.str());
  AppendPart(result, "stderr", err.str());
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(work)) {
    if (entry.is_regular_file() && entry.path().filename() != "BasicFont.fnt") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    AppendPart(result, "file " + fs::relative(file, work).string(), ReadBytes(file));
  }
  fs::remove_all(work);
  // Messages and machine files name the folder of the run, which differs every time.
  ReplaceAll(result, work.string(), "@");
  return result;
}

// The first line where two outputs part, for a message that can be read.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  std::istringstream a(expected), b(actual);
  std::string lineA, lineB;
  for (int number = 1;; ++number) {
    const bool moreA = static_cast<bool>(std::getline(a, lineA));
    const bool moreB = static_cast<bool>(std::getline(b, lineB));
    if (!moreA && !moreB) return "same lines";
    if (!moreA || !moreB || lineA != lineB) {
      return "line " + std::to_string(number) + ": expected '" + (moreA ? lineA : "<end>") +
             "', got '" + (moreB ? lineB : "<end>") + "'";
    }
  }
}

TEST(GoldenPrograms, EveryCaseWritesTheKeptBytes) {
  const std::vector<GoldenCase> cases = LoadCases();
  ASSERT_GT(cases.size(), 300u);
  const bool update = std::getenv("STYLOR_GOLDEN_UPDATE") != nullptr;
  for (const GoldenCase& golden : cases) {
    SCOPED_TRACE(golden.name);
    const std::string actual = RunCase(golden);
    const fs::path kept = kGoldenDir / "expected" / (golden.name + ".out");
    if (update) {
      std::ofstream(kept, std::ios::binary) << actual;
      continue;
    }
    ASSERT_TRUE(fs::exists(kept)) << kept;
    const std::string expected = ReadBytes(kept);
    EXPECT_TRUE(expected == actual) << FirstDifference(expected, actual);
  }
}

}  // namespace
}  // namespace stylor
