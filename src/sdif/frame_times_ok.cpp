#include "sdif/frame_times_ok.h"

#include "sdif/sdif_messages.h"
#include "sdif/sdif_signatures.h"
#include "sdif/timeorder.h"

Status frame_times_ok(const char* function, const std::string& filename, const double* t, long n) {
  if (n >= kMaxSdifCount) return Failure(sdif_messages::too_big(function, filename) + "\n");
  if (!finite_nondecreasing(t, n))
    return Failure(sdif_messages::times_not_increasing(function, filename) + "\n");
  return Status{};
}
