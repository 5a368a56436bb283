// A private directory of the run's own, made as mktemp makes one (in TMPDIR when it is set and
// not empty, else /tmp), and removed with all it holds when the object goes.
#pragma once

#include <string>

namespace TcAgent {

class ScratchDirectory {
 public:
  // Makes PLACE/`prefix`XXXXXX. Raises std::runtime_error naming `purpose` ("the demo's
  // directory") and the place when it cannot be made, or when another user could redirect it.
  ScratchDirectory(const std::string& prefix, const std::string& purpose);
  ~ScratchDirectory() { remove(); }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const noexcept { return path_; }
  // Removes the directory now, if it is still there.
  void remove() noexcept;

 private:
  std::string path_;
};

}  // namespace TcAgent
