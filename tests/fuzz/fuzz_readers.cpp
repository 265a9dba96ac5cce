// Fuzz target of the readers of the analysis files: the bytes are read as each result file the
// analysis reads back (f0 track, epoch and transient curves, voicing tracks, marks, zones, the
// stored header that decides reuse) and as the converter reads them (whole file, marks, zones).
// A failure handed back or a ConvertError is the normal refusal. Besides crashes, the harness
// aborts when a reader breaks its promise about a refused file: a failure must carry a message
// and status 1 and leave the caller's data untouched; a ConvertError must name the file. The
// curve's row count (what a reused curve is checked with) must agree with the curve read whole.
#include <cstdint>
#include <string>

#include "convert/analysis_file.h"
#include "convert/analysis_tracks.h"
#include "convert/convert_error.h"
#include "driver/reuse.h"
#include "driver/runstate.h"
#include "fuzz_file.h"
#include "sdif/EPCrows.h"
#include "sdif/EPCtovector.h"
#include "sdif/MRKsegtomatrix.h"
#include "sdif/sdiftomatrix.h"

using tessel::TesselMatrix;
using tessel::TesselVector;

namespace {

constexpr double kUntouched = -12345.0;  // the caller's value before a read that must fail cleanly

void check_refusal(const Status& s, const char* reader) {
  if (s) return;
  if (s.error().text.empty()) fuzz_fail(std::string(reader) + ": a failure without a message");
  if (s.error().status != 1)
    fuzz_fail(std::string(reader) + ": a failure with a status other than 1");
}

void check_matrix_reader(const Status& s, const TesselMatrix<double>& m, const char* reader) {
  check_refusal(s, reader);
  if (s) {
    if (m.nrows() > 0 && m.ncols() != 2) fuzz_fail(std::string(reader) + ": not two columns");
  } else if (m.nrows() != 1 || m.ncols() != 1 || m(0, 0) != kUntouched) {
    fuzz_fail(std::string(reader) + ": a refused file changed the caller's matrix");
  }
}

void read_as_analysis(const std::string& path) {
  for (const char* sel : {kSelF0, kSelVun, kSelVuf, kSelVut}) {
    TesselMatrix<double> m(1, 1, kUntouched);
    const Status s = sdiftomatrix(path, m, sel);
    check_matrix_reader(s, m, "sdiftomatrix");
  }
  for (const char* sel : {kSelEcs, kSelEcl}) {
    TesselVector<double> v(1, kUntouched);
    const Status s = EPCtovector(path, v, sel);
    check_refusal(s, "EPCtovector");
    if (!s && (v.size() != 1 || v[0] != kUntouched)) {
      fuzz_fail("EPCtovector: a refused file changed the caller's vector");
    }
    // A reused curve is only read through: it must be refused exactly when its values would be,
    // with the same message, and otherwise have their number.
    long rows = -1;
    const Status through = EPCrows(path, rows, sel);
    if (static_cast<bool>(through) != static_cast<bool>(s))
      fuzz_fail("EPCrows and EPCtovector disagree on whether the file reads");
    if (s && rows != v.size()) fuzz_fail("EPCrows counts other rows than EPCtovector reads");
    if (!s && (through.error().text != s.error().text || rows != -1))
      fuzz_fail("EPCrows refuses the file otherwise than EPCtovector");
  }
  TesselMatrix<double> zones(1, 1, kUntouched);
  const Status s = MRKsegtomatrix(path, zones, "1MRK", "1BEG", "1END");
  check_matrix_reader(s, zones, "MRKsegtomatrix");
  if (s) {
    for (int r = 0; r < zones.nrows(); ++r) {
      if (!(zones(r, 0) <= zones(r, 1))) fuzz_fail("MRKsegtomatrix: a zone ends before it begins");
    }
  }
  StoredHeader header;
  (void)read_stored_header(path, header);
}

template <class F>
void expect_convert_error(const std::string& path, F&& read) {
  try {
    read();
  } catch (const ConvertError& e) {
    if (std::string(e.what()).find(path) == std::string::npos) {
      fuzz_fail(std::string("a ConvertError that does not name the file: ") + e.what());
    }
  }
}

void read_as_converter(const std::string& path) {
  expect_convert_error(path, [&] {
    const AnalysisFile f = load_analysis_file(path);
    for (const MatrixTable& t : f.matrices) {
      for (const auto& col : t.columns) {
        if (col.size() != t.times.size())
          fuzz_fail("load_analysis_file: a column of another length");
      }
    }
  });
  expect_convert_error(path, [&] { (void)read_marks(path); });
  expect_convert_error(path, [&] {
    std::string kind;
    for (const Zone& z : read_zones(path, kind)) {
      if (!(z.begin <= z.end)) fuzz_fail("read_zones: a zone ends before it begins");
    }
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = fuzz_file(data, size, "input.sdif");
  read_as_analysis(path);
  read_as_converter(path);
  return 0;
}
