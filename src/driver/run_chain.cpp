// The chain of steps: each one after the other, until the last one requested; the
// computations of steps 3 and 4 run side by side with step 2.
#include <future>

#include "driver/reuse.h"
#include "driver/run_analysis.h"

namespace {

// The computations of steps 3 and 4 started on threads of their own once the f0 is settled,
// when the run will reach them and they will compute (the steps' own tests, with the header
// step 2 will hand on: only the Frobenius method can change its LPC order, and it is left
// serial). Results are taken in chain order, so messages, files and failures keep it.
struct StepsAhead {
  int lpc_order = 0;  // LpcOrder of the header the tests were made with
  std::future<Expected<VoicingTracks>> voicing;
  std::future<Expected<tessel::TesselVector<double>>> transients;
};

void start_ahead(const RunContext& c, const F0Result& f0, StepsAhead& ahead) {
  if (c.opts.method == EpochMethod::frob) return;
  ahead.lpc_order = c.args.orderLPC_arg;
  const HeaderFacts header = c.header(ahead.lpc_order);
  const bool voicing =
      any_request_after(c.requested, kStepEpochs) &&
      (c.requested[kStepVoicing] ||
       must_recompute(header, {c.files.vun, c.files.vuf},
                      {{c.files.vun, kReuseVoicing}, {c.files.vuf, kReuseVoicing}}));
  const bool transients =
      any_request_after(c.requested, kStepVoicing) &&
      (c.requested[kStepTransients] ||
       must_recompute(header, {c.files.ecl}, {{c.files.ecl, kReuseTransients}}));
  if (voicing)
    ahead.voicing = std::async(std::launch::async, voicing_tracks, std::cref(c), std::cref(f0));
  if (transients)
    ahead.transients = std::async(std::launch::async, transient_curve, std::cref(c), std::cref(f0));
}

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
  // Declared after r.f0 is set and destroyed before it: a run that stops early waits here
  // for what was started ahead, and drops it.
  StepsAhead ahead;
  if (tessel::parallel::thread_count() > 1) start_ahead(c, r.f0, ahead);

  auto epochs = step_epochs(c, r.f0);
  if (!epochs) return std::move(epochs).error();
  r.epochs = std::move(epochs).value();
  r.last_step = kStepEpochs;
  if (ends_after(c, kStepEpochs, r.epochs.computed)) return Status{};
  const HeaderFacts header = c.header(r.epochs.lpc_order);
  const bool use_ahead = r.epochs.lpc_order == ahead.lpc_order;

  auto voicing = step_voicing(c, r.f0, header, use_ahead ? &ahead.voicing : nullptr);
  if (!voicing) return std::move(voicing).error();
  r.voicing = std::move(voicing).value();
  r.last_step = kStepVoicing;
  if (ends_after(c, kStepVoicing, r.voicing.computed)) return Status{};

  auto transients = step_transients(c, r.f0, header, use_ahead ? &ahead.transients : nullptr);
  if (!transients) return std::move(transients).error();
  r.transients = std::move(transients).value();
  r.last_step = kStepTransients;
  if (ends_after(c, kStepTransients, r.transients.computed)) return Status{};

  auto zones = step_zones(c, r.voicing, r.transients, r.epochs, header);
  if (!zones) return std::move(zones).error();
  r.zones = std::move(zones).value();
  // No later step reads the transient curve: its values, in its file, are not held past here.
  r.transients.curve.release(c.files.ecl, kSelEcl);
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
