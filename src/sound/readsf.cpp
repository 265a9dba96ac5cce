// Sound-file reader: the whole file kept as one signal.
#include "sound/readsf.h"

#include "sound/decode_sound.h"

Expected<tessel::TesselVector<double>> readsf(const std::string& path, double& rate) {
  // The signal grows block by block inside its own storage (amortised growth, one
  // reservation when the file announces its length): no second copy of the signal is made.
  tessel::TesselVector<double> signal;
  long count = 0;
  const Status read = decode_sound(
      path, rate, [&](std::size_t frames) { signal.reserve(static_cast<long>(frames)); },
      [&](const float* in, int n) {
        signal.resize(count + n, tessel::uninitialized);
        double* out = signal.data() + count;
        for (int i = 0; i < n; ++i) out[i] = in[i];
        count += n;
      });
  if (!read) return read.error();
  return signal;
}
