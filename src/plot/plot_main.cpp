// glotmark-plot: finds the sound and its analysis, checks the range, reads, draws.
#include "plot/plot_main.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "driver/resolve_input.h"
#include "plot/plot_error.h"
#include "plot/plot_options.h"
#include "plot/read_analysis.h"
#include "plot/read_sound_bins.h"

namespace {

// The input as a shell would need it in a suggested command.
std::string shell_word(const std::string& s) {
  if (s.find_first_of(" \t'\"\\$`!*?;&|<>()") == std::string::npos) return s;
  std::string out = "'";
  for (const char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string make_hint(const PlotOptions& o, const std::string& option) {
  return "glotmark -i " + shell_word(o.input) + " " + option;
}

std::string seconds(double t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", t);
  std::string s = buf;
  while (s.size() > 1 && s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

struct Located {
  std::string sound;  // path that opened
  std::string stem;   // output directory + base name
  std::string outdir;
  std::string file_name;
};

// The sound is looked for as glotmark looks for it (as given, under SFDIR, in the current
// directory), so that the figure shows the analysis glotmark wrote for the same argument.
Located locate(const PlotOptions& o) {
  const auto name = split_input(o.input);
  if (!name) throw PlotError("the sound " + o.input + " has no extension");
  const char* sfdir = std::getenv("SFDIR");
  const auto found =
      resolve_input(o.input, *name, sfdir != nullptr ? sfdir : "",
                    [](const std::string& p) { return access(p.c_str(), R_OK) == 0; });
  if (!found) throw PlotError("cannot find the sound " + o.input);
  return {found->path, found->outdir + name->base_name, found->outdir, name->file_name};
}

void set_range(const PlotOptions& o, PlotData& d) {
  d.from = o.from.value_or(0.0);
  d.to = o.to.value_or(d.duration);
  if (d.from < 0.0) throw PlotError("bad time range: --from " + seconds(d.from) + " is before 0");
  if (d.from >= d.duration)
    throw PlotError("bad time range: --from " + seconds(d.from) +
                    " is not before the end of the sound (" + seconds(d.duration) + " s)");
  if (d.to <= d.from)
    throw PlotError("bad time range: --to " + seconds(d.to) + " is not after --from " +
                    seconds(d.from));
  d.to = std::min(d.to, d.duration);
}

std::optional<Panel> panel_of(Item item) {
  switch (item) {
    case Item::f0:
      return Panel::f0;
    case Item::voicing:
      return Panel::voicing;
    case Item::cutoff:
      return Panel::cutoff;
    case Item::epochs:
      return Panel::epochs;
    case Item::transients:
      return Panel::transients;
    default:
      return std::nullopt;
  }
}

// The panels to draw and the items to read; a missing file the user asked for is an error,
// one of the default set a warning.
std::vector<Panel> choose(const PlotOptions& o, const Located& at, std::vector<ItemFile>& read) {
  const std::vector<ItemFile> items = analysis_files(at.stem);
  bool any = false;
  for (const ItemFile& it : items) any = any || analysis_file_exists(it.path);
  if (!any)
    throw PlotError("no analysis of " + o.input + " in " + at.outdir +
                    "; make it with: " + make_hint(o, "-M"));
  std::vector<Panel> panels = o.panels.value_or(std::vector<Panel>{Panel::wave});
  for (const ItemFile& it : items) {
    const auto p = panel_of(it.item);
    const bool asked = p && o.panels && std::find(panels.begin(), panels.end(), *p) != panels.end();
    const bool wanted = asked || !p || !o.panels;
    if (!wanted) continue;
    if (!analysis_file_exists(it.path)) {
      if (asked)
        throw PlotError("no " + it.what + " for " + o.input + " (" + it.path +
                        " is missing); make it with: " + make_hint(o, it.option));
      std::cerr << "glotmark-plot: warning: no " << it.what << " (" << it.path
                << " is missing); make it with: " << make_hint(o, it.option) << "\n";
      continue;
    }
    read.push_back(it);
    if (p && !o.panels) panels.push_back(*p);
  }
  return panels;
}

void plot(const PlotOptions& o) {
  const Located at = locate(o);
  PlotData d;
  const SoundInfo info = sound_info(at.sound);
  d.sr = info.sr;
  d.duration = static_cast<double>(info.samples - 1) / info.sr;
  if (info.samples < 2)
    throw PlotError("the sound " + o.input + " is too short to draw (one sample)");
  set_range(o, d);
  std::vector<ItemFile> read;
  const std::vector<Panel> panels = choose(o, at, read);
  FigureStyle style = o.style;
  style.title =
      o.title.value_or(at.file_name + "   " + seconds(d.from) + " \u2013 " + seconds(d.to) + " s");
  const int columns = plot_columns(style);
  d.wave = ColumnBins(d.from, d.to, columns);
  read_sound_bins(at.sound, *d.wave);
  for (const ItemFile& it : read) read_item(it, columns, d);
  draw_figure(d, panels, style, o.output);
}

}  // namespace

int plot_main(int argc, const char* const* argv) {
  const auto options = parse_plot_options(argc, argv, std::cerr);
  if (!options) return 1;
  if (options->help) {
    std::cout << plot_usage();
    return 0;
  }
  if (options->version) {
    std::cout << "glotmark-plot " << GLOTMARK_VERSION << "\n";
    return 0;
  }
  try {
    plot(*options);
  } catch (const PlotError& e) {
    std::cerr << "glotmark-plot: " << e.what() << "\n";
    return 1;
  } catch (const std::bad_alloc&) {
    std::cerr << "glotmark-plot: out of memory\n";
    return 1;
  }
  return 0;
}
