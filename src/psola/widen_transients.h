// The whole extent of each transient.
#pragma once

#include <vector>

#include "psola/psola_types.h"

// The marks with each run of transient marks widened to the whole burst it belongs to: the
// analysis flags a few milliseconds near the attack, while the attack may lie a little before
// or after the flagged marks and the burst decays over some tens of milliseconds. The attack is
// the sharpest rise of the high-passed energy (1 ms frames of the differenced sound) within
// 20 ms of the run; the burst ends where that energy has fallen 20 dB below its peak, starts
// rising again (the next sound) or 40 ms after the attack. The unvoiced marks from the last
// one at or before the attack to the first one at or after the end become transient; voiced
// marks there keep their pitch change (a voice starting under a burst's decay). x is the sound
// (sr Hz).
[[nodiscard]] std::vector<PsoMark> widen_transients(const std::vector<PsoMark>& marks,
                                                    const std::vector<float>& x, double sr);
