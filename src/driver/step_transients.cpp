// Step 4: the transient curve.
#include <iostream>

#include "driver/reuse.h"
#include "driver/reused_curve.h"
#include "driver/runstate.h"
#include "epochs/analyserealloc.h"
#include "epochs/messages.h"
#include "sdif/datato1EPC.h"
#include "sdif/sdif_signatures.h"

namespace {

const char kEmptyCurve[] =
    "\n *** Error *** \n -> size of transistoire data vector null ! \n *** Exiting from the "
    "program ***\n";
constexpr long kTransientMode = 1;  // long-window reallocation

}  // namespace

Expected<tessel::TesselVector<double>> transient_curve(const RunContext& c, const F0Result& f0) {
  if (!(c.sr > 2.0 * kReallocHighPassHz)) return step_failure(epochs_msg::kReallocRateTooLow);
  tessel::TesselVector<double> curve, concentration;
  double scale = 0.0, ref_concentration = 0.0;
  auto signal = c.samples();
  if (!signal) return std::move(signal).error();
  analyserealloc(**signal, c.sr, f0.track, kTransientMode, curve, concentration, scale,
                 ref_concentration, false);
  return curve;
}

Expected<TransientResult> step_transients(
    const RunContext& c, const F0Result& f0, const HeaderFacts& header,
    std::future<Expected<tessel::TesselVector<double>>>* ahead) {
  TransientResult out;
  out.computed = c.requested[kStepTransients] ||
                 must_recompute(header, {c.files.ecl}, {{c.files.ecl, kReuseTransients}});
  if (c.verbose) std::cout << "\nCalculating transitoires." << std::endl;

  if (out.computed) {
    auto curve = ahead != nullptr && ahead->valid() ? ahead->get() : transient_curve(c, f0);
    if (!curve) return std::move(curve).error();
    out.curve.hold(std::move(curve).value());
    // An empty curve is refused before it is written, so that no later run reuses it.
    if (out.curve.size == 0) return step_failure(kEmptyCurve);
    if (Status w = datato1EPC(out.curve.values, k1ECL, c.files.ecl, header); !w)
      return std::move(w).error();
    print_writing(c, c.files.ecl);
  } else {
    print_reading(c, c.files.ecl);
    auto reused = reused_curve(c.files.ecl, kSelEcl);
    if (!reused) return std::move(reused).error();
    out.curve = std::move(reused).value();
    if (out.curve.size == 0) return step_failure(kEmptyCurve);
  }
  return out;
}
