// glotmark-psola as a user runs it: the analysis made on the way, the output's format, the
// identity, and the refusals (status 1, a message, no output file).
#include <audiofile.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "glotsynth.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using testsupport::bin;
using testsupport::Result;
using testsupport::run;

struct SoundInfo {
  int file_format = -1, sample_format = 0, width = 0, channels = 0;
  double sr = 0.0;
  std::vector<float> x;
};

SoundInfo read_info(const std::string& path) {
  SoundInfo s;
  AFfilehandle f = afOpenFile(path.c_str(), "r", AF_NULL_FILESETUP);
  if (f == AF_NULL_FILEHANDLE) return s;
  s.file_format = afGetFileFormat(f, nullptr);
  afGetSampleFormat(f, AF_DEFAULT_TRACK, &s.sample_format, &s.width);
  s.channels = afGetChannels(f, AF_DEFAULT_TRACK);
  s.sr = afGetRate(f, AF_DEFAULT_TRACK);
  afSetVirtualSampleFormat(f, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  s.x.resize(static_cast<std::size_t>(afGetFrameCount(f, AF_DEFAULT_TRACK)));
  const int got = afReadFrames(f, AF_DEFAULT_TRACK, s.x.data(), static_cast<int>(s.x.size()));
  s.x.resize(static_cast<std::size_t>(std::max(got, 0)));
  afCloseFile(f);
  return s;
}

class Psola : public testing::Test {
 protected:
  void SetUp() override {
    glotsynth::Options o;
    o.sr = 22050.0;
    o.segments =
        glotsynth::parse_segments("s:0.05,v:0.4:120-150:a-e,u:0.1,s:0.04,b:0.03,v:0.3:140-110");
    const glotsynth::Result r = glotsynth::synthesize(o);
    ASSERT_TRUE(
        glotsynth::write_wav(dir / "voice.wav", r.signal, o.sr, glotsynth::Encoding::pcm16));
    ASSERT_TRUE(
        glotsynth::write_wav(dir / "float.wav", r.signal, o.sr, glotsynth::Encoding::float32));
    o.segments = glotsynth::parse_segments("v:0.3:200-200");
    const glotsynth::Result other = glotsynth::synthesize(o);
    ASSERT_TRUE(
        glotsynth::write_wav(dir / "other.wav", other.signal, o.sr, glotsynth::Encoding::pcm16));
  }
  Result psola(std::vector<std::string> args) {
    args.insert(args.begin(), bin("glotmark-psola"));
    return run(args, dir.path().string());
  }
  testsupport::ScratchDir dir;
};

TEST_F(Psola, FactorOneWritesTheInputBackInTheFormatOfTheExtension) {
  struct Case {
    const char* in;
    const char* out;
    int file_format, sample_format, width;
  } cases[] = {
      {"voice.wav", "same.wav", AF_FILE_WAVE, AF_SAMPFMT_TWOSCOMP, 16},
      {"voice.wav", "same.aiff", AF_FILE_AIFF, AF_SAMPFMT_TWOSCOMP, 16},
      {"float.wav", "same-float.wav", AF_FILE_WAVE, AF_SAMPFMT_FLOAT, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    const Result r = psola({c.in, c.out});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const SoundInfo in = read_info(dir / c.in), out = read_info(dir / c.out);
    EXPECT_EQ(out.file_format, c.file_format);
    EXPECT_EQ(out.sample_format, c.sample_format);
    EXPECT_EQ(out.width, c.width);
    EXPECT_EQ(out.sr, in.sr);
    ASSERT_EQ(out.x.size(), in.x.size());
    for (std::size_t i = 0; i < in.x.size(); ++i) ASSERT_EQ(out.x[i], in.x[i]) << "sample " << i;
  }
  EXPECT_TRUE(fs::exists(dir / "PSOvoice/voice.1PSO.sdif"));  // made on the way
}

TEST_F(Psola, DurationAndPitchChangesAndAnalysisOptionsReachTheAnalysis) {
  const Result r = psola({"--time=2", "--pitch", "1.5", "voice.wav", "long.wav", "--", "-a", "3"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const SoundInfo in = read_info(dir / "voice.wav"), out = read_info(dir / "long.wav");
  EXPECT_NEAR(static_cast<double>(out.x.size()), 2.0 * static_cast<double>(in.x.size()),
              in.sr / 100.0);
  std::ifstream history(dir / "PSOvoice/history");
  const std::string h((std::istreambuf_iterator<char>(history)), {});
  EXPECT_NE(h.find("-S -a 3"), std::string::npos) << h;
}

TEST_F(Psola, RefusalsSayWhyAndWriteNothing) {
  {
    std::ofstream(dir / "bad.txt") << "# time factor\n0 1\n0.5 x\n";
    std::ofstream(dir / "back.txt") << "0.5 1\n0.2 1.5\n";
    std::ofstream(dir / "high.txt") << "0 1\n0.3 9\n";
  }
  ASSERT_EQ(psola({"other.wav", "other-out.wav"}).status, 0);  // an analysis of another sound
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--pitch=5", "voice.wav", "o.wav"}, "--pitch=5 is out of range"},
      {{"--time=0.1", "voice.wav", "o.wav"}, "--time=0.1 is out of range"},
      {{"--pitch=fast", "voice.wav", "o.wav"}, "'fast' is not a number"},
      {{"--pitch-curve=bad.txt", "voice.wav", "o.wav"}, "bad.txt:3: 'x' is not a number"},
      {{"--time-curve=back.txt", "voice.wav", "o.wav"}, "back.txt:2: time 0.2 is not after"},
      {{"--pitch-curve=high.txt", "voice.wav", "o.wav"}, "high.txt:2: value 9 lies outside"},
      {{"--pitch-curve=none.txt", "voice.wav", "o.wav"}, "none.txt: cannot be read"},
      {{"--loud", "voice.wav", "o.wav"}, "unknown option --loud"},
      {{"voice.wav"}, "expected the input and the output"},
      {{"voice.wav", "o.xyz"}, "cannot tell the sound format of o.xyz"},
      {{"missing.wav", "o.wav"}, "cannot read the sound file missing.wav"},
      {{"--analysis=PSOother", "voice.wav", "o.wav"}, "does not fit voice.wav"},
      {{"voice.wav", "voice.wav"}, "OUT is the input sound itself"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const Result r = psola(c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "o.wav"));
  }
  for (const auto& e : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(e.path().string().find(".wav."), std::string::npos) << "left behind: " << e.path();
  }
}

// Another sound of the same name, rate and length is not resynthesised from the old marks: the
// analysis is made again (twice the pitch, about twice the voiced marks).
TEST_F(Psola, ASoundReplacedUnderItsNameIsAnalysedAgain) {
  const auto marks = [&] {
    const Result d =
        run({bin("glotmark-dump"), "--csv", "PSOvoice/voice.1PSO.sdif"}, dir.path().string());
    EXPECT_EQ(d.status, 0) << d.err;
    int rows = 0;
    std::istringstream lines(d.out);
    for (std::string line; std::getline(lines, line);) rows += !line.empty() && line[0] != '#';
    return rows - 1;  // the header row
  };
  ASSERT_EQ(psola({"voice.wav", "a.wav"}).status, 0);
  const int before = marks();
  glotsynth::Options o;
  o.sr = 22050.0;
  o.segments =
      glotsynth::parse_segments("s:0.05,v:0.4:120-150:a-e,u:0.1,s:0.04,b:0.03,v:0.3:140-110");
  o.pitch_scale = 2.0;
  ASSERT_TRUE(glotsynth::write_wav(dir / "voice.wav", glotsynth::synthesize(o).signal, o.sr,
                                   glotsynth::Encoding::pcm16));
  const Result r = psola({"voice.wav", "b.wav"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_GT(marks(), before * 3 / 2) << "marks of the first sound reused (" << before << ")";
}

TEST_F(Psola, HelpNamesEveryOption) {
  const Result r = psola({"--help"});
  EXPECT_EQ(r.status, 0);
  for (const char* o : {"--pitch=K", "--pitch-curve=FILE", "--time=R", "--time-curve=FILE",
                        "--intonation=A", "--f0-curve=FILE", "--hybrid", "--analysis=DIR",
                        "--seed=N", "--quiet", "--help", "--version"}) {
    EXPECT_NE(r.out.find(o), std::string::npos) << o;
  }
}

}  // namespace

// A minute-long sound shows its progress on standard error, one line per tenth; --quiet and
// short sounds show none. (8 kHz and mostly silence, so the analysis is quick.)
TEST(PsolaProgress, LongSoundsShowEveryTenthOnce) {
  testsupport::ScratchDir dir;
  glotsynth::Options o;
  o.sr = 8000.0;
  o.segments = glotsynth::parse_segments("v:0.5:120-150:a-e,s:60");
  ASSERT_TRUE(glotsynth::write_wav(dir / "long.wav", glotsynth::synthesize(o).signal, o.sr,
                                   glotsynth::Encoding::pcm16));
  o.segments = glotsynth::parse_segments("v:0.5:120-150:a-e");
  ASSERT_TRUE(glotsynth::write_wav(dir / "short.wav", glotsynth::synthesize(o).signal, o.sr,
                                   glotsynth::Encoding::pcm16));
  const std::string psola = bin("glotmark-psola");
  const Result r = run({psola, "--time=1.2", "long.wav", "out.wav"}, dir.path().string());
  ASSERT_EQ(r.status, 0) << r.err;
  std::string expected;
  for (int t = 10; t <= 100; t += 10) {
    expected += "glotmark-psola: resynthesis " + std::to_string(t) + " %\n";
  }
  EXPECT_EQ(r.err, expected);
  const Result quiet =
      run({psola, "--quiet", "--time=1.2", "long.wav", "out.wav"}, dir.path().string());
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  const Result brief = run({psola, "short.wav", "out.wav"}, dir.path().string());
  EXPECT_EQ(brief.status, 0);
  EXPECT_EQ(brief.err, "");
}
