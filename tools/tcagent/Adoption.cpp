#include "tools/tcagent/Adoption.h"

#include <map>
#include <set>
#include <stdexcept>

#include "tools/tcagent/Records.h"

namespace TcAgent {

namespace {

using namespace BfIngressTrafficClass;
using namespace BfPdIngressTrafficClass;

// The keys of the intact records, by the handle each names.
std::map<U32, Vrell::EntryKey> recordKeysByHandle(Vrell::EntryConfigMap& records) {
  std::map<U32, Vrell::EntryKey> keys;
  try {
    recordsVisited(records, [&keys](const Vrell::EntryConfig& record) {
      keys.emplace(record.sdkEntryHandle(), record.key());
      return true;
    });
  } catch (const Kiv::CorruptionDetectedException& corruption) {
    records.doCorruptionDetected(corruption.what());
  }
  return keys;
}

// The handles of the chip's entries, in the driver's order.
std::vector<U32> chipHandles(const AgentTable& agent, PdDevTarget target) {
  auto first = agent.driverFunction<PdGetFirstEntryHandle>(PdFunctionName::getFirstEntryHandle);
  auto next = agent.driverFunction<PdGetNextEntryHandles>(PdFunctionName::getNextEntryHandles);
  std::vector<U32> handles;
  U32 handle = 0;
  if (first(agent.session(), target, &handle) != 0) return handles;
  constexpr U32 batch = 64;
  U32 following[batch];
  while (handle) {
    handles.push_back(handle);
    if (PdStatus status = next(agent.session(), target, handle, batch, following)) {
      throw std::runtime_error(std::string("cannot walk the chip's entries: ") +
                               driverStatusText(status));
    }
    for (U32 i = 0; i + 1 < batch && following[i]; ++i)
      handles.push_back(following[i]);
    handle = following[batch - 1];
  }
  return handles;
}

}  // namespace

U32 untrackedEntriesAdopted(AgentTable& agent) {
  IngressTrafficClassTable& table = *agent.table();
  IngressTrafficClassTableHandles& handles = *table.helper()->sdkHandles();
  std::set<U32> held;
  for (auto it = handles.entryIter(); !it.atEnd(); ++it)
    held.insert(it->value);
  PdDevTarget target{agent.options().device, agent.options().pipe, 0};

  std::vector<std::pair<IngressTrafficClassMatchSpec::PtrConst, U32>> untracked;
  for (U32 handle : chipHandles(agent, target)) {
    if (held.contains(handle)) continue;
    IngressTrafficClassTableEntry readBack = table.entryByHandle(handle);
    if (readBack.match()) untracked.emplace_back(readBack.match(), handle);
  }
  U32 defaultHandle = 0;
  auto getDefault =
      agent.driverFunction<PdGetDefaultEntryHandle>(PdFunctionName::getDefaultEntryHandle);
  if (getDefault(agent.session(), target, &defaultHandle) == 0 && !held.contains(defaultHandle)) {
    untracked.emplace_back(table.defaultMatchSpec(), defaultHandle);
  }
  if (untracked.empty()) return 0;

  std::map<U32, Vrell::EntryKey> recorded = recordKeysByHandle(agent.records());
  for (const auto& [match, handle] : untracked) {
    handles.entryIs(match, handle);
    auto record = recorded.find(handle);
    if (record != recorded.end()) {
      agent.keys()->populate(record->second, match);
      continue;
    }
    bool isDefault = match == table.defaultMatchSpec();
    Vrell::EntryKey key = agent.keys()->alloc(match, false);
    agent.records().recordIs(Vrell::EntryConfig(
        key, 0, handle, isDefault ? Vrell::EntryKind::defaultEntry : Vrell::EntryKind::entry,
        match->priority()));
  }
  return static_cast<U32>(untracked.size());
}

}  // namespace TcAgent
