// Thinning of zone boundaries so that no zone or gap is too short.
#pragma once

#include <tessel/tessel.h>

// times_v holds zone boundaries in order start, end, start, end, ... (any unit). A boundary
// is kept when the stretch that follows it is strictly longer than min_gap (same unit) and
// it is of the other kind (start or end) than the last kept one; a zone still open after
// the scan is closed at the last boundary. kept_v receives the kept times, kept_idx their
// 0-based indices in times_v; both are emptied first. Fewer than two boundaries keep nothing.
void tooclose(const tessel::TesselVector<double>& times_v, double min_gap,
              tessel::TesselVector<double>& kept_v, tessel::TesselVector<int>& kept_idx);
