// Byte-level access to state files, for tests that damage state the way a crash or a disk fault
// would.
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace SimTesting {

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
