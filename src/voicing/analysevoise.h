// Voicing coefficient and voicing cut-off frequency tracks.
#pragma once

#include <tessel/tessel.h>

#include "core/failure.h"

// Frame by frame on a 10 ms grid (the f0 track decimated to it), a Blackman window of five
// periods and a zero-phase spectrum: coef gets (frame time in s, share of the energy below
// fcmax that lies on the harmonics of f0, 0 to 1), cutoff gets (frame time in s, frequency in
// Hz of the highest harmonic of the harmonic band); both median-smoothed (orders 5 and 10) and
// resized to (frames, 2). f0track: column 0 time (s), column 1 f0 (Hz). fcmax (Hz) in/out:
// negative means sr / 2; a value below min(sr / 2, 6000) is raised to it. Frame times are
// (centre - 1) / sr with 1-based centres; frames whose window leaves the signal are dropped,
// and a track that yields no frame gives two empty (0 x 2) matrices. Fails only on the faults
// of spectre and medfilt1, which no track can cause.
[[nodiscard]] Status analysevoise(const tessel::TesselVector<double>& signal, double sr,
                                  const tessel::TesselMatrix<double>& f0track,
                                  tessel::TesselMatrix<double>& coef,
                                  tessel::TesselMatrix<double>& cutoff, double& fcmax);
