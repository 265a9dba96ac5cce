#include "epochs/postmarktemporel.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "epochs/evalbp_v.h"
#include "epochs/gaussian.h"

using tessel::cplx;
using tessel::TesselMatrix;
using tessel::TesselVector;

namespace {

constexpr double kSqrtTwoPi = 2.5066282746310002;  // sqrt(2 pi)
constexpr double kFinePerSample = 10.0;            // vote grid points per sample

// Sorts (position, concentration) pairs by position, equal positions keeping their order.
// Reassigned positions are nearly in frame order, so insertion sort is linear here; input
// that turns out far from sorted goes to a merge sort instead.
void sort_by_position(std::vector<std::pair<double, double>>& v) {
  const std::size_t n = v.size();
  const std::size_t budget = 64 * n + 1024;  // element moves allowed before giving up
  std::size_t moves = 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (!(v[i].first < v[i - 1].first)) continue;
    const auto item = v[i];
    std::size_t j = i;
    while (j > 0 && item.first < v[j - 1].first) {
      v[j] = v[j - 1];
      --j;
      ++moves;
    }
    v[j] = item;
    if (moves > budget) {
      std::stable_sort(v.begin(), v.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      return;
    }
  }
}

// Concentration of a constant frame of `len` samples under the trimmed Hann window.
double reference_concentration(long len) {
  const TesselVector<double> w = tessel::sig_proc::hanning(len, true);
  const long centre = (len - 1) / 2;
  double num = 0.0, den = 0.0;
  for (long i = 0; i < len; ++i) {
    const double u = static_cast<double>(i - centre);
    num += (w[i] * w[i]) * (u * u);
    den += w[i] * w[i];
  }
  return 1.0 - 2.0 * std::sqrt(num / den) / static_cast<double>(len);
}

// The finite votes of the frame records, sorted by position.
std::vector<std::pair<double, double>> sorted_votes(const TesselVector<cplx<double>>& z) {
  std::vector<std::pair<double, double>> votes;
  votes.reserve(static_cast<std::size_t>(z.size()));
  for (int i = 0; i < z.size(); ++i) {
    if (std::isfinite(z[i].re)) votes.emplace_back(z[i].re, z[i].im);
  }
  sort_by_position(votes);
  return votes;
}

// Where the sorted votes fall: the 0-based samples r0 .. r0 + n_samples - 1 cover them.
struct Cover {
  long r0 = 0;
  long n_samples = 0;
};

Cover cover_of(const std::vector<std::pair<double, double>>& votes) {
  const long r0 = static_cast<long>(std::floor(votes.front().first)) - 1;
  const long r1 = static_cast<long>(std::ceil(votes.back().first)) - 1;
  return {r0, r1 - r0 + 1};
}

// Number of density points of the sorted votes (see vote_density).
long density_points(const std::vector<std::pair<double, double>>& votes, double sr) {
  const Cover c = cover_of(votes);
  const long r1 = c.r0 + c.n_samples - 1;
  const double fine_rate = kFinePerSample * sr;
  const long n_bins = static_cast<long>(std::ceil((r1 / sr) * fine_rate + 1));
  const long first_bin = static_cast<long>(std::floor((c.r0 / sr) * fine_rate + 1)) - 1;
  return static_cast<long>(std::round((n_bins - first_bin) / 10.0)) + 1;
}

// Adds the votes' kernels to dp[0 .. density_points - 1] (zeros on entry) and scales them.
void vote_density(const std::vector<std::pair<double, double>>& votes, double sr, long len,
                  long hop, double* dp) {
  const Cover c = cover_of(votes);
  const long r0 = c.r0;
  const long r1 = c.r0 + c.n_samples - 1;
  // Fine grid of kFinePerSample points per sample, absolute index k <-> 1-based position
  // k / 10 + 1; only its bounds are computed. The smoothed histogram is the sum over votes of
  // the kernel centred on the vote's grid point, and only every tenth point of it is kept.
  const double fine_rate = kFinePerSample * sr;
  const long n_bins = static_cast<long>(std::ceil((r1 / sr) * fine_rate + 1));
  const long first_bin = static_cast<long>(std::floor((r0 / sr) * fine_rate + 1)) - 1;
  const long n_fine = n_bins - first_bin;  // fine points from first_bin on
  const long g = std::max(1L, static_cast<long>(std::round(((hop - 1) / sr) * fine_rate + 1)));
  const long half = 3 * g;  // kernel half-width, fine points

  TesselVector<double> axis(2 * half + 1, 0.0);
  for (long i = 0; i <= 2 * half; ++i) axis[i] = static_cast<double>(i - half);
  double kernel_sum = 0.0;
  const TesselVector<double> kernel = gaussian(axis, static_cast<double>(g), kernel_sum);
  const double* kp = kernel.data();

  const long n_points = static_cast<long>(std::round(n_fine / 10.0)) + 1;
  const long n_filled = std::min(n_points, (n_fine + 9) / 10);  // points with 10 i < n_fine
  // The kernel split by phase: phase r holds its points r, r + 10, r + 20, ..., so that a
  // vote adds a contiguous stretch of one phase to the kept points.
  const long fine = static_cast<long>(kFinePerSample);
  const long span = 2 * half + 1;
  const long per_phase = (span + fine - 1) / fine;
  std::vector<double> phases(static_cast<std::size_t>(fine * per_phase), 0.0);
  for (long k = 0; k < span; ++k)
    phases[static_cast<std::size_t>((k % fine) * per_phase + k / fine)] = kp[k];
  for (const auto& vote : votes) {
    const long bin = static_cast<long>(std::round(((vote.first - 1) / sr) * fine_rate + 1)) - 1;
    const long d = bin - first_bin;
    if (d < 0 || d >= n_fine) continue;
    const long lo = d - half;
    const long i_lo = lo <= 0 ? 0 : (lo + 9) / 10;
    const long i_hi = std::min(n_filled - 1, (d + half) / 10);
    if (i_hi < i_lo) continue;
    // Kernel point 10 i - d + half, for i = i_lo .. i_hi: phase r, index m0 + (i - i_lo).
    const long k0 = fine * i_lo - d + half;
    const double* ph = phases.data() + (k0 % fine) * per_phase + k0 / fine;
    double* out = dp + i_lo;
    const long count = i_hi - i_lo + 1;
    for (long i = 0; i < count; ++i) out[i] += ph[i];
  }
  const double frames_per_instant = std::ceil(static_cast<double>(len) / hop);
  for (long i = 0; i < n_points; ++i) dp[i] = dp[i] * kSqrtTwoPi * g / frames_per_instant;
}

// The concentrations of the sorted votes interpolated at the 1-based instants r0 + 1 + i,
// i = 0 .. count - 1, into out: the values evalbp_v gives for those instants, computed in one
// pass over the votes. Needs at least two instants inside the votes' span.
void interpolate_concentration(const std::vector<std::pair<double, double>>& votes, long r0,
                               long count, double* out) {
  const long n = static_cast<long>(votes.size());
  const double first = votes.front().first, last = votes.back().first;
  long j = 0;  // first index with x(j) >= t
  for (long i = 0; i < count; ++i) {
    const double t = static_cast<double>(r0 + i + 1);
    if (t < first) {
      out[i] = votes.front().second;
    } else if (t > last) {
      out[i] = votes.back().second;
    } else {
      while (j < n && votes[j].first < t) ++j;
      // The segment starts at the last point before t (among equal abscissae the first).
      const long k = j > 0 ? j - 1 : 0;
      const double x0 = votes[k].first, y0 = votes[k].second;
      if (t == x0 || k + 1 >= n) {
        out[i] = y0;
        continue;
      }
      const double x1 = votes[k + 1].first, y1 = votes[k + 1].second;
      out[i] = x1 == x0 ? y0 : y0 + (y1 - y0) * ((t - x0) / (x1 - x0));
    }
  }
}

// evalbp_v of the sorted votes at the instants r0 + 1 + i (any number inside the span).
TesselVector<double> concentration_by_table(const std::vector<std::pair<double, double>>& votes,
                                            long r0, long count) {
  TesselMatrix<double> bp(static_cast<long>(votes.size()), 2, tessel::uninitialized);
  for (std::size_t i = 0; i < votes.size(); ++i) {
    bp(static_cast<long>(i), 0) = votes[i].first;
    bp(static_cast<long>(i), 1) = votes[i].second;
  }
  TesselVector<double> instants(count, tessel::uninitialized);
  for (long i = 0; i < count; ++i) instants[i] = static_cast<double>(r0 + i + 1);
  return evalbp_v(bp, instants);
}

// Number of the integer instants r0 + 1 .. r0 + count inside the votes' span.
long instants_inside(const std::vector<std::pair<double, double>>& votes, long r0, long count) {
  const double first = votes.front().first, last = votes.back().first;
  long inside = 0;
  for (long i = 0; i < count && inside < 2; ++i) {
    const double t = static_cast<double>(r0 + i + 1);
    if (t >= first && t <= last) ++inside;
  }
  return inside;
}

}  // namespace

void postmarktemporel(const TesselVector<cplx<double>>& z, const double& sr, const long& len,
                      const long& hop, TesselVector<int>& samples, TesselVector<double>& density,
                      TesselVector<double>& concentration, double& scale,
                      double& ref_concentration) {
  scale = hop * kSqrtTwoPi / len;
  ref_concentration = reference_concentration(len);
  samples.resize(0);
  density.resize(0);
  concentration.resize(0);
  const std::vector<std::pair<double, double>> votes = sorted_votes(z);
  if (votes.empty()) return;
  const Cover c = cover_of(votes);
  samples.resize(c.n_samples, tessel::uninitialized);
  for (long i = 0; i < c.n_samples; ++i) samples[i] = static_cast<int>(c.r0 + i);
  density.resize(density_points(votes, sr));
  vote_density(votes, sr, len, hop, density.data());
  concentration = concentration_by_table(votes, c.r0, c.n_samples);
}

void postmarkcurve(const TesselVector<cplx<double>>& z, double sr, long len, long hop,
                   TesselVector<double>& curve, TesselVector<double>* concentration, double& scale,
                   double& ref_concentration) {
  scale = hop * kSqrtTwoPi / len;
  ref_concentration = reference_concentration(len);
  curve.resize(0);
  if (concentration != nullptr) concentration->resize(0);
  const std::vector<std::pair<double, double>> votes = sorted_votes(z);
  if (votes.empty()) return;
  const Cover c = cover_of(votes);
  const long n_points = density_points(votes, sr);
  const long filled = std::min(c.n_samples, n_points);
  const long total = c.r0 + c.n_samples;
  if (c.r0 < 0 || total <= 0) {
    // Not reached by frames inside the signal; placed through the general form.
    TesselVector<int> samples;
    TesselVector<double> density, conc;
    postmarktemporel(z, sr, len, hop, samples, density, conc, scale, ref_concentration);
    curve.resize(std::max(0L, total));
    if (concentration != nullptr) concentration->resize(std::max(0L, total));
    for (long i = 0; i < filled; ++i) {
      if (samples[i] < 0) continue;
      curve[samples[i]] = density[i];
      if (concentration != nullptr) (*concentration)[samples[i]] = conc[i];
    }
    return;
  }
  // The density is summed in place, from sample r0 on; the points past the last sample are
  // cut off after.
  curve.resize(c.r0 + n_points);
  vote_density(votes, sr, len, hop, curve.data() + c.r0);
  curve.resize(total);
  std::fill(curve.data() + c.r0 + filled, curve.data() + total, 0.0);
  if (concentration == nullptr) return;
  concentration->resize(total, tessel::uninitialized);
  double* cp = concentration->data();
  std::fill(cp, cp + c.r0, 0.0);
  std::fill(cp + c.r0 + filled, cp + total, 0.0);
  if (instants_inside(votes, c.r0, c.n_samples) >= 2) {
    interpolate_concentration(votes, c.r0, filled, cp + c.r0);
  } else {
    const TesselVector<double> conc = concentration_by_table(votes, c.r0, c.n_samples);
    std::copy(conc.data(), conc.data() + filled, cp + c.r0);
  }
}
