// A fresh directory under /tmp for one chip's state, named uniquely after a prefix, and removed
// with everything in it when the object goes.
#pragma once

#include <string>

namespace TableBench {

class StateDirectory {
 public:
  // Raises std::runtime_error when the directory cannot be made.
  explicit StateDirectory(const std::string& prefix);
  ~StateDirectory();
  StateDirectory(const StateDirectory&) = delete;
  StateDirectory& operator=(const StateDirectory&) = delete;

  const std::string& path() const noexcept { return path_; }

 private:
  std::string path_;
};

}  // namespace TableBench
