// Texts printed by the voicing analysis, kept in one place so that tests can name them.
#pragma once

namespace voicing_msg {

// Written to standard output by spectre when the frame is longer than the FFT size; the
// call then goes on with the enlarged size.
inline constexpr const char* kSpectreLongFrame =
    "\n *** Warning : spectre ***\n -> L_n > N\n *** Changing N *** ";

// Framed error printed before ending the process: " *** Error : <source> ***" then " -> <why>".
inline constexpr const char* kErrorHead = "\n *** Error : ";
inline constexpr const char* kErrorTail = " ***\n -> ";

inline constexpr const char* kSpectreBadN = "the FFT size must be a power of two of at least 2";
inline constexpr const char* kMedfiltBadOrder = "the filter order must be at least 1";

}  // namespace voicing_msg
