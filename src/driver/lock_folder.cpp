#include "driver/lock_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <map>
#include <mutex>
#include <utility>

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

namespace {

FolderLock take_lock(const std::string& dir) {
  const std::string path = dir + kLockFileName;
  // Close-on-exec: the f0 program and the directory script must not hold the lock after us.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return FolderLock{};
  FolderLock lock(fd);
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return lock;
  if (errno != EWOULDBLOCK) return FolderLock{};
  std::cerr << "glotmark: another run is using " << dir << ": waiting for it to end" << std::endl;
  int rc = 0;
  while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  return rc == 0 ? std::move(lock) : FolderLock{};
}

}  // namespace

std::shared_ptr<const FolderLock> lock_folder(const std::string& dir) {
  // The folders this process holds, by device and inode (one folder, however its path is spelt).
  static std::mutex mutex;
  static std::map<std::pair<dev_t, ino_t>, std::weak_ptr<const FolderLock>> held;
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0) return std::make_shared<const FolderLock>();
  const std::lock_guard<std::mutex> guard(mutex);
  const auto key = std::make_pair(st.st_dev, st.st_ino);
  if (auto shared = held[key].lock()) return shared;
  auto lock = std::make_shared<const FolderLock>(take_lock(dir));
  held[key] = lock;
  return lock;
}
