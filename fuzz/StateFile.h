// The state directory of a fuzzing process, and its files written with fuzzed bytes or made from
// a fuzzed description. The directory is in shared memory, since every run writes, maps and locks
// a file afresh; it is removed when the process ends.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/FuzzedValues.h"
#include "sim/support/StateFileHeader.h"
#include "tests/support/TemporaryDirectory.h"

inline const std::string& fuzzStateDirectory() {
  static const TestSupport::TemporaryDirectory directory("bfitc-fuzz", "/dev/shm");
  return directory.path();
}

inline void fileBytesAre(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Whether the input describes a state file rather than being its bytes: an odd first byte.
inline bool describesStateFile(const uint8_t* data, size_t size) {
  return size > 0 && (data[0] & 1);
}

// The header that every state file begins with, for `capacity` items of `format`; each of its
// fields is now and then any value.
inline SimSupport::StateFileHeader fuzzedHeader(const SimSupport::StateFileFormat& format,
                                                U32 capacity, FuzzedValues& in) {
  SimSupport::StateFileHeader header = format.header(capacity);
  if (in.onceIn(16)) header.magic[in.next<uint8_t>() % sizeof header.magic] ^= 1;
  if (in.onceIn(16)) header.version = in.next<U32>();
  if (in.onceIn(16)) header.headerBytes = in.next<U32>();
  if (in.onceIn(16)) header.itemBytes = in.next<U32>();
  if (in.onceIn(8)) header.capacity = in.next<U32>();
  return header;
}

// The bytes of a state file: `header`, then `items`; once in eight its size is then off by a
// fuzzed amount.
template <class Header, class Item>
std::vector<uint8_t> stateFileBytes(const Header& header, const std::vector<Item>& items,
                                    FuzzedValues& in) {
  std::vector<uint8_t> bytes(sizeof header + items.size() * sizeof(Item));
  std::memcpy(bytes.data(), &header, sizeof header);
  std::memcpy(bytes.data() + sizeof header, items.data(), items.size() * sizeof(Item));
  if (in.onceIn(8)) {
    long size = static_cast<long>(bytes.size()) + in.next<int8_t>();
    bytes.resize(static_cast<size_t>(std::max(0l, size)));
  }
  return bytes;
}
