// Option parser of glotmark: getopt_long over one table that also gives the help lines.
#include "driver/cmdline.h"

#include "core/option_table.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using R = gengetopt_args_info;
using Kind = OptionKind;
using Row = OptionRow<R>;

// clang-format off
const Row kOptions[] = {
  {'h', "help", Kind::help,
   "   -h         --help                    Print help and exit", &R::help_given},
  {'V', "version", Kind::version,
   "   -V         --version                 Print version and exit", &R::version_given},
  {'i', "input", Kind::text,
   "   -iSTRING   --input=STRING            Input file", &R::input_given,
   nullptr, &R::input_arg},
  {'O', "f0", Kind::flag,
   "   -O         --f0                      f0 calcul (default=off)", &R::f0_given, &R::f0_flag},
  {'I', "f0-file", Kind::text,
   "   -ISTRING   --f0-file=STRING          force reading a sdiff 1FQ0/1FQ0 file", &R::f0_file_given,
   nullptr, &R::f0_file_arg},
  {'f', "fmin", Kind::real,
   "   -fDOUBLE   --fmin=DOUBLE             minimal frequency (default = 50 hz)", &R::fmin_given,
   nullptr, nullptr, &R::fmin_arg},
  {'F', "fmax", Kind::real,
   "   -FDOUBLE   --fmax=DOUBLE             maximal frequency (default = 1000hz)", &R::fmax_given,
   nullptr, nullptr, &R::fmax_arg},
  {0, "force", Kind::flag,
   "              --force                   Force reading all sdiff files of each step of glotmark while using an external f0 sdiff file (default=off)",
   &R::force_given, &R::force_flag},
  {'E', "epocs", Kind::flag,
   "   -E         --epocs                   Epocs calcul (default=off)", &R::epocs_given,
   &R::epocs_flag},
  {'e', "method-epocs", Kind::text,
   "   -eSTRING   --method-epocs=STRING     method for the epocs : realloc, frob or ener (by default)",
   &R::method_epocs_given, nullptr, &R::method_epocs_arg},
  {'o', "orderLPC", Kind::integer,
   "   -oINT      --orderLPC=INT            Lpc Order (only for frobenius method)",
   &R::orderLPC_given, nullptr, nullptr, nullptr, &R::orderLPC_arg},
  {'U', "v-u-tr", Kind::flag,
   "   -U         --v-u-tr                  Voice, UnVoice and transients calcul (default=off)",
   &R::v_u_tr_given, &R::v_u_tr_flag},
  {0, "voice", Kind::flag,
   "              --voice                   Only Voice/UnVoice calcul (default=off)",
   &R::voice_given, &R::voice_flag},
  {0, "forcefc", Kind::flag,
   "              --forcefc                 Force maximum voiced cut off frequency to (sampling rate)/2 (default=off)",
   &R::forcefc_given, &R::forcefc_flag},
  {0, "trans", Kind::flag,
   "              --trans                   Only transients calcul (default=off)",
   &R::trans_given, &R::trans_flag},
  {'T', "threshold", Kind::flag,
   "   -T         --threshold               Calcul voice, unvoice and transients aeras with threshold (default=off)",
   &R::threshold_given, &R::threshold_flag},
  {'v', "voice-threshold", Kind::real,
   "   -vDOUBLE   --voice-threshold=DOUBLE  Voiced/unvoiced threshold (default = 0.6)",
   &R::voice_threshold_given, nullptr, nullptr, &R::voice_threshold_arg},
  {'t', "trans-threshold", Kind::real,
   "   -tDOUBLE   --trans-threshold=DOUBLE  Transient threshold (default = 0.2)",
   &R::trans_threshold_given, nullptr, nullptr, &R::trans_threshold_arg},
  {'M', "mark-positionning", Kind::flag,
   "   -M         --mark-positionning       Mark positionning (default=off)",
   &R::mark_positionning_given, &R::mark_positionning_flag},
  {'a', "alpha", Kind::real,
   "   -aDOUBLE   --alpha=DOUBLE            Alpha for mark positionning (default = 4)",
   &R::alpha_given, nullptr, nullptr, &R::alpha_arg},
  {'b', "beta", Kind::real,
   "   -bDOUBLE   --beta=DOUBLE             Beta for mark positionning (default = 0.05)",
   &R::beta_given, nullptr, nullptr, &R::beta_arg},
  {'g', "gamma", Kind::real,
   "   -gDOUBLE   --gamma=DOUBLE            Gamma for mark positionning (default = 100*beta)",
   &R::gamma_given, nullptr, nullptr, &R::gamma_arg},
  {'S', "PSO-file", Kind::flag,
   "   -S         --PSO-file                Create the 1PSO sdif file (default=off)",
   &R::PSO_file_given, &R::PSO_file_flag},
  {0, "verbose", Kind::flag,
   "              --verbose                 Verbose (default=off)",
   &R::verbose_given, &R::verbose_flag},
};
// clang-format on

const char kShortOptions[] = "hVi:OI:f:F:Ee:o:UTv:t:Ma:b:g:S";

// Long description; its only placeholder is the package name in the usage line.
const char kDescription[] =
    "Purpose:\n"
    "  Glotmark performs a PSOLA analysis of an audio file. The analysis is divided in six\n"
    "  parts: the fundamental frequency (based upon Sinusor), the epochs (with three methods),\n"
    "  the voiced/unvoiced normalised coefficient with the cut-off frequency and the\n"
    "  transients, the voiced/unvoiced and transient zones obtained by threshold, the mark\n"
    "  positioning, and the creation of the 1PSO sdif file.\n"
    "\n"
    "  The input file is given with -i. It is looked for as given, then in the directory\n"
    "  named by the environment variable SFDIR, then in the current directory.\n"
    "\n"
    "  When you put the flag of a step, all the steps before will be done, and all the data of\n"
    "  the step will be overwrited. For steps before, if there is no change in parameters,\n"
    "  compare to the last analyse, the files will be uniquely read.\n"
    "\n"
    "  \t1. Fundamental frequency\n"
    "  \t========================\n"
    "  \t-O computes the f0 with the external program harmex, between fmin (-f, default\n"
    "  \t50 Hz) and fmax (-F, default 1000 Hz). -I reads the f0 from a sdif file of 1FQ0\n"
    "  \tframes instead; -O and -I cannot be given together. With -I, every later step is\n"
    "  \trecomputed unless --force is given.\n"
    "  \tOutput: filename.1FQ0.sdif\n"
    "\n"
    "  \t2. Epochs\n"
    "  \t=========\n"
    "  \t-E computes the epochs by the method given with -e: ener (energy, by default),\n"
    "  \tfrob (Frobenius norm) or realloc (reallocation). -o gives the LPC order of the\n"
    "  \tFrobenius method (it must be > 0) and selects that method when -e is not given.\n"
    "  \tOutput: filename.1ECS.sdif\n"
    "\n"
    "  \t3. Voiced/unvoiced coefficient, cut-off frequency and transients\n"
    "  \t================================================================\n"
    "  \t-U computes the voiced/unvoiced normalised coefficient, the voicing cut-off\n"
    "  \tfrequency and the transients; --voice computes only the first two, --trans only\n"
    "  \tthe transients. The cut-off frequency is limited to 6000 Hz, or to half the\n"
    "  \tsampling rate with --forcefc.\n"
    "  \tOutput: filename.1VUN.sdif, filename.1VUF.sdif, filename.1ECL.sdif\n"
    "\n"
    "  \t4. Zones\n"
    "  \t========\n"
    "  \t-T computes the voiced, unvoiced and transient zones by threshold: the voiced\n"
    "  \tthreshold is given with -v (default 0.6), the transient threshold with -t\n"
    "  \t(default 0.2); both must be in ]0,1[.\n"
    "  \tOutput: filename.1VOI.sdif, filename.1UVI.sdif, filename.1TRA.sdif\n"
    "\n"
    "  \t5. Mark positionning\n"
    "  \t====================\n"
    "  \t-M positions the marks over the whole sound and gives each its kind (voiced,\n"
    "  \tunvoiced or transient). Alpha (-a, default 4): It must be > 2. Beta (-b, default\n"
    "  \t0.05): it must be > 0. Gamma (-g, default 100*beta): It can't be equal to zero.\n"
    "  \tOutput: filename.1MRK.sdif, filename.1VUT.sdif\n"
    "\n"
    "  \t6. 1PSO file\n"
    "  \t============\n"
    "  \t-S creates the 1PSO sdif file: one frame per mark with the sampling rate, the\n"
    "  \tposition, f0, voicing flag, voicing coefficient, cut-off frequency, period,\n"
    "  \tmodulation and transient flag.\n"
    "  \tOutput: filename.PSO.sdif\n"
    "\n"
    "  All the files are stored in the directory PSOfilename, created next to the sound\n"
    "  file.\n"
    "\n"
    "  A history file is written in this directory at the end of each analyse.\n"
    "  It's containing the user login, time of begining and ending, and the command line.\n"
    "\n"
    "\n"
    "Usage: %s [OPTIONS]... [FILES]...\n";

}  // namespace

void cmdline_parser_print_version() {
  std::printf("%s %s\n", CMDLINE_PARSER_PACKAGE, CMDLINE_PARSER_VERSION);
}

void cmdline_parser_print_help() {
  cmdline_parser_print_version();
  std::printf("\n");
  std::printf(kDescription, CMDLINE_PARSER_PACKAGE);
  std::printf("\n");
  for (const auto& row : kOptions) std::printf("%s\n", row.help_line);
}

int cmdline_parser(int argc, char* const* argv, gengetopt_args_info* args_info) {
  *args_info = gengetopt_args_info{};
  const OptionParserSettings settings{CMDLINE_PARSER_PACKAGE, kShortOptions, true};
  switch (parse_option_table<R>(argc, argv, kOptions, settings, *args_info, args_info->inputs)) {
    case OptionParse::help:
      cmdline_parser_print_help();
      std::exit(0);
    case OptionParse::version:
      cmdline_parser_print_version();
      std::exit(0);
    case OptionParse::refused:
    case OptionParse::repeated:
      return 1;
    case OptionParse::ok:
      break;
  }
  if (args_info->input_given == 0) {
    std::fprintf(stderr, "%s: '--input' ('-i') option required\n", CMDLINE_PARSER_PACKAGE);
    return 1;
  }
  args_info->inputs_num = static_cast<unsigned>(args_info->inputs.size());
  return 0;
}
