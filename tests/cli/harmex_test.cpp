// The f0 program as the analysis driver runs it: its command line, the SDIF file it writes, and
// its failures (status, message, and no output file left behind).
#include <audiofile.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "glotsynth.h"
#include "lumbra/lumbra.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;

struct F0File {
  std::vector<double> t, f0;
  SDIFNameValueTable table;
};

// Reads a harmex output strictly: every frame a 1FQ0 frame on stream 0 holding exactly one
// 1 x 1 float32 1FQ0 matrix.
F0File read_f0(const std::string& path) {
  F0File out;
  SDIFEntity in;
  EXPECT_TRUE(in.OpenRead(path)) << path;
  EXPECT_EQ(in.GetNbNVT(), 1u);
  if (in.GetNbNVT() > 0) out.table = in.GetNVT(0);
  const SdifSignature fq0 = SdifStringToSignature("1FQ0");
  SDIFFrame f;
  try {
    while (!in.eof()) {
      if (in.ReadNextFrame(f) == 0) continue;
      EXPECT_EQ(f.GetSignature(), fq0);
      EXPECT_EQ(f.GetStreamID(), 0u);
      EXPECT_EQ(f.GetNbMatrix(), 1u);
      const SDIFMatrix& m = f.GetMatrix(0);
      EXPECT_EQ(m.GetSignature(), fq0);
      EXPECT_EQ(m.GetType(), static_cast<std::uint32_t>(eFloat4));
      EXPECT_EQ(m.GetNbRows(), 1);
      EXPECT_EQ(m.GetNbCols(), 1);
      out.t.push_back(f.GetTime());
      out.f0.push_back(m.GetDouble(0, 0));
    }
  } catch (const SDIFEof&) {
  }
  return out;
}

std::string make_sound(const testsupport::ScratchDir& dir, const std::string& name, double sr,
                       const std::string& segments, glotsynth::Result* truth = nullptr) {
  glotsynth::Options o;
  o.sr = sr;
  o.segments = glotsynth::parse_segments(segments);
  const glotsynth::Result r = glotsynth::synthesize(o);
  const std::string path = dir / name;
  EXPECT_TRUE(glotsynth::write_wav(path, r.signal, sr, glotsynth::Encoding::pcm16));
  if (truth != nullptr) *truth = r;
  return path;
}

std::vector<std::string> entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  return names;
}

// The driver's command line (a 22.05 kHz file, f0 60-400 Hz): status 0, a standard file of
// one frame every 5 ms to the end, accurate on the voice, filled between voiced stretches.
TEST(HarmexProgram, WritesTheF0TrackTheDriverExpects) {
  testsupport::ScratchDir dir;
  glotsynth::Result truth;
  const std::string wav =
      make_sound(dir, "phrase.wav", 22050.0,
                 "s:0.1,v:0.5:110-140:a-e,u:0.12,s:0.05,v:0.4:180-150:i-o,s:0.1", &truth);
  const std::string out = dir / "PSOphrase/phrase.1FQ0.sdif.tmp";
  fs::create_directories(dir.path() / "PSOphrase");
  const auto r = testsupport::run({testsupport::bin("harmex"), "-Af0", "-S" + wav, "--f0min=60.00",
                                   "--f0max=400.00", "-M1470.00", "--f0ana=1000.00", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ASSERT_TRUE(SdifCheckFileFormat(out));
  const F0File f = read_f0(out);
  EXPECT_EQ(f.table.GetValue("Program"), "harmex");
  EXPECT_EQ(f.table.GetValue("Sound"), wav);
  EXPECT_EQ(f.table.GetValue("f0min"), "60.00");
  EXPECT_EQ(f.table.GetValue("f0max"), "400.00");
  EXPECT_EQ(f.table.GetValue("WindowSamples"), "1470.00");
  EXPECT_EQ(f.table.GetValue("f0ana"), "1000.00");
  EXPECT_EQ(f.table.GetValue("SamplingRate"), "22050.00");

  ASSERT_EQ(f.t.size(), truth.f0_t.size());  // 0 .. 1.27 s every 5 ms
  for (std::size_t k = 0; k < f.t.size(); ++k) {
    EXPECT_NEAR(f.t[k], 0.005 * static_cast<double>(k), 1e-12);
    EXPECT_GE(f.f0[k], 60.0);
    EXPECT_LE(f.f0[k], 400.0);
    if (truth.f0_hz[k] > 0.0) {
      EXPECT_NEAR(f.f0[k] / truth.f0_hz[k], 1.0, 0.05) << "t=" << f.t[k];
    }
  }
  // Continuity: the gap between the two voiced stretches runs from one's f0 to the other's.
  const std::size_t gap_begin = 125, gap_end = 140;  // 0.625 .. 0.7 s
  for (std::size_t k = gap_begin; k < gap_end; ++k) {
    EXPECT_GE(f.f0[k], std::min(f.f0[gap_begin - 1], f.f0[gap_end]) - 1e-3);
    EXPECT_LE(f.f0[k], std::max(f.f0[gap_begin - 1], f.f0[gap_end]) + 1e-3);
  }
  EXPECT_EQ(entries(dir.path() / "PSOphrase"), std::vector<std::string>{"phrase.1FQ0.sdif.tmp"});
}

TEST(HarmexProgram, SoundWithoutVoiceGivesZeroEverywhere) {
  testsupport::ScratchDir dir;
  const std::string wav = make_sound(dir, "hiss.wav", 16000.0, "s:0.2,u:0.3,b:0.03,s:0.2");
  const std::string out = dir / "hiss.sdif";
  const auto r = testsupport::run({testsupport::bin("harmex"), "-Af0", "-S" + wav, out});
  ASSERT_EQ(r.status, 0) << r.err;
  const F0File f = read_f0(out);
  ASSERT_EQ(f.f0.size(), 147u);  // 0.73 s
  for (double v : f.f0) EXPECT_EQ(v, 0.0);
}

// Stereo files are mixed down: a voice on both channels reads as the same voice.
TEST(HarmexProgram, ReadsStereoFilesMixedDown) {
  testsupport::ScratchDir dir;
  glotsynth::Options o;
  o.sr = 16000.0;
  o.segments = glotsynth::parse_segments("v:0.5:150");
  const glotsynth::Result r = glotsynth::synthesize(o);
  const std::string wav = dir / "stereo.wav";
  AFfilesetup setup = afNewFileSetup();
  afInitFileFormat(setup, AF_FILE_WAVE);
  afInitChannels(setup, AF_DEFAULT_TRACK, 2);
  afInitRate(setup, AF_DEFAULT_TRACK, o.sr);
  afInitSampleFormat(setup, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32);
  AFfilehandle file = afOpenFile(wav.c_str(), "w", setup);
  afFreeFileSetup(setup);
  ASSERT_NE(file, AF_NULL_FILEHANDLE);
  std::vector<float> frames;
  for (float v : r.signal) frames.insert(frames.end(), {v, 0.5f * v});
  ASSERT_EQ(afWriteFrames(file, AF_DEFAULT_TRACK, frames.data(), static_cast<int>(r.signal.size())),
            static_cast<AFframecount>(r.signal.size()));
  afCloseFile(file);
  const std::string out = dir / "stereo.sdif";
  const auto run = testsupport::run({testsupport::bin("harmex"), "-Af0", "-S" + wav, out});
  ASSERT_EQ(run.status, 0) << run.err;
  const F0File f = read_f0(out);
  ASSERT_EQ(f.f0.size(), r.f0_hz.size());
  for (std::size_t k = 10; k + 10 < f.f0.size(); ++k) EXPECT_NEAR(f.f0[k], 150.0, 3.0) << k;
}

// A file cut short (an interrupted copy) is analysed as far as it goes, with a warning.
TEST(HarmexProgram, AnalysesATruncatedFileAsFarAsItGoes) {
  testsupport::ScratchDir dir;
  const std::string wav = make_sound(dir, "cut.wav", 16000.0, "v:1.0:140");
  fs::resize_file(wav, 44 + 2 * 8000);  // header and the first 0.5 s of 16-bit samples
  const std::string out = dir / "cut.sdif";
  const auto r = testsupport::run({testsupport::bin("harmex"), "-Af0", "-S" + wav, out});
  ASSERT_EQ(r.status, 0) << r.err;
  // The audio library delivers whole blocks of what is left: most of the 8000 frames written.
  const std::string head = "harmex: warning: " + wav + " ends early: read ";
  ASSERT_EQ(r.err.find(head), 0u) << r.err;
  const long got = std::stol(r.err.substr(head.size()));
  EXPECT_NE(r.err.find(" of 16000 frames\n"), std::string::npos) << r.err;
  EXPECT_GE(got, 7000);
  EXPECT_LE(got, 8000);
  const F0File f = read_f0(out);
  ASSERT_EQ(f.f0.size(), static_cast<std::size_t>(got / 80 + 1));  // 80 samples per 5 ms
  EXPECT_NEAR(f.f0[50], 140.0, 3.0);
}

TEST(HarmexProgram, UsageErrorsExitWithStatus2AndWriteNothing) {
  testsupport::ScratchDir dir;
  const std::string wav = make_sound(dir, "v.wav", 16000.0, "v:0.3:120");
  const std::string out = dir / "out.sdif";
  struct Case {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{}, "missing -Af0"},
      {{"-Af0", out}, "missing -S"},
      {{"-Af0", "-S" + wav}, "missing the output"},
      {{"-Af0", "-S" + wav, "--f0min=abc", out}, "--f0min needs a number"},
      {{"-Af0", "-S" + wav, "--bogus", out}, "unknown option '--bogus'"},
      {{"-Af0", "-S" + wav, "extra", out}, "expected one output file path"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {testsupport::bin("harmex")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.says);
    const auto r = testsupport::run(argv);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("harmex: " + c.says), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage: harmex -Af0"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
  }
  // Well-formed values out of their range (the f0 floor the driver passes through from its own
  // command line): the one-line reason only, same status.
  const struct {
    std::vector<std::string> args;
    std::string err;
  } out_of_range[] = {
      {{"--f0min=5"}, "harmex: --f0min must be at least 10 Hz\n"},
      {{"--f0min=300", "--f0max=200"}, "harmex: --f0max must be above --f0min\n"},
      // Valid alone, impossible for this file: f0min must stay below a quarter of 16 kHz.
      {{"--f0min=5000", "--f0max=6000"},
       "harmex: f0min must be below a quarter of the sampling rate (sampling rate 16000 Hz)\n"},
  };
  for (const auto& c : out_of_range) {
    std::vector<std::string> argv = {testsupport::bin("harmex"), "-Af0", "-S" + wav};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back(out);
    SCOPED_TRACE(c.err);
    const auto r = testsupport::run(argv);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, c.err);
    EXPECT_FALSE(fs::exists(out));
  }
  const auto help = testsupport::run({testsupport::bin("harmex"), "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: harmex -Af0"), std::string::npos);
}

// Failures after a valid command line: status 1, a message naming the file, and no output
// file (nor any temporary file) left in the output directory.
TEST(HarmexProgram, FailuresLeaveNoOutputBehind) {
  testsupport::ScratchDir dir;
  const std::string wav = make_sound(dir, "v.wav", 16000.0, "v:0.3:120");
  fs::create_directories(dir.path() / "out");
  {
    std::ofstream text(dir / "notasound.wav");
    text << "this is not a sound file\n";
  }
  fs::create_directories(dir.path() / "out/isadir.sdif");
  struct Case {
    const char* why;
    std::string sound, output, says;
  } cases[] = {
      {"missing sound", dir / "missing.wav", dir / "out/a.sdif",
       "cannot read sound file " + dir / "missing.wav"},
      {"not a sound", dir / "notasound.wav", dir / "out/a.sdif",
       "cannot read sound file " + dir / "notasound.wav"},
      {"missing output directory", wav, dir / "out/nodir/a.sdif",
       "cannot create " + dir / "out/nodir/a.sdif"},
      {"output is a directory", wav, dir / "out/isadir.sdif", "isadir.sdif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const auto r = testsupport::run({testsupport::bin("harmex"), "-Af0", "-S" + c.sound, c.output});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("harmex: "), std::string::npos);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(entries(dir.path() / "out"), std::vector<std::string>{"isadir.sdif"});
  }
}

}  // namespace
