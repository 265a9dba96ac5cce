// Step 2: the epoch curve.
#include <iostream>

#include "driver/reuse.h"
#include "driver/runstate.h"

namespace {

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
    s.request[kStepEpochs] = must_recompute(s, {s.files.ecs}, {{s.files.ecs, kReuseEpochs}});
  const bool compute = s.request[kStepEpochs];
  print_method(s, compute);

  if (compute) {
    // ener + smoothing, frob or analyserealloc (epoch mode) by s.opts.method into s.epochs;
    // after frob store the order used in s.args.orderLPC_arg; datato1EPC(s.epochs, "1ECS",
    // s.files.ecs, s.args) (non-zero: error_end(s, "")); print_writing(s, s.files.ecs);
    // then: if (!any_request_after(s, kStepEpochs)) normal_end(s);
    not_available(s, "the epoch analysis");
  } else {
    print_reading(s, s.files.ecs);
    // EPCtovector(s.files.ecs, s.epochs, kSelEcs); non-zero: error_end(s, cannot_open(...)).
    not_available(s, "reading the epoch file back");
  }
  if (s.epochs.size() == 0)
    error_end(s,
              "\n *** Error *** \n -> size of epoc data vector null ! \n *** Exiting from the "
              "program ***\n");
}
