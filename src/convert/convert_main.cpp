#include "convert/convert_main.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "convert/analysis_file.h"
#include "convert/analysis_tracks.h"
#include "convert/convert_error.h"
#include "convert/dump_csv.h"
#include "convert/est_track.h"
#include "convert/praat_text.h"
#include "convert/sound_context.h"
#include "convert/text_number.h"
#include "convert/write_text_file.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "Usage: glotmark-convert [OPTION]... IN OUT\n"
    "Converts analysis files to the formats of other tools, and f0 tracks of other tools to the\n"
    "1FQ0 file that glotmark imports with -I. The format of OUT comes from its extension:\n"
    "  .PointProcess  Praat PointProcess of the voiced pitch marks (IN: 1VUT or 1MRK file, or\n"
    "                 the folder PSO<base>/)\n"
    "  .PitchTier     Praat PitchTier of an f0 track (IN: 1FQ0 file, folder, or any f0 input)\n"
    "  .TextGrid      Praat TextGrid (IN: the folder PSO<base>/: interval tiers voiced,\n"
    "                 unvoiced, transient from the 1VOI, 1UVI, 1TRA files, labels V, U, T;\n"
    "                 point tier marks from the 1VUT file, labels V, U, T; or one zone file\n"
    "                 or one file of marks)\n"
    "  .f0 .est .pm   EST track: an f0 track (channel F0) or the pitch marks\n"
    "  .csv .tsv      table with a header row (any analysis file, or an f0 input)\n"
    "  .txt           two columns: time (s) and f0 (Hz)\n"
    "  .sdif          1FQ0 file for glotmark -I, from an f0 input\n"
    "f0 inputs: 1FQ0 files, Praat PitchTier and Pitch text files, EST f0 tracks and two-column\n"
    "text (time, f0; a first line of names and lines starting with # are skipped). Unvoiced\n"
    "frames of an f0 input (f0 0, -1 or --undefined--, EST flag 0) are left out of a PitchTier\n"
    "and, in a 1FQ0 file, filled as glotmark's f0 program fills them: linearly between the voiced\n"
    "neighbours, the nearest voiced value at the ends.\n"
    "  --to FORMAT      format of OUT whatever its extension: pointprocess, pitchtier,\n"
    "                   textgrid, est, csv, tsv, text, sdif\n"
    "  --all-marks      every mark (voiced, unvoiced, transient) in a PointProcess or EST file\n"
    "  --duration SEC   end of the time domain of Praat objects (default: the duration of the\n"
    "                   analysed sound when it is found, else the last time of the data)\n"
    "  -h, --help       print this help and exit\n"
    "  -V, --version    print the version and exit\n"
    "Exit status: 0 converted; 1 bad command line or a file that cannot be read or written\n"
    "(the message names the file and, for text files, the line); OUT is then left untouched.\n";

enum class Format { kNone, kPointProcess, kPitchTier, kTextGrid, kEst, kCsv, kTsv, kText, kSdif };

struct Options {
  std::string in, out;
  Format to = Format::kNone;
  bool all_marks = false;
  std::optional<double> duration_s;
};

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

Format format_named(const std::string& name) {
  const std::string n = lower(name);
  static const std::pair<const char*, Format> names[] = {{"pointprocess", Format::kPointProcess},
                                                         {"pitchtier", Format::kPitchTier},
                                                         {"textgrid", Format::kTextGrid},
                                                         {"est", Format::kEst},
                                                         {"f0", Format::kEst},
                                                         {"pm", Format::kEst},
                                                         {"track", Format::kEst},
                                                         {"csv", Format::kCsv},
                                                         {"tsv", Format::kTsv},
                                                         {"text", Format::kText},
                                                         {"txt", Format::kText},
                                                         {"dat", Format::kText},
                                                         {"sdif", Format::kSdif}};
  for (const auto& [s, f] : names) {
    if (n == s) return f;
  }
  return Format::kNone;
}

Format output_format(const Options& o) {
  if (o.to != Format::kNone) return o.to;
  const std::string ext = fs::path(o.out).extension().string();
  const Format f = ext.empty() ? Format::kNone : format_named(ext.substr(1));
  if (f == Format::kNone) {
    throw ConvertError("cannot tell the format of " + o.out + " from its extension" +
                       " (.PointProcess, .PitchTier, .TextGrid, .f0, .est, .pm, .csv, .tsv, .txt,"
                       " .sdif); give --to FORMAT");
  }
  return f;
}

// ---------------------------------------------------------------------------------------------
// Inputs

enum class Input { kFolder, kSdif, kPraat, kEst, kText };

Input input_kind(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return Input::kFolder;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ConvertError("cannot open " + path + ": " + std::strerror(errno));
  std::string head(64, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  if (head.rfind("SDIF", 0) == 0) return Input::kSdif;
  if (looks_like_praat(head)) return Input::kPraat;
  if (looks_like_est(head)) return Input::kEst;
  return Input::kText;
}

// What an SDIF file holds, by its matrices.
enum class Content { kF0, kMarks, kZones, kOther };

Content sdif_content(const std::string& path) {
  const AnalysisFile f = load_analysis_file(path, "");
  for (const auto& t : f.matrices) {
    const std::string s = SdifSignatureToString(t.matrix_signature);
    if (s == "1FQ0") return Content::kF0;
    if (s == "1VUT" || s == "1PEM") return Content::kMarks;
    if (s == "1BEG" || s == "1END") return Content::kZones;
  }
  return Content::kOther;
}

std::string folder_file(const std::string& folder, const char* sig) {
  const AnalysisFolder f = analysis_folder(folder);
  if (f.base.empty()) {
    throw ConvertError(folder + ": not an analysis folder (its name does not start with PSO)");
  }
  return f.dir + f.base + "." + sig + ".sdif";
}

bool exists(const std::string& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

// The f0 track of any f0 input.
F0Track read_f0(const std::string& path, Input kind) {
  switch (kind) {
    case Input::kFolder:
      return read_f0_sdif(folder_file(path, "1FQ0"));
    case Input::kSdif:
      return read_f0_sdif(path);
    case Input::kEst:
      return read_est_f0(path);
    case Input::kText:
      return read_f0_text(path);
    case Input::kPraat: {
      const PraatText t = read_praat_text(path);
      if (t.object_class == "PitchTier") return pitch_tier_track(t);
      if (t.object_class.rfind("Pitch", 0) == 0 &&
          t.object_class.find("Tier") == std::string::npos) {
        return praat_pitch_track(t);
      }
      throw ConvertError(path + ": a Praat " + t.object_class +
                         " object; f0 is read from PitchTier and Pitch objects");
    }
  }
  return {};
}

std::vector<Mark> read_marks_of(const std::string& in, Input kind) {
  if (kind == Input::kFolder) {
    const std::string vut = folder_file(in, "1VUT");
    return read_marks(exists(vut) ? vut : folder_file(in, "1MRK"));
  }
  return read_marks(in);
}

// ---------------------------------------------------------------------------------------------
// Outputs

double last_time(const std::vector<double>& times) {
  return times.empty() ? 0.0 : times.back();
}

// [0, sound duration] where the sound is known, else up to the data's last time.
Domain domain_for(const Options& o, double data_end) {
  Domain d;
  d.xmin = 0.0;
  if (o.duration_s) {
    d.xmax = *o.duration_s;
  } else if (const auto s = sound_context(o.in).duration_s) {
    d.xmax = *s;
  } else {
    d.xmax = data_end;
  }
  d.xmax = std::max(d.xmax, data_end);
  if (!(d.xmax > d.xmin)) d.xmax = d.xmin + 1.0;  // Praat wants a domain of some length
  return d;
}

std::string kind_label(int kind) {
  switch (kind) {
    case kVoiced:
      return "V";
    case kUnvoiced:
      return "U";
    case kTransient:
      return "T";
    default:
      return "";
  }
}

std::vector<double> mark_times(const std::vector<Mark>& marks, bool all, const std::string& in) {
  std::vector<double> times;
  bool unknown = false;
  for (const Mark& m : marks) {
    unknown = unknown || m.kind == kUnknownKind;
    if (all || m.kind == kVoiced) times.push_back(m.t);
  }
  if (unknown && !all) {
    throw ConvertError(in +
                       ": the kinds of the marks are not known (no matching 1VUT file "
                       "beside it); convert the 1VUT file, or give --all-marks");
  }
  return times;
}

PointTier marks_tier(const std::vector<Mark>& marks) {
  PointTier tier{"marks", {}, {}};
  for (const Mark& m : marks) {
    tier.times.push_back(m.t);
    tier.labels.push_back(kind_label(m.kind));
  }
  return tier;
}

// Label of the intervals of a zone kind: V, U, T (Z for a kind we do not know).
std::string zone_label(const std::string& kind) {
  if (kind == "Voiced") return "V";
  if (kind == "Unvoiced") return "U";
  if (kind == "Transient") return "T";
  return "Z";
}

IntervalTier zone_tier(const std::string& file) {
  std::string kind;
  IntervalTier tier;
  tier.zones = read_zones(file, kind);
  tier.name = kind.empty() ? "zones" : lower(kind);
  tier.label = zone_label(kind);
  return tier;
}

double tiers_end(const std::vector<IntervalTier>& zones, const std::vector<PointTier>& points) {
  double end = 0.0;
  for (const auto& t : zones) {
    for (const auto& z : t.zones) end = std::max(end, z.end);
  }
  for (const auto& t : points) end = std::max(end, last_time(t.times));
  return end;
}

std::string text_grid(const Options& o, Input kind) {
  std::vector<IntervalTier> zones;
  std::vector<PointTier> points;
  if (kind == Input::kFolder) {
    for (const char* sig : {"1VOI", "1UVI", "1TRA"}) {
      const std::string f = folder_file(o.in, sig);
      if (exists(f)) zones.push_back(zone_tier(f));
    }
    const std::string vut = folder_file(o.in, "1VUT"), mrk = folder_file(o.in, "1MRK");
    if (exists(vut) || exists(mrk))
      points.push_back(marks_tier(read_marks(exists(vut) ? vut : mrk)));
    if (zones.empty() && points.empty()) {
      throw ConvertError(o.in +
                         ": no zone files (1VOI, 1UVI, 1TRA) and no marks (1VUT, 1MRK) "
                         "in this folder; run glotmark -M first");
    }
  } else if (kind == Input::kSdif && sdif_content(o.in) == Content::kZones) {
    zones.push_back(zone_tier(o.in));
  } else if (kind == Input::kSdif && sdif_content(o.in) == Content::kMarks) {
    points.push_back(marks_tier(read_marks(o.in)));
  } else {
    throw ConvertError(o.in +
                       ": a TextGrid is made from the folder PSO<base>/, a zone file or "
                       "a file of marks");
  }
  std::ostringstream out;
  write_text_grid(out, domain_for(o, tiers_end(zones, points)), zones, points);
  return out.str();
}

std::string f0_output(const Options& o, Input kind, Format format, std::ostream& note) {
  F0Track track = read_f0(o.in, kind);
  std::ostringstream out;
  switch (format) {
    case Format::kPitchTier:
      write_pitch_tier(out, domain_for(o, last_time(track.t)), track);
      break;
    case Format::kEst:
      write_est_f0(out, track);
      break;
    case Format::kCsv:
    case Format::kTsv:
      out << "time_s" << (format == Format::kCsv ? ',' : '\t') << "f0_hz\n";
      write_f0_text(out, track, format == Format::kCsv ? ',' : '\t');
      break;
    case Format::kText:
      write_f0_text(out, track, '\t');
      break;
    default:
      break;
  }
  (void)note;
  return out.str();
}

void f0_to_sdif(const Options& o, Input kind, std::ostream& note) {
  F0Track track = read_f0(o.in, kind);
  if (track.t.empty()) throw ConvertError(o.in + ": the track holds no frame");
  const std::size_t filled = fill_unvoiced(track);
  if (filled == track.t.size()) {
    note << "glotmark-convert: note: " << o.in << ": no voiced frame; the track is 0 Hz\n";
  } else if (filled > 0) {
    note << "glotmark-convert: note: " << o.in << ": " << filled << " of " << track.t.size()
         << " frames unvoiced, filled from their voiced neighbours\n";
  }
  write_f0_sdif(o.out, track, o.in);
}

std::string marks_output(const Options& o, Input kind, Format format) {
  const auto marks = read_marks_of(o.in, kind);
  const auto times = mark_times(marks, o.all_marks, o.in);
  std::ostringstream out;
  if (format == Format::kPointProcess) {
    write_point_process(out, domain_for(o, marks.empty() ? 0.0 : marks.back().t), times);
  } else {
    write_est_marks(out, times);
  }
  return out.str();
}

[[noreturn]] void cannot(const Options& o, const std::string& what) {
  throw ConvertError("cannot convert " + o.in + " to " + o.out + ": " + what);
}

void convert(const Options& o, std::ostream& note) {
  const Format format = output_format(o);
  const Input kind = input_kind(o.in);
  std::error_code ec;
  if (fs::equivalent(o.in, o.out, ec)) throw ConvertError(o.out + " is the input file itself");
  const Content content = kind == Input::kSdif     ? sdif_content(o.in)
                          : kind == Input::kFolder ? Content::kOther
                                                   : Content::kF0;
  switch (format) {
    case Format::kTextGrid:
      write_text_file(o.out, text_grid(o, kind));
      return;
    case Format::kPointProcess:
      if (content != Content::kMarks && kind != Input::kFolder)
        cannot(o, "marks come from a 1VUT or 1MRK file");
      write_text_file(o.out, marks_output(o, kind, format));
      return;
    case Format::kSdif:
      if (content != Content::kF0 && kind != Input::kFolder)
        cannot(o, "a 1FQ0 file is made from an f0 track");
      f0_to_sdif(o, kind, note);
      return;
    case Format::kCsv:
    case Format::kTsv:
      if (kind == Input::kSdif) {
        std::ostringstream out;
        CsvOptions opt;
        opt.separator = format == Format::kCsv ? ',' : '\t';
        dump_csv(o.in, opt, out, note);
        write_text_file(o.out, out.str());
        return;
      }
      break;
    case Format::kEst:
      if (content == Content::kMarks) {
        write_text_file(o.out, marks_output(o, kind, format));
        return;
      }
      break;
    default:
      break;
  }
  if (content != Content::kF0 && kind != Input::kFolder) {
    cannot(o, "this format is written from an f0 track or from marks");
  }
  write_text_file(o.out, f0_output(o, kind, format, note));
}

// Parses the command line; false after printing the help. Throws ConvertError on a bad one.
bool parse(int argc, char** argv, Options& o) {
  std::vector<std::string> files;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&](const std::string& name, std::string& v) {
      if (a.rfind(name + "=", 0) == 0) {
        v = a.substr(name.size() + 1);
        return true;
      }
      if (a != name) return false;
      if (i + 1 >= argc) throw ConvertError("option " + name + " needs a value");
      v = argv[++i];
      return true;
    };
    std::string v;
    if (options_done || a.size() < 2 || a[0] != '-') {
      files.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return false;
    } else if (a == "-V" || a == "--version") {
      std::cout << "glotmark-convert " << GLOTMARK_VERSION << "\n";
      return false;
    } else if (a == "--all-marks") {
      o.all_marks = true;
    } else if (value("--to", v)) {
      o.to = format_named(v);
      if (o.to == Format::kNone) throw ConvertError("--to: unknown format " + v);
    } else if (value("--duration", v)) {
      char* end = nullptr;
      const double d = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end != '\0' || !(d > 0.0) || !std::isfinite(d)) {
        throw ConvertError("--duration: not a duration in seconds: " + v);
      }
      o.duration_s = d;
    } else {
      throw ConvertError("unknown option " + a);
    }
  }
  if (files.size() != 2) throw ConvertError("give one input and one output file");
  o.in = files[0];
  o.out = files[1];
  return true;
}

}  // namespace

int convert_main(int argc, char** argv) {
  Options o;
  try {
    if (!parse(argc, argv, o)) return 0;
  } catch (const ConvertError& e) {
    std::cerr << "glotmark-convert: " << e.what() << "\n" << kUsage;
    return 1;
  }
  try {
    convert(o, std::cerr);
  } catch (const ConvertError& e) {
    std::cerr << "glotmark-convert: " << e.what() << "\n";
    return 1;
  } catch (const std::bad_alloc&) {
    std::cerr << "glotmark-convert: out of memory converting " << o.in << "\n";
    return 1;
  }
  return 0;
}
