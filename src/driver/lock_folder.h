// One run per output folder at a time.
#pragma once

#include <memory>
#include <string>

// An exclusive lock on an output folder, held until destruction (or the process's end, however
// it ends: the lock belongs to the open file, which the kernel closes).
class FolderLock {
 public:
  FolderLock() = default;
  explicit FolderLock(int fd) : fd_(fd) {}
  FolderLock(FolderLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

  [[nodiscard]] bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Name of the lock file inside an output folder.
inline constexpr const char* kLockFileName = ".glotmark.lock";

// Locks the folder dir (ending with "/") through flock on dir + kLockFileName, created when
// missing and never removed (removing it would let two runs lock two different files). When
// another process holds it, says so once on standard error and waits. Runs of one process share
// the lock of a folder (the handle is shared while any of them keeps it), so that a caller who
// keeps one run's outcome can start the next. A lock file that cannot be made or locked (a
// read-only folder, a file system without locks) gives a lock that is not held: the run goes
// on, and fails on its own writes where it must write.
[[nodiscard]] std::shared_ptr<const FolderLock> lock_folder(const std::string& dir);
