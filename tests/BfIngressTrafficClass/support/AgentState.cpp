#include "support/AgentState.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "support/Entries.h"
#include "tools/tcagent/Records.h"

namespace BfIngressTrafficClass::Testing {

std::vector<U32> chipHandles(const SimChip::TernaryTable& chip) {
  std::vector<U32> handles;
  for (U32 handle = chip.firstHandle(); handle; handle = chip.nextHandle(handle)) {
    handles.push_back(handle);
  }
  return handles;
}

std::vector<Vrell::EntryConfig> recordsOf(const Vrell::EntryConfigMap& records) {
  std::vector<Vrell::EntryConfig> found;
  TcAgent::visitRecords(records, [&found](const Vrell::EntryConfig& record) {
    found.push_back(record);
    return true;
  });
  return found;
}

std::string stateOf(const TcAgent::AgentTable& agent) {
  std::set<std::string> mapLines;  // free of the map's own order
  const IngressTrafficClassTableHandles& handles = *agent.table()->helper()->sdkHandles();
  for (auto node = handles.entryIter(); !node.atEnd(); ++node) {
    mapLines.insert(Kiv::_fmt("map %#x: key %llu\n", node->value,
                              static_cast<unsigned long long>(agent.keys()->key(node->key.ptr()))));
  }
  std::string text;
  for (const std::string& line : mapLines)
    text += line;
  for (const Vrell::EntryConfig& record : recordsOf(agent.records())) {
    text += Kiv::_fmt("record %llu: handle %#x, priority %u\n",
                      static_cast<unsigned long long>(record.key()), record.sdkEntryHandle(),
                      record.priority());
  }
  text += Kiv::_fmt("keys: %u, high water %llu\n", agent.keys()->keys(),
                    static_cast<unsigned long long>(agent.keys()->keyHighWater));
  SimChip::Entry entry;
  for (U32 handle : chipHandles(agent.chip())) {
    agent.chip().entry(handle, &entry);
    text += Kiv::_fmt("chip %#x: priority %u, tc %u, qid %u\n", handle, entry.priority,
                      entry.action.tc, entry.action.qid);
  }
  if (auto action = agent.chip().defaultAction())
    text += Kiv::_fmt("chip default: tc %u, qid %u\n", action->tc, action->qid);
  return text;
}

::testing::AssertionResult agreement(const TcAgent::AgentTable& agent, StatusCheck statuses) {
  std::string faults;
  auto fault = [&faults](U32 handle, const char* what) {
    faults += Kiv::_fmt("\n  handle %#x: %s", handle, what);
  };
  const IngressTrafficClassTableHandles& handles = *agent.table()->helper()->sdkHandles();
  const MbbVrellKey::VrellKeyManager& keys = *agent.keys();
  const std::vector<U32> walked = chipHandles(agent.chip());
  std::set<U32> mapped;
  U32 defaultEntries = 0;
  for (auto node = handles.entryIter(); !node.atEnd(); ++node) {
    const U32 handle = node->value;
    const Match* match = node->key.ptr();
    if (!mapped.insert(handle).second) fault(handle, "in two map nodes");
    if (!match) {
      fault(handle, "under the null match");
      continue;
    }
    SimChip::Entry entry;
    SimChip::Key key = chipKeyOf(*match);
    if (agent.chip().entry(handle, &entry) != 0) {
      fault(handle, "unknown to the chip");
    } else if (entry.key.value != key.value || entry.key.mask != key.mask ||
               entry.priority != match->priority()) {
      fault(handle, "the chip's key is not the match's");
    } else if (std::find(walked.begin(), walked.end(), handle) == walked.end()) {
      ++defaultEntries;
    }
    Vrell::EntryKey entryKey = keys.key(match);
    std::optional<Vrell::EntryConfig> record = agent.records().record(entryKey);
    if (!entryKey || keys.match(entryKey).ptr() != match) {
      fault(handle, "its match has no key");
    } else if (!record || record->sdkEntryHandle() != handle) {
      fault(handle, "no record of its key and handle");
    } else if (entryKey > keys.keyHighWater) {
      fault(handle, "its key is above the high-water mark");
    }
    if (statuses == StatusCheck::everyMatch && !agent.statuses()->statusHas(match)) {
      fault(handle, "its match has no status");
    }
  }
  for (U32 handle : walked) {
    if (!mapped.contains(handle)) fault(handle, "a chip entry that the map lacks");
  }
  if (defaultEntries != (agent.chip().defaultAction() ? 1u : 0u)) {
    faults += Kiv::_fmt("\n  %u default entries in the map", defaultEntries);
  }
  if (agent.records().records() != handles.entries() || keys.keys() != handles.entries()) {
    faults += Kiv::_fmt("\n  %u records and %u keys for %u map nodes", agent.records().records(),
                        keys.keys(), handles.entries());
  }
  if (faults.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "disagreement:" << faults;
}

std::vector<std::string> callsNamed(const std::vector<std::string>& calls,
                                    const std::vector<std::string>& prefixes) {
  std::vector<std::string> named;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(named), [&](const std::string& call) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&call](const std::string& prefix) { return call.starts_with(prefix); });
  });
  return named;
}

}  // namespace BfIngressTrafficClass::Testing
