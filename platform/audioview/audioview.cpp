#include "audioview/audioview.h"

#include <af_vfs.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// A 32-bit size field shown to the library with another value.
struct Patch {
  std::int64_t offset = 0;  // of the field's first byte in the file
  unsigned char bytes[4] = {0, 0, 0, 0};
};

// The file as the library sees it: its bytes, with the patched size fields.
struct View {
  int fd = -1;
  std::int64_t pos = 0;
  std::int64_t length = 0;
  std::vector<Patch> patches;
};

std::uint32_t load32(const unsigned char* p, bool little) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | p[little ? 3 - i : i];
  return v;
}

Patch patch(std::int64_t offset, std::uint64_t value, bool little) {
  Patch p;
  p.offset = offset;
  for (int i = 0; i < 4; ++i) {
    p.bytes[little ? i : 3 - i] = static_cast<unsigned char>(value >> (8 * i) & 0xffu);
  }
  return p;
}

constexpr std::int64_t kWrapSize = std::int64_t{1} << 31;  // bytes

// The size fields of a RIFF/RIFX (WAV) or FORM (AIFF, AIFF-C) container that claim more than
// the file holds: the container's own, cut to the end of the file, and that of the first chunk
// running past the container's end, cut to it. The library walks chunk by chunk up to the
// claimed end (a failed read per 8 missing bytes), and a chunk size near 4 GiB wraps its
// position around; both kept it busy for minutes. The data chunk (data, SSND) keeps a size
// under 2 GiB: the library announces the frames it claims, and the reader stops at the real end
// (and can say the file ends early). False when the format chunk (fmt, COMM) is cut short by the
// end of the file: the library would take the missing parameters from its own uninitialised
// memory (one file gave the two programs two different rates).
bool plan_patches(View& v) {
  unsigned char head[12];
  if (pread(v.fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return true;
  const bool riff = std::memcmp(head, "RIFF", 4) == 0;
  const bool little = riff;
  const bool form = std::memcmp(head, "FORM", 4) == 0;
  if (!riff && !form && std::memcmp(head, "RIFX", 4) != 0) return true;
  const std::int64_t claimed = load32(head + 4, little);  // bytes after the 8-byte header
  std::int64_t end = 8 + claimed;
  if (end > v.length + 1) {  // a missing final pad byte is common and harmless
    v.patches.push_back(patch(4, static_cast<std::uint64_t>(v.length - 8), little));
    end = v.length;
  }
  const char* data_id = form ? "SSND" : "data";
  const char* format_id = form ? "COMM" : "fmt ";
  // The library reads chunks past the container's claimed end too: the walk goes to the file's.
  for (std::int64_t pos = 12; pos + 8 <= v.length;) {
    unsigned char chunk[8];
    if (pread(v.fd, chunk, sizeof chunk, static_cast<off_t>(pos)) != 8) return true;
    const std::int64_t size = load32(chunk + 4, little);
    if (std::memcmp(chunk, format_id, 4) == 0 && size > v.length - (pos + 8)) return false;
    if (size > end - (pos + 8)) {
      // A data size of 2 GiB or more is cut too: the library's walk would wrap around after it.
      const bool data = std::memcmp(chunk, data_id, 4) == 0;
      if (pos + 8 <= end && (!data || size >= kWrapSize)) {
        v.patches.push_back(patch(pos + 4, static_cast<std::uint64_t>(end - (pos + 8)), little));
      }
      return true;
    }
    pos += 8 + size + (size & 1);  // chunks are padded to an even length
  }
  return true;
}

View* view_of(AFvirtualfile* vf) {
  return static_cast<View*>(vf->closure);
}

ssize_t view_read(AFvirtualfile* vf, void* data, size_t n) {
  View& v = *view_of(vf);
  const ssize_t got = pread(v.fd, data, n, static_cast<off_t>(v.pos));
  if (got <= 0) return got;
  auto* bytes = static_cast<unsigned char*>(data);
  for (const Patch& p : v.patches) {
    for (std::int64_t at = p.offset; at < p.offset + 4; ++at) {
      if (at >= v.pos && at < v.pos + got) bytes[at - v.pos] = p.bytes[at - p.offset];
    }
  }
  v.pos += got;
  return got;
}

AFfileoffset view_length(AFvirtualfile* vf) {
  return view_of(vf)->length;
}

ssize_t view_write(AFvirtualfile*, const void*, size_t) {
  return -1;  // opened for reading only
}

void view_destroy(AFvirtualfile* vf) {
  View* v = view_of(vf);
  close(v->fd);
  delete v;
}

AFfileoffset view_seek(AFvirtualfile* vf, AFfileoffset offset, int is_relative) {
  View& v = *view_of(vf);
  const std::int64_t to = is_relative ? v.pos + offset : offset;
  if (to < 0) return -1;
  v.pos = to;
  return to;
}

AFfileoffset view_tell(AFvirtualfile* vf) {
  return view_of(vf)->pos;
}

}  // namespace

namespace audioview {

AFfilehandle open_sound(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return AF_NULL_FILEHANDLE;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);  // the library reads what it is given; a pipe or a folder is not a sound file
    return AF_NULL_FILEHANDLE;
  }
  auto* view = new View{fd, 0, st.st_size, {}};
  AFvirtualfile* vf = plan_patches(*view) ? af_virtual_file_new() : nullptr;
  if (vf == nullptr) {
    close(fd);
    delete view;
    return AF_NULL_FILEHANDLE;
  }
  vf->read = view_read;
  vf->length = view_length;
  vf->write = view_write;
  vf->destroy = view_destroy;
  vf->seek = view_seek;
  vf->tell = view_tell;
  vf->closure = view;
  // From here the library owns the view: it destroys it when the open fails or at afCloseFile.
  return afOpenVirtualFile(vf, "r", AF_NULL_FILESETUP);
}

long long frames_in_file(AFfilehandle file, const std::string& path) {
  constexpr long long kNoBound = std::numeric_limits<long long>::max();
  const AFframecount announced = afGetFrameCount(file, AF_DEFAULT_TRACK);
  if (announced <= 0) return kNoBound;
  const double frame_bytes = afGetFrameSize(file, AF_DEFAULT_TRACK, 0);
  const AFfileoffset offset = afGetDataOffset(file, AF_DEFAULT_TRACK);
  struct stat st {};
  if (!(frame_bytes > 0.0) || offset < 0 || stat(path.c_str(), &st) != 0) return announced;
  const double held = std::floor(static_cast<double>(st.st_size - offset) / frame_bytes);
  return held < static_cast<double>(announced) ? std::max(0LL, static_cast<long long>(held))
                                               : announced;
}

}  // namespace audioview
