// Transient zones from the transient curve.
#pragma once

#include <tessel/tessel.h>

// Printed on standard error when the curve is still above the threshold at its end.
inline constexpr const char* kTransientEndMissing =
    "Warning:: End of transient segment missing: adding virtual transient end at EOF\n";

// Zones where the transient curve (one value per 0-based sample) rises above threshold, one
// row per zone (start, end in s); no normalisation and no minimum length. A zone still open
// at the end is closed at sample nsamples - 1, with the warning above.
tessel::TesselMatrix<double> transientzones(const tessel::TesselVector<double>& curve, double sr,
                                            double threshold, long nsamples);
