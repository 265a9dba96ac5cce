#include "epochs/frob.h"

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "epochs/messages.h"

using tessel::cplx;
using tessel::TesselVector;

namespace {

Failure fail(const char* message) {
  return Failure(std::string(message) + "\n");
}

constexpr int kDefaultOrder = 10;  // prediction order when the caller sets none

}  // namespace

Expected<TesselVector<cplx<double>>> frob(const TesselVector<double>& signal, const double& sr,
                                          long& first, long& last, const TesselVector<double>& f0,
                                          int& order) {
  const long n_signal = signal.size();
  if (first < 0) return fail(epochs_msg::kFrobFirstNegative);
  if (last > n_signal - 1) return fail(epochs_msg::kFrobLastTooLarge);
  if (first > last) return fail(epochs_msg::kFrobFirstAfterLast);
  if (f0.size() == 0) return fail(epochs_msg::kFrobNoF0);

  const double win_s =
      f0.size() == 1 ? 0.5 / f0[0] : 0.75 / (tessel::basic_ops::sum(f0) / f0.size());
  // A window holds at least one sample, whatever the f0.
  const long nw = std::max(1L, static_cast<long>(std::round(win_s * sr)));

  const bool explicit_order = order != -1;
  long p = explicit_order ? order : kDefaultOrder;
  if (nw < p) {
    p = static_cast<long>(std::round(0.5 * nw));
    if (p % 2 != 0) ++p;
    if (explicit_order) std::cout << epochs_msg::kFrobBadOrder << p << "." << std::endl;
  }
  order = static_cast<int>(p);

  const double* x = signal.data() + first;
  const long n = last - first + 1;
  const long count = n - nw - p + 1;  // positions with p + 1 full windows
  TesselVector<cplx<double>> out;
  if (count <= 0) return out;
  out.resize(count);

  // R(i): energy of the window starting at i; Q(i): sum of R(i) .. R(i + p). Both are running
  // sums updated in this order; the last p + 1 values of R live in a ring.
  const auto q = [x](long k) { return x[k] * x[k]; };
  std::vector<double> ring(static_cast<std::size_t>(p + 1));
  double r = 0.0;
  for (long k = 0; k < nw; ++k) r += q(k);
  ring[0] = r;
  double big_q = r;
  for (long i = 1; i <= p; ++i) {
    r = r - q(i - 1) + q(i - 1 + nw);
    ring[i % (p + 1)] = r;
    big_q += r;
  }

  long kept = 0;
  for (long i = 0; i < count; ++i) {
    if (i > 0) {
      r = r - q(i + p - 1) + q(i + p - 1 + nw);  // R(i + p)
      double& slot = ring[(i - 1) % (p + 1)];    // holds R(i - 1), then R(i + p)
      big_q = big_q - slot + r;
      slot = r;
    }
    if (std::isnan(big_q)) continue;
    const double energy = big_q < 0.0 ? 0.0 : big_q;
    out[kept++] = cplx<double>((first + i + 1 + p) / sr, std::sqrt(energy) / p);
  }
  out.resize(kept);
  return out;
}
