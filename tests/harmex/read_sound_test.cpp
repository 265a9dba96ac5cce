// The f0 program's sound reader on damaged headers: nothing stalls, nothing is lost, a huge
// announced length reserves no more than the file can hold.
#include <audiofile.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "harmex/harmex.h"
#include "run_program.h"

namespace {

// A canonical 44-byte-header WAV file of 16-bit mono frames.
void write_wav16(const std::string& path, const std::vector<short>& samples) {
  AFfilesetup setup = afNewFileSetup();
  afInitFileFormat(setup, AF_FILE_WAVE);
  afInitChannels(setup, AF_DEFAULT_TRACK, 1);
  afInitSampleFormat(setup, AF_DEFAULT_TRACK, AF_SAMPFMT_TWOSCOMP, 16);
  afInitRate(setup, AF_DEFAULT_TRACK, 8000.0);
  AFfilehandle file = afOpenFile(path.c_str(), "w", setup);
  afFreeFileSetup(setup);
  ASSERT_NE(file, AF_NULL_FILEHANDLE);
  const int frames = static_cast<int>(samples.size());
  ASSERT_EQ(afWriteFrames(file, AF_DEFAULT_TRACK, samples.data(), frames), frames);
  ASSERT_EQ(afCloseFile(file), 0);
}

void patch_le32(const std::string& path, long offset, std::uint32_t value) {
  char bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xffu);
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(offset);
  f.write(bytes, 4);
}

TEST(ReadSound, DataChunkLongerThanTheFileIsReadAsFarAsItGoes) {
  struct Case {
    int frames;
    std::uint32_t data_size;  // bytes the data chunk claims
  } const cases[] = {
      {100, 220000},       // under one block of 1024 frames
      {1500, 220000},      // the second block partial
      {300, 0x7FFFFFFEu},  // about a billion frames announced
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    testsupport::ScratchDir dir;
    const std::string path = dir / "short.wav";
    std::vector<short> samples(c.frames);
    for (int i = 0; i < c.frames; ++i) samples[i] = static_cast<short>(i * 7 - 5000);
    write_wav16(path, samples);
    patch_le32(path, 40, c.data_size);

    const harmex::Sound sound = harmex::read_sound(path);
    ASSERT_EQ(sound.samples.size(), static_cast<std::size_t>(c.frames));
    for (int i = 0; i < c.frames; ++i) ASSERT_FLOAT_EQ(sound.samples[i], samples[i] / 32768.0f);
    EXPECT_NE(sound.warning.find("ends early"), std::string::npos) << sound.warning;
    EXPECT_LE(sound.samples.capacity(), std::filesystem::file_size(path));
  }
}

TEST(ReadSound, RiffSizePastTheEndOfTheFileIsReadAtOnce) {
  // The audio file library would walk the missing bytes, for minutes at 0xFFFFFFFF.
  for (const std::uint32_t riff : {0xFFFFFFFFu, 0x80000000u, 1000u}) {
    SCOPED_TRACE(riff);
    testsupport::ScratchDir dir;
    const std::string path = dir / "riff.wav";
    write_wav16(path, std::vector<short>(300, 1000));
    patch_le32(path, 4, riff);
    const harmex::Sound sound = harmex::read_sound(path);
    ASSERT_EQ(sound.samples.size(), 300u);
    EXPECT_FLOAT_EQ(sound.samples[299], 1000 / 32768.0f);
    EXPECT_EQ(sound.warning, "");
  }
}

TEST(ReadSound, AbsurdChannelCountIsRefused) {
  // A NeXT/Sun header (offset 24, 2000 data bytes, 16-bit linear, 8000 Hz) announcing 151
  // million channels: the library's mix-down would take 1.2 GB.
  testsupport::ScratchDir dir;
  const std::string path = dir / "channels.au";
  {
    std::ofstream au(path, std::ios::binary);
    au.write(".snd\0\0\0\x18\0\0\x07\xd0\0\0\0\x03\0\0\x1f\x40\x09\x08\x08\x07", 24);
    au << std::string(2000, '\x01');
  }
  try {
    (void)harmex::read_sound(path);
    ADD_FAILURE() << "no refusal";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(path + ": no valid number of channels"), std::string::npos)
        << e.what();
  }
}

}  // namespace
