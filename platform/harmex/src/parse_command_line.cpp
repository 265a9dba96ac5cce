// The command line harmex is run with.
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "harmex/harmex.h"

namespace harmex {

const char* usage() {
  return "usage: harmex -Af0 -S<sound file> [--f0min=<Hz>] [--f0max=<Hz>] [-M<samples>]\n"
         "              [--f0ana=<Hz>] <output.sdif>\n"
         "Estimates the fundamental frequency of the sound every 5 ms and writes it as an SDIF\n"
         "file of 1FQ0 frames (f0 in Hz; unvoiced stretches interpolated between their voiced\n"
         "neighbours, 0 everywhere when nothing is voiced).\n"
         "  -Af0            f0 analysis (the only analysis)\n"
         "  -S<path>        sound file, any format the audio file library reads\n"
         "  --f0min=<Hz>    lowest f0 searched (default 50, at least 10)\n"
         "  --f0max=<Hz>    highest f0 searched (default 1000)\n"
         "  -M<samples>     analysis window length in samples (default: the larger of 20 ms\n"
         "                  and 4 periods of f0min)\n"
         "  --f0ana=<Hz>    highest frequency analysed (default 2.5 f0max, at most the rate)\n"
         "  -h, --help      print this help\n"
         "  -V, --version   print the version\n"
         "Exit status: 0 written, 1 failure (nothing written), 2 bad command line.\n";
}

Request parse_command_line(int argc, const char* const* argv) {
  Request req;
  bool seen_a = false, seen_s = false, seen_min = false, seen_max = false, seen_m = false,
       seen_ana = false, options_done = false;
  int outputs = 0;
  auto number = [](std::string_view name, const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (text.empty() || end != begin + text.size() || !std::isfinite(v)) {
      throw UsageError{std::string(name) + " needs a number, not '" + text + "'"};
    }
    return v;
  };
  auto once = [](bool& seen, std::string_view name) {
    if (seen) throw UsageError{std::string(name) + " given more than once"};
    seen = true;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    // Value glued to the option ("-S/a.wav", "--f0min=50") or in the next argument.
    auto value = [&](std::string_view name, std::size_t glued_at) {
      if (arg.size() > glued_at) return arg.substr(glued_at);
      if (i + 1 >= argc) throw UsageError{std::string(name) + " needs a value"};
      return std::string(argv[++i]);
    };
    auto long_value = [&](std::string_view name) {
      if (arg.size() > name.size()) {
        if (arg[name.size()] != '=') throw UsageError{"unknown option '" + arg + "'"};
        return arg.substr(name.size() + 1);
      }
      if (i + 1 >= argc) throw UsageError{std::string(name) + " needs a value"};
      return std::string(argv[++i]);
    };
    auto is_long = [&](std::string_view name) {
      return arg.compare(0, name.size(), name) == 0 &&
             (arg.size() == name.size() || arg[name.size()] == '=');
    };
    if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
      ++outputs;
      req.output_path = arg;
      continue;
    }
    if (arg == "--") {
      options_done = true;
    } else if (arg == "-h" || arg == "--help") {
      req.help = true;
    } else if (arg == "-V" || arg == "--version") {
      req.version = true;
    } else if (arg.compare(0, 2, "-A") == 0) {
      once(seen_a, "-A");
      const std::string kind = value("-A", 2);
      if (kind != "f0") throw UsageError{"unknown analysis '" + kind + "' (only -Af0)"};
    } else if (arg.compare(0, 2, "-S") == 0) {
      once(seen_s, "-S");
      req.sound_path = value("-S", 2);
      if (req.sound_path.empty()) throw UsageError{"-S needs a sound file path"};
    } else if (arg.compare(0, 2, "-M") == 0) {
      once(seen_m, "-M");
      req.options.window_samples = number("-M", value("-M", 2));
      if (!(req.options.window_samples >= 1.0)) {
        throw UsageError{"-M must be a window length of at least one sample", false};
      }
    } else if (is_long("--f0min")) {
      once(seen_min, "--f0min");
      req.options.f0min_hz = number("--f0min", long_value("--f0min"));
    } else if (is_long("--f0max")) {
      once(seen_max, "--f0max");
      req.options.f0max_hz = number("--f0max", long_value("--f0max"));
    } else if (is_long("--f0ana")) {
      once(seen_ana, "--f0ana");
      req.options.f0ana_hz = number("--f0ana", long_value("--f0ana"));
      if (!(req.options.f0ana_hz > 0.0)) throw UsageError{"--f0ana must be above 0 Hz", false};
    } else {
      throw UsageError{"unknown option '" + arg + "'"};
    }
  }
  if (req.help || req.version) return req;
  if (!seen_a) throw UsageError{"missing -Af0"};
  if (!seen_s) throw UsageError{"missing -S<sound file>"};
  if (outputs == 0) throw UsageError{"missing the output file path"};
  if (outputs > 1) {
    throw UsageError{"expected one output file path, got " + std::to_string(outputs) +
                     " (is there a blank in the sound path?)"};
  }
  if (!(req.options.f0min_hz >= 10.0)) throw UsageError{"--f0min must be at least 10 Hz", false};
  if (!(req.options.f0max_hz > req.options.f0min_hz)) {
    throw UsageError{"--f0max must be above --f0min", false};
  }
  return req;
}

}  // namespace harmex
