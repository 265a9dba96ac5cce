// Listing of the sound files of a corpus folder or list file.
#include "corpus/list_sounds.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace corpus {
namespace {

namespace fs = std::filesystem;

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool has_sound_extension(const fs::path& p, const std::vector<std::string>& extensions) {
  const std::string ext = p.extension().string();
  if (ext.size() < 2) return false;
  return std::find(extensions.begin(), extensions.end(), lower(ext.substr(1))) != extensions.end();
}

bool list_folder(const fs::path& dir, const std::vector<std::string>& extensions,
                 const fs::path& exclude, std::vector<SoundEntry>& sounds,
                 std::vector<std::string>& warnings, std::string& err) {
  std::error_code ec;
  fs::recursive_directory_iterator it(dir, fs::directory_options::none, ec);
  if (ec) {
    err = "cannot read the folder " + dir.string() + ": " + ec.message();
    return false;
  }
  for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
    if (ec) {
      warnings.push_back("cannot read " + it->path().string() + ": " + ec.message());
      ec.clear();
      continue;
    }
    const fs::path& p = it->path();
    const std::string name = p.filename().string();
    const bool is_dir = it->is_directory(ec) && !it->is_symlink(ec);
    // Output trees of corpus runs hold links to the sounds of their corpus: never list those.
    const bool output_tree = is_dir && (p == exclude || fs::exists(p / ".glotmark-corpus", ec));
    if (name.empty() || name[0] == '.' || output_tree) {
      if (is_dir) it.disable_recursion_pending();
      continue;
    }
    if (is_dir || !has_sound_extension(p, extensions)) continue;
    if (!it->is_regular_file(ec) && !it->is_symlink(ec)) continue;
    sounds.push_back({p.lexically_relative(dir).generic_string(), p.string(), ""});
  }
  return true;
}

// Deepest folder holding every path of paths (all absolute and normal).
fs::path common_folder(const std::vector<fs::path>& paths) {
  fs::path common = paths.front().parent_path();
  for (const auto& p : paths) {
    while (!common.empty() && common != common.root_path()) {
      const auto rel = p.parent_path().lexically_relative(common);
      if (!rel.empty() && *rel.begin() != "..") break;
      common = common.parent_path();
    }
  }
  return common;
}

bool list_file(const fs::path& list, const std::string& root, std::vector<SoundEntry>& sounds,
               std::string& err) {
  std::ifstream in(list);
  if (!in) {
    err = "cannot read the list file " + list.string();
    return false;
  }
  std::vector<fs::path> paths;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    paths.push_back(fs::absolute(line).lexically_normal());
  }
  if (paths.empty()) return true;
  const fs::path base = root.empty() ? common_folder(paths) : fs::absolute(root).lexically_normal();
  for (const auto& p : paths) {
    const fs::path rel = p.lexically_relative(base);
    if (rel.empty() || *rel.begin() == ".." || rel == ".") {
      err = "listed file " + p.string() + " is not under " + base.string();
      return false;
    }
    sounds.push_back({rel.generic_string(), p.string(), ""});
  }
  return true;
}

// glotmark puts the results of dir/name.ext into dir/PSOname/: two sounds of one folder with
// the same name before the extension would overwrite each other's results.
void refuse_shared_result_folders(std::vector<SoundEntry>& sounds) {
  std::map<std::string, std::string> owner;  // dir + "PSO" + base -> rel of the first sound
  for (auto& s : sounds) {
    const fs::path rel(s.rel);
    const std::string key = (rel.parent_path() / ("PSO" + rel.stem().string())).generic_string();
    const auto [it, fresh] = owner.emplace(key, s.rel);
    if (!fresh) s.refused = "not analysed: its results would overwrite those of " + it->second;
  }
}

}  // namespace

bool list_sounds(const std::string& corpus, const std::vector<std::string>& extensions,
                 const std::string& root, const std::string& exclude,
                 std::vector<SoundEntry>& sounds, std::vector<std::string>& warnings,
                 std::string& err) {
  std::error_code ec;
  const fs::path where = fs::absolute(corpus).lexically_normal();
  const auto status = fs::status(where, ec);
  if (ec || !fs::exists(status)) {
    err = "the corpus " + corpus + " does not exist";
    return false;
  }
  sounds.clear();
  bool ok = true;
  if (fs::is_directory(status)) {
    ok = list_folder(where, extensions, exclude, sounds, warnings, err);
  } else if (has_sound_extension(where, extensions)) {
    sounds.push_back({where.filename().string(), where.string(), ""});  // one sound, not a list
  } else {
    ok = list_file(where, root, sounds, err);
  }
  if (!ok) return false;
  for (auto& s : sounds) {
    if (fs::path(s.source).is_relative()) s.source = fs::absolute(s.source).string();
  }
  std::sort(sounds.begin(), sounds.end(),
            [](const SoundEntry& a, const SoundEntry& b) { return a.rel < b.rel; });
  sounds.erase(std::unique(sounds.begin(), sounds.end(),
                           [](const SoundEntry& a, const SoundEntry& b) { return a.rel == b.rel; }),
               sounds.end());
  refuse_shared_result_folders(sounds);
  return true;
}

}  // namespace corpus
