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
#include "sound_files.h"

namespace {

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
    testsupport::write_sound<short>(path, samples, 1, 8000.0);
    testsupport::patch_u32(path, 40, c.data_size, true);

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
    testsupport::write_sound<short>(path, std::vector<short>(300, 1000), 1, 8000.0);
    testsupport::patch_u32(path, 4, riff, true);
    const harmex::Sound sound = harmex::read_sound(path);
    ASSERT_EQ(sound.samples.size(), 300u);
    EXPECT_FLOAT_EQ(sound.samples[299], 1000 / 32768.0f);
    EXPECT_EQ(sound.warning, "");
  }
}

TEST(ReadSound, AbsurdChannelCountIsRefused) {
  // A header announcing 151 million channels: the library's mix-down would take 1.2 GB.
  testsupport::ScratchDir dir;
  const std::string path = dir / "channels.au";
  testsupport::write_absurd_channels_au(path);
  try {
    (void)harmex::read_sound(path);
    ADD_FAILURE() << "no refusal";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(path + ": no valid number of channels"), std::string::npos)
        << e.what();
  }
}

}  // namespace
