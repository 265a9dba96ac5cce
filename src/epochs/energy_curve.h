// Smoothed energy curve of the energy epoch method, block by block.
#pragma once

#include <tessel/tessel.h>

// Outputs first .. first + count - 1 of the FIR filter b applied to the energy staircase of
// signal (see ener; hop_s non-zero): the values fir_aligned(b, ener(signal, ...), first, count)
// gives, computed in blocks split across `threads` threads (default: every core), so that no
// signal-long staircase is kept. The result does not depend on the number of threads.
tessel::TesselVector<double> energy_curve(const tessel::TesselVector<double>& signal, double sr,
                                          double window_s, double hop_s,
                                          const tessel::TesselVector<double>& b, long first,
                                          long count,
                                          int threads = tessel::parallel::thread_count());
