// The chip model's state file: a header, then one slot for each entry the table can hold. A
// change becomes visible through one aligned 8-byte store (a slot's state, the default word) made
// after the data it publishes, so that a process killed at any point leaves either the old state
// or the new one.
#pragma once

#include <bit>
#include <cstddef>

#include "platform/Kiv/Types.h"
#include "sim/support/StateFileHeader.h"

namespace SimChip::StateLayout {

// The chip's table holds at most this many entries.
inline constexpr U32 maxCapacity = 1u << 20;

struct Header {
  SimSupport::StateFileHeader file;  // its items are the slots
  U32 device;
  U16 entryScope;
  U16 pipeTaken;     // of a single-pipe table's entries, plus one; 0 when none has taken it
  U64 nextSequence;  // order of adding, for entries of equal priority
  U64 defaultWord;   // [31..0] default entry's handle, [39..32] tc, [47..40] qid, [48] set
};

struct Slot {
  U64 state;  // [63..32] generation, [1..0] free, used or retired
  U64 sequence;
  U8 value[8];
  U8 mask[8];
  U32 priority;
  U32 action;  // [7..0] tc, [15..8] qid
};

inline constexpr U64 slotFree = 0;
inline constexpr U64 slotUsed = 1;
inline constexpr U64 slotRetired = 2;
inline constexpr U64 slotStateBits = 3;
inline constexpr U64 defaultSetBit = 1ull << 48;
// Sequence numbers stay below this: at a billion adds a second they would take centuries to
// reach it, so a header beyond it is damaged.
inline constexpr U64 sequenceLimit = 1ull << 62;

// A handle is a generation above the bits of a slot number, which counts from 1; slot number
// capacity + 1 is the default entry's.
constexpr unsigned indexBits(U32 capacity) noexcept {
  return static_cast<unsigned>(std::bit_width(capacity + 1));
}

inline constexpr SimSupport::StateFileFormat format = {
    "chip state", "TCCHIP01", 1, sizeof(Header), sizeof(Slot), "slots", maxCapacity};

static_assert(sizeof(Header) == 48 && sizeof(Slot) == 40 && sizeof(Header) % alignof(Slot) == 0);

}  // namespace SimChip::StateLayout
