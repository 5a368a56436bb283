// The key store's file: a header, then the record slots. A record is written with its checksum
// while unused, then put in use by one 2-byte store, so that a process killed while writing
// leaves no half-written record in use. The checksum covers the record as it is in use.
#pragma once

#include <cstddef>
#include <cstring>

#include "platform/Kiv/Types.h"
#include "sim/chip/StateLayout.h"
#include "sim/support/StateFileHeader.h"

namespace Vrell::StoreLayout {

// A record for each entry of the largest chip table, and one for its default entry.
inline constexpr U32 maxRecords = SimChip::StateLayout::maxCapacity + 1;

struct Header {
  SimSupport::StateFileHeader file;  // its items are the records
  U64 reserved;
};

struct Record {
  U64 key;
  U32 opId;
  U32 sdkEntryHandle;
  U32 priority;
  U16 kind;
  U16 used;
  U32 checksum;
  U32 reserved;
};

inline constexpr U16 recordUsed = 1;

// FNV-1a over the fields before the checksum.
inline U32 checksumOf(const Record& record) noexcept {
  U8 bytes[offsetof(Record, checksum)];
  std::memcpy(bytes, &record, sizeof bytes);
  U32 hash = 2166136261u;
  for (U8 byte : bytes)
    hash = (hash ^ byte) * 16777619u;
  return hash;
}

inline constexpr SimSupport::StateFileFormat format = {
    "key store", "TCKEYS01", 1, sizeof(Header), sizeof(Record), "records", maxRecords};

static_assert(sizeof(Header) == 32 && sizeof(Record) == 32);

}  // namespace Vrell::StoreLayout
