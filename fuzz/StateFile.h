// The state directory of a fuzzing process, and its files written with fuzzed bytes. The
// directory is in shared memory, since every run writes, maps and locks a file afresh; it is
// removed when the process ends.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "tests/support/TemporaryDirectory.h"

inline const std::string& fuzzStateDirectory() {
  static const TestSupport::TemporaryDirectory directory("bfitc-fuzz", "/dev/shm");
  return directory.path();
}

inline void fileBytesAre(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
