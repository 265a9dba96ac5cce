// Harmonic contrast of a frame's spectrum: a voice's own period against its octaves, a loud
// interferer, noise and silence.
#include "harmonic_contrast.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kSr = 6300.0;  // rate of the analysed signal, Hz
constexpr long kWindow = 504;   // 80 ms at kSr

// Harmonics of f0 up to 2500 Hz falling by 6 dB per octave, plus an optional tone and white
// noise of the given standard deviations.
std::vector<float> frame(double f0, double tone_hz, double tone_amp, double noise_sd) {
  std::mt19937 rng(5);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<float> x(kWindow);
  for (long i = 0; i < kWindow; ++i) {
    const double t = static_cast<double>(i) / kSr;
    double v = tone_amp * std::sin(2.0 * std::numbers::pi * tone_hz * t);
    for (int h = 1; f0 > 0.0 && h * f0 < 2500.0; ++h) {
      v += std::cos(2.0 * std::numbers::pi * h * f0 * t + 0.7 * h) / h;
    }
    x[i] = static_cast<float>(v + noise_sd * gauss(rng));
  }
  return x;
}

TEST(HarmonicContrast, ThePeriodBeatsItsOctaves) {
  struct Case {
    double f0, tone_hz, tone_amp, noise_sd;
    const char* why;
  } cases[] = {
      {110.0, 0.0, 0.0, 0.01, "low voice"},
      {240.0, 0.0, 0.0, 0.01, "middle voice"},
      {450.0, 0.0, 0.0, 0.01, "high voice, five harmonics"},
      // A line 20 dB above the voice's strongest harmonic, off the harmonics of the voice and of
      // its octave below: every harmonic counts the same, so it cannot take over.
      {240.0, 300.0, 10.0, 0.01, "loud interfering line"},
      {240.0, 0.0, 0.0, 0.3, "white noise about 10 dB under the voice"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    harmex::HarmonicContrast spectrum(kWindow, kSr, 25.0, 2500.0);
    const std::vector<float> x = frame(c.f0, c.tone_hz, c.tone_amp, c.noise_sd);
    ASSERT_TRUE(spectrum.analyse(x.data()));
    const double lag = kSr / c.f0;
    const double own = spectrum.at(lag), below = spectrum.at(2.0 * lag);
    const double above = spectrum.at(0.5 * lag);
    EXPECT_GT(own, 3.0);  // nepers: harmonics stand well above the valleys
    // An octave below, every other harmonic is a valley: about half the contrast.
    EXPECT_GT(below, 0.25 * own);
    EXPECT_LT(below, 0.75 * own);
    // An octave above, the valleys are the odd harmonics.
    EXPECT_LT(above, 0.25 * own);
  }
}

TEST(HarmonicContrast, NoiseAndSilenceShowNoHarmonics) {
  harmex::HarmonicContrast spectrum(kWindow, kSr, 25.0, 2500.0);
  const std::vector<float> noise = frame(0.0, 0.0, 0.0, 1.0);
  ASSERT_TRUE(spectrum.analyse(noise.data()));
  // The peak is the highest of three bins, the valley their mean: on noise that alone gives
  // about 1 neper, far below a voice's contrast (above 3).
  for (double f0 : {70.0, 150.0, 300.0, 600.0}) {
    SCOPED_TRACE(f0);
    EXPECT_LT(std::abs(spectrum.at(kSr / f0)), 1.6);
  }
  const std::vector<float> silence(kWindow, 0.0f);
  EXPECT_FALSE(spectrum.analyse(silence.data()));
  EXPECT_EQ(spectrum.at(kSr / 150.0), 0.0);
  // A period whose first harmonic lies above the band has nothing to measure.
  ASSERT_TRUE(spectrum.analyse(noise.data()));
  EXPECT_EQ(spectrum.at(2.0), 0.0);
}

}  // namespace

// The harmonics between every m-th one: as strong as the others at a voice's own period, weak
// at m times its period, and no stronger than a weaker talker sitting at f0 / 2.
TEST(HarmonicContrast, HarmonicsInBetweenAreWeakAtAMultipleOfThePeriod) {
  harmex::HarmonicContrast spectrum(kWindow, kSr, 25.0, 2500.0);
  for (double f0 : {110.0, 240.0}) {
    SCOPED_TRACE(f0);
    const std::vector<float> x = frame(f0, 0.0, 0.0, 0.01);
    ASSERT_TRUE(spectrum.analyse(x.data()));
    const double lag = kSr / f0;
    EXPECT_GT(spectrum.interleaved_level(lag, 2), 0.7);
    EXPECT_GT(spectrum.interleaved_level(lag, 3), 0.7);
    EXPECT_LT(spectrum.interleaved_level(2.0 * lag, 2), 0.1);
    EXPECT_LT(spectrum.interleaved_level(3.0 * lag, 3), 0.1);
  }
  // A talker at f0 / 2, 12 dB under the voice: the mix is periodic at twice the voice's period,
  // but the harmonics in between are only the talker's.
  std::vector<float> mix = frame(240.0, 0.0, 0.0, 0.01);
  const std::vector<float> talker = frame(120.0, 0.0, 0.0, 0.0);
  for (std::size_t i = 0; i < mix.size(); ++i) mix[i] += 0.25f * talker[i];
  ASSERT_TRUE(spectrum.analyse(mix.data()));
  const double level = spectrum.interleaved_level(2.0 * kSr / 240.0, 2);
  EXPECT_GT(level, 0.1);
  EXPECT_LT(level, 0.45);
  // Nothing to compare: no harmonic in the band, or m below 2.
  EXPECT_EQ(spectrum.interleaved_level(2.0, 2), 1.0);
  EXPECT_EQ(spectrum.interleaved_level(kSr / 240.0, 1), 1.0);
}
