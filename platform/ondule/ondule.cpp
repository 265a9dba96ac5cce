#include "ondule/ondule.h"

#include <fftw3.h>

#include <cmath>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <tuple>

namespace ondule {
namespace {

// FFTW plans made once per (length, direction, in place) and reused with the new-array execute
// call; FFTW_UNALIGNED makes them valid for arrays of any alignment. The plans are destroyed
// when the program ends.
class PlanCache {
 public:
  PlanCache() = default;
  PlanCache(const PlanCache&) = delete;
  PlanCache& operator=(const PlanCache&) = delete;
  ~PlanCache() {
    for (auto& entry : plans_) fftw_destroy_plan(entry.second);
  }

  fftw_plan get(int n, int direction, bool in_place) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const Key key{n, direction, in_place};
    const auto it = plans_.find(key);
    if (it != plans_.end()) return it->second;
    // FFTW_ESTIMATE plans without touching the arrays, so scratch arrays serve for planning.
    fftw_complex* a = fftw_alloc_complex(static_cast<std::size_t>(n));
    fftw_complex* b = in_place ? a : fftw_alloc_complex(static_cast<std::size_t>(n));
    if (a == nullptr || b == nullptr) {
      fftw_free(a);
      if (b != a) fftw_free(b);
      throw std::bad_alloc();
    }
    const int sign = direction == 1 ? FFTW_FORWARD : FFTW_BACKWARD;
    fftw_plan plan = fftw_plan_dft_1d(n, a, b, sign, FFTW_ESTIMATE | FFTW_UNALIGNED);
    if (b != a) fftw_free(b);
    fftw_free(a);
    if (plan == nullptr)
      throw std::runtime_error("ondule::complexfft: no FFT plan for length " + std::to_string(n));
    plans_.emplace(key, plan);
    return plan;
  }

 private:
  using Key = std::tuple<int, int, bool>;
  std::mutex mutex_;
  std::map<Key, fftw_plan> plans_;
};

PlanCache& plan_cache() {
  static PlanCache cache;
  return cache;
}

bool is_power_of_two(int n) {
  return n > 0 && (n & (n - 1)) == 0;
}

}  // namespace

void complexfft(double* in, double* out, int n, int direction) {
  if (in == nullptr || out == nullptr) {
    throw std::invalid_argument("ondule::complexfft: null data array");
  }
  if (!is_power_of_two(n)) {
    throw std::invalid_argument("ondule::complexfft: length " + std::to_string(n) +
                                " is not a power of two");
  }
  if (direction != 1 && direction != -1) {
    throw std::invalid_argument("ondule::complexfft: direction " + std::to_string(direction) +
                                " is neither 1 (forward) nor -1 (backward)");
  }
  const fftw_plan plan = plan_cache().get(n, direction, in == out);
  fftw_execute_dft(plan, reinterpret_cast<fftw_complex*>(in), reinterpret_cast<fftw_complex*>(out));
}

void window(ond_WindowType type, int n, double* out, double /*parameter*/, double* /*p1*/,
            double* /*p2*/, double* /*p3*/, double* /*p4*/) {
  if (n <= 0) {
    throw std::invalid_argument("ondule::window: length " + std::to_string(n) + " is not positive");
  }
  if (out == nullptr) throw std::invalid_argument("ondule::window: null output array");
  // Cosine-sum coefficients a0 - a1 cos(2 pi k / (n - 1)) + a2 cos(4 pi k / (n - 1)).
  double a0 = 0.0, a1 = 0.0, a2 = 0.0;
  switch (type) {
    case ond_Hanning:
      a0 = 0.5, a1 = 0.5;
      break;
    case ond_Hamming:
      a0 = 0.54, a1 = 0.46;
      break;
    case ond_Blackman:
      a0 = 0.42, a1 = 0.5, a2 = 0.08;
      break;
    default:
      throw std::invalid_argument("ondule::window: unknown window type " +
                                  std::to_string(static_cast<int>(type)));
  }
  if (n == 1) {
    out[0] = 1.0;
    return;
  }
  constexpr double kTwoPi = 6.283185307179586;  // radians
  const double step = kTwoPi / (n - 1);         // radians per sample
  for (int k = 0; k < n; ++k) {
    out[k] = a0 - a1 * std::cos(step * k) + a2 * std::cos(2.0 * step * k);
  }
  // Exact symmetry, whatever the rounding of the cosines.
  for (int k = 0; k < n / 2; ++k) out[n - 1 - k] = out[k];
}

}  // namespace ondule
