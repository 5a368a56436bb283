// The key manager's persisted records, opened over a file of fuzzed bytes: refused as a whole, or
// opened; a walk then reads every record or reports a damaged one, and once the records have set
// themselves right a second walk reads them all, and a new record is written and read back.
#include <cstdlib>
#include <optional>

#include "fuzz/StateFile.h"
#include "platform/Kiv/Exception.h"
#include "platform/MbbVrellKey/Vrell.h"

namespace {

constexpr const char* tableName = "ingressTrafficClass";

// Walks the records: how many it read, or none when it met a damaged one.
std::optional<U32> walkRecords(const Vrell::EntryConfigMap& records) {
  Vrell::IterHint hint;
  Vrell::EntryConfig record(0, 0, 0, 0, 0);
  U32 read = 0;
  try {
    for (bool more = records.firstRecord(&record, hint); more;
         more = records.nextRecord(record.key(), &record, hint)) {
      ++read;
    }
  } catch (const Kiv::CorruptionDetectedException&) {
    return std::nullopt;
  }
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fileBytesAre(fuzzStateDirectory() + "/keys-dev0-" + tableName + ".state", data, size);
  std::optional<Vrell::EntryConfigMap> records;
  try {
    records.emplace(fuzzStateDirectory(), 0, tableName, 4);
  } catch (const std::runtime_error&) {
    return 0;
  }
  if (!walkRecords(*records)) records->doCorruptionDetected("fuzzed");
  if (walkRecords(*records) != records->records()) std::abort();
  const Vrell::EntryConfig added(~0ull, 1, 2, Vrell::EntryKind::entry, 3);
  try {
    records->recordIs(added);
  } catch (const std::runtime_error&) {
    return 0;  // no room for it
  }
  const std::optional<Vrell::EntryConfig> readBack = records->record(added.key());
  if (!readBack || readBack->sdkEntryHandle() != added.sdkEntryHandle()) std::abort();
  return 0;
}
