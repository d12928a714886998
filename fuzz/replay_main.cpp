// Runs a fuzz target's entry point once over every file named on the command line (a folder
// stands for the files in it), without libFuzzer: ctest replays the seeds and every input that
// once found a fault through the ordinary build, so a fuzz find stays a test. A target's own
// check ends the process with abort(), which fails the test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& named) {
  if (!std::filesystem::is_directory(named)) return {named};
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(named)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int arg = 1; arg < argc; ++arg) {
    for (const std::filesystem::path& input : InputsOf(argv[arg])) {
      std::ifstream file(input, std::ios::binary);
      if (!file) {
        std::fprintf(stderr, "cannot read %s\n", input.c_str());
        return 1;
      }
      const std::string bytes{std::istreambuf_iterator<char>(file), {}};
      std::fprintf(stderr, "replaying %s\n", input.c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::fprintf(stderr, "%zu inputs replayed\n", replayed);
  return replayed == 0 ? 1 : 0;
}
