// The Python module "glotmark": analysis files as numpy arrays with named columns, and the
// analysis itself run on a sound file.
//
//   import glotmark
//   folder = glotmark.analyse("voice.wav", "-S")       # the analysis folder "PSOvoice/"
//   d = glotmark.read(folder + "voice.1PSO.sdif")      # {"1PSO": {"time": ..., "Position": ...}}
//   z = glotmark.zones(folder + "voice.1VOI.sdif")     # (n, 2) begin and end times, seconds
//   m = glotmark.marks(folder + "voice.1VUT.sdif")     # {"time": ..., "kind": ...}
//   y = glotmark.psola("voice.wav", pitch=1.5)         # resynthesis as a numpy array
#include <dlfcn.h>
#include <fcntl.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "convert/analysis_file.h"
#include "convert/analysis_tracks.h"
#include "convert/convert_error.h"
#include "convert/sound_context.h"
#include "driver/run_analysis.h"
#include "psola/analysis_paths.h"
#include "psola/check_marks.h"
#include "psola/read_curve.h"
#include "psola/read_pso.h"
#include "psola/read_sound.h"
#include "psola/resynthesize.h"
#include "psola/sound_writer.h"

namespace py = pybind11;

namespace {

constexpr SdifSignature kEPC = SdifSignatureConst('1', 'E', 'P', 'C');

py::array_t<double> array(const std::vector<double>& v) {
  return py::array_t<double>(static_cast<py::ssize_t>(v.size()), v.data());
}

// One matrix type as a dict of column name -> array, with its times.
py::dict matrix_dict(const MatrixTable& t, const std::optional<double>& rate_hz) {
  py::dict d;
  if (t.is_text) {
    d["time"] = array(t.times);
    d["text"] = t.texts;
    return d;
  }
  if (t.frame_signature == kEPC) {
    // A curve of one value per sample of the sound.
    std::vector<double> sample(t.times.size()), time(t.times.size());
    for (std::size_t i = 0; i < sample.size(); ++i) sample[i] = static_cast<double>(i);
    d["sample"] = array(sample);
    if (rate_hz) {
      for (std::size_t i = 0; i < time.size(); ++i) time[i] = sample[i] / *rate_hz;
      d["time"] = array(time);
    }
  } else {
    d["time"] = array(t.times);
  }
  for (std::size_t c = 0; c < t.names.size(); ++c) d[py::str(t.names[c])] = array(t.columns[c]);
  return d;
}

py::dict read_file(const std::string& path) {
  AnalysisFile f;
  SoundContext ctx;
  {
    py::gil_scoped_release unlocked;
    f = load_analysis_file(path);
    ctx = sound_context(path);
  }
  py::dict out;
  py::dict header;
  for (const auto& table : f.tables) {
    for (const auto& [name, value] : table) header[py::str(name)] = value;
  }
  out["header"] = header;
  if (ctx.rate_hz) out["rate"] = *ctx.rate_hz;
  for (const auto& t : f.matrices) {
    out[py::str(SdifSignatureToString(t.matrix_signature))] = matrix_dict(t, ctx.rate_hz);
  }
  return out;
}

py::array_t<double> zones_of(const std::string& path) {
  std::string kind;
  const std::vector<Zone> z = read_zones(path, kind);
  py::array_t<double> a({static_cast<py::ssize_t>(z.size()), py::ssize_t{2}});
  auto m = a.mutable_unchecked<2>();
  for (std::size_t i = 0; i < z.size(); ++i) {
    m(static_cast<py::ssize_t>(i), 0) = z[i].begin;
    m(static_cast<py::ssize_t>(i), 1) = z[i].end;
  }
  return a;
}

py::dict marks_of(const std::string& path) {
  const std::vector<Mark> ms = read_marks(path);
  py::array_t<double> t(static_cast<py::ssize_t>(ms.size()));
  py::array_t<int> k(static_cast<py::ssize_t>(ms.size()));
  for (std::size_t i = 0; i < ms.size(); ++i) {
    t.mutable_at(static_cast<py::ssize_t>(i)) = ms[i].t;
    k.mutable_at(static_cast<py::ssize_t>(i)) = ms[i].kind;
  }
  py::dict d;
  d["time"] = t;
  d["kind"] = k;
  return d;
}

// Runs the analysis in a forked copy of this process, so that its messages (printed on standard
// output) are captured and any fault in a run on a bad file cannot end the interpreter.
struct RunResult {
  int status = -1;
  std::string output;
};

RunResult run_glotmark(const std::vector<std::string>& args) {
  int pipe_fd[2];
  if (::pipe(pipe_fd) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(pipe_fd[0]);
    ::close(pipe_fd[1]);
    throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  }
  if (pid == 0) {
    ::dup2(pipe_fd[1], 1);
    ::dup2(pipe_fd[1], 2);
    ::close(pipe_fd[0]);
    ::close(pipe_fd[1]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int status = run_command_line(static_cast<int>(args.size()), argv.data());
    std::fflush(nullptr);
    ::_exit(status);
  }
  ::close(pipe_fd[1]);
  RunResult r;
  char buf[4096];
  while (true) {
    const ssize_t n = ::read(pipe_fd[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    r.output.append(buf, static_cast<std::size_t>(n));
  }
  ::close(pipe_fd[0]);
  int ws = 0;
  while (::waitpid(pid, &ws, 0) < 0 && errno == EINTR) {
  }
  r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
  return r;
}

// Where glotmark and its helpers are: for an installed module (<prefix>/lib/python3/
// dist-packages/), <prefix>/bin when glotmark is there; else the build's own bin directory.
std::string default_program_dir() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&default_program_dir), &info) != 0 &&
      info.dli_fname != nullptr) {
    std::error_code ec;
    const std::filesystem::path bin =
        std::filesystem::path(info.dli_fname).parent_path() / "../../../bin";
    if (std::filesystem::is_regular_file(bin / "glotmark", ec))
      return std::filesystem::weakly_canonical(bin, ec).string();
  }
  return GLOTMARK_PROGRAM_DIR;
}

std::string analyse(const std::string& path, const py::args& options,
                    const std::optional<std::string>& program_dir, bool verbose) {
  std::vector<std::string> args = {program_dir.value_or(default_program_dir()) + "/glotmark", "-i",
                                   path};
  for (const auto& o : options) args.push_back(py::str(o));
  if (args.size() == 3) args.push_back("-S");
  RunResult r;
  {
    py::gil_scoped_release unlocked;
    r = run_glotmark(args);
  }
  if (verbose) py::print(r.output, py::arg("end") = "");
  if (r.status != 0) {
    throw std::runtime_error("glotmark failed on " + path + " (exit status " +
                             std::to_string(r.status) + "):" + r.output);
  }
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name = name.substr(0, dot);
  return dir + "PSO" + name + "/";
}

// A curve argument: the path of a curve file, or break points (time, value) as an (n, 2)
// array or a sequence of pairs.
Curve curve_arg(const py::object& o, const char* what, double lo, double hi) {
  if (o.is_none()) return {};
  if (py::isinstance<py::str>(o)) return read_curve(o.cast<std::string>(), lo, hi);
  // ensure() converts what numpy can and gives a null array (error cleared) for the rest.
  const auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(o);
  if (!a || a.ndim() != 2 || a.shape(1) != 2) {
    throw py::value_error(std::string(what) + ": expected a file name or (time, value) pairs");
  }
  Curve c;
  const auto v = a.unchecked<2>();
  for (py::ssize_t i = 0; i < v.shape(0); ++i) c.emplace_back(v(i, 0), v(i, 1));
  return checked_curve(c, what, lo, hi);
}

// The 1PSO file to resynthesise from: the one named by `analysis`, else the analysis beside the
// sound, made or brought up to date first (in a forked copy, as analyse() does).
std::string pso_of(const std::string& path, const std::optional<std::string>& analysis,
                   const std::vector<std::string>& options,
                   const std::optional<std::string>& program_dir, bool verbose) {
  if (analysis) return find_pso(*analysis, path);
  const std::string dir = analysis_dir(path);
  if (dir.empty()) throw PsolaError("the sound file name " + path + " has no extension");
  std::vector<std::string> args = {program_dir.value_or(default_program_dir()) + "/glotmark", "-i",
                                   path, "-S"};
  args.insert(args.end(), options.begin(), options.end());
  RunResult r;
  {
    py::gil_scoped_release unlocked;
    r = run_glotmark(args);
  }
  if (verbose) py::print(r.output, py::arg("end") = "");
  if (r.status != 0) {
    throw PsolaError("the analysis of " + path + " failed (exit status " +
                     std::to_string(r.status) + "):" + r.output);
  }
  return pso_file(dir, path);
}

struct PsolaCall {
  std::string path;
  std::optional<std::string> out, analysis, program_dir;
  std::vector<std::string> options;
  PsolaSettings settings;
  bool verbose = false;
};

// Reads the sound and its marks and resynthesises: into the file `out` (returned as it is), or
// into a float64 array at the sound's rate.
py::object run_psola(const PsolaCall& c) {
  if (c.out) {
    if (file_format_of(*c.out) == AF_FILE_UNKNOWN) {
      throw PsolaError("cannot tell the sound format of " + *c.out + " from its extension");
    }
    std::error_code ec;
    if (std::filesystem::equivalent(c.path, *c.out, ec)) {
      throw PsolaError("out is the input sound itself: " + *c.out);
    }
  }
  const std::string pso = pso_of(c.path, c.analysis, c.options, c.program_dir, c.verbose);
  std::vector<double> y;
  {
    py::gil_scoped_release unlocked;
    const PsoAnalysis a = read_pso(pso);
    const Sound s = read_sound(c.path);
    try {
      check_marks(a, s.x.size(), s.sr);
    } catch (const PsolaError& e) {
      throw PsolaError("the analysis " + pso + " does not fit " + c.path + ": " + e.what());
    }
    if (c.out) {
      SoundWriter w(*c.out, s.sr, s.sample_format, s.sample_width);
      (void)resynthesize(s.x, s.sr, a, c.settings,
                         [&](const double* v, std::size_t n) { w.write(v, n); }, {});
      w.commit();
    } else {
      (void)resynthesize(s.x, s.sr, a, c.settings,
                         [&](const double* v, std::size_t n) { y.insert(y.end(), v, v + n); }, {});
    }
  }
  if (c.out) return py::str(*c.out);
  return array(y);
}

py::object psola(const std::string& path, const std::optional<std::string>& out, double pitch,
                 double time, const py::object& pitch_curve, const py::object& time_curve,
                 const std::optional<double>& intonation, const py::object& f0_curve, bool hybrid,
                 std::uint64_t seed, const std::optional<std::string>& analysis,
                 const std::vector<std::string>& options,
                 const std::optional<std::string>& program_dir, bool verbose) {
  auto factor = [](const char* what, double v) {
    if (!(v >= kMinFactor && v <= kMaxFactor)) {
      throw py::value_error(std::string(what) + " must lie in [0.25, 4]");
    }
    return v;
  };
  PsolaCall c{path, out, analysis, program_dir, options, {}, verbose};
  c.settings.pitch = factor("pitch", pitch);
  c.settings.time = factor("time", time);
  if (intonation && !(std::abs(*intonation) <= kMaxIntonation)) {
    throw py::value_error("intonation must lie in [-4, 4]");
  }
  c.settings.intonation = intonation;
  c.settings.hybrid = hybrid;
  c.settings.seed = seed;
  try {
    c.settings.pitch_curve = curve_arg(pitch_curve, "pitch_curve", kMinFactor, kMaxFactor);
    c.settings.time_curve = curve_arg(time_curve, "time_curve", kMinFactor, kMaxFactor);
    c.settings.f0_curve = curve_arg(f0_curve, "f0_curve", 0.0, kMaxTargetF0);
  } catch (const PsolaError& e) {
    throw py::value_error(e.what());
  }
  try {
    return run_psola(c);
  } catch (const PsolaError& e) {
    throw std::runtime_error(e.what());
  }
}

}  // namespace

PYBIND11_MODULE(glotmark, m) {
  m.doc() =
      "The PSOLA analysis of glotmark from Python: read its analysis files into numpy arrays and "
      "run the analysis on a sound file.";
  m.attr("__version__") = "1.2";
  py::register_exception<ConvertError>(m, "Error", PyExc_OSError);

  m.def("read", &read_file, py::arg("path"),
        "Reads an analysis file (any SDIF file) into a dict: for each matrix signature ('1PSO', "
        "'1FQ0', 'ITDS', ...) a dict of column name -> numpy array (float64) with 'time' the "
        "frame time in seconds of each row; per-sample curves (1ECS, 1ECL) give 'sample' and, "
        "where the sampling rate is found, 'time' = sample / rate. 'header' holds the name-value "
        "pairs of the file, 'rate' the sampling rate of the analysed sound when it is found. "
        "Raises glotmark.Error (an OSError) naming the file when it cannot be read.");
  m.def("zones", &zones_of, py::arg("path"),
        "Zones of a 1VOI, 1UVI or 1TRA file as an (n, 2) array of begin and end times, seconds.");
  m.def("marks", &marks_of, py::arg("path"),
        "Pitch marks of a 1VUT (or 1MRK) file: {'time': seconds, 'kind': 1 voiced, 0 unvoiced, 2 "
        "transient, -1 unknown}.");
  m.def("analyse", &analyse, py::arg("path"), py::arg("program_dir") = py::none(),
        py::arg("verbose") = false,
        "analyse(path, *options, program_dir=None, verbose=False): runs glotmark on the sound "
        "file with the given command-line options (default '-S', the whole analysis), e.g. "
        "analyse('voice.wav', '-S', '-e', 'frob'). Returns the analysis folder 'PSO<base>/' "
        "beside the sound. program_dir is where glotmark's directory script and harmex are "
        "(default: the build's bin folder). Raises RuntimeError with glotmark's messages when "
        "the run fails.");
  m.def("psola", &psola, py::arg("path"), py::arg("out") = py::none(), py::kw_only(),
        py::arg("pitch") = 1.0, py::arg("time") = 1.0, py::arg("pitch_curve") = py::none(),
        py::arg("time_curve") = py::none(), py::arg("intonation") = py::none(),
        py::arg("f0_curve") = py::none(), py::arg("hybrid") = false, py::arg("seed") = 1,
        py::arg("analysis") = py::none(), py::arg("options") = std::vector<std::string>{},
        py::arg("program_dir") = py::none(), py::arg("verbose") = false,
        "psola(path, out=None, *, pitch=1, time=1, pitch_curve=None, time_curve=None, "
        "intonation=None, f0_curve=None, hybrid=False, seed=1, analysis=None, options=[], "
        "program_dir=None, verbose=False): resynthesises the sound file from its pitch marks, "
        "as glotmark-psola does. pitch multiplies f0 and time the duration (0.25 to 4); the "
        "curves are a curve file's name or (time, value) break points (input seconds; an (n, 2) "
        "array or pairs): pitch_curve and time_curve factors, f0_curve a target f0 in Hz (0 "
        "keeps the original); intonation A gives f0 = median x (1 + A x Mod) (-4 to 4). "
        "Without analysis= the analysis 'PSO<base>/' beside the sound is made or brought up to "
        "date first with glotmark's options (e.g. options=['-F', '60']); analysis= names a "
        "folder or 1PSO file to use as it is. Returns the output as a float64 numpy array at "
        "the sound's rate (full scale 1), or writes it to out (format from its extension, the "
        "sound's rate and sample format) and returns out. Raises ValueError for a factor out of "
        "range or a curve that does not parse, RuntimeError when the analysis fails or does not "
        "fit the sound or a file cannot be read or written.");
}
