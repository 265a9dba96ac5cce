// Helpers of the analysis-file tests: option records, file contents as text, and running a
// function that may end the process in a child with its output captured.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "driver/cmdline.h"
#include "lumbra/lumbra.h"
#include "run_program.h"

namespace sdiftest {

// The record after the driver's checks with every default filled in.
inline gengetopt_args_info default_args() {
  gengetopt_args_info a;
  a.input_arg = "voice.wav";
  a.input_given = 1;
  a.fmin_arg = 50;
  a.fmax_arg = 1000;
  a.method_epocs_arg = "ener";
  a.voice_threshold_arg = 0.6;
  a.trans_threshold_arg = 0.2;
  a.alpha_arg = 4;
  a.beta_arg = 0.05;
  a.gamma_arg = 5;
  return a;
}

struct Frame {
  std::string sig;
  double time = 0;
  std::uint32_t stream = 0;
  // Per matrix: signature, type, rows, columns and values (row by row).
  struct Matrix {
    std::string sig;
    std::uint32_t type = 0;
    int rows = 0, cols = 0;
    std::vector<double> values;
  };
  std::vector<Matrix> matrices;
};

struct File {
  std::vector<SDIFNameValueTable> tables;
  SDIFTypeDeclarations types;
  std::vector<Frame> frames;
};

// Reads a whole file with the library (every frame, no selection); throws on a malformed file.
inline File read_file(const std::string& path) {
  File out;
  SDIFEntity e;
  if (!e.OpenRead(path)) throw std::runtime_error("cannot open " + path);
  for (std::size_t i = 0; i < e.GetNbNVT(); ++i) out.tables.push_back(e.GetNVT(i));
  out.types = e.GetTypes();
  SDIFFrame f;
  while (!e.eof()) {
    if (e.ReadNextFrame(f) == 0) continue;
    Frame fr{SdifSignatureToString(f.GetSignature()), f.GetTime(), f.GetStreamID(), {}};
    for (std::size_t k = 0; k < f.GetNbMatrix(); ++k) {
      const SDIFMatrix& m = f.GetMatrix(k);
      Frame::Matrix mm{
          SdifSignatureToString(m.GetSignature()), m.GetType(), m.GetNbRows(), m.GetNbCols(), {}};
      for (int r = 0; r < m.GetNbRows(); ++r) {
        for (int c = 0; c < m.GetNbCols(); ++c) mm.values.push_back(m.GetDouble(r, c));
      }
      fr.matrices.push_back(std::move(mm));
    }
    out.frames.push_back(std::move(fr));
  }
  return out;
}

// The declarations as their text, for comparisons.
inline std::string types_text(const File& f) {
  return f.types.empty() ? "" : f.types.ToText();
}

struct Outcome {
  int status = -1;  // exit status of the child; 0 when fn returned
  std::string out, err;
};

// Runs fn in a child process with standard output and error captured: fn may end the process.
inline Outcome in_child(const std::function<void()>& fn) {
  testsupport::ScratchDir dir;
  const std::string out_path = dir / "out", err_path = dir / "err";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen(out_path.c_str(), "w", stdout) ||
        !std::freopen(err_path.c_str(), "w", stderr)) {
      _exit(126);
    }
    fn();
    std::fflush(nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Outcome o;
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  o.out = testsupport::slurp(out_path);
  o.err = testsupport::slurp(err_path);
  return o;
}

}  // namespace sdiftest
