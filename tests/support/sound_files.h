// Small sound files for the readers' tests, written with libaudiofile, and byte patches that
// damage their headers.
#pragma once

#include <audiofile.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

namespace testsupport {

// Writes interleaved frames of `channels` samples each, 16-bit integers (short) or 32-bit
// floats (float), into a file of file_format (AF_FILE_WAVE, AF_FILE_AIFF, ...) at rate Hz.
template <class Sample>
void write_sound(const std::string& path, const std::vector<Sample>& samples, int channels,
                 double rate, int file_format = AF_FILE_WAVE) {
  constexpr bool is_float = std::is_floating_point_v<Sample>;
  AFfilesetup setup = afNewFileSetup();
  afInitFileFormat(setup, file_format);
  afInitChannels(setup, AF_DEFAULT_TRACK, channels);
  afInitSampleFormat(setup, AF_DEFAULT_TRACK, is_float ? AF_SAMPFMT_FLOAT : AF_SAMPFMT_TWOSCOMP,
                     is_float ? 32 : 16);
  afInitRate(setup, AF_DEFAULT_TRACK, rate);
  AFfilehandle file = afOpenFile(path.c_str(), "w", setup);
  afFreeFileSetup(setup);
  ASSERT_NE(file, AF_NULL_FILEHANDLE);
  const int frames = static_cast<int>(samples.size()) / channels;
  if (frames > 0) {
    ASSERT_EQ(afWriteFrames(file, AF_DEFAULT_TRACK, samples.data(), frames), frames);
  }
  ASSERT_EQ(afCloseFile(file), 0);
}

// Overwrites the 32-bit field at offset with value, in little- or big-endian byte order.
inline void patch_u32(const std::string& path, long offset, std::uint32_t value, bool little) {
  char bytes[4];
  for (int i = 0; i < 4; ++i) {
    bytes[little ? i : 3 - i] = static_cast<char>((value >> (8 * i)) & 0xffu);
  }
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(offset);
  f.write(bytes, 4);
}

// Writes a NeXT/Sun sound header (big-endian: data at offset 24, 2000 data bytes, 16-bit linear,
// 8000 Hz) announcing 151 million channels, followed by its 2000 data bytes: the library's
// mix-down would take 1.2 GB for it.
inline void write_absurd_channels_au(const std::string& path) {
  std::ofstream au(path, std::ios::binary);
  au.write(".snd\0\0\0\x18\0\0\x07\xd0\0\0\0\x03\0\0\x1f\x40\x09\x08\x08\x07", 24);
  au << std::string(2000, '\x01');
}

}  // namespace testsupport
