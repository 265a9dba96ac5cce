// The samples of a run that only scanned its sound: read when first asked for, once, and only
// while the sound is still the one scanned.
#include <gtest/gtest.h>

#include <future>
#include <vector>

#include "driver/sound_samples.h"
#include "run_program.h"
#include "sound/readsf.h"
#include "sound/scansf.h"
#include "sound_files.h"

namespace {

TEST(SoundSamples, DeferredSamplesAreReadOnceAndCheckedAgainstTheScan) {
  testsupport::ScratchDir dir;
  const std::string path = dir / "s.wav";
  std::vector<short> pcm(3001);
  for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<short>(i * 11 % 4000 - 2000);
  testsupport::write_sound<short>(path, pcm, 1, 16000.0);
  double rate = 0.0;
  const auto scan = scansf(path, rate);
  ASSERT_TRUE(scan.ok());

  const SoundSamples deferred(path, scan->fingerprint, rate);
  EXPECT_FALSE(deferred.held());
  // Two threads asking at once get the one copy, equal to what the reader gives.
  auto a = std::async(std::launch::async, [&] { return deferred.get(); });
  auto b = std::async(std::launch::async, [&] { return deferred.get(); });
  const auto ga = a.get(), gb = b.get();
  ASSERT_TRUE(ga.ok() && gb.ok());
  EXPECT_EQ(*ga, *gb);
  const auto direct = readsf(path, rate);
  ASSERT_TRUE(direct.ok());
  ASSERT_EQ((*ga)->size(), direct->size());
  for (long i = 0; i < direct->size(); ++i) ASSERT_EQ((**ga)(i), (*direct)(i)) << i;

  // The sound changed since the scan (one sample), or went away: a failure naming it.
  pcm[1234] += 1;
  testsupport::write_sound<short>(dir / "changed.wav", pcm, 1, 16000.0);
  const SoundSamples changed(dir / "changed.wav", scan->fingerprint, rate);
  const auto refused = changed.get();
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.error().text.find("changed.wav changed while it was being analysed"),
            std::string::npos)
      << refused.error().text;
  EXPECT_EQ(refused.error().status, 1);
  const SoundSamples gone(dir / "gone.wav", scan->fingerprint, rate);
  const auto missing = gone.get();
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.error().text.find("gone.wav"), std::string::npos);

  const SoundSamples held(std::move(direct).value());
  EXPECT_TRUE(held.held());
  ASSERT_TRUE(held.get().ok());
  EXPECT_EQ((*held.get())->size(), 3001);
}

}  // namespace
