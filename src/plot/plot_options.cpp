// Options of glotmark-plot: one table gives the parser and the help.
#include "plot/plot_options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>

namespace {

const char kUsage[] =
    "Usage: glotmark-plot [OPTIONS] SOUND -o FIGURE\n"
    "Draws the analysis of SOUND (the files glotmark wrote into PSO<base>/ beside it) as one\n"
    "figure of panels over a common time axis: the sound with the zones as shaded bands and the\n"
    "pitch marks as ticks coloured by kind, the f0 track, the voicing coefficient with its\n"
    "threshold, the voicing cut-off frequency, the epoch curve and the transient curve with its\n"
    "threshold. FIGURE's extension chooses the format: .png, .svg or .pdf.\n"
    "\n"
    "  -o, --output=FILE    figure to write (required)\n"
    "      --from=SECONDS   start of the time range (default 0)\n"
    "      --to=SECONDS     end of the time range (default: the end of the sound)\n"
    "      --panels=LIST    panels from top to bottom, comma-separated, among sound, f0,\n"
    "                       voicing, cutoff, epochs, transients (default: the sound and every\n"
    "                       panel whose file exists)\n"
    "      --width=MM       figure width in millimetres (default 85: one column of a paper)\n"
    "      --height=MM      figure height in millimetres (default: from the panels)\n"
    "      --dpi=N          resolution of a PNG, pixels per inch (default 300)\n"
    "      --font-size=PT   text size in points (default 7)\n"
    "      --title=TEXT     title above the panels (default: the sound's name and the range;\n"
    "                       an empty TEXT leaves it out)\n"
    "  -h, --help           print this help and exit\n"
    "  -V, --version        print the version and exit\n"
    "Exit status: 0 when the figure was written, 1 on any fault (nothing is then written).\n";

std::optional<double> number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<std::vector<Panel>> panel_list(const std::string& text) {
  static const std::pair<const char*, Panel> kNames[] = {
      {"sound", Panel::wave},    {"f0", Panel::f0},         {"voicing", Panel::voicing},
      {"cutoff", Panel::cutoff}, {"epochs", Panel::epochs}, {"transients", Panel::transients}};
  std::vector<Panel> out;
  std::stringstream ss(text);
  std::string name;
  while (std::getline(ss, name, ',')) {
    bool found = false;
    for (const auto& [n, p] : kNames) {
      if (name == n) {
        out.push_back(p);
        found = true;
      }
    }
    if (!found) return std::nullopt;
  }
  if (out.empty()) return std::nullopt;
  return out;
}

// A value option: its long name, short letter (0: none), what a bad value is told, and how it
// is stored; the setter returns false on a bad value.
struct ValueOption {
  const char* name;
  char letter;
  const char* expects;
  std::function<bool(PlotOptions&, const std::string&)> set;
};

const std::vector<ValueOption>& value_options() {
  static const std::vector<ValueOption> options = {
      {"output", 'o', "a file name",
       [](PlotOptions& o, const std::string& v) { return !(o.output = v).empty(); }},
      {"from", 0, "a time in seconds",
       [](PlotOptions& o, const std::string& v) { return (o.from = number(v)).has_value(); }},
      {"to", 0, "a time in seconds",
       [](PlotOptions& o, const std::string& v) { return (o.to = number(v)).has_value(); }},
      {"panels", 0, "a comma-separated list of sound, f0, voicing, cutoff, epochs, transients",
       [](PlotOptions& o, const std::string& v) { return (o.panels = panel_list(v)).has_value(); }},
      {"width", 0, "a width in millimetres, between 20 and 2000",
       [](PlotOptions& o, const std::string& v) {
         const auto n = number(v);
         return n && *n >= 20.0 && *n <= 2000.0 && ((o.style.width_mm = *n), true);
       }},
      {"height", 0, "a height in millimetres, between 20 and 2000",
       [](PlotOptions& o, const std::string& v) {
         const auto n = number(v);
         return n && *n >= 20.0 && *n <= 2000.0 && ((o.style.height_mm = *n), true);
       }},
      {"dpi", 0, "a resolution between 30 and 1200 pixels per inch",
       [](PlotOptions& o, const std::string& v) {
         const auto n = number(v);
         return n && *n >= 30.0 && *n <= 1200.0 && ((o.style.dpi = *n), true);
       }},
      {"font-size", 0, "a size between 3 and 30 points",
       [](PlotOptions& o, const std::string& v) {
         const auto n = number(v);
         return n && *n >= 3.0 && *n <= 30.0 && ((o.style.font_pt = *n), true);
       }},
      {"title", 0, "a text",
       [](PlotOptions& o, const std::string& v) { return (o.title = v), true; }},
  };
  return options;
}

const ValueOption* find_option(const std::string& arg, std::string& inline_value,
                               bool& has_inline) {
  has_inline = false;
  for (const auto& opt : value_options()) {
    const std::string long_name = std::string("--") + opt.name;
    if (arg == long_name) return &opt;
    if (arg.rfind(long_name + "=", 0) == 0) {
      inline_value = arg.substr(long_name.size() + 1);
      has_inline = true;
      return &opt;
    }
    if (opt.letter != 0 && arg.size() >= 2 && arg[0] == '-' && arg[1] == opt.letter) {
      if (arg.size() > 2) {
        inline_value = arg.substr(2);
        has_inline = true;
      }
      return &opt;
    }
  }
  return nullptr;
}

}  // namespace

const char* plot_usage() {
  return kUsage;
}

std::optional<PlotOptions> parse_plot_options(int argc, const char* const* argv,
                                              std::ostream& err) {
  PlotOptions o;
  const auto fail = [&](const std::string& text) {
    err << "glotmark-plot: " << text << "\nTry 'glotmark-plot --help' for more information.\n";
    return std::nullopt;
  };
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      if (!o.input.empty()) return fail("one sound at a time (" + o.input + ", then " + a + ")");
      o.input = a;
      continue;
    }
    if (a == "--") {
      options_done = true;
    } else if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "-V" || a == "--version") {
      o.version = true;
    } else {
      std::string value;
      bool has_inline = false;
      const ValueOption* opt = find_option(a, value, has_inline);
      if (opt == nullptr) return fail("unknown option " + a);
      if (!has_inline) {
        if (i + 1 >= argc) return fail(std::string("--") + opt->name + " needs a value");
        value = argv[++i];
      }
      if (!opt->set(o, value))
        return fail(std::string("--") + opt->name + " wants " + opt->expects + ", not '" + value +
                    "'");
    }
  }
  if (o.help || o.version) return o;
  if (o.input.empty()) return fail("no sound given");
  if (o.output.empty()) return fail("no figure given (-o FIGURE.png, .svg or .pdf)");
  return o;
}
