// ondule: complex FFT and analysis windows.
//
// Both functions report bad arguments by throwing std::invalid_argument; they never scale,
// allocate per call beyond a one-time plan per transform size, or keep references to the arrays.
#pragma once

// Window shapes, numbered as the callers request them.
enum ond_WindowType {
  ond_Hanning = 2,   // 0.5 - 0.5 cos(2 pi k / (n - 1))
  ond_Hamming = 3,   // 0.54 - 0.46 cos(2 pi k / (n - 1))
  ond_Blackman = 6,  // 0.42 - 0.5 cos(2 pi k / (n - 1)) + 0.08 cos(4 pi k / (n - 1))
};

namespace ondule {

using ::ond_Blackman;
using ::ond_Hamming;
using ::ond_Hanning;
using ::ond_WindowType;

// Complex DFT of n values (n a power of two, >= 1) held as interleaved (real, imaginary)
// doubles: direction 1 computes X[k] = sum_t x[t] e^(-2 pi j k t / n), direction -1 the same
// with e^(+2 pi j k t / n). No scaling in either direction. in == out transforms in place; the
// arrays must not otherwise overlap. Throws std::invalid_argument for a null array, an n that is
// not a power of two or a direction other than 1 and -1.
void complexfft(double* in, double* out, int n, int direction);

// Fills out[0 .. n-1] with the symmetric window of the given type over k = 0 .. n-1 (see the
// formulas above); n = 1 gives [1.0]. parameter and p1..p4 are accepted for interface
// compatibility and ignored (callers pass 0.0 and null). Throws std::invalid_argument for
// n <= 0, a null out or an unknown type.
void window(ond_WindowType type, int n, double* out, double parameter, double* p1, double* p2,
            double* p3, double* p4);

}  // namespace ondule
