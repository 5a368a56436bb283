// The chip model's state file, attached over fuzzed bytes or over a state made from a fuzzed
// description: any header field, a default entry and slots of valid-looking states, generations,
// sequences and actions, with keys that repeat now and then. It is refused with a
// std::runtime_error, or attached; then every entry that the walk finds reads back and classifies
// a packet of its own values as a hit, the walk finds as many entries as the table counts, the
// entry or default entry that a packet gets reads back, and an entry is added, read back and
// removed unless its key is there or the table is full.
#include <cstdlib>
#include <optional>

#include "fuzz/StateFile.h"
#include "sim/chip/TernaryTable.h"

namespace {

using namespace SimChip::StateLayout;

std::vector<uint8_t> describedState(FuzzedValues& in) {
  const U32 capacity = 1 + in.next<uint8_t>() % 16;
  const unsigned bits = indexBits(capacity);
  Header header{fuzzedHeader(format, capacity, in), 0, 0, 0, 0, 0};
  if (in.onceIn(16)) header.device = in.next<U32>();
  header.entryScope = in.next<uint8_t>() % 4;
  header.pipeTaken = in.next<uint8_t>() % 6;
  header.nextSequence = in.onceIn(8) ? in.next<U64>() : in.next<uint8_t>();
  if (in.onceIn(8)) {
    header.defaultWord = in.next<U64>();
  } else {
    header.defaultWord = U64{in.next<uint8_t>()} << bits | (capacity + 1);
    if (in.next<uint8_t>() & 1) header.defaultWord |= defaultSetBit | U64{in.next<U16>()} << 32;
  }
  std::vector<Slot> slots(capacity);
  for (Slot& slot : slots) {
    const auto shape = in.next<uint8_t>();
    const U64 generation = shape & 1 ? in.next<U32>() : in.next<uint8_t>() % 4;
    slot.state = generation << 32 | ((shape >> 1) & slotStateBits);
    slot.sequence = shape & 8 ? in.next<U64>() : in.next<uint8_t>();
    if (shape & 16) {
      const U64 value = in.next<U64>(), mask = in.next<U64>();
      std::memcpy(slot.value, &value, sizeof slot.value);
      std::memcpy(slot.mask, &mask, sizeof slot.mask);
    } else {
      slot.value[3] = in.next<uint8_t>() % 4;
      slot.mask[3] = 0xFF;
    }
    slot.priority = in.next<uint8_t>() % 4;
    slot.action = shape & 32 ? in.next<U32>() : in.next<U16>();
  }
  return stateFileBytes(header, slots, in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = SimChip::TernaryTable::statePath(fuzzStateDirectory(), 0);
  if (describesStateFile(data, size)) {
    FuzzedValues in(data + 1, size - 1);
    const std::vector<uint8_t> state = describedState(in);
    fileBytesAre(path, state.data(), state.size());
  } else {
    fileBytesAre(path, data, size);
  }
  std::optional<SimChip::TernaryTable> chip;
  try {
    chip.emplace(fuzzStateDirectory(), 0, 4);
  } catch (const std::runtime_error&) {
    return 0;
  }
  U32 walked = 0;
  for (U32 handle = chip->firstHandle(); handle; handle = chip->nextHandle(handle)) {
    SimChip::Entry entry;
    if (chip->entry(handle, &entry) != 0 || !chip->classify(entry.key.value).hit) std::abort();
    ++walked;
  }
  SimChip::Entry applied;
  const SimChip::Classification zeros = chip->classify({});
  if (walked != chip->entryCount() || (zeros.handle && chip->entry(zeros.handle, &applied) != 0)) {
    std::abort();
  }
  U32 handle = 0;
  const SimChip::Status added = chip->add({}, 7, {1, 2}, &handle);
  if (added == SimChip::StatusCode::alreadyExists || added == SimChip::StatusCode::notEnoughSpace) {
    return 0;
  }
  if (added != 0 || chip->entry(handle, &applied) != 0 || applied.action.qid != 2 ||
      chip->remove(handle) != 0) {
    std::abort();
  }
  return 0;
}
