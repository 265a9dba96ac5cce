// Reading sound files into one mono signal.
#include <audiofile.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "run_program.h"
#include "sound/readsf.h"
#include "sound/scansf.h"
#include "sound/sound_fingerprint.h"
#include "sound_files.h"

namespace {

using testsupport::patch_u32;
using testsupport::write_sound;

long file_size(const std::string& path) {
  return static_cast<long>(std::filesystem::file_size(path));
}

// The signal of a file that must read without failure.
tessel::TesselVector<double> read_ok(const std::string& path, double& rate) {
  auto read = readsf(path, rate);
  EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error().text);
  return read.ok() ? std::move(read).value() : tessel::TesselVector<double>{};
}

// Open file descriptors of this process.
long open_descriptors() {
  long n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++n;
  }
  return n;
}

TEST(Readsf, ReadsEveryFrameAcrossBlockBoundaries) {
  // 1024 frames fill one block exactly; 1025 need a second block of one frame.
  for (const int frames : {1, 1023, 1024, 1025, 3000}) {
    SCOPED_TRACE(frames);
    testsupport::ScratchDir dir;
    std::vector<short> samples(frames);
    for (int i = 0; i < frames; ++i) samples[i] = static_cast<short>((i % 2000) * 16 - 16000);
    write_sound<short>(dir / "ramp.wav", samples, 1, 22050.0);

    double rate = 0.0;
    const auto x = read_ok(dir / "ramp.wav", rate);
    EXPECT_EQ(rate, 22050.0);
    ASSERT_EQ(x.size(), frames);
    for (int i = 0; i < frames; ++i) ASSERT_EQ(x(i), samples[i] / 32768.0) << "frame " << i;
  }
}

TEST(Readsf, SixteenBitFullScaleIsOne) {
  testsupport::ScratchDir dir;
  write_sound<short>(dir / "s.wav", {16384, -32768, 0, 32767}, 1, 8000.0);
  double rate = 0.0;
  const auto x = read_ok(dir / "s.wav", rate);
  ASSERT_EQ(x.size(), 4);
  EXPECT_EQ(x(0), 0.5);
  EXPECT_EQ(x(1), -1.0);
  EXPECT_EQ(x(2), 0.0);
  EXPECT_NEAR(x(3), 1.0, 1.0 / 32768);
}

TEST(Readsf, StereoIsMixedDownToOneValuePerFrame) {
  testsupport::ScratchDir dir;
  // Frames (L, R): equal channels keep their value, opposite channels cancel.
  write_sound<short>(dir / "st.wav", {8192, 8192, 16384, -16384, -4096, -4096}, 2, 44100.0);
  double rate = 0.0;
  const auto x = read_ok(dir / "st.wav", rate);
  EXPECT_EQ(rate, 44100.0);
  ASSERT_EQ(x.size(), 3);
  EXPECT_DOUBLE_EQ(x(0), 0.25);
  EXPECT_DOUBLE_EQ(x(1), 0.0);
  EXPECT_DOUBLE_EQ(x(2), -0.125);
}

TEST(Readsf, FileShorterThanItsDataChunkIsReadAsFarAsItGoes) {
  // The library returns nothing for a block that runs past the real end: the frames of the
  // last, partial block (all of them in a file under 1024 frames) must still be read.
  for (const int frames : {1, 100, 1023, 1500, 3000}) {
    SCOPED_TRACE(frames);
    testsupport::ScratchDir dir;
    std::vector<short> samples(frames);
    for (int i = 0; i < frames; ++i) samples[i] = static_cast<short>(i % 3000 * 10 - 15000);
    const std::string path = dir / "short.wav";
    write_sound<short>(path, samples, 1, 8000.0);
    // The data size of the canonical 44-byte header claims 10000 frames more than it holds.
    patch_u32(path, 40, static_cast<std::uint32_t>(2 * frames + 20000), true);

    double rate = 0.0;
    const auto x = read_ok(path, rate);
    ASSERT_EQ(x.size(), frames);
    for (int i = 0; i < frames; ++i) ASSERT_EQ(x(i), samples[i] / 32768.0) << i;
  }
}

TEST(Readsf, ContainerSizePastTheEndOfTheFileIsReadAtOnce) {
  // The library walks a container up to its claimed size, a failed read per 8 missing bytes:
  // 0xFFFFFFFF kept it busy for many minutes. Every frame is read, at once.
  struct Case {
    const char* name;
    bool aiff;
    std::uint32_t size;  // 0: the file's size, 8 bytes more than it holds after the field
  } const cases[] = {
      {"riff_max.wav", false, 0xFFFFFFFFu},
      {"riff_2g.wav", false, 0x80000000u},
      {"riff_past.wav", false, 0},
      {"form_max.aiff", true, 0xFFFFFFFFu},
  };
  std::vector<short> samples(300);
  for (int i = 0; i < 300; ++i) samples[i] = static_cast<short>(i * 50 - 7000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ScratchDir dir;
    const std::string path = dir / c.name;
    if (c.aiff) {
      write_sound<short>(path, samples, 1, 8000.0, AF_FILE_AIFF);
    } else {
      write_sound<short>(path, samples, 1, 8000.0);
    }
    const auto size = c.size != 0 ? c.size : static_cast<std::uint32_t>(file_size(path));
    patch_u32(path, 4, size, !c.aiff);
    double rate = 0.0;
    const auto x = read_ok(path, rate);
    EXPECT_EQ(rate, 8000.0);
    ASSERT_EQ(x.size(), 300);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(x(i), samples[i] / 32768.0) << i;
  }
}

TEST(Readsf, ChunkSizePastTheEndOfTheContainerIsCutToIt) {
  // A chunk claiming 0xFFFFFFFF bytes in a container of the right size is cut to the container:
  // the library's walk over such sizes wraps around, and on a file the fuzzer made
  // (tests/fuzz/crashes/sound/timeout-chunk-size-ffffffff.wav) it never ended. Before the data
  // the cut chunk swallows the data (the library refuses the file); after it, every frame is read.
  std::vector<short> samples(300, 2000);
  testsupport::ScratchDir dir;
  const std::string before = dir / "before.wav", after = dir / "after.wav";
  write_sound<short>(before, samples, 1, 8000.0);
  {
    std::fstream f(before, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(36);
    f.write("LIST", 4);  // the data chunk's id in the canonical header
  }
  patch_u32(before, 40, 0xFFFFFFFFu, true);
  write_sound<short>(after, samples, 1, 8000.0);
  {
    std::ofstream f(after, std::ios::binary | std::ios::app);
    f.write(
        "LIST\xff\xff\xff\xff"
        "abcd",
        12);
  }
  patch_u32(after, 4, static_cast<std::uint32_t>(file_size(after) - 8), true);

  double rate = 0.0;
  const auto refused = readsf(before, rate);
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.error().text.find("-> error openning file " + before), std::string::npos)
      << refused.error().text;
  const auto x = read_ok(after, rate);
  ASSERT_EQ(x.size(), 300);
  EXPECT_EQ(x(299), 2000 / 32768.0);
}

TEST(Readsf, FileWithoutFramesGivesEmptySignal) {
  testsupport::ScratchDir dir;
  write_sound<short>(dir / "empty.wav", {}, 1, 16000.0);
  double rate = 0.0;
  const auto x = read_ok(dir / "empty.wav", rate);
  EXPECT_EQ(x.size(), 0);
  EXPECT_EQ(rate, 16000.0);
}

TEST(Readsf, RefusalsReturnTheirFramedMessageAndCloseTheFile) {
  testsupport::ScratchDir dir;
  {
    std::ofstream junk(dir / "junk.wav", std::ios::binary);
    junk << "this is not a sound file at all, only text that no decoder knows";
  }
  std::vector<float> bad(100, 0.25f);
  bad[57] = std::numeric_limits<float>::quiet_NaN();
  write_sound<float>(dir / "nan.wav", bad, 1, 8000.0);
  std::vector<float> inf(2000, -0.5f);
  inf[1500] = std::numeric_limits<float>::infinity();
  write_sound<float>(dir / "inf.wav", inf, 1, 8000.0);

  // A WAV header claiming a sampling rate of 0 Hz (bytes 24..27 of the canonical header).
  write_sound<short>(dir / "rate0.wav", std::vector<short>(64, 100), 1, 8000.0);
  {
    std::fstream f(dir / "rate0.wav", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(24);
    f.write("\0\0\0\0", 4);
  }

  // A header announcing 151 million channels.
  testsupport::write_absurd_channels_au(dir / "channels.au");

  // Files cut inside their format chunk: the library took the missing rate bytes from its own
  // memory (two reads of one file gave two rates).
  write_sound<short>(dir / "cut_fmt.wav", std::vector<short>(100, 1), 1, 8000.0);
  std::filesystem::resize_file(dir / "cut_fmt.wav", 30);
  write_sound<short>(dir / "cut_comm.aiff", std::vector<short>(100, 1), 1, 8000.0, AF_FILE_AIFF);
  std::filesystem::resize_file(dir / "cut_comm.aiff", 30);

  struct Case {
    std::string path;
    std::string message;  // regular expression
  } const cases[] = {
      {dir / "cut_fmt.wav", "-> error openning file .*cut_fmt\\.wav"},
      {dir / "cut_comm.aiff", "-> error openning file .*cut_comm\\.aiff"},
      {dir / "channels.au", "-> the file gives no valid number of channels"},
      {dir / "missing.wav", "-> error openning file .*missing\\.wav\n \\*\\*\\* Exiting program"},
      {dir / "junk.wav", "\\*\\*\\* Error : readsf \\*\\*\\*"},
      {dir / "nan.wav", "not finite"},
      {dir / "inf.wav", "not finite"},
      {dir / "rate0.wav", "no valid sampling rate"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const long before = open_descriptors();
    double rate = 0.0;
    const auto read = readsf(c.path, rate);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().status, 1);
    EXPECT_TRUE(std::regex_search(read.error().text, std::regex(c.message))) << read.error().text;
    EXPECT_EQ(read.error().text.substr(read.error().text.size() - 1), "\n");
    EXPECT_EQ(open_descriptors(), before);
    // The scan that stands for the read in a run that reuses everything refuses it alike.
    const auto scan = scansf(c.path, rate);
    ASSERT_FALSE(scan.ok());
    EXPECT_EQ(scan.error().text, read.error().text);
    EXPECT_EQ(open_descriptors(), before);
  }
}

// The scan gives the length and fingerprint of the samples the read gives, for every sample
// format the analysis meets (stereo mixed down, float, a file cut short, no frames at all).
TEST(Scansf, LengthAndFingerprintAreThoseOfTheSamplesRead) {
  testsupport::ScratchDir dir;
  std::vector<short> pcm(5001);
  for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<short>((i * 37) % 20000 - 9000);
  write_sound<short>(dir / "pcm.wav", pcm, 1, 16000.0);
  write_sound<short>(dir / "stereo.wav", std::vector<short>(pcm.begin(), pcm.end() - 1), 2, 8000.0);
  std::vector<float> fl(2049);
  for (std::size_t i = 0; i < fl.size(); ++i) fl[i] = std::sin(0.3f * static_cast<float>(i));
  write_sound<float>(dir / "float.wav", fl, 1, 44100.0);
  write_sound<short>(dir / "cut.wav", pcm, 1, 16000.0);
  std::filesystem::resize_file(dir / "cut.wav", file_size(dir / "cut.wav") - 1001);
  write_sound<short>(dir / "empty.wav", {}, 1, 16000.0);
  for (const char* name : {"pcm.wav", "stereo.wav", "float.wav", "cut.wav", "empty.wav"}) {
    SCOPED_TRACE(name);
    double read_rate = 0.0, scan_rate = 0.0;
    const auto x = read_ok(dir / name, read_rate);
    const auto scan = scansf(dir / name, scan_rate);
    ASSERT_TRUE(scan.ok()) << scan.error().text;
    EXPECT_EQ(scan_rate, read_rate);
    EXPECT_EQ(scan->frames, x.size());
    EXPECT_EQ(scan->fingerprint,
              sound_fingerprint({x.data(), static_cast<std::size_t>(x.size())}, read_rate));
  }
}

}  // namespace
