#include "psola/sound_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "psola/psola_types.h"

namespace {

// A fresh file name beside path (created empty, so no other writer takes it).
std::string temp_beside(const std::string& path) {
  std::string name = path + ".XXXXXX";
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  const int fd = mkstemp(buf.data());
  if (fd < 0) {
    throw PsolaError("cannot create a file beside " + path + ": " + std::strerror(errno));
  }
  // mkstemp makes the file private; the sound gets the permissions a new file would get.
  const mode_t mask = umask(0);
  umask(mask);
  const int chmod_status = fchmod(fd, 0666 & ~mask);
  close(fd);
  (void)chmod_status;  // the sound is still right with narrower permissions
  return std::string(buf.data());
}

}  // namespace

SoundWriter::SoundWriter(const std::string& path, double sr, int sample_format, int sample_width)
    : path_(path) {
  const int format = file_format_of(path);
  if (format == AF_FILE_UNKNOWN) {
    throw PsolaError("cannot tell the sound format of " + path +
                     " from its extension (wav, aiff, aifc, au, caf, flac, sf, ...)");
  }
  width_ = sample_width;
  integer_ = sample_format == AF_SAMPFMT_TWOSCOMP || sample_format == AF_SAMPFMT_UNSIGNED;
  temp_ = temp_beside(path);
  AFfilesetup setup = afNewFileSetup();
  afInitFileFormat(setup, format);
  afInitChannels(setup, AF_DEFAULT_TRACK, 1);
  afInitRate(setup, AF_DEFAULT_TRACK, sr);
  afInitSampleFormat(setup, AF_DEFAULT_TRACK, sample_format, sample_width);
  file_ = afOpenFile(temp_.c_str(), "w", setup);
  afFreeFileSetup(setup);
  if (file_ == AF_NULL_FILEHANDLE) {
    std::remove(temp_.c_str());
    throw PsolaError("cannot write " + path + " in the format of its extension with " +
                     std::to_string(sample_width) + "-bit samples like the input's");
  }
  afSetVirtualSampleFormat(file_, AF_DEFAULT_TRACK, AF_SAMPFMT_DOUBLE, 64);
}

SoundWriter::~SoundWriter() {
  if (file_ != AF_NULL_FILEHANDLE) afCloseFile(file_);
  if (!temp_.empty()) std::remove(temp_.c_str());
}

void SoundWriter::write(const double* samples, std::size_t count) {
  block_.assign(samples, samples + count);
  if (integer_) {
    // Rounded to the file's steps here: the library's own conversion truncates, which would
    // move every sample that lies a hair below its step by one step.
    const double scale = std::ldexp(1.0, width_ - 1);
    const double top = (scale - 1.0) / scale;
    for (double& v : block_) {
      if (v > 1.0 || v < -1.0) ++clipped_;
      v = std::clamp(std::round(v * scale) / scale, -1.0, top);
    }
  }
  const auto frames = static_cast<AFframecount>(count);
  if (afWriteFrames(file_, AF_DEFAULT_TRACK, block_.data(), static_cast<int>(frames)) != frames) {
    throw PsolaError("cannot write " + path_ + ": " + std::strerror(errno));
  }
}

void SoundWriter::commit() {
  const int closed = afCloseFile(file_);
  file_ = AF_NULL_FILEHANDLE;
  if (closed != 0) throw PsolaError("cannot write " + path_);
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
    throw PsolaError("cannot rename the output onto " + path_ + ": " + std::strerror(errno));
  }
  temp_.clear();
}
