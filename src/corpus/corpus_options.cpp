// Command line of glotmark-corpus. One table holds every option: the parser reads it and the
// help is printed from it, so the two cannot disagree.
#include "corpus/corpus_options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>

namespace corpus {
namespace {

struct OptionSpec {
  const char* name;     // long name without "--"
  char letter;          // short letter, 0 when none
  const char* metavar;  // argument name, nullptr for a switch
  const char* help;
  bool hidden;  // internal options are parsed but not listed
  std::function<bool(CorpusOptions&, const std::string&, std::string&)> apply;
};

bool to_int(const std::string& text, int low, int& out) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || v < low || v > 1000000) return false;
  out = static_cast<int>(v);
  return true;
}

bool to_seconds(const std::string& text, double& out) {
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v) || v <= 0.0) return false;
  out = v;
  return true;
}

std::vector<std::string> split_extensions(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream ss(text);
  std::string item;
  while (std::getline(ss, item, ',')) {
    if (!item.empty() && item[0] == '.') item.erase(0, 1);
    std::transform(item.begin(), item.end(), item.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!item.empty()) out.push_back(item);
  }
  return out;
}

// The options of a run on this machine or over ssh, in help order.
std::vector<OptionSpec> run_options() {
  using O = CorpusOptions;
  return {
      {"jobs", 'j', "N", "files analysed at the same time (default: one per core)", false,
       [](O& o, const std::string& v, std::string& e) {
         if (to_int(v, 1, o.jobs)) return true;
         e = "--jobs needs a whole number >= 1, not '" + v + "'";
         return false;
       }},
      {"timeout", 0, "S", "stop a file's analysis after S seconds and count it as failed", false,
       [](O& o, const std::string& v, std::string& e) {
         if (to_seconds(v, o.timeout_s)) return true;
         e = "--timeout needs a number of seconds > 0, not '" + v + "'";
         return false;
       }},
      {"resume", 0, nullptr,
       "continue an interrupted run in OUT: skip the files already analysed (also those that "
       "failed)",
       false, [](O& o, const std::string&, std::string&) { return o.resume = true; }},
      {"retry-failed", 0, nullptr, "with --resume, analyse again the files that failed", false,
       [](O& o, const std::string&, std::string&) { return o.resume = o.retry_failed = true; }},
      {"ext", 0, "LIST",
       "extensions of the sound files looked for under CORPUS, comma-separated (default "
       "wav,wave,aif,aiff,aifc,au,snd,sf,nist,sph,caf,flac,voc,avr,smp)",
       false,
       [](O& o, const std::string& v, std::string& e) {
         o.extensions = split_extensions(v);
         if (!o.extensions.empty()) return true;
         e = "--ext needs at least one extension";
         return false;
       }},
      {"root", 0, "DIR",
       "with a list file: the folder the mirrored paths are taken relative to (default: the "
       "deepest folder holding every listed file)",
       false, [](O& o, const std::string& v, std::string&) { return !(o.root = v).empty(); }},
      {"progress", 0, nullptr, "print the progress line even when stderr is not a terminal", false,
       [](O& o, const std::string&, std::string&) { return o.progress = true; }},
      {"quiet", 'q', nullptr, "print no progress and no closing line", false,
       [](O& o, const std::string&, std::string&) { return o.quiet = true; }},
      {"files-per-job", 0, "N",
       "files analysed one after the other by each worker that GNU parallel starts (default: "
       "enough for 8 workers per job slot, at most 16)",
       false,
       [](O& o, const std::string& v, std::string& e) {
         if (to_int(v, 1, o.files_per_job)) return true;
         e = "--files-per-job needs a whole number >= 1, not '" + v + "'";
         return false;
       }},
      {"sshlogin", 0, "LOGIN",
       "also run files on this machine (GNU parallel's --sshlogin: [N/]host, ':' for this "
       "one); OUT, CORPUS and the programs must be at the same paths there; repeatable",
       false,
       [](O& o, const std::string& v, std::string&) {
         o.sshlogins.push_back(v);
         return true;
       }},
  };
}

// The options of a Slurm array job and the generic ones, in help order.
std::vector<OptionSpec> slurm_options() {
  using O = CorpusOptions;
  return {
      {"slurm", 0, nullptr,
       "write a Slurm array job for the run into OUT/.glotmark-corpus/slurm/ instead of "
       "running it",
       false, [](O& o, const std::string&, std::string&) { return (o.mode = Mode::kSlurm), true; }},
      {"tasks", 0, "N",
       "with --slurm: array tasks, each a chunk of the files (default min(files, 100))", false,
       [](O& o, const std::string& v, std::string& e) {
         if (to_int(v, 1, o.tasks)) return true;
         e = "--tasks needs a whole number >= 1, not '" + v + "'";
         return false;
       }},
      {"cpus-per-task", 0, "N", "with --slurm: cores of each task, files run at once (default 1)",
       false,
       [](O& o, const std::string& v, std::string& e) {
         if (to_int(v, 1, o.cpus_per_task)) return true;
         e = "--cpus-per-task needs a whole number >= 1, not '" + v + "'";
         return false;
       }},
      {"sbatch-option", 0, "OPT",
       "with --slurm: an sbatch option for both jobs, e.g. --sbatch-option=--partition=short; "
       "repeatable",
       false,
       [](O& o, const std::string& v, std::string&) {
         o.sbatch_options.push_back(v);
         return true;
       }},
      {"submit", 0, nullptr,
       "with --slurm: submit the array job and the collect step after it with sbatch", false,
       [](O& o, const std::string&, std::string&) { return o.submit = true; }},
      {"task", 0, "K",
       "run task K (0-based; default $SLURM_ARRAY_TASK_ID) of the array job written into OUT; "
       "takes OUT only",
       false,
       [](O& o, const std::string& v, std::string& e) {
         o.mode = Mode::kTask;
         if (v.empty() || to_int(v, 0, o.task_id)) return true;
         e = "--task needs a task number >= 0, not '" + v + "'";
         return false;
       }},
      {"collect", 0, nullptr,
       "merge the results found under OUT into OUT/summary.csv (after Slurm tasks); takes OUT "
       "only",
       false,
       [](O& o, const std::string&, std::string&) { return (o.mode = Mode::kCollect), true; }},
      {"help", 'h', nullptr, "print this help and exit", false,
       [](O& o, const std::string&, std::string&) { return (o.mode = Mode::kHelp), true; }},
      {"version", 'V', nullptr, "print the version and exit", false,
       [](O& o, const std::string&, std::string&) { return (o.mode = Mode::kVersion), true; }},
  };
}

const std::vector<OptionSpec>& option_table() {
  static const std::vector<OptionSpec> table = [] {
    std::vector<OptionSpec> all = run_options();
    for (OptionSpec& o : slurm_options()) all.push_back(std::move(o));
    return all;
  }();
  return table;
}

const OptionSpec* find_long(const std::string& name) {
  for (const auto& s : option_table())
    if (name == s.name) return &s;
  return nullptr;
}

const OptionSpec* find_short(char letter) {
  for (const auto& s : option_table())
    if (s.letter != 0 && s.letter == letter) return &s;
  return nullptr;
}

// The options --task and --one take their value as an optional or a plain argument; every
// other option with a metavar needs one.
bool needs_value(const OptionSpec& s) {
  return s.metavar != nullptr && std::string(s.name) != "task";
}

bool check_positionals(CorpusOptions& o, const std::vector<std::string>& pos, std::string& err) {
  const bool out_only = o.mode == Mode::kTask || o.mode == Mode::kCollect;
  const std::size_t wanted = out_only ? 1 : 2;
  if (pos.size() != wanted) {
    err = out_only ? "this mode takes the output folder OUT only"
                   : (pos.size() < 2 ? "missing CORPUS and OUT" : "too many arguments");
    return false;
  }
  if (out_only) {
    o.out = pos[0];
  } else {
    o.corpus = pos[0];
    o.out = pos[1];
  }
  if (o.submit && o.mode != Mode::kSlurm) {
    err = "--submit goes with --slurm";
    return false;
  }
  for (const auto& g : o.glotmark_options) {
    if (g == "-i" || g.rfind("--input", 0) == 0 || g.rfind("-i", 0) == 0) {
      err = "give no -i after '--': glotmark-corpus names every sound itself";
      return false;
    }
    if (g == "-I" || g.rfind("--f0-file", 0) == 0 || g.rfind("-I", 0) == 0) {
      err = "-I (an f0 file of one sound) cannot be given for a whole corpus";
      return false;
    }
  }
  return true;
}

}  // namespace

const std::vector<std::string>& default_sound_extensions() {
  static const std::vector<std::string> ext = {"wav", "wave", "aif", "aiff", "aifc",
                                               "au",  "snd",  "sf",  "nist", "sph",
                                               "caf", "flac", "voc", "avr",  "smp"};
  return ext;
}

std::optional<CorpusOptions> parse_corpus_options(int argc, const char* const* argv,
                                                  std::string& err) {
  CorpusOptions o;
  std::vector<std::string> pos;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") {
      o.glotmark_options.assign(argv + i + 1, argv + argc);
      break;
    }
    const OptionSpec* option = nullptr;
    std::string value;
    bool has_value = false;
    if (a.rfind("--", 0) == 0) {
      const auto eq = a.find('=');
      option = find_long(a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2));
      if (eq != std::string::npos) value = a.substr(eq + 1), has_value = true;
    } else if (a.size() >= 2 && a[0] == '-') {
      option = find_short(a[1]);
      if (a.size() > 2) value = a.substr(2), has_value = true;
    } else {
      pos.push_back(a);
      continue;
    }
    if (option == nullptr || (option->metavar == nullptr && has_value)) {
      err = "unknown option '" + a + "'";
      return std::nullopt;
    }
    if (!has_value && std::string(option->name) == "task" && i + 1 < argc &&
        !std::string(argv[i + 1]).empty() &&
        std::all_of(argv[i + 1], argv[i + 1] + std::string(argv[i + 1]).size(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
      value = argv[++i];
    }
    if (!has_value && needs_value(*option)) {
      if (i + 1 >= argc) {
        err = "option '" + a + "' needs a value";
        return std::nullopt;
      }
      value = argv[++i];
    }
    if (!option->apply(o, value, err)) return std::nullopt;
    if (o.mode == Mode::kHelp || o.mode == Mode::kVersion) return o;
  }
  if (o.extensions.empty()) o.extensions = default_sound_extensions();
  if (!check_positionals(o, pos, err)) return std::nullopt;
  return o;
}

std::string corpus_usage() {
  std::string s =
      "Usage: glotmark-corpus [OPTIONS] CORPUS OUT [-- GLOTMARK-OPTIONS]\n"
      "       glotmark-corpus --slurm [--tasks N] [--submit] [OPTIONS] CORPUS OUT [-- ...]\n"
      "       glotmark-corpus --task K OUT | --collect OUT\n"
      "Analyses every sound file under the folder CORPUS (or listed in the file CORPUS, one\n"
      "path a line) with glotmark, on all cores through GNU parallel. OUT mirrors the corpus:\n"
      "OUT/rel/path/name.wav is a symbolic link to the sound and glotmark -i runs on it, so its\n"
      "PSOname/ folder lands in OUT and the corpus may be read-only. glotmark's output of each\n"
      "file goes to OUT/rel/path/name.wav.log, its summary row to name.wav.row, and the rows\n"
      "of all files to OUT/summary.csv (path, status, seconds, duration_s, marks,\n"
      "voiced_share, median_f0_hz, error). GLOTMARK-OPTIONS default to -S.\n\n";
  for (const auto& o : option_table()) {
    if (o.hidden) continue;
    std::string head = "  ";
    head += o.letter != 0 ? std::string("-") + o.letter + ", " : "    ";
    head += std::string("--") + o.name;
    if (o.metavar != nullptr)
      head += std::string(o.name) == "task" ? " [K]" : std::string(" ") + o.metavar;
    s += head;
    s += head.size() < 26 ? std::string(26 - head.size(), ' ') : "\n" + std::string(26, ' ');
    s += std::string(o.help) + "\n";
  }
  s += "\nExit status: 0 every file analysed, 1 some failed (OUT/summary.csv says which), 2 bad\n"
       "command line or the run could not start, 130 interrupted (continue with --resume).\n";
  return s;
}

std::vector<std::string> corpus_option_names() {
  std::vector<std::string> names;
  for (const auto& o : option_table())
    if (!o.hidden) names.push_back(std::string("--") + o.name);
  return names;
}

}  // namespace corpus
