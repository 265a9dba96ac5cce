// Analysis marks over the whole sound, with their kinds.
#pragma once

#include <tessel/tessel.h>

#include "core/failure.h"

// Marks over the N samples of the epoch curve data_v (sampling rate sr, Hz), sorted by time:
// each mark is (time in s, kind) with kind 1 voiced, 0 unvoiced, 2 transient.
//  - Inside each voiced zone (voiced_m: one row per zone, start and end in s) periodic marks
//    from markperiodic with alpha, beta, gamma and the f0 track f0_m (time s, f0 Hz). A zone
//    that covers fewer than two samples of the curve (one lying past its end) gets none.
//  - Between the periodic marks of consecutive zones, and before the first and after the last,
//    noise marks from marknoise at noise_rate Hz; a stretch too short for a noise mark gets
//    none (marknoise's (0, 0) answer is not a mark).
//  - Kinds: 1 where the voicing track (voicing_v: real part sr * t - 1, imaginary part the
//    coefficient) evaluated at the mark is strictly above voice_threshold, else 0; then 2 for
//    every mark inside a transient zone (transient_m, rows start and end in s, bounds
//    included), and a zone without any mark receives one at its middle.
// marked_voiced_m receives one row (first, last periodic mark time) per zone that gave marks;
// noise_m one row more: the stretches (start, end in s) that received the noise marks.
// Fails on the faults of markperiodic. O(N + marks log marks).
[[nodiscard]] Expected<tessel::TesselVector<tessel::cplx<double>>> markpositioning(
    const tessel::TesselVector<double>& data_v, double sr, const tessel::TesselMatrix<double>& f0_m,
    const tessel::TesselMatrix<double>& voiced_m, const tessel::TesselMatrix<double>& transient_m,
    double noise_rate, double alpha, double beta, double gamma,
    const tessel::TesselVector<tessel::cplx<double>>& voicing_v, double voice_threshold,
    tessel::TesselMatrix<double>& marked_voiced_m, tessel::TesselMatrix<double>& noise_m);
