// The mirror tree of links.
#include "corpus/make_mirror.h"

#include <filesystem>

#include "corpus/analyse_one.h"
#include "corpus/run_state.h"

namespace corpus {
namespace {

namespace fs = std::filesystem;

// Links one sound; "" or the reason why it cannot be.
std::string link_one(const std::string& out, const SoundEntry& s) {
  const fs::path link = link_path(out, s.rel);
  std::error_code ec;
  fs::create_directories(link.parent_path(), ec);
  if (ec) return "not analysed: cannot create " + link.parent_path().string() + ": " + ec.message();
  const auto st = fs::symlink_status(link, ec);
  if (fs::is_symlink(st)) {
    if (fs::read_symlink(link, ec) == fs::path(s.source)) return "";
    fs::remove(row_path(out, s.rel), ec);
    remove_results((link.parent_path() / ("PSO" + link.stem().string())).string(),
                   link.stem().string());
    fs::remove(link, ec);
  } else if (fs::exists(st)) {
    return "not analysed: " + link.string() + " exists and is not a link (left as it is)";
  }
  fs::create_symlink(s.source, link, ec);
  if (ec) return "not analysed: cannot create the link " + link.string() + ": " + ec.message();
  return "";
}

}  // namespace

void make_mirror(const std::string& out, std::vector<SoundEntry>& sounds) {
  for (auto& s : sounds) {
    if (s.refused.empty()) s.refused = link_one(out, s);
  }
}

}  // namespace corpus
