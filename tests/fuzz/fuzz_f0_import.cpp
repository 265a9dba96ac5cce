// Fuzz target of the f0 import: the bytes are read as the 1FQ0 file the analysis imports with
// -I, and by each importer of the converter (1FQ0 file, Praat PitchTier and Pitch text, EST
// track, two-column text). A failure handed back or a ConvertError is the normal refusal.
// Besides crashes, the harness aborts when an importer breaks its promise: a track it returns
// must have as many values and flags as times, finite and strictly increasing times and finite
// voiced values (the analysis would use them as they are); a ConvertError must name the file.
#include <cmath>
#include <cstdint>
#include <string>

#include "convert/analysis_tracks.h"
#include "convert/convert_error.h"
#include "convert/est_track.h"
#include "convert/praat_text.h"
#include "driver/runstate.h"
#include "fuzz_file.h"
#include "sdif/FQ0tomatrix.h"

namespace {

constexpr double kNoTimeLimit = 1e300;  // seconds: keep every frame of the file

void check_track_shape(const F0Track& tr, const char* importer) {
  const std::string who = importer;
  if (tr.f0.size() != tr.t.size() || tr.voiced.size() != tr.t.size()) {
    fuzz_fail(who + ": times, values and flags of different lengths");
  }
  for (std::size_t i = 0; i < tr.t.size(); ++i) {
    if (!std::isfinite(tr.t[i])) fuzz_fail(who + ": a time that is not finite");
    if (i > 0 && !(tr.t[i] > tr.t[i - 1])) fuzz_fail(who + ": times not strictly increasing");
    if (tr.voiced[i] && !std::isfinite(tr.f0[i])) fuzz_fail(who + ": a voiced f0 not finite");
  }
}

template <class F>
void import_with(const std::string& path, const char* importer, F&& read) {
  try {
    check_track_shape(read(), importer);
  } catch (const ConvertError& e) {
    if (std::string(e.what()).find(path) == std::string::npos) {
      fuzz_fail(std::string(importer) +
                ": a ConvertError that does not name the file: " + e.what());
    }
  }
}

F0Track praat_f0(const std::string& path) {
  const PraatText text = read_praat_text(path);
  if (text.object_class == "PitchTier") return pitch_tier_track(text);
  return praat_pitch_track(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = fuzz_file(data, size, "input.f0");

  tessel::TesselMatrix<double> track;
  const Status s = FQ0tomatrix(path, track, kSelF0, kNoTimeLimit);
  if (!s && (s.error().text.empty() || s.error().status != 1)) {
    fuzz_fail("FQ0tomatrix: a failure without a message or with a status other than 1");
  }
  if (s && track.nrows() > 0 && track.ncols() != 2) fuzz_fail("FQ0tomatrix: not two columns");

  import_with(path, "read_f0_sdif", [&] { return read_f0_sdif(path); });
  import_with(path, "praat", [&] { return praat_f0(path); });
  import_with(path, "read_est_f0", [&] { return read_est_f0(path); });
  import_with(path, "read_f0_text", [&] { return read_f0_text(path); });
  return 0;
}
