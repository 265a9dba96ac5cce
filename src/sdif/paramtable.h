#pragma once

#include "lumbra/lumbra.h"
#include "sdif/header_keys.h"

// Parameter table of the analysis files: the parameter keys of header_keys() in order,
// External_f0 ("Yes" when -I was given), f0_fmin and f0_fmax ("%f", or "None" with -I),
// MethodEpocs, LpcOrder ("%d" of facts.lpc_order when the method is exactly "frob", else
// "None"), Force_fcmax ("Yes"/"No"; left out when with_force_fcmax is false), VoiceThreshold,
// TransThreshold, MarkAlpha, MarkBeta, MarkGamma ("%f"). The reuse test compares these texts,
// made by the same functions, with the current run's.
[[nodiscard]] SDIFNameValueTable paramtable(const HeaderFacts& facts, bool with_force_fcmax);
