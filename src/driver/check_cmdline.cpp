// Checks and defaults of the command line, in the order the driver applies them.
#include "driver/check_cmdline.h"

#include <ostream>
#include <string>

namespace {

const char kBanner[] = "\n *********** Glotmark ************* \n";
const char kConflict[] =
    "\n *** Conflict! Must choose between calculating f0 or using an external file ***\n";
const char kForceUseless[] = "\n *** Warning : --force flag useless ***\n";
const char kMethodError[] = "\n *** Method error! ***\n";
const char kOrderError[] = "\n *** LPC order must be > 0! ***\n";
const char kVoiceThresholdError[] = "\n *** Voice treshold error. Must be betwen ]0,1[.\n";
const char kTransThresholdError[] = "\n *** Transitoires treshold error. Must be betwen ]0,1[.\n";
const char kAlphaError[] = "\n *** Alpha must be > 2. \n";
const char kBetaError[] = "\n *** Beta must be > 0. \n";
const char kGammaError[] = "\n *** Gamma must be > 0. \n";
const char kNoStep[] =
    "\n *** Must give at least one flag for the different step of the analyse ('-O', '-E', "
    "'-U' ('--voice' , '--thres'), '-T', '-M', '-S') or parameters.\n";

int refuse(std::ostream& out, const char* message) {
  out << message << std::endl;
  return 1;
}

bool inside_open_unit(double x) {
  return x > 0.0 && x < 1.0;
}

}  // namespace

int check_cmdline(gengetopt_args_info& args, CheckedOptions& opts, std::ostream& out) {
  opts = CheckedOptions{};
  opts.verbose = args.verbose_given != 0;
  if (opts.verbose) out << kBanner << std::endl;

  if (args.f0_given && args.f0_file_given) return refuse(out, kConflict);
  if (args.force_given && !args.f0_file_given) {
    out << kForceUseless << std::endl;
    args.force_given = 0;
  }
  const std::string method = args.method_epocs_given ? args.method_epocs_arg : "";
  if (args.method_epocs_given && method != "realloc" && method != "frob" && method != "ener")
    return refuse(out, kMethodError);
  if (args.orderLPC_given && !(args.orderLPC_arg > 0)) return refuse(out, kOrderError);
  if (args.voice_threshold_given && !inside_open_unit(args.voice_threshold_arg))
    return refuse(out, kVoiceThresholdError);
  if (args.trans_threshold_given && !inside_open_unit(args.trans_threshold_arg))
    return refuse(out, kTransThresholdError);
  if (args.alpha_given && !(args.alpha_arg > 2.0)) return refuse(out, kAlphaError);
  if (args.beta_given && !(args.beta_arg > 0.0)) return refuse(out, kBetaError);
  if (args.gamma_given && !(args.gamma_arg > 0.0)) return refuse(out, kGammaError);

  const bool any_step = args.f0_given || args.f0_file_given || args.epocs_given ||
                        args.v_u_tr_given || args.voice_given || args.trans_given ||
                        args.threshold_given || args.mark_positionning_given || args.PSO_file_given;
  if (!any_step) return refuse(out, kNoStep);

  if (!args.fmin_given) args.fmin_arg = kDefaultFminHz;
  if (!args.fmax_given) args.fmax_arg = kDefaultFmaxHz;
  if (!args.voice_threshold_given) args.voice_threshold_arg = kDefaultVoiceThreshold;
  if (!args.trans_threshold_given) args.trans_threshold_arg = kDefaultTransThreshold;
  if (!args.alpha_given) args.alpha_arg = kDefaultAlpha;
  if (!args.beta_given) args.beta_arg = kDefaultBeta;
  if (!args.gamma_given) args.gamma_arg = kGammaPerBeta * args.beta_arg;

  if (method == "realloc") {
    opts.method = EpochMethod::realloc;
  } else if (method == "frob" || (method.empty() && args.orderLPC_given)) {
    opts.method = EpochMethod::frob;
    args.method_epocs_arg = "frob";
    if (args.orderLPC_given) {
      opts.lpc_order = args.orderLPC_arg;
    } else {
      args.orderLPC_arg = kDefaultFrobOrder;
    }
  } else {
    opts.method = EpochMethod::ener;
    args.method_epocs_arg = "ener";
  }

  // -U, --voice and --trans are exclusive ways of asking; a mix of them asks for nothing.
  const unsigned ways =
      (args.v_u_tr_given ? 1u : 0u) + (args.voice_given ? 1u : 0u) + (args.trans_given ? 1u : 0u);
  if (ways == 1) {
    opts.voicing_requested = args.v_u_tr_given || args.voice_given;
    opts.transients_requested = args.v_u_tr_given || args.trans_given;
  }

  if (!args.forcefc_given) opts.cutoff_cap_hz = kMaxCutoffHz;
  return 0;
}
