// Stands in for libFuzzer: feeds the files given and every file of the folders given (in name
// order) to the target once, so that kept inputs are replayed by CTest in builds without
// libFuzzer. A folder that does not exist holds nothing, but finding no input at all fails; a
// check that fails or a sanitizer report ends the program.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_regular_file(argv[i], ec)) inputs.push_back(argv[i]);
    for (const auto& entry : fs::directory_iterator(argv[i], ec))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& input : inputs) {
    // Named first: a crash report does not say which input it came from.
    std::fprintf(stderr, "%s\n", input.c_str());
    std::ifstream in(input, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "cannot read %s\n", input.c_str());
      return 1;
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  // Folders that were meant to hold the seeds but hold nothing would test nothing.
  return inputs.empty() ? 1 : 0;
}
