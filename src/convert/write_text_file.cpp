#include "convert/write_text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "convert/convert_error.h"

namespace {

[[noreturn]] void fail(const std::string& path, int err, const std::string& tmp) {
  if (!tmp.empty()) ::unlink(tmp.c_str());
  throw ConvertError("cannot write " + path + ": " + std::strerror(err));
}

}  // namespace

void write_text_file(const std::string& path, const std::string& content) {
  std::string tmp = path + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) fail(path, errno, "");
  // mkstemp creates the file for its owner only; give it the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd, 0666 & ~mask) != 0) {
    const int err = errno;
    ::close(fd);
    fail(path, err, tmp);
  }
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : EIO;
      ::close(fd);
      fail(path, err, tmp);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) {
    const int err = errno;
    ::close(fd);
    fail(path, err, tmp);
  }
  if (::close(fd) != 0) fail(path, errno, tmp);
  if (std::rename(tmp.c_str(), path.c_str()) != 0) fail(path, errno, tmp);
}
