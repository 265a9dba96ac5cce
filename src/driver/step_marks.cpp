// Step 7: pitch marks and their kinds.
#include <iostream>
#include <string>

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

void compute_marks(RunState& s) {
  tessel::TesselMatrix<double> marked_voiced, noise_zones;
  const tessel::TesselVector<tessel::cplx<double>> marks = markpositioning(
      s.epochs, s.sr, s.f0_track, s.voiced_zones, s.transient_zones, s.f0_median, s.args.alpha_arg,
      s.args.beta_arg, s.args.gamma_arg, voicingcurve(s.voicing_coef, s.sr),
      s.args.voice_threshold_arg, marked_voiced, noise_zones);
  const long n = marks.size();
  if (n == 0) error_end(s, kNoMarks);

  s.marks.resize(0, 0);
  s.marks.resize(n, 2);
  tessel::TesselVector<double> times(n, 0.0), kinds(n, 0.0), values(n, kMarkValue);
  for (long i = 0; i < n; ++i) {
    times[i] = s.marks(i, 0) = marks[i].re;
    kinds[i] = s.marks(i, 1) = marks[i].im;
  }
  if (datatosdif(times, values, k1MRK, k1PEM, s.files.mrk, s.header()) != 0) error_end(s, "");
  print_writing(s, s.files.mrk);
  if (datatosdif(times, kinds, k1VUV, k1VUT, s.files.vut, s.header()) != 0) error_end(s, "");
  print_writing(s, s.files.vut);
}

void read_marks(RunState& s) {
  if (s.verbose) {
    const std::string line = reading_line(s, s.files.mrk);
    std::cout << line.substr(0, line.size() - 1) << std::endl;  // this one has no "\n"
    print_reading(s, s.files.vut);
  }
  if (Status read = sdiftomatrix(s.files.vut, s.marks, kSelVut); !read) error_end(s, read.error());
  // A mark file without marks would give a 1PSO file without frames.
  if (s.marks.nrows() == 0) error_end(s, kNoMarks);
}

}  // namespace

void step_marks(RunState& s) {
  if (!s.request[kStepMarks]) {
    s.request[kStepMarks] =
        must_recompute(s.header(), {s.files.mrk, s.files.vut}, {{s.files.mrk, kReuseMarks}});
  }
  if (s.request[kStepMarks]) {
    if (s.verbose) {
      std::cout << "\nMark positionning of the analyse." << std::endl;
      std::cout << " -> alpha : " << s.args.alpha_arg << std::endl;
      std::cout << " -> beta : " << s.args.beta_arg << std::endl;
      std::cout << " -> gamma : " << s.args.gamma_arg << std::endl;
    }
    compute_marks(s);
  } else {
    read_marks(s);
  }
  if (!s.request[kStepPso]) normal_end(s);
}
