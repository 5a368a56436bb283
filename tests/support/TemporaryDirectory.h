// A fresh directory of its own for a test, a benchmark or a fuzzing process: named after a
// prefix, made under a parent (the system's temporary directory unless given) with mode 0700,
// and removed with everything in it when the object goes.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace TestSupport {

class TemporaryDirectory {
 public:
  // Raises std::runtime_error when the directory cannot be made.
  explicit TemporaryDirectory(const std::string& prefix, const std::filesystem::path& parent =
                                                             std::filesystem::temp_directory_path())
      : path_((parent / (prefix + "-XXXXXX")).string()) {
    if (!::mkdtemp(path_.data())) {
      throw std::runtime_error("cannot make " + path_ + ": " + std::strerror(errno));
    }
  }
  ~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::string& path() const noexcept { return path_; }

 private:
  std::string path_;
};

}  // namespace TestSupport
