// Fuzz target of the sound readers: the bytes are read as a sound file by the analysis's reader
// (readsf) and by the f0 program's (harmex::read_sound), both on the audio file library. A
// framed failure or the f0 program's std::runtime_error is the normal refusal; any other
// exception, a crash, a hang or a huge allocation is a finding. Besides, the harness aborts
// when a reader breaks its promise: a sound it returns has a positive, finite rate, and
// readsf's samples are finite; a refusal has its framed message and status 1; and a file both
// read gives both programs the same rate and the same samples (nothing lost by either).
#include <audiofile.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_file.h"
#include "harmex/harmex.h"
#include "sound/readsf.h"

namespace {

constexpr char kReadsfFrame[] = "\n *** Error : readsf ***\n";

void quiet(long, const char*) {}

struct Read {
  bool ok = false;
  double rate = 0.0;
  std::vector<double> x;
};

Read read_with_readsf(const std::string& path) {
  double rate = 0.0;
  const auto sound = readsf(path, rate);
  if (!sound) {
    if (sound.error().text.rfind(kReadsfFrame, 0) != 0 || sound.error().status != 1) {
      fuzz_fail("readsf: a refusal without its framed message or with a status other than 1");
    }
    return {};
  }
  if (!(rate > 0.0) || !std::isfinite(rate)) fuzz_fail("readsf: a sound without a valid rate");
  const tessel::TesselVector<double>& x = sound.value();
  Read r{true, rate, std::vector<double>(static_cast<std::size_t>(x.size()))};
  for (long i = 0; i < x.size(); ++i) {
    if (!std::isfinite(x[i])) fuzz_fail("readsf: a sample that is not finite");
    r.x[static_cast<std::size_t>(i)] = x[i];
  }
  return r;
}

Read read_with_harmex(const std::string& path) {
  try {
    const harmex::Sound sound = harmex::read_sound(path);
    if (!(sound.sr > 0.0) || !std::isfinite(sound.sr)) {
      fuzz_fail("harmex::read_sound: a sound without a valid rate");
    }
    return {true, sound.sr, std::vector<double>(sound.samples.begin(), sound.samples.end())};
  } catch (const std::runtime_error& e) {
    if (std::string(e.what()).find(path) == std::string::npos) {
      fuzz_fail(std::string("harmex::read_sound: a refusal that does not name the file: ") +
                e.what());
    }
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = fuzz_file(data, size, "input.snd");
  afSetErrorHandler(quiet);  // the library's own complaints, one per refused file
  const Read analysis = read_with_readsf(path);
  const Read f0_program = read_with_harmex(path);
  if (analysis.ok && f0_program.ok &&
      (analysis.rate != f0_program.rate || analysis.x != f0_program.x)) {
    fuzz_fail("readsf and harmex::read_sound read different sounds from one file");
  }
  return 0;
}
