// The state directory of a fuzzing process, and its files written with fuzzed bytes. The
// directory is in shared memory, since every run writes, maps and locks a file afresh; it is
// removed when the process ends.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

inline const std::string& fuzzStateDirectory() {
  static const struct Directory {
    Directory() {
      if (!::mkdtemp(path.data())) throw std::runtime_error("cannot make " + path);
    }
    ~Directory() { std::filesystem::remove_all(path); }
    std::string path = "/dev/shm/bfitc-fuzz-XXXXXX";
  } directory;
  return directory.path;
}

inline void fileBytesAre(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
