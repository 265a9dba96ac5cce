// Voiced and unvoiced zones from the voicing-coefficient track.
#pragma once

#include <tessel/tessel.h>

// Cuts the sound where the peak-normalised coefficient track (column 0 time in s, column 1
// coefficient) crosses threshold. A zone still open at the end closes at sample nsamples - 1;
// zones and gaps of 20 ms or less are removed; with no zone left, one voiced zone covers
// samples 0 .. nepochs - 1 (the epoch curve's length). voiced gets one row per zone (start,
// end in s); unvoiced gets the complement within [0, (nsamples - 1) / sr].
void voicedzones(const tessel::TesselMatrix<double>& coef, double sr, double threshold,
                 long nsamples, long nepochs, tessel::TesselMatrix<double>& voiced,
                 tessel::TesselMatrix<double>& unvoiced);
