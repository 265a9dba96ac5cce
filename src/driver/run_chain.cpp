// The chain of steps: each one after the other, until the last one requested.
#include "driver/run_analysis.h"

namespace {

// True when the run ends normally after `step`, computed.
bool ends_after(const RunContext& c, int step, bool computed) {
  return computed && !any_request_after(c.requested, step);
}

}  // namespace

Status run_chain(const RunContext& c, AnalysisResults& r) {
  auto f0_step = step_f0(c);
  if (!f0_step) return std::move(f0_step).error();
  r.last_step = kStepF0;
  if (f0_step->ends_run) return Status{};
  auto f0 = prepare_f0(std::move(f0_step->track));
  if (!f0) return std::move(f0).error();
  r.f0 = std::move(f0).value();

  auto epochs = step_epochs(c, r.f0);
  if (!epochs) return std::move(epochs).error();
  r.epochs = std::move(epochs).value();
  r.last_step = kStepEpochs;
  if (ends_after(c, kStepEpochs, r.epochs.computed)) return Status{};
  const HeaderFacts header = c.header(r.epochs.lpc_order);

  auto voicing = step_voicing(c, r.f0, header);
  if (!voicing) return std::move(voicing).error();
  r.voicing = std::move(voicing).value();
  r.last_step = kStepVoicing;
  if (ends_after(c, kStepVoicing, r.voicing.computed)) return Status{};

  auto transients = step_transients(c, r.f0, header);
  if (!transients) return std::move(transients).error();
  r.transients = std::move(transients).value();
  r.last_step = kStepTransients;
  if (ends_after(c, kStepTransients, r.transients.computed)) return Status{};

  auto zones = step_zones(c, r.voicing, r.transients, r.epochs, header);
  if (!zones) return std::move(zones).error();
  r.zones = std::move(zones).value();
  r.last_step = kStepTransientZones;
  if (ends_after(c, kStepTransientZones, r.zones.transient_computed)) return Status{};

  auto marks = step_marks(c, r.f0, r.epochs, r.voicing, r.zones, header);
  if (!marks) return std::move(marks).error();
  r.marks = std::move(marks).value();
  r.last_step = kStepMarks;
  if (!c.requested[kStepPso]) return Status{};  // computed or read back

  if (Status pso = step_pso(c, r.f0, r.voicing, r.marks, header); !pso) return pso;
  r.last_step = kStepPso;
  return Status{};
}
