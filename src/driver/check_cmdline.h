// Checks and defaults applied to the parsed command line before any work starts.
#pragma once

#include <iosfwd>
#include <optional>

#include "driver/cmdline.h"

enum class EpochMethod { realloc, frob, ener };

// What the checks resolve beyond the record itself.
struct CheckedOptions {
  bool verbose = false;
  EpochMethod method = EpochMethod::ener;
  int lpc_order = -1;  // LPC order of the Frobenius method; -1: the epoch step chooses it
  bool voicing_requested = false;       // step 3 (coefficient and cut-off) asked for
  bool transients_requested = false;    // step 4 asked for
  std::optional<double> cutoff_cap_hz;  // voicing cut-off ceiling (Hz); none with --forcefc
};

// Default parameter values (filled into the record when the option is absent).
inline constexpr double kDefaultFminHz = 50.0;
inline constexpr double kDefaultFmaxHz = 1000.0;
inline constexpr double kDefaultVoiceThreshold = 0.6;
inline constexpr double kDefaultTransThreshold = 0.2;
inline constexpr double kDefaultAlpha = 4.0;
inline constexpr double kDefaultBeta = 0.05;
inline constexpr double kGammaPerBeta = 100.0;  // default gamma = 100 * beta
inline constexpr int kDefaultFrobOrder = 10;    // recorded LPC order of "-e frob" without -o
inline constexpr double kMaxCutoffHz = 6000.0;  // voicing cut-off ceiling without --forcefc

// Applies the checks in order to args: prints the verbose banner and any refusal or warning to
// out, each followed by a line end. Returns 1 on a refusal (the caller exits with status 1
// before any file is touched), else 0 with defaults filled in args and the rest in opts.
[[nodiscard]] int check_cmdline(gengetopt_args_info& args, CheckedOptions& opts, std::ostream& out);
