// A fresh state directory for one test, removed when the test ends, and byte-level access to
// the files in it, for tests that damage state the way a crash or a disk fault would.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace SimTesting {

class StateDirectory {
 public:
  StateDirectory() {
    if (!::mkdtemp(path_.data())) throw std::runtime_error("cannot make a state directory");
  }
  ~StateDirectory() { std::filesystem::remove_all(path_); }
  StateDirectory(const StateDirectory&) = delete;
  StateDirectory& operator=(const StateDirectory&) = delete;

  const std::string& path() const noexcept { return path_; }

 private:
  std::string path_ = "/tmp/bfitc-simtest-XXXXXX";
};

inline std::vector<char> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Overwrites the bytes of an existing file at `offset` with those of `value`.
template <class T>
void fileBytesAre(const std::string& path, std::size_t offset, const T& value) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(reinterpret_cast<const char*>(&value), sizeof value);
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace SimTesting
