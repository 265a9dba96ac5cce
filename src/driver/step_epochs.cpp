// Step 2: the epoch curve.
#include <cmath>
#include <iostream>

#include "driver/reuse.h"
#include "driver/runstate.h"
#include "epochs/analyserealloc.h"
#include "epochs/ener.h"
#include "epochs/fir1.h"
#include "epochs/fir_aligned.h"
#include "epochs/frob.h"
#include "epochs/messages.h"
#include "sdif/EPCtovector.h"
#include "sdif/datato1EPC.h"
#include "sdif/sdif_signatures.h"

using tessel::cplx;
using tessel::TesselVector;

namespace {

const char kEmptyCurve[] =
    "\n *** Error *** \n -> size of epoc data vector null ! \n *** Exiting from the program ***\n";
const char kF0TooHighForEnergy[] =
    "\n *** Error *** \n -> median f0 too high for the energy method : 6 x f0 must stay below the "
    "sampling rate \n *** Exiting from the program ***\n";

constexpr long kSmoothingOrder = 100;        // order of the energy smoothing filter
constexpr double kEnergyWindowPeriods = 3;   // energy window: 1 / (3 f0) seconds
constexpr double kEnergyHopFraction = 0.25;  // hop: a quarter of the window

// Energy staircase smoothed by a linear-phase low-pass at 3 f0, its delay taken out: element
// i belongs to signal sample i; 100 samples shorter than the signal.
TesselVector<double> energy_curve(RunState& s) {
  double window_s = 1.0 / (kEnergyWindowPeriods * s.f0_median);
  double hop_s = kEnergyHopFraction * window_s;
  // Cut-off 3 f0 as a fraction of the Nyquist frequency; at or above it the smoothing filter
  // cannot be designed (and the frame step would fall below one sample).
  const double wn = (0.25 / hop_s) / (0.5 * s.sr);
  if (!(wn < 1.0)) error_end(s, kF0TooHighForEnergy);
  const TesselVector<double> staircase = ener(s.signal, s.sr, window_s, hop_s);
  const TesselVector<double> b = fir1(kSmoothingOrder, TesselVector<double>{wn}, 1);
  const long first = static_cast<long>(std::round(0.5 * b.size())) - 1;
  const long last = staircase.size() - static_cast<long>(std::floor(0.5 * b.size())) - 1;
  return fir_aligned(b, staircase, first, last - first + 1);
}

// Frobenius-norm values placed on the sample grid: value i of frob belongs to sample
// round(t0 sr) - 1 + i, t0 its first time; zeros before. Records the order used.
TesselVector<double> frobenius_curve(RunState& s) {
  long first = 0, last = s.signal.size() - 1;
  int order = s.opts.lpc_order;
  const TesselVector<cplx<double>> values =
      frob(s.signal, s.sr, first, last, TesselVector<double>{s.f0_median}, order);
  s.lpc_order = order;
  TesselVector<double> curve;
  if (values.size() == 0) return curve;
  const long k0 = static_cast<long>(std::round(values[0].re * s.sr)) - 1;
  curve.resize(k0 + values.size());
  for (int i = 0; i < values.size(); ++i) curve[k0 + i] = values[i].im;
  return curve;
}

TesselVector<double> realloc_curve(RunState& s) {
  if (!(s.sr > 2.0 * kReallocHighPassHz)) error_end(s, epochs_msg::kReallocRateTooLow);
  TesselVector<double> curve, concentration;
  double scale = 0.0, ref_concentration = 0.0;
  analyserealloc(s.signal, s.sr, s.f0_track, 0, curve, concentration, scale, ref_concentration,
                 false);
  return curve;
}

// Verbose lines naming the method; `computing` only changes the reallocation wording.
void print_method(const RunState& s, bool computing) {
  if (!s.verbose) return;
  switch (s.opts.method) {
    case EpochMethod::frob:
      std::cout << "\nCalculating epochs with the norm of frobenius." << std::endl;
      if (s.opts.lpc_order == -1) {
        std::cout << " -> LPC order : None " << std::endl;
      } else {
        std::cout << " -> LPC order : " << s.opts.lpc_order << std::endl;
      }
      break;
    case EpochMethod::ener:
      std::cout << "\nCalculating epochs with the energy method." << std::endl;
      break;
    case EpochMethod::realloc:
      std::cout << (computing ? "\nCalculating epochs with the reallocation method."
                              : "\nCalculating epochs with the reallocation methods.")
                << std::endl;
      break;
  }
}

}  // namespace

void step_epochs(RunState& s) {
  if (!s.request[kStepEpochs])
    s.request[kStepEpochs] =
        must_recompute(s.header(), {s.files.ecs}, {{s.files.ecs, kReuseEpochs}});
  const bool compute = s.request[kStepEpochs];
  print_method(s, compute);

  if (compute) {
    switch (s.opts.method) {
      case EpochMethod::ener:
        s.epochs = energy_curve(s);
        break;
      case EpochMethod::frob:
        s.epochs = frobenius_curve(s);
        break;
      case EpochMethod::realloc:
        s.epochs = realloc_curve(s);
        break;
    }
    // An empty curve is refused before it is written, so that no later run reuses it.
    if (s.epochs.size() == 0) error_end(s, kEmptyCurve);
    if (datato1EPC(s.epochs, k1ECS, s.files.ecs, s.header()) != 0) error_end(s, "");
    print_writing(s, s.files.ecs);
    if (!any_request_after(s, kStepEpochs)) normal_end(s);
  } else {
    print_reading(s, s.files.ecs);
    if (Status read = EPCtovector(s.files.ecs, s.epochs, kSelEcs); !read)
      error_end(s, read.error());
  }
  if (s.epochs.size() == 0) error_end(s, kEmptyCurve);
}
