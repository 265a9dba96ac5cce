// Step 2: the epoch curve.
#include <cmath>
#include <iostream>

#include "driver/reuse.h"
#include "driver/reused_curve.h"
#include "driver/runstate.h"
#include "epochs/analyserealloc.h"
#include "epochs/ener.h"
#include "epochs/energy_curve.h"
#include "epochs/fir1.h"
#include "epochs/fir_aligned.h"
#include "epochs/frob.h"
#include "epochs/messages.h"
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
Expected<TesselVector<double>> energy_curve(const RunContext& c, double f0_median) {
  double window_s = 1.0 / (kEnergyWindowPeriods * f0_median);
  double hop_s = kEnergyHopFraction * window_s;
  // Cut-off 3 f0 as a fraction of the Nyquist frequency; at or above it the smoothing filter
  // cannot be designed (and the frame step would fall below one sample).
  const double wn = (0.25 / hop_s) / (0.5 * c.sr);
  if (!(wn < 1.0)) return step_failure(kF0TooHighForEnergy);
  const TesselVector<double> b = fir1(kSmoothingOrder, TesselVector<double>{wn}, 1);
  // The staircase has one value per signal sample; it is smoothed block by block.
  const long first = static_cast<long>(std::round(0.5 * b.size())) - 1;
  const long last = c.frames - static_cast<long>(std::floor(0.5 * b.size())) - 1;
  auto signal = c.samples();
  if (!signal) return std::move(signal).error();
  return ::energy_curve(**signal, c.sr, window_s, hop_s, b, first, last - first + 1);
}

// Frobenius-norm values placed on the sample grid: value i of frob belongs to sample
// round(t0 sr) - 1 + i, t0 its first time; zeros before. order receives the order used.
Expected<TesselVector<double>> frobenius_curve(const RunContext& c, double f0_median, int& order) {
  long first = 0, last = c.frames - 1;
  order = c.opts.lpc_order;
  auto signal = c.samples();
  if (!signal) return std::move(signal).error();
  const auto values = frob(**signal, c.sr, first, last, TesselVector<double>{f0_median}, order);
  if (!values) return values.error();
  TesselVector<double> curve;
  if (values->size() == 0) return curve;
  const long k0 = static_cast<long>(std::round((*values)[0].re * c.sr)) - 1;
  curve.resize(k0 + values->size());
  for (int i = 0; i < values->size(); ++i) curve[k0 + i] = (*values)[i].im;
  return curve;
}

Expected<TesselVector<double>> realloc_curve(const RunContext& c, const F0Result& f0) {
  if (!(c.sr > 2.0 * kReallocHighPassHz)) return step_failure(epochs_msg::kReallocRateTooLow);
  TesselVector<double> curve, concentration;
  double scale = 0.0, ref_concentration = 0.0;
  auto signal = c.samples();
  if (!signal) return std::move(signal).error();
  analyserealloc(**signal, c.sr, f0.track, 0, curve, concentration, scale, ref_concentration,
                 false);
  return curve;
}

// Verbose lines naming the method; `computing` only changes the reallocation wording.
void print_method(const RunContext& c, bool computing) {
  if (!c.verbose) return;
  switch (c.opts.method) {
    case EpochMethod::frob:
      std::cout << "\nCalculating epochs with the norm of frobenius." << std::endl;
      if (c.opts.lpc_order == -1) {
        std::cout << " -> LPC order : None " << std::endl;
      } else {
        std::cout << " -> LPC order : " << c.opts.lpc_order << std::endl;
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

// The curve of the selected method; lpc_order receives the order the Frobenius method used.
Expected<TesselVector<double>> epoch_curve(const RunContext& c, const F0Result& f0,
                                           int& lpc_order) {
  switch (c.opts.method) {
    case EpochMethod::ener:
      return energy_curve(c, f0.median);
    case EpochMethod::frob:
      return frobenius_curve(c, f0.median, lpc_order);
    case EpochMethod::realloc:
      break;
  }
  return realloc_curve(c, f0);
}

}  // namespace

Expected<EpochResult> step_epochs(const RunContext& c, const F0Result& f0) {
  EpochResult out;
  out.lpc_order = c.args.orderLPC_arg;
  out.computed = c.requested[kStepEpochs] ||
                 must_recompute(c.header(), {c.files.ecs}, {{c.files.ecs, kReuseEpochs}});
  print_method(c, out.computed);

  if (out.computed) {
    auto curve = epoch_curve(c, f0, out.lpc_order);
    if (!curve) return std::move(curve).error();
    out.curve.hold(std::move(curve).value());
    // An empty curve is refused before it is written, so that no later run reuses it.
    if (out.curve.size == 0) return step_failure(kEmptyCurve);
    if (Status w = datato1EPC(out.curve.values, k1ECS, c.files.ecs, c.header(out.lpc_order)); !w)
      return std::move(w).error();
    print_writing(c, c.files.ecs);
  } else {
    print_reading(c, c.files.ecs);
    auto reused = reused_curve(c.files.ecs, kSelEcs);
    if (!reused) return std::move(reused).error();
    out.curve = std::move(reused).value();
    if (out.curve.size == 0) return step_failure(kEmptyCurve);
  }
  return out;
}
