#include "psola/overlap_add.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr std::size_t kBlock = 1 << 16;  // output samples handed to the sink at a time
constexpr int kTable = 4096;             // points of the half window

// 0.5 (1 + cos(pi u)) at u = i / kTable: 1 at the mark, 0 at the end of the extent.
struct HalfWindow {
  std::array<double, kTable + 2> w{};
  HalfWindow() {
    for (int i = 0; i <= kTable; ++i) w[i] = 0.5 * (1.0 + std::cos(std::numbers::pi * i / kTable));
    w[kTable + 1] = 0.0;
  }
  // u in [0, 1]: linear between table points, so a rise and a fall over the same extent sum
  // to 1 sample by sample.
  [[nodiscard]] double operator()(double u) const {
    const double x = std::min(u, 1.0) * kTable;
    const int i = static_cast<int>(x);
    return w[i] + (x - i) * (w[i + 1] - w[i]);
  }
};

const HalfWindow kHalf;

struct Accumulator {
  std::vector<double> acc, sum;  // output samples base .. base + size
  std::size_t base = 0;

  // Adds one grain; lo..hi are absolute output indices inside the buffer.
  void add(const float* x, std::size_t n, const Grain& g, long lo, long hi) {
    const long shift = std::lround(g.out_pos - g.in_pos);
    const auto nn = static_cast<long>(n);
    if (!g.reversed && lo - shift >= 0 && hi - shift < nn) {
      add_inside(x, shift, g, lo, hi);
      return;
    }
    const long ci = std::lround(g.in_pos), co = std::lround(g.out_pos);
    double* a = acc.data() - static_cast<long>(base);
    double* s = sum.data() - static_cast<long>(base);
    for (long k = lo; k <= hi; ++k) {
      const double w = weight(g, static_cast<double>(k));
      const long i = g.reversed ? ci + co - k : k - shift;
      a[k] += i >= 0 && i < nn ? w * static_cast<double>(x[i]) : 0.0;
      s[k] += w;
    }
  }

  static double weight(const Grain& g, double pos) {
    if (pos < g.out_pos) return kHalf((g.out_pos - pos) / g.left);
    if (pos > g.out_pos + g.flat) return kHalf((pos - g.out_pos - g.flat) / g.right);
    return 1.0;
  }

  // The common case: the grain reads inside the sound, forwards; output index k takes input
  // sample k - shift. Rise, flat top and fall in three branch-free loops.
  void add_inside(const float* x, long shift, const Grain& g, long lo, long hi) {
    double* a = acc.data() - static_cast<long>(base);
    double* s = sum.data() - static_cast<long>(base);
    const long rise_end = std::min(hi, static_cast<long>(std::floor(g.out_pos)));
    const double top_end = g.out_pos + g.flat;
    const long flat_end = std::min(hi, static_cast<long>(std::floor(top_end)));
    const double inv_left = 1.0 / g.left, inv_right = 1.0 / g.right;
    long k = lo;
    for (; k <= rise_end; ++k) {
      const double w = kHalf((g.out_pos - static_cast<double>(k)) * inv_left);
      a[k] += w * static_cast<double>(x[k - shift]);
      s[k] += w;
    }
    for (; k <= flat_end; ++k) {
      a[k] += static_cast<double>(x[k - shift]);
      s[k] += 1.0;
    }
    for (; k <= hi; ++k) {
      const double w = kHalf((static_cast<double>(k) - top_end) * inv_right);
      a[k] += w * static_cast<double>(x[k - shift]);
      s[k] += w;
    }
  }

  // Normalises and hands over the samples before `upto`, then slides the buffer. Samples
  // past the buffer were reached by no grain: they are silence.
  void flush(std::size_t upto, std::vector<double>& out, const SampleSink& sink) {
    const std::size_t count = upto - base;
    const std::size_t held = std::min(count, acc.size());
    out.assign(count, 0.0);
    for (std::size_t i = 0; i < held; ++i) out[i] = acc[i] / std::max(sum[i], 1.0);
    if (count > 0) sink(out.data(), count);
    const auto h = static_cast<long>(held);
    std::copy(acc.begin() + h, acc.end(), acc.begin());
    std::copy(sum.begin() + h, sum.end(), sum.begin());
    std::fill(acc.end() - h, acc.end(), 0.0);
    std::fill(sum.end() - h, sum.end(), 0.0);
    base = upto;
  }
};

}  // namespace

void overlap_add(const float* x, std::size_t n, const std::vector<Grain>& grains, std::size_t n_out,
                 const SampleSink& sink, const Progress& progress) {
  double reach_back = 1.0, reach_on = 1.0;  // longest rise and longest flat top + fall
  for (const Grain& g : grains) {
    reach_back = std::max(reach_back, g.left);
    reach_on = std::max(reach_on, g.flat + g.right);
  }
  const std::size_t size =
      std::min(n_out, kBlock + static_cast<std::size_t>(std::ceil(reach_back + reach_on)) + 4);
  Accumulator b;
  b.acc.assign(size, 0.0);
  b.sum.assign(size, 0.0);
  std::vector<double> out;
  out.reserve(size);
  const long last = static_cast<long>(n_out) - 1;
  for (const Grain& g : grains) {
    // No later grain starts before this one's mark minus the longest rise.
    const double safe = std::floor(g.out_pos - reach_back);
    if (safe > static_cast<double>(b.base + kBlock)) {
      b.flush(std::min(n_out, static_cast<std::size_t>(safe)), out, sink);
      if (progress) progress(static_cast<double>(b.base) / static_cast<double>(n_out));
    }
    const long lo = std::max(static_cast<long>(std::ceil(g.out_pos - g.left)), 0L);
    const long hi = std::min(static_cast<long>(std::floor(g.out_pos + g.flat + g.right)), last);
    if (lo > hi) continue;
    b.add(x, n, g, std::max(lo, static_cast<long>(b.base)), hi);
  }
  b.flush(n_out, out, sink);
  if (progress) progress(1.0);
}
