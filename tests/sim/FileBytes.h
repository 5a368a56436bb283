// Byte-level access to state files, for tests that damage state the way a crash or a disk fault
// would.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
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

// Damages to a state file, done when called: the bytes at `offset` overwritten by those of
// `value`, or the file's size changed.
template <class T>
std::function<void()> overwriting(const std::string& path, std::size_t offset, T value) {
  return [=] { fileBytesAre(path, offset, value); };
}
inline std::function<void()> resizing(const std::string& path, std::uintmax_t size) {
  return [=] { std::filesystem::resize_file(path, size); };
}

// How a damaged state file is refused: the file, the problem, and that removing it starts afresh.
inline std::string refusalOf(const std::string& path, const std::string& problem) {
  return path + ": " + problem + "; remove " + path + " to start afresh";
}

}  // namespace SimTesting
