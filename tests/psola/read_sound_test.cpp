// The resynthesis's sound reader on damaged headers: every frame there is read, at once, and an
// absurd channel count is refused.
#include "psola/read_sound.h"

#include <audiofile.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "psola/psola_types.h"
#include "run_program.h"
#include "sound_files.h"

namespace {

TEST(ReadSound, DamagedSizeFieldsLoseNothingAndTakeNoTime) {
  // A RIFF size of 0xFFFFFFFF made libaudiofile walk 4 GiB of missing chunks; a data chunk
  // longer than the file lost the last partial block (all of a file under one block).
  struct Case {
    const char* why;
    long offset;  // of the patched size field
    std::uint32_t value;
  } const cases[] = {
      {"RIFF size 0xFFFFFFFF", 4, 0xFFFFFFFFu},
      {"data chunk longer than the file", 40, 100000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    testsupport::ScratchDir dir;
    const std::string path = dir / "damaged.wav";
    std::vector<short> samples(3000);
    for (int i = 0; i < 3000; ++i) samples[i] = static_cast<short>(i * 9 - 13000);
    testsupport::write_sound<short>(path, samples, 1, 8000.0);
    testsupport::patch_u32(path, c.offset, c.value, true);
    const Sound s = read_sound(path);
    ASSERT_EQ(s.x.size(), 3000u);
    for (int i = 0; i < 3000; ++i) ASSERT_FLOAT_EQ(s.x[i], samples[i] / 32768.0f) << i;
    EXPECT_LE(s.x.capacity(), std::filesystem::file_size(path));
  }
}

TEST(ReadSound, AbsurdChannelCountIsRefused) {
  // A header announcing 151 million channels: the library's mix-down would take 1.2 GB.
  testsupport::ScratchDir dir;
  const std::string path = dir / "channels.au";
  testsupport::write_absurd_channels_au(path);
  try {
    (void)read_sound(path);
    ADD_FAILURE() << "no refusal";
  } catch (const PsolaError& e) {
    EXPECT_NE(std::string(e.what()).find(path + " gives no valid number of channels"),
              std::string::npos)
        << e.what();
  }
}

}  // namespace
