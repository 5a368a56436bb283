#include "sim/support/MappedFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

namespace SimSupport {

namespace {

// What keeps the changes of the files opened now private, if anything does.
const PrivateStateChanges* changesKeptPrivateBy = nullptr;

// The state files' mappings, read by stateFileMappedAt() in a signal handler: fixed slots of
// atomics, since it may take no lock and allocate nothing. A mapping with no free slot is not
// listed, and its loss ends the program by SIGBUS as before.
struct ListedMapping {
  std::atomic<const char*> begin{nullptr};
  std::atomic<std::size_t> size{0};
  std::atomic<const char*> path{nullptr};
  std::atomic<int> descriptor{-1};
};
ListedMapping listedMappings[16];

void mappingListed(const void* data, std::size_t size, const std::string& path,
                   int descriptor) noexcept {
  for (ListedMapping& listed : listedMappings) {
    if (listed.begin.load(std::memory_order_acquire)) continue;
    listed.size.store(size, std::memory_order_relaxed);
    listed.path.store(path.c_str(), std::memory_order_relaxed);
    listed.descriptor.store(descriptor, std::memory_order_relaxed);
    listed.begin.store(static_cast<const char*>(data), std::memory_order_release);
    return;
  }
}

// Whether `data` was listed.
bool mappingUnlisted(const void* data) noexcept {
  for (ListedMapping& listed : listedMappings) {
    if (listed.begin.load(std::memory_order_acquire) != data) continue;
    listed.begin.store(nullptr);
    return true;
  }
  return false;
}

// The first state file found resized as it was unmapped, once its mapping is no longer listed.
std::optional<ResizedStateFile> resizedWhileMapped;

// How many times an open or a replacement starts again when the file it holds has meanwhile
// been renamed away by another process.
constexpr int attempts = 64;

[[noreturn]] void fail(const std::string& path, const char* what) {
  throw std::runtime_error(path + ": cannot " + what + ": " + std::strerror(errno));
}

// "PATH: PROBLEM; remove PATH to start afresh": what stands at the path is not a state file this
// process may use, and no command gets past it until it is gone.
std::string refusalOf(const std::string& path, std::string_view problem) {
  return path + ": " + std::string(problem) + "; remove " + path + " to start afresh";
}

// An open file, closed unless released.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) noexcept : descriptor_(descriptor) {}
  ~Descriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const noexcept { return descriptor_; }
  int release() noexcept { return std::exchange(descriptor_, -1); }

 private:
  int descriptor_;
};

// Opens `path` for reading and writing without following a symbolic link; -1 when there is no
// file and `flags` do not make one.
int opened(const std::string& path, int flags) {
  int descriptor =
      ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | flags, 0600);
  if (descriptor >= 0) return descriptor;
  int error = errno;
  if (error == ENOENT && !(flags & O_CREAT)) return -1;
  struct stat status {};
  if (::lstat(path.c_str(), &status) == 0) {
    if (S_ISLNK(status.st_mode)) throw std::runtime_error(refusalOf(path, "is a symbolic link"));
    if (!S_ISREG(status.st_mode)) throw std::runtime_error(refusalOf(path, "not a regular file"));
  }
  errno = error;
  fail(path, "open");
}

// Locks the open file for this process once it is seen to be a regular file of this user; gives
// what it is.
struct stat hold(int descriptor, const std::string& path) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) fail(path, "stat");
  if (!S_ISREG(status.st_mode)) throw std::runtime_error(refusalOf(path, "not a regular file"));
  if (status.st_uid != ::geteuid()) {
    throw std::runtime_error(
        refusalOf(path, "owned by another user (uid " + std::to_string(status.st_uid) + ")"));
  }
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) throw std::runtime_error(path + ": in use by another process");
    fail(path, "lock");
  }
  return status;
}

// Refuses a state file that another user could write, or that another name would show written.
void checkPrivate(const struct stat& status, const std::string& path) {
  if (status.st_mode & (S_IWGRP | S_IWOTH)) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    throw std::runtime_error(path + ": writable by " +
                             (status.st_mode & S_IWOTH ? "others" : "its group") + " (mode " +
                             mode + "); make it private with chmod 600");
  }
  if (status.st_nlink > 1) {
    throw std::runtime_error(path + ": has " + std::to_string(status.st_nlink) +
                             " names (hard links), which writing it would change too: remove "
                             "them, or remove " +
                             path + " to start afresh");
  }
}

// The size of the open file if `path` still names it; none once another process renamed it
// away or put another file there.
std::optional<std::size_t> sizeIfStillAt(int descriptor, const std::string& path) {
  struct stat open {
  }, named{};
  if (::fstat(descriptor, &open) != 0) fail(path, "stat");
  if (::lstat(path.c_str(), &named) != 0 || named.st_dev != open.st_dev ||
      named.st_ino != open.st_ino) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(open.st_size);
}

// Removes what a process killed while it made a replacement of the file left beside it, so that
// it takes no room until the next replacement: a regular file of this user, of no other name,
// that no maker holds locked (one at work holds its file locked). Never raises.
void removeLeftover(const std::string& newPath) noexcept {
  const int descriptor =
      ::open(newPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) return;
  struct stat status {
  }, named{};
  if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
      status.st_uid == ::geteuid() && status.st_nlink == 1 &&
      ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && ::lstat(newPath.c_str(), &named) == 0 &&
      named.st_dev == status.st_dev && named.st_ino == status.st_ino) {
    ::unlink(newPath.c_str());
  }
  ::close(descriptor);
}

// Gives the open file's every byte a block, so that writing through its mapping never meets a
// full disk: that would end the process with SIGBUS instead of an error.
void allocate(int descriptor, std::size_t size, const std::string& path) {
  // A file without a hole, every byte of which has a block, stays as it is, its times too.
  struct stat status {};
  if (::fstat(descriptor, &status) == 0 &&
      static_cast<std::size_t>(status.st_blocks) * 512 >= size &&
      ::lseek(descriptor, 0, SEEK_HOLE) == static_cast<off_t>(size)) {
    return;
  }
  if (int error = ::posix_fallocate(descriptor, 0, static_cast<off_t>(size))) {
    errno = error;
    fail(path, "allocate");
  }
}

// Maps the open file, or with `sharing` MAP_PRIVATE its copy-on-write image, or with no file
// (-1) anonymous memory.
void* mapped(int descriptor, std::size_t size, const std::string& path, int sharing = MAP_SHARED) {
  void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                      sharing | (descriptor < 0 ? MAP_ANONYMOUS : 0), descriptor, 0);
  if (data == MAP_FAILED) fail(path, "map");
  return data;
}

}  // namespace

MappedFile::MappedFile(const std::string& path, const Kind& kind, std::size_t sizeIfNew,
                       const Writer& initialize)
    : path_(path), kind_(kind), changesPrivate_(changesKeptPrivateBy != nullptr) {
  const bool takenAsAbsent = changesPrivate_ && changesKeptPrivateBy->takenAsAbsent(path_);
  for (int attempt = 0; attempt < attempts; ++attempt) {
    Descriptor file(takenAsAbsent ? -1 : opened(path_, 0));
    std::optional<std::size_t> size;
    if (file.get() >= 0) {
      checkPrivate(hold(file.get(), path_), path_);
      size = sizeIfStillAt(file.get(), path_);
      if (!size) continue;
    }
    // A file that is not there is made; an empty one holds nothing and is made again in its place.
    if (!size || *size == 0) {
      if (changesPrivate_) {
        madeHere_ = true;
        mapInMemory(sizeIfNew, initialize);
        return;
      }
      if ((madeHere_ = made(sizeIfNew, initialize, size ? Placing::over : Placing::beside))) return;
      continue;
    }
    if (*size > kind_.maxSize) {
      refuseAsDamaged("the file of " + std::to_string(*size) + " bytes is larger than any " +
                          std::string(kind_.name) + " (" + std::to_string(kind_.maxSize) +
                          " bytes)",
                      file.get());
    }
    void* data = mapped(file.get(), *size, path_, changesPrivate_ ? MAP_PRIVATE : MAP_SHARED);
    adopt(file.release(), data, *size);
    if (!changesPrivate_) removeLeftover(path_ + ".new");
    return;
  }
  throw std::runtime_error(path_ + ": cannot open: replaced again and again by other processes");
}

MappedFile::~MappedFile() {
  adopt(-1, nullptr, 0);
}

void MappedFile::replace(std::size_t size, const Writer& write) {
  if (changesPrivate_) {
    mapInMemory(size, write);
    return;
  }
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (made(size, write, Placing::over)) return;
  }
  throw std::runtime_error(path_ +
                           ".new: cannot replace: taken again and again by other processes");
}

void MappedFile::blocksReserve() const {
  if (!changesPrivate_ && descriptor_ >= 0) allocate(descriptor_, size_, path_);
}

bool MappedFile::made(std::size_t size, const Writer& write, Placing placing) {
  const std::string newPath = path_ + ".new";
  Descriptor file(opened(newPath, O_CREAT));
  // A leftover with another name is not this program's to write: it is made again.
  if (hold(file.get(), newPath).st_nlink > 1) {
    ::unlink(newPath.c_str());
    return false;
  }
  // Another process may have placed this file at the path, or given up its making.
  if (!sizeIfStillAt(file.get(), newPath)) return false;
  void* data = nullptr;
  try {
    // Private whatever the umask, or a leftover's mode, says.
    if (::fchmod(file.get(), 0600) != 0) fail(newPath, "make private");
    if (::ftruncate(file.get(), 0) != 0 || ::ftruncate(file.get(), static_cast<off_t>(size)) != 0)
      fail(newPath, "size");
    allocate(file.get(), size, newPath);
    data = mapped(file.get(), size, newPath);
    write(data, size);
  } catch (...) {
    // What could not be made whole is not left behind to take room.
    if (data) ::munmap(data, size);
    ::unlink(newPath.c_str());
    throw;
  }
  int placed = placing == Placing::over ? ::rename(newPath.c_str(), path_.c_str())
                                        : ::renameat2(AT_FDCWD, newPath.c_str(), AT_FDCWD,
                                                      path_.c_str(), RENAME_NOREPLACE);
  if (placed != 0) {
    int error = errno;
    ::munmap(data, size);
    // Another process made the file first: this one opens it.
    if (error == EEXIST && placing == Placing::beside) {
      ::unlink(newPath.c_str());
      return false;
    }
    errno = error;
    fail(path_, "make");
  }
  adopt(file.release(), data, size);
  return true;
}

void MappedFile::mapInMemory(std::size_t size, const Writer& write) {
  void* data = mapped(-1, size, path_, MAP_PRIVATE);
  try {
    write(data, size);
  } catch (...) {
    ::munmap(data, size);
    throw;
  }
  unmap();
  data_ = data;
  size_ = size;
}

void MappedFile::adopt(int descriptor, void* data, std::size_t size) noexcept {
  unmap();
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = descriptor;
  data_ = data;
  size_ = size;
  if (descriptor >= 0 && data) mappingListed(data, size, path_, descriptor);
}

void MappedFile::unmap() noexcept {
  if (!data_) return;
  // Memory in place of the file's contents (a dry run's) is not the file's to compare.
  const bool fileMapped = mappingUnlisted(data_);
  ::munmap(data_, size_);
  struct stat status {};
  if (fileMapped && !resizedWhileMapped && ::fstat(descriptor_, &status) == 0 &&
      static_cast<std::size_t>(status.st_size) != size_) {
    try {
      resizedWhileMapped = ResizedStateFile{path_, size_, static_cast<std::size_t>(status.st_size)};
    } catch (const std::bad_alloc&) {
    }
  }
}

std::string MappedFile::refusal(std::string_view problem) const {
  return refusalOf(path_, problem);
}

void MappedFile::refuse(std::string_view problem) const {
  throw std::runtime_error(refusal(problem));
}

void MappedFile::refuseAsDamaged(std::string_view reason) const {
  refuseAsDamaged(reason, descriptor_);
}

void MappedFile::refuseAsDamaged(std::string_view reason, int descriptor) const {
  const std::string problem = "damaged " + std::string(kind_.name) + ": " + std::string(reason);
  // A descriptor of its own shares the lock, which lasts until the last of them is closed.
  std::shared_ptr<const Descriptor> lock;
  if (descriptor >= 0) {
    lock = std::make_shared<const Descriptor>(::fcntl(descriptor, F_DUPFD_CLOEXEC, 0));
    if (lock->get() < 0) fail(path_, "keep locked");
  }
  throw DamagedFile(refusal(problem), path_, problem, std::move(lock));
}

const char* stateFileMappedAt(const void* address) noexcept {
  const char* byte = static_cast<const char*>(address);
  for (const ListedMapping& listed : listedMappings) {
    const char* begin = listed.begin.load(std::memory_order_acquire);
    if (begin && byte >= begin && byte < begin + listed.size.load(std::memory_order_relaxed)) {
      return listed.path.load(std::memory_order_relaxed);
    }
  }
  return nullptr;
}

std::optional<ResizedStateFile> resizedStateFile() {
  for (const ListedMapping& listed : listedMappings) {
    if (!listed.begin.load(std::memory_order_acquire)) continue;
    struct stat status {};
    const std::size_t mappedSize = listed.size.load(std::memory_order_relaxed);
    if (::fstat(listed.descriptor.load(std::memory_order_relaxed), &status) == 0 &&
        static_cast<std::size_t>(status.st_size) != mappedSize) {
      return ResizedStateFile{listed.path.load(std::memory_order_relaxed), mappedSize,
                              static_cast<std::size_t>(status.st_size)};
    }
  }
  return resizedWhileMapped;
}

PrivateStateChanges::PrivateStateChanges() noexcept {
  changesKeptPrivateBy = this;
}

PrivateStateChanges::~PrivateStateChanges() {
  changesKeptPrivateBy = nullptr;
}

bool PrivateStateChanges::takenAsAbsent(const std::string& path) const noexcept {
  return std::find(absent_.begin(), absent_.end(), path) != absent_.end();
}

}  // namespace SimSupport
