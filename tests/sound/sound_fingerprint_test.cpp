// The fingerprint of a sound: the same samples give the same text, any change another.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "sound/sound_fingerprint.h"

namespace {

std::vector<double> tone(std::size_t n) {
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = 0.5 * std::sin(0.01 * static_cast<double>(i));
  return x;
}

TEST(SoundFingerprint, RateFramesAndSixteenHexDigits) {
  const std::vector<double> x = tone(8001);
  const std::string print = sound_fingerprint(x, 16000.0);
  EXPECT_TRUE(std::regex_match(print, std::regex("16000_8001_[0-9a-f]{16}"))) << print;
  EXPECT_EQ(sound_fingerprint(x, 16000.0), print);
  EXPECT_EQ(sound_fingerprint(x, 44099.6).substr(0, 6), "44100_");
  EXPECT_TRUE(std::regex_match(sound_fingerprint({}, 8000.0), std::regex("8000_0_[0-9a-f]{16}")));
}

TEST(SoundFingerprint, EverySmallChangeGivesAnotherHash) {
  const std::vector<double> x = tone(1003);  // not a multiple of the hash's four lanes
  std::set<std::string> hashes;
  auto hash_of = [](const std::vector<double>& v) {
    return sound_fingerprint(v, 8000.0).substr(std::string("8000_1003_").size());
  };
  hashes.insert(hash_of(x));
  for (const std::size_t i : {std::size_t{0}, std::size_t{1}, std::size_t{500}, std::size_t{999},
                              std::size_t{1000}, std::size_t{1002}}) {
    std::vector<double> y = x;
    y[i] = std::nextafter(y[i], 1.0);  // the last bit of one sample
    hashes.insert(hash_of(y));
  }
  std::vector<double> swapped = x;
  std::swap(swapped[10], swapped[11]);
  hashes.insert(hash_of(swapped));
  std::vector<double> negated_zero(1003, 0.0);
  hashes.insert(hash_of(negated_zero));
  negated_zero[7] = -0.0;
  hashes.insert(hash_of(negated_zero));
  EXPECT_EQ(hashes.size(), 10u);
}

// A reader that does not keep the samples hands them over in blocks: any cut gives the text of
// the whole, including cuts inside a group of four and empty blocks.
TEST(SoundFingerprint, BlocksGiveTheTextOfTheWhole) {
  const std::vector<double> x = tone(1031);
  const std::string whole = sound_fingerprint(x, 22050.0);
  for (const std::size_t block : {1u, 2u, 3u, 5u, 1024u, 1031u, 4000u}) {
    SoundFingerprinter f;
    for (std::size_t at = 0; at < x.size(); at += block) {
      f.add({x.data() + at, std::min(block, x.size() - at)});
      f.add({});
    }
    EXPECT_EQ(f.text(22050.0), whole) << "blocks of " << block;
  }
  EXPECT_EQ(SoundFingerprinter().text(8000.0), sound_fingerprint({}, 8000.0));
}

}  // namespace
