// An agent starting over state that a killed agent, another program or a disk fault could have
// left: a table programmed through the agent, then its records rewritten with correct checksums
// (handles, kinds, priorities and keys of other records or made up, records erased or added) and
// the chip changed behind the agent's back (entries removed or added, the default action set or
// reset), as the fuzzed input describes. Such state is whole, so the start must take it: it then
// leaves the records naming exactly the chip's entries, and an apply of the policy makes the
// chip hold the policy with the records naming exactly its entries.
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "fuzz/FuzzedValues.h"
#include "fuzz/StateFile.h"
#include "sim/chip/Devices.h"
#include "sim/chip/TernaryTable.h"
#include "tools/tcagent/Apply.h"
#include "tools/tcagent/Records.h"
#include "tools/tcagent/TableRows.h"

namespace {

using namespace TcAgent;

constexpr U32 capacity = 16;

Policy basePolicy() {
  Policy policy;
  policy.source = "base";
  for (U8 dscp = 1; dscp <= 6; ++dscp) {
    EntryKey key;
    key.value[3] = dscp;
    key.mask[3] = 0xFF;
    key.priority = dscp % 3;
    policy.entries.push_back({key, {dscp, dscp}, dscp});
  }
  std::sort(policy.entries.begin(), policy.entries.end(),
            [](const PolicyEntry& left, const PolicyEntry& right) { return left.key < right.key; });
  policy.defaultAction = EntryAction{7, 7};
  return policy;
}

AgentOptions options() {
  AgentOptions options;
  options.stateDirectory = fuzzStateDirectory();
  options.driverPath = PD_DRIVER;
  options.capacity = capacity;
  options.adoptUntracked = true;
  return options;
}

void applyFresh(const Policy& policy) {
  AgentTable agent(options());
  TcAgent::applyPolicy(agent, policy);
}

std::vector<Vrell::EntryConfig> recordsOf(const Vrell::EntryConfigMap& records) {
  std::vector<Vrell::EntryConfig> found;
  visitRecords(records, [&found](const Vrell::EntryConfig& record) {
    found.push_back(record);
    return true;
  });
  return found;
}

// Rewrites records with correct checksums, as the input says.
void rewriteRecords(FuzzedValues& in) {
  Vrell::EntryConfigMap store(fuzzStateDirectory(), 0, tableName, capacity + 1);
  for (unsigned change = in.next<uint8_t>() % 6; change > 0; --change) {
    std::vector<Vrell::EntryConfig> records = recordsOf(store);
    if (records.empty()) return;
    const Vrell::EntryConfig& record = records[in.next<uint8_t>() % records.size()];
    const Vrell::EntryConfig& other = records[in.next<uint8_t>() % records.size()];
    Vrell::EntryKey key = record.key();
    U32 handle = record.sdkEntryHandle();
    U16 kind = record.kind();
    U32 priority = record.priority();
    switch (in.next<uint8_t>() % 6) {
      case 0:
        handle = other.sdkEntryHandle();
        break;
      case 1:
        handle = in.next<uint8_t>();
        break;
      case 2:
        kind = in.next<uint8_t>() % 2;
        break;
      case 3:
        priority = in.next<uint8_t>() % 4;
        break;
      case 4:
        store.recordDel(key);
        continue;
      case 5:
        // A key above the others, or one of the largest there are.
        key = (in.next<uint8_t>() % 2 ? 100 : ~Vrell::EntryKey{0} - 7) + in.next<uint8_t>() % 8;
        break;
    }
    store.recordIs(Vrell::EntryConfig(key, 0, handle, kind, priority));
  }
}

// Changes the chip behind the agent's back, as the input says.
void changeChip(FuzzedValues& in) {
  SimChip::TernaryTable chip(fuzzStateDirectory(), 0, capacity);
  for (unsigned change = in.next<uint8_t>() % 4; change > 0; --change) {
    U32 handle = 0;
    switch (in.next<uint8_t>() % 4) {
      case 0:
        for (U32 skip = in.next<uint8_t>() % 8, at = chip.firstHandle(); at;
             at = chip.nextHandle(at)) {
          handle = at;
          if (skip-- == 0) break;
        }
        if (handle) chip.remove(handle);
        break;
      case 1: {
        SimChip::Key key;
        key.value[2] = in.next<uint8_t>() % 4;
        key.mask[2] = 0xFF;
        chip.add(key, in.next<uint8_t>() % 4, {1, 1}, &handle);
        break;
      }
      case 2:
        chip.defaultActionIs({in.next<uint8_t>(), 0}, &handle);
        break;
      case 3:
        chip.defaultActionReset();
        break;
    }
  }
}

// The records name exactly the chip's entries, the default entry included, and so does the
// handle map.
void checkRecordsNameTheChip(const AgentTable& agent) {
  std::set<U32> chipEntries, recorded, mapped;
  for (U32 handle = agent.chip().firstHandle(); handle; handle = agent.chip().nextHandle(handle))
    chipEntries.insert(handle);
  if (agent.chip().defaultHandle()) chipEntries.insert(agent.chip().defaultHandle());
  for (const Vrell::EntryConfig& record : recordsOf(agent.records()))
    if (!recorded.insert(record.sdkEntryHandle()).second) std::abort();
  const auto& handles = *agent.table()->helper()->sdkHandles();
  for (auto it = handles.entryIter(); !it.atEnd(); ++it)
    if (!mapped.insert(it->value).second) std::abort();
  if (recorded != chipEntries || mapped != chipEntries) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The driver library stays loaded between agents: its coverage counters must outlive them.
  static void* const driver = ::dlopen(PD_DRIVER, RTLD_NOW | RTLD_NODELETE);
  if (!driver) std::abort();
  std::filesystem::remove_all(fuzzStateDirectory());
  std::filesystem::create_directory(fuzzStateDirectory());
  const Policy policy = basePolicy();
  applyFresh(policy);
  SimChip::deviceDetach(0);
  FuzzedValues in(data, size);
  rewriteRecords(in);
  changeChip(in);
  {
    AgentTable agent(options());
    checkRecordsNameTheChip(agent);
  }
  SimChip::deviceDetach(0);
  applyFresh(policy);
  SimChip::deviceDetach(0);
  AgentTable agent(options());
  checkRecordsNameTheChip(agent);
  const TableRows rows = tableRows(agent);
  if (rows.entries.size() != policy.entries.size() || !rows.defaultEntry ||
      rows.defaultEntry->action != *policy.defaultAction) {
    std::abort();
  }
  for (const TableRow& row : rows.entries) {
    auto wanted = std::lower_bound(
        policy.entries.begin(), policy.entries.end(), row.key,
        [](const PolicyEntry& entry, const EntryKey& key) { return entry.key < key; });
    if (wanted == policy.entries.end() || wanted->key != row.key || wanted->action != row.action)
      std::abort();
  }
  SimChip::deviceDetach(0);
  return 0;
}
