#include "sdif/frame_times_ok.h"

#include <iostream>

#include "sdif/sdif_messages.h"
#include "sdif/sdif_signatures.h"
#include "sdif/timeorder.h"

bool frame_times_ok(const char* function, const std::string& filename, const double* t, long n) {
  if (n >= kMaxSdifCount) {
    std::cout << sdif_messages::too_big(function, filename) << std::endl;
    return false;
  }
  if (!finite_nondecreasing(t, n)) {
    std::cout << sdif_messages::times_not_increasing(function, filename) << std::endl;
    return false;
  }
  return true;
}
