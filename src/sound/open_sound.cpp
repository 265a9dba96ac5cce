#include "sound/open_sound.h"

#include <af_vfs.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace {

// The file as the library sees it: its bytes, with bytes 4..7 replaced by `size_field` when
// `patched`.
struct View {
  int fd = -1;
  std::int64_t pos = 0;
  std::int64_t length = 0;
  bool patched = false;
  unsigned char size_field[4] = {0, 0, 0, 0};
};

// Whether the container's size field claims more than the file holds; if so, the field that
// says what it holds (in the container's byte order).
void check_container(View& v) {
  unsigned char head[8];
  if (pread(v.fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return;
  const bool little = std::memcmp(head, "RIFF", 4) == 0;
  const bool big = std::memcmp(head, "RIFX", 4) == 0 || std::memcmp(head, "FORM", 4) == 0;
  if (!little && !big) return;
  std::uint64_t claimed = 0;  // bytes after the 8-byte container header
  for (int i = 0; i < 4; ++i) claimed = claimed << 8 | head[4 + (little ? 3 - i : i)];
  const auto held = static_cast<std::uint64_t>(v.length - 8);
  if (claimed <= held + 1) return;  // a missing final pad byte is common and harmless
  for (int i = 0; i < 4; ++i) {
    v.size_field[little ? i : 3 - i] = static_cast<unsigned char>(held >> (8 * i) & 0xffu);
  }
  v.patched = true;
}

View* view_of(AFvirtualfile* vf) {
  return static_cast<View*>(vf->closure);
}

ssize_t view_read(AFvirtualfile* vf, void* data, size_t n) {
  View& v = *view_of(vf);
  const ssize_t got = pread(v.fd, data, n, static_cast<off_t>(v.pos));
  if (got <= 0) return got;
  if (v.patched) {
    auto* bytes = static_cast<unsigned char*>(data);
    for (std::int64_t at = 4; at < 8; ++at) {
      if (at >= v.pos && at < v.pos + got) bytes[at - v.pos] = v.size_field[at - 4];
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

AFfilehandle open_sound(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return AF_NULL_FILEHANDLE;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);  // the library reads what it is given; a pipe or a folder is not a sound file
    return AF_NULL_FILEHANDLE;
  }
  auto* view = new View{fd, 0, st.st_size};
  check_container(*view);
  AFvirtualfile* vf = af_virtual_file_new();
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
