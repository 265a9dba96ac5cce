// The option record of glotmark: what the command line asked for, read by the analysis and
// by the writers, which copy its effective values into every file header.
#pragma once

#include <string>
#include <vector>

// Parsed options. Value fields first, then one "given" counter per option in option order.
// A value field counts only when its counter is non-zero; after the driver's checks
// (check_cmdline) the value fields hold the effective values, defaults included.
struct gengetopt_args_info {
  std::string input_arg;             // -i, --input: the sound file as given
  int f0_flag = 0;                   // -O, --f0
  std::string f0_file_arg;           // -I, --f0-file: external 1FQ0 file as given
  double fmin_arg = 0.0;             // -f, --fmin (Hz)
  double fmax_arg = 0.0;             // -F, --fmax (Hz)
  int force_flag = 0;                // --force
  int epocs_flag = 0;                // -E, --epocs
  std::string method_epocs_arg;      // -e, --method-epocs: "ener", "frob" or "realloc"
  int orderLPC_arg = 0;              // -o, --orderLPC
  int v_u_tr_flag = 0;               // -U, --v-u-tr
  int voice_flag = 0;                // --voice
  int forcefc_flag = 0;              // --forcefc
  int trans_flag = 0;                // --trans
  int threshold_flag = 0;            // -T, --threshold
  double voice_threshold_arg = 0.0;  // -v, --voice-threshold, in ]0,1[
  double trans_threshold_arg = 0.0;  // -t, --trans-threshold, in ]0,1[
  int mark_positionning_flag = 0;    // -M, --mark-positionning
  double alpha_arg = 0.0;            // -a, --alpha, > 2
  double beta_arg = 0.0;             // -b, --beta, > 0
  double gamma_arg = 0.0;            // -g, --gamma, > 0
  int PSO_file_flag = 0;             // -S, --PSO-file
  int verbose_flag = 0;              // --verbose

  unsigned help_given = 0;
  unsigned version_given = 0;
  unsigned input_given = 0;
  unsigned f0_given = 0;
  unsigned f0_file_given = 0;
  unsigned fmin_given = 0;
  unsigned fmax_given = 0;
  unsigned force_given = 0;
  unsigned epocs_given = 0;
  unsigned method_epocs_given = 0;
  unsigned orderLPC_given = 0;
  unsigned v_u_tr_given = 0;
  unsigned voice_given = 0;
  unsigned forcefc_given = 0;
  unsigned trans_given = 0;
  unsigned threshold_given = 0;
  unsigned voice_threshold_given = 0;
  unsigned trans_threshold_given = 0;
  unsigned mark_positionning_given = 0;
  unsigned alpha_given = 0;
  unsigned beta_given = 0;
  unsigned gamma_given = 0;
  unsigned PSO_file_given = 0;
  unsigned verbose_given = 0;

  std::vector<std::string> inputs;  // non-option arguments (never used by the driver)
  unsigned inputs_num = 0;
};
