#include "convert/sound_context.h"

#include <audiofile.h>

#include <cmath>
#include <filesystem>

#include "audioview/audioview.h"
#include "lumbra/lumbra.h"

namespace {

namespace fs = std::filesystem;

// Rate and duration from a sound file's header; false when it does not open as a sound.
bool sound_header(const std::string& path, SoundContext& ctx) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  // A file that is not a sound is only a failed try here: no message from the library.
  const AFerrfunc previous = afSetErrorHandler(nullptr);
  AFfilehandle f = audioview::open_sound(path);
  afSetErrorHandler(previous);
  if (f == AF_NULL_FILEHANDLE) return false;
  const double rate = afGetRate(f, AF_DEFAULT_TRACK);
  const AFframecount frames = afGetFrameCount(f, AF_DEFAULT_TRACK);
  afCloseFile(f);
  if (!(rate > 0.0) || !std::isfinite(rate) || frames < 0) return false;
  ctx.rate_hz = rate;
  ctx.duration_s = static_cast<double>(frames) / rate;
  ctx.sound_path = path;
  return true;
}

// First value of name in the file's tables, empty when absent or unreadable.
std::string header_value(const std::string& path, const std::string& name) {
  try {
    SDIFEntity e;
    if (!e.OpenRead(path)) return {};
    for (std::size_t i = 0; i < e.GetNbNVT(); ++i) {
      if (e.GetNVT(i).HasName(name)) return e.GetNVT(i).GetValue(name);
    }
  } catch (const SDIFException&) {
  }
  return {};
}

// Sampling rate stored in the ITDS matrix of the first 1PSO frame.
std::optional<double> pso_rate(const std::string& path) {
  try {
    SDIFEntity e;
    e.ChangeSelection(":1PSO/ITDS");
    if (!e.OpenRead(path)) return std::nullopt;
    SDIFFrame f;
    while (!e.eof()) {
      if (e.ReadNextFrame(f) == 0) continue;
      const double r = f.GetMatrix(0).GetDouble(0, 0);
      if (r > 0.0 && std::isfinite(r)) return r;
      return std::nullopt;
    }
  } catch (const SDIFException&) {
  }
  return std::nullopt;
}

}  // namespace

AnalysisFolder analysis_folder(const std::string& path) {
  std::error_code ec;
  AnalysisFolder out;
  std::string name;
  if (fs::is_directory(path, ec)) {
    out.dir = path;
    if (!out.dir.empty() && out.dir.back() != '/') out.dir += '/';
    std::string d = out.dir.substr(0, out.dir.size() - 1);
    name = fs::path(d).filename().string();
    if (name.rfind("PSO", 0) == 0) out.base = name.substr(3);
    return out;
  }
  const auto slash = path.rfind('/');
  out.dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  name = slash == std::string::npos ? path : path.substr(slash + 1);
  // base.SIG.sdif
  if (name.size() > 10 && name.ends_with(".sdif") && name[name.size() - 10] == '.') {
    out.base = name.substr(0, name.size() - 10);
  }
  return out;
}

SoundContext sound_context(const std::string& path) {
  SoundContext ctx;
  const AnalysisFolder folder = analysis_folder(path);
  std::error_code ec;
  std::string header_file = path;
  if (fs::is_directory(path, ec)) {
    header_file.clear();
    for (const char* sig : {"1PSO", "1FQ0", "1MRK", "1VUT", "1VOI", "1ECS", "1VUN"}) {
      const std::string p = folder.dir + folder.base + "." + sig + ".sdif";
      if (fs::is_regular_file(p, ec)) {
        header_file = p;
        break;
      }
    }
  }
  const std::string sound = header_file.empty() ? "" : header_value(header_file, "FileName");
  if (!sound.empty()) {
    if (sound_header(sound, ctx)) return ctx;
    // The folder PSO<base>/ sits beside the sound.
    std::string parent = folder.dir.empty() ? "./" : folder.dir;
    parent = fs::path(parent.substr(0, parent.size() - 1)).parent_path().string();
    const std::string beside =
        (parent.empty() ? std::string() : parent + "/") + fs::path(sound).filename().string();
    if (sound_header(beside, ctx)) return ctx;
  }
  if (!folder.base.empty()) ctx.rate_hz = pso_rate(folder.dir + folder.base + ".1PSO.sdif");
  return ctx;
}
