// Speed of the numeric-core kernels that run over whole recordings.
//
// Reproduce (from the repository root):
//   cmake -S . -B build-tessel -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-tessel --target bench_tessel_kernels -j2
//   build-tessel/bin/bench_tessel_kernels            # --seconds S sets the signal length
//
// Figures, each as a ratio measured in the same run (the machine is shared):
//   filter   the 101-tap FIR of the energy smoothing on S seconds at 44.1 kHz: sig_proc::filter
//            against a plain per-sample direct-form loop, and as times faster than real time;
//   arith    2 * a * b + c on vectors (each operation evaluated at once into a new vector)
//            against one fused raw loop;
//   fft      1024-point sig_proc::fft against the same transform with a new FFTW plan per call
//            is not measured here (plans are internal to ondule): it reports transforms per second.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_util.h"
#include "tessel/tessel.h"

using namespace tessel;

namespace {

using benchutil::seconds_since;

// Best of three runs of f, in seconds.
template <class F>
double best_of_three(F&& f) {
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, seconds_since(t0));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  double duration = 60.0;  // seconds of signal
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) duration = std::atof(argv[i + 1]);
  }
  constexpr double kRate = 44100.0;  // Hz
  const int n = static_cast<int>(duration * kRate);
  TesselVector<double> x(n);
  for (int i = 0; i < n; ++i) x[i] = std::sin(0.001 * i) + 0.3 * std::sin(0.37 * i);
  TesselVector<double> b(101, 1.0 / 101);
  const TesselVector<double> a = {1.0};

  volatile double sink = 0.0;
  const double t_filter = best_of_three([&] { sink = sink + sig_proc::filter(b, a, x)[n / 2]; });
  const double t_direct = best_of_three([&] {
    std::vector<double> y(n), z(100, 0.0);
    for (int i = 0; i < n; ++i) {
      const double xi = x[i];
      const double yi = z[0] + b[0] * xi;
      for (int k = 0; k + 1 < 100; ++k) z[k] = z[k + 1] + b[k + 1] * xi;
      z[99] = b[100] * xi;
      y[i] = yi;
    }
    sink = sink + y[n / 2];
  });
  std::printf(
      "filter  %d samples, 101 taps: %.3f s (%.0fx real time); direct-form loop %.3f s; "
      "ratio direct/filter %.2f\n",
      n, t_filter, duration / t_filter, t_direct, t_direct / t_filter);

  const TesselVector<double> c = x * 0.5;
  const double t_eager = best_of_three([&] {
    const TesselVector<double> r = 2.0 * x * c + x;
    sink = sink + r[n / 3];
  });
  const double t_raw = best_of_three([&] {
    std::vector<double> r(n);
    const double* xp = x.data();
    const double* cp = c.data();
    for (int i = 0; i < n; ++i) r[i] = 2.0 * xp[i] * cp[i] + xp[i];
    sink = sink + r[n / 3];
  });
  std::printf("arith   2*a*b + c on %d values: %.3f s; fused raw loop %.3f s; ratio %.2f\n", n,
              t_eager, t_raw, t_eager / t_raw);

  const TesselVector<double> frame = x(Range(0, 1023));
  const int reps = 20000;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < reps; ++i) sink = sink + sig_proc::fft(frame, 1024)[3].re;
  const double t_fft = seconds_since(t0);
  std::printf("fft     1024 points: %.0f transforms per second\n", reps / t_fft);
  return sink == 12345.0 ? 1 : 0;
}
