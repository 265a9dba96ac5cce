#include "psola/set_extents.h"

#include <algorithm>

namespace {

constexpr double kReach = 1.5;  // a window reaches at most this many spacings to a neighbour

}  // namespace

void set_extents(std::vector<Grain>& g) {
  for (std::size_t k = 0; k < g.size(); ++k) {
    if (k > 0) {
      const double gap = g[k].out_pos - (g[k - 1].out_pos + g[k - 1].flat);
      g[k].left = std::min(g[k].left, std::max(kReach * gap, 1.0));
    }
    if (k + 1 < g.size()) {
      const double gap = g[k + 1].out_pos - (g[k].out_pos + g[k].flat);
      g[k].right = std::min(g[k].right, std::max(kReach * gap, 1.0));
    }
  }
}
