// Bin conversions, the zero-phase spectrum, the median filter and the cut-off decision.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "tessel_values.h"
#include "voicing/fc.h"
#include "voicing/fversmatlab.h"
#include "voicing/matlabversf.h"
#include "voicing/medfilt1.h"
#include "voicing/messages.h"
#include "voicing/spectre.h"

namespace {

using tessel::TesselVector;

using testsupport::values_of;
using testsupport::vec;

TEST(BinConversion, RoundsHalfAwayAndCountsFromOne) {
  // 16 kHz, 1024 points: one bin is 15.625 Hz.
  const TesselVector<double> bins =
      fversmatlab(vec({0.0, 15.625, 7.8125, 7.8124, 8000.0}), 16000.0, 1024);
  EXPECT_EQ(values_of(bins), (std::vector<double>{1.0, 2.0, 2.0, 1.0, 513.0}));
  const TesselVector<double> hz = matlabversf(vec({1.0, 2.0, 513.0}), 16000.0, 1024);
  EXPECT_EQ(values_of(hz), (std::vector<double>{0.0, 15.625, 8000.0}));
}

// Expected spectrum from the DFT definition: the frame sits at positions k0 .. k0 + L - 1 of
// an n-point buffer, and bins 0 .. n/2 are turned by pi * k * d / n.
std::vector<std::complex<double>> expected_spectrum(const std::vector<double>& frame, int n, int k0,
                                                    double d) {
  std::vector<std::complex<double>> y(n);
  for (int k = 0; k < n; ++k) {
    std::complex<double> acc = 0.0;
    for (size_t i = 0; i < frame.size(); ++i) {
      acc += frame[i] * std::polar(1.0, -2.0 * std::numbers::pi * k * (k0 + double(i)) / n);
    }
    const double theta = k <= n / 2 ? std::numbers::pi * k * d / n : 0.0;
    y[k] = acc * std::polar(1.0, theta);
  }
  return y;
}

TEST(Spectre, PlacesOddAndEvenFramesAndCorrectsTheirDelay) {
  struct Case {
    std::vector<double> frame;
    int n, k0;
    double d;
    const char* why;
  };
  const Case cases[] = {
      {{1, -2, 3, 5, 0.5}, 8, 2, 4.0, "odd L = 5: positions 2..6, delay n/2"},
      {{1, -2, 3, 5}, 8, 2, 3.5, "even L = 4: positions 2..5, delay n/2 - 0.5"},
      {{2}, 2, 1, 1.0, "one sample lands at n/2"},
      {{1, 2, 3, 4, 5, 6, 7, 8}, 8, 0, 3.5, "a frame as long as the FFT fills it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    int n = c.n;
    TesselVector<double> mag, phase;
    EXPECT_TRUE(spectre(vec(c.frame), n, mag, phase).ok());
    ASSERT_EQ(n, c.n);
    ASSERT_EQ(mag.size(), c.n);
    ASSERT_EQ(phase.size(), c.n);
    const auto want = expected_spectrum(c.frame, c.n, c.k0, c.d);
    for (int k = 0; k < c.n; ++k) {
      const std::complex<double> got = std::polar(mag(k), phase(k));
      EXPECT_NEAR(got.real(), want[k].real(), 1e-9) << "bin " << k;
      EXPECT_NEAR(got.imag(), want[k].imag(), 1e-9) << "bin " << k;
    }
  }
}

TEST(Spectre, RoundsToTenDecimalsSoTinyPartsVanish) {
  // A frame of 1e-11 rounds to an all-zero spectrum: modulus 0 and argument 0 everywhere.
  int n = 4;
  TesselVector<double> mag, phase;
  EXPECT_TRUE(spectre(vec({1e-11, 1e-11, 1e-11}), n, mag, phase).ok());
  for (int k = 0; k < n; ++k) {
    EXPECT_EQ(mag(k), 0.0);
    EXPECT_EQ(phase(k), 0.0);
  }
}

TEST(Spectre, LongerFrameWarnsAndEnlargesTheFft) {
  int n = 4;
  TesselVector<double> mag, phase;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(spectre(vec({1, 2, 3, 4, 5}), n, mag, phase).ok());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, std::string(voicing_msg::kSpectreLongFrame) + "\n");
  EXPECT_EQ(n, 8);
  EXPECT_EQ(mag.size(), 8);
  // Same result as a call made with the right size from the start.
  int n8 = 8;
  TesselVector<double> mag8, phase8;
  EXPECT_TRUE(spectre(vec({1, 2, 3, 4, 5}), n8, mag8, phase8).ok());
  EXPECT_EQ(values_of(mag), values_of(mag8));
}

TEST(Spectre, RefusesAnFftSizeThatIsNotAPowerOfTwo) {
  int n = 6;
  TesselVector<double> mag, phase;
  const Status s = spectre(vec({1, 2, 3}), n, mag, phase);
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.error().text,
            "\n *** Error : spectre ***\n -> " + std::string(voicing_msg::kSpectreBadN) + "\n");
}

TEST(Medfilt1, FiltersWithZerosOutsideTheSignal) {
  struct Case {
    std::vector<double> x;
    int n;
    std::vector<double> y;
    const char* why;
  };
  const Case cases[] = {
      {{1, 5, 2, 8, 3}, 3, {1, 2, 5, 3, 3}, "odd order, one zero on each side at the ends"},
      {{1, 5, 2, 8, 3}, 1, {1, 5, 2, 8, 3}, "order 1 is the identity"},
      {{1, 5, 2, 8, 3}, 2, {0.5, 3, 3.5, 5, 5.5}, "even order reaches one sample further left"},
      {{1, 5, 2, 8, 3}, 4, {0.5, 1.5, 3.5, 4, 2.5}, "order 4: x[i-2] .. x[i+1]"},
      {{1, 5, 2, 8, 3}, 5, {1, 2, 3, 3, 2}, "order 5 sees two zeros at each end"},
      {{7, 9}, 3, {0, 0}, "two samples give zeros"},
      {{}, 5, {}, "empty stays empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(values_of(medfilt1(vec(c.x), c.n).value()), c.y);
  }
}

TEST(Medfilt1, RefusesAnOrderBelowOne) {
  const auto y = medfilt1(vec({1, 2, 3}), 0);
  ASSERT_FALSE(y.ok());
  EXPECT_EQ(y.error().text, "\n *** Error : medfilt1 ***\n -> " +
                                std::string(voicing_msg::kMedfiltBadOrder) + "\n");
}

TEST(Fc, SplitsHarmonicFromNoisyPartials) {
  struct Case {
    std::vector<double> r;
    int split;
    const char* why;
  };
  const Case cases[] = {
      {{0.9, 0.8, 0.2, 0.1}, 1, "scores 3, 4, 3, 2"},
      {{0.1, 0.2}, 0, "scores 1, 0: never below the first harmonic"},
      {{0.9, 0.6, 0.7}, 2, "a ratio equal to the threshold is harmonic"},
      {{0.9, 0.1, 0.9, 0.1}, 0, "equal best scores: the lowest index wins"},
      {{0.3}, 0, "one harmonic"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const TesselVector<int> got = fc(vec(c.r), 0.6);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got(0), c.split);
  }
  EXPECT_EQ(fc(TesselVector<double>(), 0.6).size(), 0);
}

}  // namespace
