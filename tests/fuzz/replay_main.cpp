// Stand-alone driver of a fuzz harness, for builds without libFuzzer: runs
// LLVMFuzzerTestOneInput once on every file given and on every file of every folder given
// (sorted by name), then prints how many inputs it ran. A missing path or no input at all is an
// error (status 2): a replay that silently runs nothing would always pass. A finding stops the
// run with the harness's abort or the sanitizer's report.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> inputs_of(const fs::path& arg) {
  std::vector<fs::path> files;
  if (fs::is_directory(arg)) {
    for (const fs::directory_entry& e : fs::directory_iterator(arg)) {
      if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
  } else if (fs::is_regular_file(arg)) {
    files.push_back(arg);
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    if (!fs::exists(argv[i])) {
      std::fprintf(stderr, "replay: %s: no such file or folder\n", argv[i]);
      return 2;
    }
    for (const fs::path& file : inputs_of(argv[i])) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
      if (!in.eof() && in.fail()) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return 2;
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++runs;
    }
  }
  if (runs == 0) {
    std::fprintf(stderr, "replay: no input given\n");
    return 2;
  }
  std::printf("replay: %zu inputs ran\n", runs);
  return 0;
}
