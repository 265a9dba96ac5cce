#include "marks/marknoise.h"

#include <cmath>
#include <vector>

tessel::TesselVector<tessel::cplx<double>> marknoise(long debut_n, long fin_n, double rate,
                                                     double sr) {
  using Marks = tessel::TesselVector<tessel::cplx<double>>;
  const Marks none(1, tessel::cplx<double>(0.0, 0.0));

  // Positions below are 1-based sample numbers.
  const long b = debut_n + 1;
  const long e = fin_n + 1;
  if (rate == 0.0) return none;
  const double period = sr / rate;  // samples between marks
  if (period == 0.0) return none;
  const double len = static_cast<double>(e - b + 1);
  const double n = std::round(len / period);  // number of steps over the stretch
  // n is 0 for a short stretch; a negative rate or sampling rate, or a NaN, also end here.
  if (!(n >= 1.0)) return none;
  double step_d = std::round(len / n);
  // A rate above twice the sampling rate would give a step of 0 and never reach the end:
  // one mark per sample is the densest meaningful spacing.
  if (step_d < 1.0) step_d = 1.0;
  const long step = static_cast<long>(step_d);
  const long start = b + step;
  const long limit = e - step / 2;
  if (start > limit) return none;

  const long count = (limit - start) / step + 1;
  Marks marks(static_cast<int>(count), tessel::cplx<double>(0.0, 0.0));
  tessel::cplx<double>* out = marks.data();
  for (long i = 0; i < count; ++i) {
    out[i] = tessel::cplx<double>(static_cast<double>(start + i * step - 1) / sr, 0.0);
  }
  return marks;
}
