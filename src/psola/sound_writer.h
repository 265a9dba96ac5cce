// Writing the output sound, whole or not at all.
#pragma once

#include <audiofile.h>

#include <cstddef>
#include <string>
#include <vector>

// Writes a mono sound through libaudiofile into a temporary file beside path, renamed onto
// path by commit(): a failed or abandoned write leaves no partial file and an existing file
// untouched. The file format follows path's extension (see file_format_of).
class SoundWriter {
 public:
  // Throws PsolaError when the extension names no format libaudiofile writes, or the file
  // cannot be created in that format with this sample format (AF_SAMPFMT_*, width in bits).
  SoundWriter(const std::string& path, double sr, int sample_format, int sample_width);
  ~SoundWriter();
  SoundWriter(const SoundWriter&) = delete;
  SoundWriter& operator=(const SoundWriter&) = delete;

  // Appends samples (full scale 1; integer formats clip at full scale). Throws PsolaError on a
  // write fault.
  void write(const double* samples, std::size_t count);
  // Closes and renames onto the target. Throws PsolaError on failure (nothing is left then).
  void commit();
  [[nodiscard]] std::size_t clipped() const { return clipped_; }

 private:
  std::string path_, temp_;
  AFfilehandle file_ = AF_NULL_FILEHANDLE;
  bool integer_ = true;
  int width_ = 16;             // bits per sample
  std::vector<double> block_;  // the samples being written
  std::size_t clipped_ = 0;
};

// libaudiofile's AF_FILE_* for a path's extension (case ignored): wav, aif/aiff, aifc, au/snd,
// caf, flac, sf/ircam, nist/sph, voc, avr, iff/8svx, smp; AF_FILE_UNKNOWN otherwise.
[[nodiscard]] int file_format_of(const std::string& path);
