// Steps 5 and 6: voiced/unvoiced zones and transient zones.
#include <iostream>
#include <string>

#include "driver/curve_values.h"
#include "driver/reuse.h"
#include "driver/runstate.h"
#include "driver/transientzones.h"
#include "driver/voicedzones.h"
#include "sdif/MRKsegtomatrix.h"
#include "sdif/sdif_signatures.h"
#include "sdif/segmentto1MRK.h"

namespace {

Status write_zones(const RunContext& c, const tessel::TesselMatrix<double>& zones,
                   const std::string& file, const char* kind, const HeaderFacts& header) {
  if (Status w = segmentto1MRK(zones, file, k1BEG, k1END, kind, header); !w)
    return std::move(w).error();
  print_writing(c, file);
  return Status{};
}

Status read_zones(const RunContext& c, const std::string& file,
                  tessel::TesselMatrix<double>& zones) {
  print_reading(c, file);
  return MRKsegtomatrix(file, zones, "1MRK", "1BEG", "1END");
}

// Step 5: both files must be valid; the 1UVI header is read only when 1VOI matched.
Status voiced_zones(const RunContext& c, const VoicingResult& voicing, long epoch_samples,
                    const HeaderFacts& header, ZoneResult& out) {
  const bool compute = c.requested[kStepVoicedZones] ||
                       must_recompute(header, {c.files.voi, c.files.uvi},
                                      {{c.files.voi, kReuseVoiced}, {c.files.uvi, kReuseUnvoiced}});
  if (!compute) {
    if (Status read = read_zones(c, c.files.voi, out.voiced); !read) return read;
    return read_zones(c, c.files.uvi, out.unvoiced);
  }
  if (c.verbose) {
    std::cout << "\nCalculating voiced/unvoiced zones with the threshold : "
              << c.args.voice_threshold_arg << std::endl;
  }
  voicedzones(voicing.coef, c.sr, c.args.voice_threshold_arg, c.frames, epoch_samples, out.voiced,
              out.unvoiced);
  if (Status w = write_zones(c, out.voiced, c.files.voi, kZoneVoiced, header); !w)
    return std::move(w).error();
  return write_zones(c, out.unvoiced, c.files.uvi, kZoneUnvoiced, header);
}

// Step 6.
Status transient_zones(const RunContext& c, const TransientResult& transients,
                       const HeaderFacts& header, ZoneResult& out) {
  out.transient_computed =
      c.requested[kStepTransientZones] ||
      must_recompute(header, {c.files.tra}, {{c.files.tra, kReuseTransientZones}});
  if (!out.transient_computed) return read_zones(c, c.files.tra, out.transient);
  if (c.verbose) {
    std::cout << "\nCalculating transitoires zones with the threshold : "
              << c.args.trans_threshold_arg << std::endl;
  }
  tessel::TesselVector<double> storage;
  auto curve = curve_values(transients.curve, storage);
  if (!curve) return std::move(curve).error();
  out.transient = transientzones(**curve, c.sr, c.args.trans_threshold_arg, c.frames);
  return write_zones(c, out.transient, c.files.tra, kZoneTransient, header);
}

}  // namespace

Expected<ZoneResult> step_zones(const RunContext& c, const VoicingResult& voicing,
                                const TransientResult& transients, const EpochResult& epochs,
                                const HeaderFacts& header) {
  ZoneResult out;
  if (Status v = voiced_zones(c, voicing, epochs.curve.size, header, out); !v)
    return std::move(v).error();
  if (Status t = transient_zones(c, transients, header, out); !t) return std::move(t).error();
  return out;
}
