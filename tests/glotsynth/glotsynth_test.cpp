// The generator's truth must describe the sound it writes: closures where the source closes,
// f0 equal to the closure rate, silence where no voice is, and the noise at the SNR asked for.
#include "glotsynth.h"

#include <audiofile.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

using glotsynth::Segment;

glotsynth::Options steady(double f0, double seconds, double sr = 44100.0) {
  glotsynth::Options o;
  o.sr = sr;
  o.segments = {{Segment::Kind::voiced, seconds, f0, f0, 'a', 'a'}};
  return o;
}

TEST(Glotsynth, ClosureCountAndSpacingFollowTheF0Contour) {
  struct Case {
    double f0a, f0b, seconds, sr, jitter;
  } cases[] = {
      {100.0, 100.0, 1.0, 44100.0, 0.0},  // steady, no jitter: exact count
      {60.0, 500.0, 1.5, 16000.0, 0.0},   // wide glide at a low rate
      {200.0, 150.0, 0.8, 22050.0, 0.01},
      {440.0, 440.0, 0.5, 48000.0, 0.005},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.f0a << "-" << c.f0b << " Hz at " << c.sr);
    glotsynth::Options o = steady(c.f0a, c.seconds, c.sr);
    o.segments[0].f0_end_hz = c.f0b;
    o.jitter = c.jitter;
    const glotsynth::Result r = glotsynth::synthesize(o);
    EXPECT_EQ(r.signal.size(), static_cast<std::size_t>(std::llround(c.seconds * c.sr)));
    // A log-linear glide holds duration * (f0b - f0a) / ln(f0b / f0a) cycles.
    const double cycles =
        c.f0a == c.f0b ? c.seconds * c.f0a : c.seconds * (c.f0b - c.f0a) / std::log(c.f0b / c.f0a);
    EXPECT_NEAR(static_cast<double>(r.gci_s.size()), cycles, 1.0 + 0.2 * c.jitter * cycles);
    ASSERT_EQ(r.gci_n.size(), r.gci_s.size());
    for (std::size_t i = 1; i < r.gci_s.size(); ++i) {
      ASSERT_GT(r.gci_s[i], r.gci_s[i - 1]);
      EXPECT_EQ(r.gci_n[i], std::lround(r.gci_s[i] * c.sr));
      // The f0 truth between two closures is the rate of the cycle there.
      const double mid = 0.5 * (r.gci_s[i] + r.gci_s[i - 1]);
      const auto k = static_cast<std::size_t>(std::lround(mid / glotsynth::kF0StepS));
      if (k >= r.f0_hz.size() || r.f0_hz[k] == 0.0) continue;
      const double rate = 1.0 / (r.gci_s[i] - r.gci_s[i - 1]);
      EXPECT_NEAR(r.f0_hz[k] / rate, 1.0, 0.06 + 4.0 * c.jitter) << "closure " << i;
    }
  }
}

TEST(Glotsynth, F0TruthIsZeroExactlyOutsideVoicedStretches) {
  glotsynth::Options o;
  o.segments = glotsynth::parse_segments("s:0.1,v:0.3:150,u:0.1,b:0.03,v:0.2:120-130,s:0.1");
  const glotsynth::Result r = glotsynth::synthesize(o);
  ASSERT_EQ(r.f0_t.size(), r.f0_hz.size());
  EXPECT_EQ(r.f0_t.size(), 167u);  // 0 .. 0.83 s every 5 ms
  for (std::size_t i = 0; i < r.f0_t.size(); ++i) {
    const double t = r.f0_t[i];
    EXPECT_NEAR(t, 0.005 * static_cast<double>(i), 1e-12);
    const bool inside = (t > 0.11 && t < 0.39) || (t > 0.54 && t < 0.72);
    const bool outside = t < 0.1 || (t > 0.4 && t < 0.53) || t > 0.73;
    if (inside) {
      EXPECT_GT(r.f0_hz[i], 100.0) << "t=" << t;
    }
    if (outside) {
      EXPECT_EQ(r.f0_hz[i], 0.0) << "t=" << t;
    }
  }
  for (double g : r.gci_s) {
    EXPECT_TRUE((g > 0.1 && g < 0.4) || (g > 0.53 && g < 0.73)) << g;
  }
  // Silence at the end, once the resonators have rung out.
  const std::size_t tail = static_cast<std::size_t>(0.8 * o.sr);
  for (std::size_t i = tail; i < r.signal.size(); ++i) ASSERT_LT(std::abs(r.signal[i]), 1e-4f) << i;
}

// The closure is the sharpest excitation of the cycle: the sound's largest curvature (second
// difference) follows it after the resonators' short delay, at the same lag in every cycle, for
// both pulse models, several vowels and rates.
TEST(Glotsynth, ClosuresSitOnTheExcitationOfTheSound) {
  struct Case {
    glotsynth::Source source;
    double f0, sr;
    char vowel;
  } cases[] = {
      {glotsynth::Source::lf, 120.0, 44100.0, 'a'},
      {glotsynth::Source::lf, 220.0, 16000.0, 'i'},
      {glotsynth::Source::rosenberg, 100.0, 22050.0, 'u'},
      {glotsynth::Source::rosenberg, 300.0, 48000.0, 'a'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.f0 << " Hz at " << c.sr << ", vowel " << c.vowel);
    glotsynth::Options o = steady(c.f0, 0.4, c.sr);
    o.source = c.source;
    o.segments[0].vowel_start = o.segments[0].vowel_end = c.vowel;
    const glotsynth::Result r = glotsynth::synthesize(o);
    std::vector<double> lags_ms;
    for (std::size_t i = 3; i + 3 < r.gci_n.size(); ++i) {
      // Within the half periods around this closure.
      const long half = (r.gci_n[i] - r.gci_n[i - 1]) / 2;
      long best = 0;
      float largest = -1.0f;
      for (long n = r.gci_n[i] - half; n < r.gci_n[i] + half; ++n) {
        const float d = std::abs(r.signal[n] - 2.0f * r.signal[n - 1] + r.signal[n - 2]);
        if (d > largest) largest = d, best = n;
      }
      lags_ms.push_back(1000.0 * static_cast<double>(best - r.gci_n[i]) / c.sr);
    }
    ASSERT_FALSE(lags_ms.empty());
    const auto [lo, hi] = std::minmax_element(lags_ms.begin(), lags_ms.end());
    EXPECT_GE(*lo, 0.0);
    EXPECT_LE(*hi, 1.5);
    EXPECT_LE(*hi - *lo, 0.5);
  }
}

TEST(Glotsynth, SameSeedSameSoundAndNoiseDoesNotChangeTheVoice) {
  glotsynth::Options o;
  const glotsynth::Result a = glotsynth::synthesize(o);
  const glotsynth::Result b = glotsynth::synthesize(o);
  EXPECT_EQ(a.signal, b.signal);
  o.seed = 2;
  const glotsynth::Result c = glotsynth::synthesize(o);
  EXPECT_NE(a.signal, c.signal);
  EXPECT_NE(a.gci_s, c.gci_s);
  o.seed = 1;
  o.noise = glotsynth::Noise::white;
  o.snr_db = 10.0;
  const glotsynth::Result d = glotsynth::synthesize(o);
  EXPECT_EQ(a.gci_s, d.gci_s);
  EXPECT_EQ(a.f0_hz, d.f0_hz);
}

// The noisy sound minus the (rescaled) clean one is the noise: its power against the voice's
// over the voiced stretches gives the SNR asked for.
TEST(Glotsynth, AddedNoiseHasTheRequestedSnr) {
  struct Case {
    glotsynth::Noise kind;
    double snr_db;
  } cases[] = {{glotsynth::Noise::white, 10.0},
               {glotsynth::Noise::white, 0.0},
               {glotsynth::Noise::babble, 10.0}};
  glotsynth::Options o;
  o.segments = glotsynth::parse_segments("s:0.05,v:0.5:120-160:a-i,u:0.1,v:0.5:200-150:o-e,s:0.05");
  const glotsynth::Result clean = glotsynth::synthesize(o);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.snr_db << " dB, kind " << static_cast<int>(c.kind));
    o.noise = c.kind;
    o.snr_db = c.snr_db;
    const glotsynth::Result noisy = glotsynth::synthesize(o);
    ASSERT_EQ(noisy.signal.size(), clean.signal.size());
    // Voiced samples: 0.05-0.55 s and 0.65-1.15 s.
    double cc = 0, cn = 0;
    for (float v : clean.signal) cc += double(v) * v;
    for (std::size_t i = 0; i < clean.signal.size(); ++i)
      cn += double(clean.signal[i]) * noisy.signal[i];
    const double a = cn / cc;  // scale of the voice inside the noisy sound
    double pv = 0, pn = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < clean.signal.size(); ++i) {
      const double t = static_cast<double>(i) / o.sr;
      if (!((t >= 0.05 && t < 0.55) || (t >= 0.65 && t < 1.15))) continue;
      const double v = a * clean.signal[i];
      pv += v * v;
      pn += (noisy.signal[i] - v) * (noisy.signal[i] - v);
      ++count;
    }
    ASSERT_GT(count, 0u);
    EXPECT_NEAR(10.0 * std::log10(pv / pn), c.snr_db, 0.5);
    float peak = 0.0f;
    for (float v : noisy.signal) peak = std::max(peak, std::abs(v));
    EXPECT_NEAR(peak, o.peak, 1e-6);
  }
}

TEST(Glotsynth, SegmentListsParseOrNameTheBadItem) {
  const std::vector<Segment> s =
      glotsynth::parse_segments("v:0.5:100-200:a-i,u:0.1,s:0.2,b:0.03,v:1:90");
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0].kind, Segment::Kind::voiced);
  EXPECT_EQ(s[0].f0_start_hz, 100.0);
  EXPECT_EQ(s[0].f0_end_hz, 200.0);
  EXPECT_EQ(s[0].vowel_start, 'a');
  EXPECT_EQ(s[0].vowel_end, 'i');
  EXPECT_EQ(s[1].kind, Segment::Kind::unvoiced);
  EXPECT_EQ(s[2].kind, Segment::Kind::silence);
  EXPECT_EQ(s[3].kind, Segment::Kind::burst);
  EXPECT_EQ(s[4].f0_start_hz, 90.0);
  EXPECT_EQ(s[4].f0_end_hz, 90.0);

  const char* bad[] = {"",          "x:1",     "v",         "v:abc",  "v:-1:100",
                       "v:1:100:q", "u:1:100", "v:1:1e999", "v:0.5,", "v:1:100-:a"};
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    EXPECT_THROW((void)glotsynth::parse_segments(text), std::invalid_argument);
  }
  glotsynth::Options o = steady(10.0, 1.0);  // f0 below what the generator accepts
  EXPECT_THROW((void)glotsynth::synthesize(o), std::invalid_argument);
}

std::vector<double> read_column(const std::string& path, int column) {
  std::ifstream in(path);
  std::vector<double> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    double a = 0, b = 0;
    ss >> a >> b;
    out.push_back(column == 0 ? a : b);
  }
  return out;
}

TEST(Glotsynth, WavAndTruthFilesHoldWhatWasSynthesized) {
  testsupport::ScratchDir dir;
  glotsynth::Options o;
  o.sr = 16000;
  o.seed = 7;
  o.segments = glotsynth::parse_segments("s:0.1,v:0.5:100-130,u:0.1");
  const glotsynth::Result want = glotsynth::synthesize(o);
  for (const auto enc : {glotsynth::Encoding::pcm16, glotsynth::Encoding::float32}) {
    SCOPED_TRACE(enc == glotsynth::Encoding::pcm16 ? "16-bit" : "float");
    const std::string wav = dir / "phrase.wav";
    ASSERT_TRUE(glotsynth::write_wav(wav, want.signal, o.sr, enc));
    AFfilehandle f = afOpenFile(wav.c_str(), "r", nullptr);
    ASSERT_NE(f, AF_NULL_FILEHANDLE);
    EXPECT_EQ(afGetRate(f, AF_DEFAULT_TRACK), 16000.0);
    afSetVirtualSampleFormat(f, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
    std::vector<float> got(want.signal.size() + 10);
    const AFframecount n =
        afReadFrames(f, AF_DEFAULT_TRACK, got.data(), static_cast<int>(got.size()));
    afCloseFile(f);
    ASSERT_EQ(n, static_cast<AFframecount>(want.signal.size()));
    const float tol = enc == glotsynth::Encoding::pcm16 ? 0.6f / 32768.0f : 0.0f;
    for (std::size_t i = 0; i < want.signal.size(); ++i) {
      ASSERT_NEAR(got[i], want.signal[i], tol) << i;
    }
  }
  ASSERT_TRUE(glotsynth::write_truth(dir / "phrase.wav", want));
  const std::vector<double> gci = read_column(dir / "phrase.gci.txt", 0);
  const std::vector<double> gci_n = read_column(dir / "phrase.gci.txt", 1);
  ASSERT_EQ(gci.size(), want.gci_s.size());
  for (std::size_t i = 0; i < gci.size(); ++i) {
    EXPECT_NEAR(gci[i], want.gci_s[i], 1e-8);
    EXPECT_EQ(gci_n[i], static_cast<double>(want.gci_n[i]));
  }
  EXPECT_EQ(read_column(dir / "phrase.f0.txt", 0).size(), want.f0_t.size());
  const std::vector<double> f0 = read_column(dir / "phrase.f0.txt", 1);
  ASSERT_EQ(f0.size(), want.f0_hz.size());
  for (std::size_t i = 0; i < f0.size(); ++i) EXPECT_NEAR(f0[i], want.f0_hz[i], 1e-4);

  EXPECT_FALSE(glotsynth::write_wav(dir / "no/such/dir/x.wav", want.signal, o.sr,
                                    glotsynth::Encoding::pcm16));
  EXPECT_FALSE(glotsynth::write_truth(dir / "no/such/dir/x.wav", want));
}

}  // namespace

namespace {

// The transformed versions of a phrase, the true targets of pitch and duration changes.
TEST(Glotsynth, PitchAndTimeScalesTransformThePhrase) {
  glotsynth::Options o;
  o.sr = 16000.0;
  o.jitter = 0.0;
  o.segments = glotsynth::parse_segments("v:0.5:100-100,s:0.1,b:0.03,u:0.2,v:0.4:150-150");
  const glotsynth::Result base = glotsynth::synthesize(o);
  struct Case {
    double pitch, time;
  } cases[] = {{2.0, 1.0}, {0.5, 1.0}, {1.0, 2.0}, {1.0, 0.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "pitch " << c.pitch << " time " << c.time);
    glotsynth::Options s = o;
    s.pitch_scale = c.pitch;
    s.time_scale = c.time;
    const glotsynth::Result r = glotsynth::synthesize(s);
    // Every stretch but the 30 ms burst scales with the time factor.
    const double seconds = 0.03 + c.time * 1.2;
    EXPECT_NEAR(static_cast<double>(r.signal.size()), seconds * o.sr, 1.0);
    EXPECT_NEAR(static_cast<double>(r.gci_s.size()),
                c.pitch * c.time * static_cast<double>(base.gci_s.size()), 2.0);
  }
  o.pitch_scale = 0.0;
  EXPECT_THROW((void)glotsynth::synthesize(o), std::invalid_argument);
}

}  // namespace
