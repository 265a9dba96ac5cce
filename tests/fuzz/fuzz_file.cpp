#include "fuzz_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

namespace {

// The directory of this process, removed with everything in it at exit.
class ProcessDir {
 public:
  ProcessDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/glotmark-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) fuzz_fail("cannot make a directory from " + pattern);
    path_ = buf.data();
  }
  ProcessDir(const ProcessDir&) = delete;
  ProcessDir& operator=(const ProcessDir&) = delete;
  ~ProcessDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

const std::string& fuzz_file(const std::uint8_t* data, std::size_t size, const std::string& name) {
  static ProcessDir dir;
  static std::map<std::string, std::string> paths;
  auto [it, added] = paths.try_emplace(name, dir.path() + "/" + name);
  std::ofstream out(it->second, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) fuzz_fail("cannot write " + it->second);
  return it->second;
}

void fuzz_fail(const std::string& text) {
  std::fprintf(stderr, "fuzz harness: %s\n", text.c_str());
  std::fflush(stderr);
  std::abort();
}
