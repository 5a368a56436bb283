// What every state file begins with, and the checks of it against the file: a state file is a
// header, then `capacity` items of one size (a chip's slots, a key store's records), and nothing
// more.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Kiv/Types.h"
#include "sim/support/MappedFile.h"

namespace SimSupport {

struct StateFileHeader {
  char magic[8];
  U32 version;
  U32 headerBytes;
  U32 itemBytes;
  U32 capacity;
};

// A kind of state file.
struct StateFileFormat {
  std::string_view name;  // in messages, e.g. "key store"
  std::string_view magic;
  U32 version;
  U32 headerBytes;
  U32 itemBytes;
  std::string_view itemsName;  // in messages, e.g. "records"
  U32 maxCapacity;

  constexpr std::size_t fileBytes(U32 capacity) const noexcept {
    return headerBytes + std::size_t{capacity} * itemBytes;
  }
  constexpr MappedFile::Kind kind() const noexcept { return {name, fileBytes(maxCapacity)}; }

  // The beginning of a fresh file's header.
  StateFileHeader header(U32 capacity) const noexcept;
  // The header of `file`, once it is seen to be of this format with a capacity from 1 to
  // maxCapacity that makes exactly the file's size; else raises the refusal of `file`.
  const StateFileHeader& validHeader(const MappedFile& file) const;
  // The capacity that the file at `path`, damaged or not, stands for if it is a regular file
  // that one of this format may be: the one that makes its size whole (a zeroed header) or its
  // header's (a file a byte short or long), and of the two, when they differ, the smaller: the
  // header's capacity or the file's size is damaged, and which cannot be told, so the size made
  // again is no larger than either says. Follows no link, and never raises.
  std::optional<U32> capacityRecorded(const std::string& path) const noexcept;
};

}  // namespace SimSupport
