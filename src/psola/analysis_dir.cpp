#include "psola/analysis_paths.h"

namespace {

struct Parts {
  std::string dir, base;  // directory part (ending in "/" or empty), name without extension
  bool ok = false;
};

Parts parts_of(const std::string& sound) {
  const std::size_t slash = sound.rfind('/');
  const std::string name = slash == std::string::npos ? sound : sound.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  Parts p;
  if (dot == std::string::npos) return p;
  p.dir = slash == std::string::npos ? "" : sound.substr(0, slash + 1);
  p.base = name.substr(0, dot);
  p.ok = true;
  return p;
}

}  // namespace

std::string analysis_dir(const std::string& sound) {
  const Parts p = parts_of(sound);
  return p.ok ? p.dir + "PSO" + p.base + "/" : "";
}

std::string pso_file(const std::string& dir, const std::string& sound) {
  const Parts p = parts_of(sound);
  std::string d = dir;
  if (!d.empty() && d.back() != '/') d += '/';
  return d + p.base + ".1PSO.sdif";
}
