// 1-based FFT bin numbers to frequencies.
#pragma once

#include <tessel/tessel.h>

// Frequency in Hz of the 1-based bin k of an FFT of size n at sampling rate sr (Hz):
// (k - 1) / n * sr.
inline double matlabversf(double k, double sr, int n) {
  return (k - 1.0) / n * sr;
}

// The same, element by element; the result has the length and orientation of k.
tessel::TesselVector<double> matlabversf(const tessel::TesselVector<double>& k, double sr, int n);
