// Evenly spaced marks over a stretch without periodicity.
#pragma once

#include <tessel/tessel.h>

// Marks at `rate` Hz over the samples debut_n .. fin_n (0-based, inclusive) of a sound sampled
// at `sr` Hz. The stretch of len samples gets n = round(len / (sr / rate)) steps of
// round(len / n) samples; the first mark sits one step after the stretch start, the last at
// least half a step before its end. Each mark is (time in s, 0). When no mark fits (rate 0,
// a stretch shorter than about one mark period, non-positive or non-finite arguments) the
// result is the single mark (0, 0), which the caller may have to filter out.
tessel::TesselVector<tessel::cplx<double>> marknoise(long debut_n, long fin_n, double rate,
                                                     double sr);
