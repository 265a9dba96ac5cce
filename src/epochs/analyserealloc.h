// Reallocation analysis: epoch or transient curve from reassigned frames.
#pragma once

#include <tessel/tessel.h>

// Frames of N = round(k sr / 100) samples (made odd; k = 1.25 for mode 0, epochs; 5.0
// otherwise, transients) every round(N / 32) samples of the signal high-passed at 600 Hz are
// Hann-windowed and each votes for its temporal centre of gravity (postmarktemporel). Frame
// centres run from 2h + 101 to n - 2h - 100 (1-based, h = (N - 1) / 2). curve(i) is the vote
// density at 0-based sample i and concentration(i) the interpolated frame concentration, both
// 0 before the first covered sample and ending at the last one; both are empty when the signal
// has no frame (fewer than 4h + 201 samples). scale and ref_concentration: see
// postmarktemporel. The f0 track is not used. Both vectors' orientation flags are toggled.
// with_concentration false leaves concentration empty (one signal-long vector less). The frames
// are analysed in blocks on tessel::parallel::thread_count() threads; the results do not
// depend on their number.
// The signal is high-passed at this frequency (Hz) before framing; sampling rates at or below
// twice it leave no room for the filter and must not be analysed.
inline constexpr double kReallocHighPassHz = 600.0;

void analyserealloc(const tessel::TesselVector<double>& signal, const double& sr,
                    const tessel::TesselMatrix<double>& f0_track, long mode,
                    tessel::TesselVector<double>& curve,
                    tessel::TesselVector<double>& concentration, double& scale,
                    double& ref_concentration, bool with_concentration = true);
