// The key manager's persisted records, opened with room for a number of records over a file of
// fuzzed bytes, or over a store made from a fuzzed description: any header field, and records with
// correct checksums of random keys, handles, kinds and priorities, keys and handles that repeat,
// and now and then a wrong checksum or a used flag of any value, so that the checks behind the
// checksum are reached. The store is refused with a std::runtime_error, or opened; a walk then
// reads every record or reports a damaged one, once the records have set themselves right a
// second walk reads them all, and while there is room asked for, a record is written, read back
// and erased.
#include <cstdlib>
#include <optional>

#include "fuzz/StateFile.h"
#include "platform/Kiv/Exception.h"
#include "platform/MbbVrellKey/Vrell.h"
#include "sim/MbbVrellKey/StoreLayout.h"

namespace {

using namespace Vrell::StoreLayout;

constexpr const char* tableName = "ingressTrafficClass";

std::vector<uint8_t> describedStore(FuzzedValues& in) {
  const U32 capacity = 1 + in.next<uint8_t>() % 16;
  Header header{fuzzedHeader(format, capacity, in), 0};
  if (in.onceIn(16)) header.reserved = in.next<U64>();
  std::vector<Record> records(capacity);
  for (Record& record : records) {
    const auto shape = in.next<uint8_t>();
    record.key = shape & 1 ? in.next<U64>() : in.next<uint8_t>() % 8;
    record.opId = in.next<uint8_t>();
    record.sdkEntryHandle = shape & 2 ? in.next<U32>() : in.next<uint8_t>() % 8;
    record.priority = in.next<U32>();
    record.kind = in.next<uint8_t>() % 3;
    record.used = recordUsed;
    record.checksum = checksumOf(record);
    record.used = shape & 4 ? in.next<U16>() : (shape >> 3) & 1;
    if (shape & 16) record.checksum ^= 1u << (shape >> 5);
  }
  return stateFileBytes(header, records, in);
}

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
  const std::string path = fuzzStateDirectory() + "/keys-dev0-" + tableName + ".state";
  U32 room = 4;
  if (describesStateFile(data, size)) {
    FuzzedValues in(data + 1, size - 1);
    const std::vector<uint8_t> store = describedStore(in);
    fileBytesAre(path, store.data(), store.size());
    room = 1 + in.next<uint8_t>() % 32;
  } else {
    fileBytesAre(path, data, size);
  }
  std::optional<Vrell::EntryConfigMap> records;
  try {
    records.emplace(fuzzStateDirectory(), 0, tableName, room);
  } catch (const std::runtime_error&) {
    return 0;
  }
  if (!walkRecords(*records)) records->doCorruptionDetected("fuzzed");
  if (walkRecords(*records) != records->records()) std::abort();
  if (records->records() >= room) return 0;
  const Vrell::EntryConfig added(~0ull, 1, 2, Vrell::EntryKind::entry, 3);
  records->recordIs(added);
  const std::optional<Vrell::EntryConfig> readBack = records->record(added.key());
  if (!readBack || readBack->sdkEntryHandle() != added.sdkEntryHandle()) std::abort();
  records->recordDel(added.key());
  if (records->record(added.key())) std::abort();
  return 0;
}
