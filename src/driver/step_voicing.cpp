// Step 3: voicing coefficient and cut-off frequency tracks.
#include <algorithm>
#include <iostream>
#include <string>

#include "driver/reuse.h"
#include "driver/runstate.h"
#include "sdif/datatosdif.h"
#include "sdif/sdif_signatures.h"
#include "sdif/sdiftomatrix.h"
#include "voicing/analysevoise.h"

namespace {

const char kEmptyCoef[] =
    "\n *** Error *** \n -> size of voice coeficient data matrix null ! \n *** Exiting from the "
    "program ***\n";
const char kEmptyCutoff[] =
    "\n *** Error *** \n -> size of voice frequency data matrix null ! \n *** Exiting from the "
    "program ***\n";

// An empty track is refused before anything is written, so that no later run can reuse it.
Status refuse_empty(const VoicingResult& v) {
  if (v.coef.nrows() == 0) return step_failure(kEmptyCoef);
  if (v.cutoff.nrows() == 0) return step_failure(kEmptyCutoff);
  return Status{};
}

// Writes a (time, value) track as 1VUV frames holding one matrix_sig matrix each.
Status write_track(const RunContext& c, const tessel::TesselMatrix<double>& track,
                   SdifSignature matrix_sig, const std::string& file, const HeaderFacts& header) {
  const tessel::TesselVector<double> times = track(0);
  const tessel::TesselVector<double> values = track(1);
  if (Status w = datatosdif(times, values, k1VUV, matrix_sig, file, header); !w)
    return std::move(w).error();
  print_writing(c, file);
  return Status{};
}

Status read_track(const RunContext& c, const std::string& file, tessel::TesselMatrix<double>& track,
                  const char* selection) {
  print_reading(c, file);
  return sdiftomatrix(file, track, selection);
}

}  // namespace

Expected<VoicingTracks> voicing_tracks(const RunContext& c, const F0Result& f0) {
  // Half the sampling rate with --forcefc (no cap), else the cap within half the rate.
  const double half_sr = c.sr * 0.5;
  double fcmax = c.opts.cutoff_cap_hz ? std::min(*c.opts.cutoff_cap_hz, half_sr) : half_sr;
  VoicingTracks t;
  auto signal = c.samples();
  if (!signal) return std::move(signal).error();
  if (Status done = analysevoise(**signal, c.sr, f0.track, t.coef, t.cutoff, fcmax); !done)
    return std::move(done).error();
  return t;
}

Expected<VoicingResult> step_voicing(const RunContext& c, const F0Result& f0,
                                     const HeaderFacts& header,
                                     std::future<Expected<VoicingTracks>>* ahead) {
  VoicingResult out;
  out.computed = c.requested[kStepVoicing] ||
                 must_recompute(header, {c.files.vun, c.files.vuf},
                                {{c.files.vun, kReuseVoicing}, {c.files.vuf, kReuseVoicing}});
  if (c.verbose) {
    std::cout << "\nCalculating voiced/unvoiced." << std::endl;
    if (c.args.forcefc_given)
      std::cout << " -> force cut off frequency to (Sampling Rate / 2)" << std::endl;
  }

  if (!out.computed) {
    if (Status read = read_track(c, c.files.vun, out.coef, kSelVun); !read)
      return std::move(read).error();
    if (Status read = read_track(c, c.files.vuf, out.cutoff, kSelVuf); !read)
      return std::move(read).error();
    if (Status full = refuse_empty(out); !full) return std::move(full).error();
    return out;
  }

  auto tracks = ahead != nullptr && ahead->valid() ? ahead->get() : voicing_tracks(c, f0);
  if (!tracks) return std::move(tracks).error();
  out.coef = std::move(tracks->coef);
  out.cutoff = std::move(tracks->cutoff);
  if (Status full = refuse_empty(out); !full) return std::move(full).error();
  if (Status w = write_track(c, out.coef, k1VUN, c.files.vun, header); !w)
    return std::move(w).error();
  if (Status w = write_track(c, out.cutoff, k1VUF, c.files.vuf, header); !w)
    return std::move(w).error();
  return out;
}
