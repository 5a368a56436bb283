// The chip model's state file, attached over fuzzed bytes: refused as damaged, or attached; then
// every entry that the walk finds reads back and classifies a packet of its own values as a hit,
// the walk finds as many entries as the table counts, the entry or default entry that a packet
// gets reads back, and an entry can be added and removed.
#include <cstdlib>
#include <optional>

#include "fuzz/StateFile.h"
#include "sim/chip/TernaryTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fileBytesAre(SimChip::TernaryTable::statePath(fuzzStateDirectory(), 0), data, size);
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
  if (chip->add({}, 7, {}, &handle) == 0 && chip->remove(handle) != 0) std::abort();
  return 0;
}
