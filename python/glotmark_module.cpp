// The Python module "glotmark": analysis files as numpy arrays with named columns, and the
// analysis itself run on a sound file.
//
//   import glotmark
//   folder = glotmark.analyse("voice.wav", "-S")       # the analysis folder "PSOvoice/"
//   d = glotmark.read(folder + "voice.1PSO.sdif")      # {"1PSO": {"time": ..., "Position": ...}}
//   z = glotmark.zones(folder + "voice.1VOI.sdif")     # (n, 2) begin and end times, seconds
//   m = glotmark.marks(folder + "voice.1VUT.sdif")     # {"time": ..., "kind": ...}
#include <fcntl.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/analysis_file.h"
#include "convert/analysis_tracks.h"
#include "convert/convert_error.h"
#include "convert/sound_context.h"
#include "driver/run_analysis.h"

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

std::string analyse(const std::string& path, const py::args& options,
                    const std::optional<std::string>& program_dir, bool verbose) {
  std::vector<std::string> args = {program_dir.value_or(GLOTMARK_PROGRAM_DIR) + "/glotmark", "-i",
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
}
