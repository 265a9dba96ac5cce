// Texts printed by the epoch analysis, kept in one place so that tests can name them.
#pragma once

namespace epochs_msg {

// Framed errors of frob: printed on standard output, then the process ends with status 1.
inline constexpr const char* kFrobFirstNegative =
    "\n *** Error : frob ***\n -> debut_n < 0 \n *** Exiting program ***\n";
inline constexpr const char* kFrobLastTooLarge =
    "\n *** Error : frob ***\n -> fin_n > s_v.size()-1 \n *** Exiting program ***\n";
inline constexpr const char* kFrobFirstAfterLast =
    "\n *** Error : frob ***\n -> debut_n > fin_n \n *** Exiting program ***\n";
inline constexpr const char* kFrobNoF0 =
    "\n *** Error : frob ***\n -> f0_v is empty \n *** Exiting program ***\n";

// Printed by frob when an order given by the caller exceeds the window length; followed by
// the new order, "." and a line end.
inline constexpr const char* kFrobBadOrder = " *** Bad order of LPC filter. New order : ";

// Driver-side refusal of the reallocation analysis (epochs or transients) for a sound whose
// sampling rate leaves no room for its high-pass filter.
inline constexpr const char* kReallocRateTooLow =
    "\n *** Error *** \n -> sampling rate too low for the reallocation method : it must be above "
    "1200 Hz \n *** Exiting from the program ***\n";

}  // namespace epochs_msg
