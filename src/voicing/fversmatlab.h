// Frequencies to 1-based FFT bin numbers.
#pragma once

#include <cmath>

#include <tessel/tessel.h>

// 1-based bin number of frequency f (Hz) in an FFT of size n at sampling rate sr (Hz):
// round(f / sr * n) + 1, halves rounded away from zero, as a double.
inline double fversmatlab(double f, double sr, int n) {
  return std::round(f / sr * n) + 1.0;
}

// The same, element by element; the result has the length and orientation of f.
tessel::TesselVector<double> fversmatlab(const tessel::TesselVector<double>& f, double sr, int n);
