#include "driver/voicedzones.h"

#include <vector>

#include "driver/voicingcurve.h"
#include "marks/tooclose.h"
#include "voicing/fthreshold.h"

namespace {

constexpr double kMinZoneS = 0.02;  // shortest zone or gap kept, seconds

// Rows (b[0], b[1]), (b[2], b[3]), ... of a boundary list of even length.
tessel::TesselMatrix<double> pairs(const std::vector<double>& b) {
  const int rows = static_cast<int>(b.size() / 2);
  tessel::TesselMatrix<double> table(rows, 2, 0.0);
  for (int r = 0; r < rows; ++r) {
    table(r, 0) = b[2 * r];
    table(r, 1) = b[2 * r + 1];
  }
  return table;
}

}  // namespace

void voicedzones(const tessel::TesselMatrix<double>& coef, double sr, double threshold,
                 long nsamples, long nepochs, tessel::TesselMatrix<double>& voiced,
                 tessel::TesselMatrix<double>& unvoiced) {
  // Boundaries in samples; an empty track has no crossing (and nothing to normalise).
  tessel::TesselVector<double> crossings;
  if (coef.nrows() > 0) crossings = fthreshold(voicingcurve(coef, sr), threshold, 2, 1);
  std::vector<double> b(crossings.data(), crossings.data() + crossings.size());
  if (b.size() % 2 == 1) b.push_back(static_cast<double>(nsamples - 1));

  tessel::TesselVector<double> all(static_cast<int>(b.size()), 0.0);
  for (size_t i = 0; i < b.size(); ++i) all(static_cast<int>(i)) = b[i];
  tessel::TesselVector<double> kept;
  tessel::TesselVector<int> kept_idx;
  tooclose(all, kMinZoneS * sr, kept, kept_idx);
  b.assign(kept.data(), kept.data() + kept.size());
  if (b.empty()) b = {0.0, static_cast<double>(nepochs - 1)};

  std::vector<double> t(b.size());
  for (size_t i = 0; i < b.size(); ++i) t[i] = b[i] / sr;
  voiced = pairs(t);

  // The complement within [0, d], d the time of the last sample.
  const double d = static_cast<double>(nsamples - 1) / sr;
  const bool leading = t.front() > 0.0;
  const bool trailing = d > t.back();
  std::vector<double> u;
  if (leading) u.push_back(0.0);
  u.insert(u.end(), t.begin() + (leading ? 0 : 1), t.end() - (trailing ? 0 : 1));
  if (trailing) u.push_back(d);
  unvoiced = pairs(u);
}
