#include <filesystem>

#include "psola/analysis_paths.h"
#include "psola/psola_types.h"

std::string find_pso(const std::string& path, const std::string& sound) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::is_regular_file(path, ec)) return path;
  if (!fs::is_directory(path, ec)) throw PsolaError("no analysis folder or file " + path);
  const std::string own = pso_file(path, sound);
  if (fs::exists(own, ec)) return own;
  std::string found;
  for (const auto& e : fs::directory_iterator(path, ec)) {
    const std::string name = e.path().filename().string();
    const std::string suffix = ".1PSO.sdif";
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    if (!found.empty()) {
      throw PsolaError("the folder " + path + " holds several 1PSO files and none named " + own);
    }
    found = e.path().string();
  }
  if (found.empty()) throw PsolaError("the folder " + path + " holds no 1PSO file");
  return found;
}
