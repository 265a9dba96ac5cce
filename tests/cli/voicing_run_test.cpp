// glotmark runs of the voicing step (1VUN, 1VUF) and the zone steps (1VOI, 1UVI, 1TRA): the
// files against computations made here from the same samples and files, their reuse, and the
// refusal of an empty voicing track.
#include <gtest/gtest.h>

#include <glotsynth.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/transientzones.h"
#include "driver/voicedzones.h"
#include "run_program.h"
#include "sdif/EPCtovector.h"
#include "sdif/MRKsegtomatrix.h"
#include "sdif/sdiftomatrix.h"
#include "voicing/analysevoise.h"

namespace {

namespace fs = std::filesystem;
using tessel::TesselMatrix;
using tessel::TesselVector;
using testsupport::Result;

constexpr double kF0 = 120.0;   // f0 handed out by the stand-in f0 program, Hz
constexpr int kF0Frames = 130;  // its frames, 10 ms apart from time 0

// A scratch directory with bin/ holding glotmark, its directory script and the stand-in f0
// program under the real one's name, and a generated sound v.wav in 32-bit floats (so that the
// samples reach glotmark unchanged): by default two vowels at the stand-in's f0 around a
// fricative, then a burst between silences (1.23 s).
class VoiceBox {
 public:
  explicit VoiceBox(const char* segments = "v:0.4:120,u:0.2,v:0.4:120,s:0.1,b:0.03,s:0.1",
                    double sr = 44100.0) {
    testsupport::install_glotmark(dir_.path());
    glotsynth::Options o;
    o.sr = sr;
    o.segments = glotsynth::parse_segments(segments);
    const glotsynth::Result r = glotsynth::synthesize(o);
    if (!glotsynth::write_wav(dir_ / "v.wav", r.signal, sr, glotsynth::Encoding::float32)) {
      throw std::runtime_error("cannot write the test sound");
    }
    signal_ = TesselVector<double>(static_cast<int>(r.signal.size()), 0.0);
    for (size_t i = 0; i < r.signal.size(); ++i) signal_(static_cast<int>(i)) = r.signal[i];
    sr_ = sr;
  }

  Result glotmark(std::vector<std::string> words) {
    std::vector<std::string> argv = {dir_ / "bin/glotmark", "-i", "v.wav", "--verbose"};
    argv.insert(argv.end(), words.begin(), words.end());
    std::string f0 = "FAKE_HARMEX_F0=";
    for (int i = 0; i < kF0Frames; ++i) {
      if (i > 0) f0 += ',';
      f0 += std::to_string(kF0);
    }
    return testsupport::run(argv, dir_.path().string(), {"SFDIR=", f0});
  }

  std::string file(const std::string& suffix) const { return dir_ / ("PSOv/v" + suffix); }

  TesselMatrix<double> track(const std::string& suffix, const std::string& selection) const {
    TesselMatrix<double> m;
    EXPECT_TRUE(sdiftomatrix(file(suffix), m, selection).ok()) << suffix;
    return m;
  }
  TesselMatrix<double> zones(const std::string& suffix) const {
    TesselMatrix<double> m;
    EXPECT_TRUE(MRKsegtomatrix(file(suffix), m, "1MRK", "1BEG", "1END").ok()) << suffix;
    return m;
  }
  TesselVector<double> curve(const std::string& suffix, const std::string& selection) const {
    TesselVector<double> c;
    EXPECT_TRUE(EPCtovector(file(suffix), c, selection).ok()) << suffix;
    return c;
  }

  // The f0 track glotmark works with: the stand-in's frames, already inside 20 .. 2000 Hz.
  TesselMatrix<double> f0_track() const {
    TesselMatrix<double> m(kF0Frames, 2, 0.0);
    for (int i = 0; i < kF0Frames; ++i) {
      m(i, 0) = 0.01 * i;
      m(i, 1) = kF0;
    }
    return m;
  }

  const TesselVector<double>& signal() const { return signal_; }
  double sr() const { return sr_; }

 private:
  testsupport::ScratchDir dir_;
  TesselVector<double> signal_;
  double sr_ = 0.0;
};

// Each value of the file is the wanted double rounded to a 32-bit float.
void expect_float_equal(const TesselMatrix<double>& file, const TesselMatrix<double>& want) {
  ASSERT_EQ(file.nrows(), want.nrows());
  ASSERT_EQ(file.ncols(), 2);
  for (int r = 0; r < want.nrows(); ++r) {
    for (int c = 0; c < 2; ++c) {
      ASSERT_LE(std::abs(file(r, c) - want(r, c)), 6e-8 * std::abs(want(r, c)))
          << "row " << r << " column " << c << ": " << want(r, c);
    }
  }
}

bool wrote(const Result& r, const std::string& suffix) {
  return r.out.find(" Writing : ./PSOv/v" + suffix) != std::string::npos;
}
bool read(const Result& r, const std::string& suffix) {
  return r.out.find(" Reading : ./PSOv/v" + suffix) != std::string::npos;
}

TEST(VoicingRun, TracksMatchTheAnalysisOfTheSameSamples) {
  struct Case {
    std::vector<std::string> words;
    double cap_hz;  // the cut-off cap the run must hand to the analysis
    const char* why;
  };
  const Case cases[] = {
      {{"--voice"}, 6000.0, "the 6000 Hz cap"},
      {{"--voice", "--forcefc"}, 22050.0, "--forcefc: half the sampling rate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    VoiceBox box;
    const Result r = box.glotmark(c.words);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\nCalculating voiced/unvoiced.\n"), std::string::npos) << r.out;
    EXPECT_EQ(
        r.out.find(" -> force cut off frequency to (Sampling Rate / 2)\n") != std::string::npos,
        c.words.size() == 2);
    EXPECT_TRUE(wrote(r, ".1VUN.sdif") && wrote(r, ".1VUF.sdif")) << r.out;
    // --voice alone ends the run after the voicing step.
    EXPECT_FALSE(fs::exists(box.file(".1ECL.sdif")));

    TesselMatrix<double> coef, cut;
    double fcmax = c.cap_hz;
    EXPECT_TRUE(analysevoise(box.signal(), box.sr(), box.f0_track(), coef, cut, fcmax).ok());
    ASSERT_GT(coef.nrows(), 50);
    expect_float_equal(box.track(".1VUN.sdif", ":1VUV/1VUN"), coef);
    expect_float_equal(box.track(".1VUF.sdif", ":1VUV/1VUF"), cut);
    double top = 0.0;
    for (int i = 0; i < cut.nrows(); ++i) top = std::max(top, cut(i, 1));
    EXPECT_LE(top, c.cap_hz);
  }
}

TEST(VoicingRun, ZonesMatchTheSegmentationOfTheFilesTheyCameFrom) {
  VoiceBox box;
  Result r = box.glotmark({"-T"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\nCalculating voiced/unvoiced zones with the threshold : 0.6\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\nCalculating transitoires zones with the threshold : 0.2\n"),
            std::string::npos)
      << r.out;
  for (const char* suffix : {".1VOI.sdif", ".1UVI.sdif", ".1TRA.sdif"}) {
    EXPECT_TRUE(wrote(r, suffix)) << suffix << r.out;
  }
  EXPECT_FALSE(fs::exists(box.file(".1MRK.sdif")));  // -T ends after the zones

  // A second run reads steps 1 to 4 back and segments what the files hold, so the same
  // segmentation of the same file contents must give the same tables.
  r = box.glotmark({"-T", "-v", "0.5", "-t", "0.3"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(read(r, ".1VUN.sdif") && read(r, ".1ECL.sdif")) << r.out;
  const TesselMatrix<double> coef = box.track(".1VUN.sdif", ":1VUV/1VUN");
  const TesselVector<double> epochs = box.curve(".1ECS.sdif", ":1EPC/1ECS");
  const TesselVector<double> transients = box.curve(".1ECL.sdif", ":1EPC/1ECL");
  TesselMatrix<double> voiced, unvoiced;
  const long n = box.signal().size();
  voicedzones(coef, box.sr(), 0.5, n, epochs.size(), voiced, unvoiced);
  const TesselMatrix<double> trans = transientzones(transients, box.sr(), 0.3, n);

  // The fricative between the two vowels is unvoiced, and the burst is a transient.
  ASSERT_GE(voiced.nrows(), 2);
  EXPECT_NEAR(voiced(0, 1), 0.4, 0.03);
  EXPECT_NEAR(voiced(1, 0), 0.6, 0.03);
  ASSERT_GE(trans.nrows(), 1);
  EXPECT_NEAR(trans(0, 0), 1.1, 0.03);
  expect_float_equal(box.zones(".1VOI.sdif"), voiced);
  expect_float_equal(box.zones(".1UVI.sdif"), unvoiced);
  expect_float_equal(box.zones(".1TRA.sdif"), trans);
}

TEST(VoicingRun, StepsAreReusedOnlyWhenTheirParametersMatch) {
  VoiceBox box;
  ASSERT_EQ(box.glotmark({"-T"}).status, 0);

  struct Case {
    std::vector<std::string> words;
    bool voicing, voiced_zones, transient_zones;  // recomputed (else read back)
    const char* why;
  };
  // Each run is made after the previous one, in this order.
  const Case cases[] = {
      {{"--trans"}, false, false, false, "voicing read back before the transients"},
      {{"-T", "-v", "0.5"}, false, true, true, "-T recomputes both zone steps"},
      {{"-M", "-v", "0.5"}, false, false, false, "same parameters: every zone file reused"},
      {{"-M", "-v", "0.7"}, false, true, false, "a new voicing threshold: voiced zones only"},
      {{"-M", "-v", "0.7", "-t", "0.4"}, false, false, true, "a new transient threshold"},
      {{"-M", "-v", "0.7", "-t", "0.4", "--forcefc"},
       false,
       true,
       true,
       "--forcefc recomputes the zones but not the voicing tracks"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const Result r = box.glotmark(c.words);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(wrote(r, ".1VUN.sdif"), c.voicing) << r.out;
    EXPECT_EQ(read(r, ".1VUN.sdif"), !c.voicing) << r.out;
    if (c.words[0] == std::string("--trans")) continue;  // ends before the zones
    EXPECT_EQ(wrote(r, ".1VOI.sdif"), c.voiced_zones) << r.out;
    EXPECT_EQ(wrote(r, ".1UVI.sdif"), c.voiced_zones) << r.out;
    EXPECT_EQ(read(r, ".1VOI.sdif"), !c.voiced_zones) << r.out;
    EXPECT_EQ(wrote(r, ".1TRA.sdif"), c.transient_zones) << r.out;
    EXPECT_EQ(read(r, ".1TRA.sdif"), !c.transient_zones) << r.out;
  }
}

TEST(VoicingRun, MissingFilesAreRecomputed) {
  VoiceBox box;
  ASSERT_EQ(box.glotmark({"-T"}).status, 0);

  // Without the 1VUF file step 3 is recomputed (both files), not the epochs.
  fs::remove(box.file(".1VUF.sdif"));
  Result r = box.glotmark({"-M"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(wrote(r, ".1VUN.sdif") && wrote(r, ".1VUF.sdif")) << r.out;
  EXPECT_TRUE(read(r, ".1ECS.sdif")) << r.out;

  // A damaged 1UVI file makes step 5 recompute; step 6 is still read back.
  { std::ofstream(box.file(".1UVI.sdif"), std::ios::trunc) << "not an SDIF file"; }
  r = box.glotmark({"-M"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(wrote(r, ".1VOI.sdif") && wrote(r, ".1UVI.sdif")) << r.out;
  EXPECT_TRUE(read(r, ".1TRA.sdif")) << r.out;
  EXPECT_TRUE(read(r, ".1VUN.sdif")) << r.out;
}

TEST(VoicingRun, EmptyVoicingTrackIsRefusedAndNotWritten) {
  // 40 ms of voice (1764 samples): a five-period window of 120 Hz (1841 samples) fits nowhere.
  VoiceBox box("v:0.04:120");
  const Result r = box.glotmark({"--voice"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("\n *** Error *** \n -> size of voice coeficient data matrix null ! \n "
                       "*** Exiting from the program ***\n"),
            std::string::npos)
      << r.out;
  EXPECT_FALSE(fs::exists(box.file(".1VUN.sdif")));
  EXPECT_FALSE(fs::exists(box.file(".1VUF.sdif")));
  EXPECT_TRUE(fs::exists(box.file(".1ECS.sdif")));  // the earlier step stays in place
}

}  // namespace
