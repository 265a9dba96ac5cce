// Modulus of spectrum values rounded to ten decimals.
#pragma once

// For k = 0 .. count - 1, with re = x[2k] and im = x[2k + 1] (interleaved complex values):
// each part is rounded to 10 decimals, round(v * 1e10) / 1e10 with halves away from zero,
// and magnitude[k] = the modulus of the rounded value, computed as max * sqrt(1 + q^2),
// q = min / max of the absolute parts (the absolute real part when the imaginary part is
// zero). Equal bit for bit to that scalar computation; two values per instruction where the
// processor has them. No allocation.
void rounded_modulus(const double* x, int count, double* magnitude);
