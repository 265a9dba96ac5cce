// glotmark runs of the epoch and transient steps: the curves written for each method against
// computations made here from the same samples, the reuse of the 1ECS and 1ECL files, and the
// refusals.
#include <gtest/gtest.h>

#include <glotsynth.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "epochs/analyserealloc.h"
#include "epochs/fir1.h"
#include "run_program.h"
#include "sdif/EPCtovector.h"

namespace {

namespace fs = std::filesystem;
using tessel::TesselMatrix;
using tessel::TesselVector;
using testsupport::Result;

// f0 values handed out by the stand-in f0 program: median 120 Hz. At 44.1 kHz that gives an
// energy frame of 44100 / 360 = 122.5 samples exactly, so 123.
const char kF0Values[] = "118,125,120,119,121";
constexpr double kMedianF0 = 120.0;

// A scratch directory with bin/ holding glotmark, its directory script and the stand-in f0
// program under the real one's name, and a generated voice sound.
class EpochBox {
 public:
  explicit EpochBox(double sr = 44100.0, double seconds = 0.6, const char* segments = nullptr) {
    testsupport::install_glotmark(dir_.path());
    glotsynth::Options o;
    o.sr = sr;
    o.segments = segments != nullptr
                     ? glotsynth::parse_segments(segments)
                     : std::vector<glotsynth::Segment>{
                           {glotsynth::Segment::Kind::voiced, seconds, 110.0, 130.0, 'a', 'o'}};
    const glotsynth::Result r = glotsynth::synthesize(o);
    // 32-bit float samples reach glotmark unchanged.
    if (!glotsynth::write_wav(dir_ / "v.wav", r.signal, sr, glotsynth::Encoding::float32)) {
      throw std::runtime_error("cannot write the test sound");
    }
    signal_ = TesselVector<double>(static_cast<long>(r.signal.size()), 0.0);
    for (std::size_t i = 0; i < r.signal.size(); ++i) signal_[static_cast<long>(i)] = r.signal[i];
    sr_ = sr;
  }

  Result glotmark(std::vector<std::string> words, const std::string& f0_values = kF0Values) {
    std::vector<std::string> argv = {dir_ / "bin/glotmark", "-i", "v.wav"};
    argv.insert(argv.end(), words.begin(), words.end());
    return testsupport::run(argv, dir_.path().string(), {"SFDIR=", "FAKE_HARMEX_F0=" + f0_values});
  }

  std::string file(const std::string& suffix) const { return dir_ / ("PSOv/v" + suffix); }

  // The curve of a 1EPC file (selection ":1EPC/1ECS" or ":1EPC/1ECL").
  TesselVector<double> curve(const std::string& suffix, const std::string& selection) const {
    TesselVector<double> c;
    EXPECT_TRUE(EPCtovector(file(suffix), c, selection).ok()) << suffix;
    return c;
  }

  fs::file_time_type written(const std::string& suffix) const {
    return fs::last_write_time(file(suffix));
  }

  const TesselVector<double>& signal() const { return signal_; }
  double sr() const { return sr_; }
  std::string path(const std::string& rel) const { return dir_ / rel; }

 private:
  testsupport::ScratchDir dir_;
  TesselVector<double> signal_;
  double sr_ = 0.0;
};

// The file holds 32-bit floats: each value within float rounding of the one computed here.
void expect_float_equal(const TesselVector<double>& file, const TesselVector<double>& want) {
  ASSERT_EQ(file.size(), want.size());
  double scale = 0.0;
  for (int i = 0; i < want.size(); ++i) scale = std::max(scale, std::abs(want[i]));
  ASSERT_GT(scale, 0.0);
  for (int i = 0; i < want.size(); ++i) {
    ASSERT_LE(std::abs(file[i] - want[i]), 6e-8 * std::abs(want[i]) + 1e-12 * scale)
        << i << ": " << want[i];
  }
}

// Energy method from its definition: frames of 123 samples every 31 held over 46 .. 77 of each
// frame, smoothed by the low-pass at 3 f0 and re-aligned by its 50-sample delay.
TesselVector<double> energy_curve(const TesselVector<double>& x) {
  const long n = x.size(), frame = 123, step = 31, lo = 46, hi = 77;
  const double window_s = 1.0 / (3.0 * kMedianF0);
  std::vector<double> stair(static_cast<std::size_t>(n), 0.0);
  for (long k = 0; k < n - frame; k += step) {
    double s = 0.0;
    for (long i = 0; i < frame; ++i) s += x[k + i] * x[k + i];
    for (long j = k + lo; j <= k + hi; ++j) stair[j] = std::sqrt(s / window_s);
  }
  const TesselVector<double> b = fir1(100, {6.0 * kMedianF0 / 44100.0}, 1);
  TesselVector<double> curve(n - 100, 0.0);
  for (long i = 0; i < n - 100; ++i) {
    double y = 0.0;
    for (long k = 0; k <= 100; ++k) {
      if (i + 50 - k >= 0) y += b[k] * stair[i + 50 - k];
    }
    curve[i] = y;
  }
  return curve;
}

// Frobenius method from its definition, with exact prefix sums: window of round(0.5 sr / 120)
// = 184 samples, order 10, value sqrt(energy of 11 windows) / 10 at sample i + 10.
TesselVector<double> frobenius_curve(const TesselVector<double>& x, int order) {
  const long n = x.size(), nw = 184, p = order;
  std::vector<long double> prefix(static_cast<std::size_t>(n + 1), 0.0L);
  for (long i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + static_cast<long double>(x[i]) * x[i];
  TesselVector<double> curve(n - nw + 1, 0.0);
  for (long i = 0; i + nw + p <= n; ++i) {
    long double q = 0.0L;
    for (long c = 0; c <= p; ++c) q += prefix[i + c + nw] - prefix[i + c];
    curve[i + p] = static_cast<double>(std::sqrt(q) / p);
  }
  return curve;
}

TesselVector<double> realloc_curve(const TesselVector<double>& x, double sr, long mode) {
  TesselVector<double> curve, conc;
  double scale = 0.0, ref = 0.0;
  analyserealloc(x, sr, TesselMatrix<double>(), mode, curve, conc, scale, ref);
  return curve;
}

}  // namespace

TEST(EpochsRun, EachMethodWritesItsCurve) {
  EpochBox box;
  struct Case {
    std::vector<std::string> words;
    const char* verbose_line;
    TesselVector<double> want;
  };
  const Case cases[] = {
      {{"-E"}, "\nCalculating epochs with the energy method.\n", energy_curve(box.signal())},
      {{"-E", "-e", "frob"},
       "\nCalculating epochs with the norm of frobenius.\n -> LPC order : None \n",
       frobenius_curve(box.signal(), 10)},
      {{"-E", "-o", "12"},
       "\nCalculating epochs with the norm of frobenius.\n -> LPC order : 12\n",
       frobenius_curve(box.signal(), 12)},
      {{"-E", "-e", "realloc"},
       "\nCalculating epochs with the reallocation method.\n",
       realloc_curve(box.signal(), box.sr(), 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.verbose_line);
    std::vector<std::string> words = c.words;
    words.push_back("--verbose");
    const Result r = box.glotmark(words);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(std::string(c.verbose_line) + " Writing : ./PSOv/v.1ECS.sdif\n\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Calculating voiced"), std::string::npos) << "-E stops after step 2";
    EXPECT_FALSE(fs::exists(box.file(".1VUN.sdif")));
    expect_float_equal(box.curve(".1ECS.sdif", ":1EPC/1ECS"), c.want);
  }
}

TEST(EpochsRun, TransientsWriteTheLongWindowCurveAndReuseEarlierSteps) {
  EpochBox box;
  ASSERT_EQ(box.glotmark({"-E", "-e", "realloc"}).status, 0);
  const auto ecs_time = box.written(".1ECS.sdif");

  const Result r = box.glotmark({"--trans", "-e", "realloc", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\nCalculating epochs with the reallocation methods.\n"
                       " Reading : ./PSOv/v.1ECS.sdif to extract data...\n\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\nCalculating transitoires.\n Writing : ./PSOv/v.1ECL.sdif\n\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(box.written(".1ECS.sdif"), ecs_time);
  expect_float_equal(box.curve(".1ECL.sdif", ":1EPC/1ECL"),
                     realloc_curve(box.signal(), box.sr(), 1));
}

// The reuse test of the 1ECS file, run by --trans (which needs steps 2 and 3 first), after a
// first run with -E -e realloc.
TEST(EpochsRun, EpochFileReusedOnlyWhenItsParametersMatch) {
  struct Case {
    std::vector<std::string> words;
    bool recomputed;
    const char* why;
  };
  const Case cases[] = {
      {{"-e", "realloc"}, false, "same method and f0 range"},
      {{}, true, "the default method is ener"},
      {{"-e", "realloc", "-f", "60"}, true, "another fmin"},
      {{"-e", "realloc", "-F", "900"}, true, "another fmax"},
      {{"-e", "realloc", "-v", "0.5", "-a", "3"}, false, "parameters of later steps"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EpochBox box(44100.0, 0.3);
    ASSERT_EQ(box.glotmark({"-E", "-e", "realloc"}).status, 0);
    const TesselVector<double> first = box.curve(".1ECS.sdif", ":1EPC/1ECS");
    std::vector<std::string> words = c.words;
    words.insert(words.end(), {"--trans", "--verbose"});
    const Result r = box.glotmark(words);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const bool wrote = r.out.find(" Writing : ./PSOv/v.1ECS.sdif") != std::string::npos;
    const bool read = r.out.find(" Reading : ./PSOv/v.1ECS.sdif") != std::string::npos;
    EXPECT_EQ(wrote, c.recomputed) << r.out;
    EXPECT_EQ(read, !c.recomputed) << r.out;
  }
}

TEST(EpochsRun, FrobeniusOrderIsComparedOnReuse) {
  EpochBox box(44100.0, 0.3);
  ASSERT_EQ(box.glotmark({"-E", "-e", "frob"}).status, 0);  // order 10 recorded
  Result r = box.glotmark({"--trans", "-e", "frob", "--verbose"});
  EXPECT_NE(r.out.find(" Reading : ./PSOv/v.1ECS.sdif"), std::string::npos) << r.out;
  r = box.glotmark({"--trans", "-o", "12", "--verbose"});
  EXPECT_NE(r.out.find(" Writing : ./PSOv/v.1ECS.sdif"), std::string::npos) << r.out;
  expect_float_equal(box.curve(".1ECS.sdif", ":1EPC/1ECS"), frobenius_curve(box.signal(), 12));
}

TEST(EpochsRun, MissingOrDamagedFilesAreRecomputed) {
  EpochBox box(44100.0, 0.3);
  ASSERT_EQ(box.glotmark({"--trans"}).status, 0);
  const TesselVector<double> ecs = box.curve(".1ECS.sdif", ":1EPC/1ECS");

  // A damaged epoch file: recomputed and rewritten whole.
  fs::resize_file(box.file(".1ECS.sdif"), 20);
  Result r = box.glotmark({"--trans", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find(" Writing : ./PSOv/v.1ECS.sdif"), std::string::npos) << r.out;
  expect_float_equal(box.curve(".1ECS.sdif", ":1EPC/1ECS"), ecs);

  // The transient file is needed by the zones: read back, or recomputed once removed.
  r = box.glotmark({"-T", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\nCalculating transitoires.\n Reading : ./PSOv/v.1ECL.sdif"),
            std::string::npos)
      << r.out;
  fs::remove(box.file(".1ECL.sdif"));
  r = box.glotmark({"-T", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\nCalculating transitoires.\n Writing : ./PSOv/v.1ECL.sdif"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(" Reading : ./PSOv/v.1ECS.sdif"), std::string::npos) << r.out;
}

TEST(EpochsRun, ExternalF0RecomputesUnlessForced) {
  EpochBox box(44100.0, 0.3);
  ASSERT_EQ(box.glotmark({"--trans"}).status, 0);
  fs::copy_file(box.file(".1FQ0.sdif"), box.path("f0.sdif"));

  Result r = box.glotmark({"-I", "f0.sdif", "--trans", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(" Writing : ./PSOv/v.1ECS.sdif"), std::string::npos) << r.out;

  r = box.glotmark({"-I", "f0.sdif", "--force", "--trans", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(" Force reading : ./PSOv/v.1ECS.sdif"), std::string::npos) << r.out;

  // Without -I, files made from an external f0 are not trusted.
  r = box.glotmark({"--trans", "--verbose"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(" Writing : ./PSOv/v.1ECS.sdif"), std::string::npos) << r.out;
}

TEST(EpochsRun, Refusals) {
  struct Case {
    double sr, seconds;
    std::vector<std::string> words;
    const char* f0_values;
    const char* message;
    const char* why;
  };
  const Case cases[] = {
      {44100.0,
       0.002,
       {"-E"},
       kF0Values,
       "\n -> size of epoc data vector null ! \n",
       "88 samples: shorter than the smoothing filter"},
      {44100.0,
       0.025,
       {"-E", "-e", "realloc"},
       kF0Values,
       "\n -> size of epoc data vector null ! \n",
       "1102 samples: no reallocation frame"},
      {44100.0,
       0.1,
       {"--trans"},
       kF0Values,
       "\n -> size of transistoire data vector null ! \n",
       "4410 samples: no long-window frame"},
      {1200.0,
       0.5,
       {"-E", "-e", "realloc"},
       kF0Values,
       "\n -> sampling rate too low for the reallocation",
       "no room for the 600 Hz high-pass"},
      {1000.0,
       0.5,
       {"-E"},
       "200",
       "\n -> median f0 too high for the energy method",
       "6 f0 above the sampling rate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string segments = "v:" + std::to_string(c.seconds) + ":100-100";
    EpochBox box(c.sr, c.seconds, segments.c_str());
    const Result r = box.glotmark(c.words, c.f0_values);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    // An unusable curve must not be left for a later run to reuse.
    EXPECT_FALSE(fs::exists(box.file(c.words[0] == "-E" ? ".1ECS.sdif" : ".1ECL.sdif")));
    EXPECT_TRUE(fs::exists(box.path("PSOv/history")));
  }
}
