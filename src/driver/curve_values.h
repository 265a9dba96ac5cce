#pragma once

#include "core/failure.h"
#include "driver/runstate.h"
#include "tessel/tessel.h"

// The values of curve: those it holds, or, for a reused curve, those of its file, read into
// storage. A file that no longer reads as it did, or no longer has curve.size values, gives a
// failure.
[[nodiscard]] Expected<const tessel::TesselVector<double>*> curve_values(
    const SampleCurve& curve, tessel::TesselVector<double>& storage);
