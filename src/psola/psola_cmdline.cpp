#include "psola/psola_cmdline.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "psola/read_curve.h"

namespace {

struct Row {
  const char* name;   // long option without "--"
  const char* value;  // metavariable, null for a switch
  const char* help;   // one line or more, already wrapped
  std::function<void(PsolaCommand&, const std::string&)> set;
};

double number(const std::string& option, const std::string& text, double lo, double hi) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v)) {
    throw PsolaError("--" + option + ": '" + text + "' is not a number");
  }
  if (v < lo || v > hi) {
    std::ostringstream s;
    s << "--" << option << "=" << text << " is out of range: it must lie in [" << lo << ", " << hi
      << "]";
    throw PsolaError(s.str());
  }
  return v;
}

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      {"pitch", "K", "multiply f0 by K, 0.25 to 4 (default 1)",
       [](PsolaCommand& c, const std::string& v) {
         c.settings.pitch = number("pitch", v, kMinFactor, kMaxFactor);
       }},
      {"pitch-curve", "FILE",
       "f0 factor over time: lines \"time factor\" (input seconds), linear between\n"
       "points, constant outside; multiplies --pitch",
       [](PsolaCommand& c, const std::string& v) {
         c.settings.pitch_curve = read_curve(v, kMinFactor, kMaxFactor);
       }},
      {"time", "R", "multiply the duration by R, 0.25 to 4 (default 1)",
       [](PsolaCommand& c, const std::string& v) {
         c.settings.time = number("time", v, kMinFactor, kMaxFactor);
       }},
      {"time-curve", "FILE", "duration factor over time, same file format; multiplies --time",
       [](PsolaCommand& c, const std::string& v) {
         c.settings.time_curve = read_curve(v, kMinFactor, kMaxFactor);
       }},
      {"intonation", "A",
       "f0 around the median of the analysis: median x (1 + A x Mod), -4 to 4\n"
       "(1 keeps the melody, 0 flattens it, 2 doubles its excursions)",
       [](PsolaCommand& c, const std::string& v) {
         c.settings.intonation = number("intonation", v, -kMaxIntonation, kMaxIntonation);
       }},
      {"f0-curve", "FILE",
       "target f0 contour: lines \"time Hz\", 0 or outside the curve keeps the\n"
       "original f0 (prosody transplantation); takes precedence over --intonation",
       [](PsolaCommand& c, const std::string& v) {
         c.settings.f0_curve = read_curve(v, 0.0, kMaxTargetF0);
       }},
      {"hybrid", nullptr,
       "above each voiced mark's voicing cut-off frequency, move the sound in\n"
       "time without changing its pitch, as unvoiced sound",
       [](PsolaCommand& c, const std::string&) { c.settings.hybrid = true; }},
      {"analysis", "DIR",
       "read the analysis from DIR (a folder or its 1PSO file) as it is, instead\n"
       "of PSO<base>/ beside IN\n"
       "(which is brought up to date first by running the analysis)",
       [](PsolaCommand& c, const std::string& v) { c.analysis = v; }},
      {"seed", "N", "seed of the variation of repeated unvoiced grains (default 1)",
       [](PsolaCommand& c, const std::string& v) {
         c.settings.seed = static_cast<std::uint64_t>(number("seed", v, 0.0, 4294967295.0));
       }},
      {"quiet", nullptr, "no progress line on long files",
       [](PsolaCommand& c, const std::string&) { c.quiet = true; }},
      {"help", nullptr, "print this help and exit",
       [](PsolaCommand& c, const std::string&) { c.help = true; }},
      {"version", nullptr, "print the version and exit",
       [](PsolaCommand& c, const std::string&) { c.version = true; }},
  };
  return table;
}

const Row* find_row(const std::string& name) {
  for (const Row& r : rows()) {
    if (name == r.name) return &r;
  }
  return nullptr;
}

}  // namespace

std::string psola_usage() {
  std::ostringstream s;
  s << "Usage: glotmark-psola [options] IN OUT [-- glotmark options]\n"
       "Resynthesises the sound IN with another pitch, duration or intonation from its\n"
       "pitch-mark analysis and writes OUT (format from its extension, IN's rate and sample\n"
       "format). The analysis PSO<base>/ beside IN is made or brought up to date first, with\n"
       "the glotmark options given after \"--\".\n\n";
  for (const Row& r : rows()) {
    std::string head = std::string("  --") + r.name + (r.value ? std::string("=") + r.value : "");
    if (std::string(r.name) == "help") head = "  -h, --help";
    s << head;
    std::string help = r.help;
    std::size_t at = 0;
    bool first = true;
    while (at <= help.size()) {
      const std::size_t nl = std::min(help.find('\n', at), help.size());
      const std::size_t pad = first ? (head.size() < 22 ? 22 - head.size() : 1) : 22;
      s << std::string(pad, ' ') << help.substr(at, nl - at) << "\n";
      first = false;
      at = nl + 1;
    }
  }
  s << "\nVoiced marks are resynthesised pitch-synchronously; unvoiced sound is only moved in\n"
       "time; transients are copied once, whole. Exit status 0 on success, 1 on any error.\n"
       "Example: glotmark-psola --pitch=1.5 --time=0.8 voice.wav voice-higher.wav\n";
  return s.str();
}

PsolaCommand parse_psola_cmdline(int argc, char** argv) {
  PsolaCommand c;
  std::vector<std::string> files;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a == "-h") {
      c.help = true;
      continue;
    }
    if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
      if (a.size() > 1 && a[0] == '-') throw PsolaError("unknown option " + a);
      files.push_back(a);
      continue;
    }
    const std::size_t eq = a.find('=');
    const std::string name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    const Row* row = find_row(name);
    if (row == nullptr) throw PsolaError("unknown option --" + name);
    std::string value;
    if (row->value != nullptr) {
      if (eq != std::string::npos) {
        value = a.substr(eq + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        throw PsolaError("--" + name + " needs a value (" + row->value + ")");
      }
    } else if (eq != std::string::npos) {
      throw PsolaError("--" + name + " takes no value");
    }
    row->set(c, value);
  }
  for (; i < argc; ++i) c.glotmark_args.emplace_back(argv[i]);
  if (c.help || c.version) return c;
  if (files.size() != 2) {
    throw PsolaError(files.size() < 2 ? "expected the input and the output sound files"
                                      : "too many file arguments: expected IN OUT");
  }
  c.in = files[0];
  c.out = files[1];
  return c;
}
