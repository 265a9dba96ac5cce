#pragma once

#include "driver/cmdline.h"
#include "lumbra/lumbra.h"

// Parameter table of the analysis files, pairs in this order: External_f0 ("Yes" when -I was
// given), f0_fmin and f0_fmax ("%f", or "None" with -I), MethodEpocs, LpcOrder ("%d" when the
// method is exactly "frob", else "None"), Force_fcmax ("Yes"/"No"; left out when
// with_force_fcmax is false), VoiceThreshold, TransThreshold, MarkAlpha, MarkBeta, MarkGamma
// ("%f"). These texts are compared with the command line to decide whether a file is reused.
[[nodiscard]] SDIFNameValueTable paramtable(const gengetopt_args_info& args, bool with_force_fcmax);
