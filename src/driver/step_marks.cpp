// Step 7: pitch marks and their kinds.
#include <iostream>
#include <string>

#include "driver/curve_values.h"
#include "driver/reuse.h"
#include "driver/runstate.h"
#include "driver/voicingcurve.h"
#include "marks/markpositioning.h"
#include "sdif/datatosdif.h"
#include "sdif/sdif_signatures.h"
#include "sdif/sdiftomatrix.h"

namespace {

constexpr const char* kNoMarks =
    "\n *** Error *** \n -> size of markimag data null ! \n *** Exiting from the program ***\n";
constexpr double kMarkValue = 4.0;  // the value every 1MRK/1PEM frame carries

Status compute_marks(const RunContext& c, const F0Result& f0, const EpochResult& epochs,
                     const VoicingResult& voicing, const ZoneResult& zones,
                     const HeaderFacts& header, MarkResult& out) {
  tessel::TesselVector<double> storage;
  auto curve = curve_values(epochs.curve, storage);
  if (!curve) return std::move(curve).error();
  tessel::TesselMatrix<double> marked_voiced, noise_zones;
  const auto placed = markpositioning(**curve, c.sr, f0.track, zones.voiced, zones.transient,
                                      f0.median, c.args.alpha_arg, c.args.beta_arg,
                                      c.args.gamma_arg, voicingcurve(voicing.coef, c.sr),
                                      c.args.voice_threshold_arg, marked_voiced, noise_zones);
  if (!placed) return placed.error();
  const tessel::TesselVector<tessel::cplx<double>>& marks = placed.value();
  const long n = marks.size();
  if (n == 0) return step_failure(kNoMarks);

  out.marks.resize(n, 2);
  tessel::TesselVector<double> times(n, 0.0), kinds(n, 0.0), values(n, kMarkValue);
  for (long i = 0; i < n; ++i) {
    times[i] = out.marks(i, 0) = marks[i].re;
    kinds[i] = out.marks(i, 1) = marks[i].im;
  }
  if (Status w = datatosdif(times, values, k1MRK, k1PEM, c.files.mrk, header); !w)
    return std::move(w).error();
  print_writing(c, c.files.mrk);
  if (Status w = datatosdif(times, kinds, k1VUV, k1VUT, c.files.vut, header); !w)
    return std::move(w).error();
  print_writing(c, c.files.vut);
  return Status{};
}

Status read_marks(const RunContext& c, MarkResult& out) {
  if (c.verbose) {
    const std::string line = reading_line(c, c.files.mrk);
    std::cout << line.substr(0, line.size() - 1) << std::endl;  // this one has no "\n"
    print_reading(c, c.files.vut);
  }
  if (Status read = sdiftomatrix(c.files.vut, out.marks, kSelVut); !read) return read;
  // A mark file without marks would give a 1PSO file without frames.
  if (out.marks.nrows() == 0) return step_failure(kNoMarks);
  return Status{};
}

}  // namespace

Expected<MarkResult> step_marks(const RunContext& c, const F0Result& f0, const EpochResult& epochs,
                                const VoicingResult& voicing, const ZoneResult& zones,
                                const HeaderFacts& header) {
  MarkResult out;
  out.computed = c.requested[kStepMarks] ||
                 must_recompute(header, {c.files.mrk, c.files.vut}, {{c.files.mrk, kReuseMarks}});
  if (!out.computed) {
    if (Status read = read_marks(c, out); !read) return std::move(read).error();
    return out;
  }
  if (c.verbose) {
    std::cout << "\nMark positionning of the analyse." << std::endl;
    std::cout << " -> alpha : " << c.args.alpha_arg << std::endl;
    std::cout << " -> beta : " << c.args.beta_arg << std::endl;
    std::cout << " -> gamma : " << c.args.gamma_arg << std::endl;
  }
  if (Status done = compute_marks(c, f0, epochs, voicing, zones, header, out); !done)
    return std::move(done).error();
  return out;
}
