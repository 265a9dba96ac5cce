// Index objects that cut views out of vectors and matrices. All positions are 0-based.
#pragma once

#include "tessel/tessel_error.h"

namespace tessel::tessel_indices {

// Positions start, start + 1, ..., end (both inclusive); empty when end < start.
template <class Tag = tessel_tag>
struct BasicRange {
  int start = 0;
  int end = -1;
  bool iscol = true;

  constexpr BasicRange() = default;
  constexpr BasicRange(long s, long e, bool col = true)
      : start(static_cast<int>(s)), end(static_cast<int>(e)), iscol(col) {}
  constexpr int size() const { return end < start ? 0 : end - start + 1; }
};

// Positions start to the last element of the container it is applied to.
template <class Tag = tessel_tag>
struct BasicRangeToEnd {
  int start = 0;

  constexpr BasicRangeToEnd() = default;
  constexpr explicit BasicRangeToEnd(long s) : start(static_cast<int>(s)) {}
};

// Positions start, start + step, ... up to end. Built from (start, step, end): when the step
// points from start towards end, end moves to the last position actually reached; when it points
// away (or is 0), the slice is empty. Negative steps walk backwards.
template <class Tag = tessel_tag>
struct BasicSlice {
  int start = 0;
  int end = -1;
  bool iscol = true;
  int step = 1;

  constexpr BasicSlice() = default;
  constexpr BasicSlice(long s, long st, long e, bool col = true)
      : start(static_cast<int>(s)),
        end(static_cast<int>(e)),
        iscol(col),
        step(static_cast<int>(st)) {
    if (towards_end())
      end = static_cast<int>(start + static_cast<long>(step) * ((end - start) / step));
  }
  // Number of positions selected.
  constexpr int size() const {
    if (!towards_end()) return 0;
    return static_cast<int>((static_cast<long>(end) - start) / step + 1);
  }

 private:
  // True when a non-zero step walks from start towards end (or start == end).
  constexpr bool towards_end() const {
    return step != 0 && (end == start || ((end > start) == (step > 0)));
  }
};

using Range = BasicRange<>;
using RangeToEnd = BasicRangeToEnd<>;
using Slice = BasicSlice<>;

}  // namespace tessel::tessel_indices

namespace tessel {
using tessel_indices::Range;
using tessel_indices::RangeToEnd;
using tessel_indices::Slice;
}  // namespace tessel
