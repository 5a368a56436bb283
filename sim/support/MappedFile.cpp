#include "sim/support/MappedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace SimSupport {

namespace {

[[noreturn]] void fail(const std::string& path, const char* what) {
  throw std::runtime_error(path + ": cannot " + what + ": " + std::strerror(errno));
}

}  // namespace

MappedFile::MappedFile(const std::string& path, std::size_t sizeIfNew) : path_(path) {
  descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor_ >= 0) {
    created_ = true;
  } else if (errno == EEXIST) {
    descriptor_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  }
  if (descriptor_ < 0) fail(path, "open");
  try {
    if (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) {
        throw std::runtime_error(path + ": in use by another process");
      }
      fail(path, "lock");
    }
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0) fail(path, "stat");
    // An empty file is one whose making was cut short: it is made again.
    created_ = created_ || status.st_size == 0;
    if (created_ && ::ftruncate(descriptor_, static_cast<off_t>(sizeIfNew)) != 0) {
      fail(path, "size");
    }
    size_ = created_ ? sizeIfNew : static_cast<std::size_t>(status.st_size);
    data_ = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor_, 0);
    if (data_ == MAP_FAILED) fail(path, "map");
  } catch (...) {
    ::close(descriptor_);
    throw;
  }
}

MappedFile::~MappedFile() {
  ::munmap(data_, size_);
  ::close(descriptor_);
}

}  // namespace SimSupport
