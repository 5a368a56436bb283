#include "tools/tcagent/StartCheck.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include <fmt/format.h>

#include "tools/tcagent/Records.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

namespace {

using MatchPtr = IngressTrafficClassMatchSpec::PtrConst;

enum class Verdict { keep, keepDefault, removed, contradicts };

struct RecordCheck {
  Vrell::EntryConfig record;
  MatchPtr match;       // the read-back of its entry, if there was one
  bool learnt = false;  // by the entry point
  Verdict verdict = Verdict::keep;
  std::string reason;  // of a contradiction
};

struct Adoption {
  MatchPtr match;
  U32 handle;
};

// The intact records; a damaged one is reported to the store, which drops it.
std::vector<Vrell::EntryConfig> readIntactRecords(Vrell::EntryConfigMap& records) {
  while (true) {
    std::vector<Vrell::EntryConfig> found;
    try {
      visitRecords(records, [&found](const Vrell::EntryConfig& record) {
        found.push_back(record);
        return true;
      });
      return found;
    } catch (const Kiv::CorruptionDetectedException& corruption) {
      records.doCorruptionDetected(corruption.what());
    }
  }
}

class Check {
 public:
  Check(AgentTable& agent, StartReport& report)
      : agent_(agent),
        report_(report),
        table_(*agent.table()),
        handles_(*table_.helper()->sdkHandles()),
        adopting_(agent.options().adoptUntracked) {}

  void run() {
    readChip();
    for (const Vrell::EntryConfig& record : readIntactRecords(agent_.records()))
      checkRecord(record);
    if (adopting_) findUntracked();
    // Nothing is changed before this point.
    applyVerdicts();
    adoptUntracked();
  }

 private:
  void readChip() {
    for (U32 handle : agent_.driverQueries().entryHandles())
      onChip_.insert(handle);
    defaultHandle_ = agent_.driverQueries().defaultEntryHandle();
  }

  // The read-back of an entry that the chip lists.
  MatchPtr readBack(U32 handle) const {
    IngressTrafficClassTableEntry entry = table_.entryByHandle(handle);
    if (!entry.match()) throw ReadBackRefusal(DriverQueries::readBackCall(table_), handle);
    return entry.match();
  }

  void checkRecord(const Vrell::EntryConfig& record) {
    RecordCheck check{
        record,
        Kiv::ptrDynamicCast<const IngressTrafficClassMatchSpec>(agent_.keys()->match(record.key())),
        agent_.keys()->held(record.key()),
        Verdict::keep,
        {}};
    // The entry point leaves the records after a damaged one unlearnt; an adopting agent learns
    // them itself.
    if (!check.learnt && !adopting_) return;
    U32 handle = record.sdkEntryHandle();
    bool isDefaultHandle = defaultHandle_ && handle == *defaultHandle_;
    bool listed = onChip_.contains(handle);
    if (!check.match && (listed || isDefaultHandle)) {
      if (check.learnt) throw ReadBackRefusal(DriverQueries::readBackCall(table_), handle);
      check.match = readBack(handle);
    }
    auto contradicts = [&check](std::string reason) {
      check.verdict = Verdict::contradicts;
      check.reason = std::move(reason);
    };
    if (record.kind() == Vrell::EntryKind::defaultEntry) {
      // A default entry that reads back is there, whatever else the driver says; one that does
      // not is gone, unless the driver names it as the default entry.
      if (!check.match) {
        check.verdict = Verdict::removed;
      } else if (listed || (defaultHandle_ && !isDefaultHandle)) {
        contradicts(
            fmt::format("a default record names handle {:#x}, which is not the default "
                        "entry's",
                        handle));
      } else if (defaultKept_) {
        contradicts("a second default record");
      } else {
        check.verdict = Verdict::keepDefault;
        defaultKept_ = true;
      }
    } else if (isDefaultHandle) {
      contradicts(fmt::format("an entry record names the default entry's handle {:#x}", handle));
    } else if (!listed) {
      check.verdict = Verdict::removed;
    } else if (check.match->priority() != record.priority()) {
      contradicts(fmt::format("the record says priority {}, its entry {:#x} has {}",
                              record.priority(), handle, check.match->priority()));
    } else if (auto [owner, added] = owners_.try_emplace(handle, record.key()); !added) {
      contradicts(
          fmt::format("handle {:#x} is named by the record of key {} too", handle, owner->second));
    }
    checks_.push_back(std::move(check));
  }

  void findUntracked() {
    for (U32 handle : onChip_) {
      if (!owners_.contains(handle)) untracked_.push_back({readBack(handle), handle});
    }
    std::sort(
        untracked_.begin(), untracked_.end(),
        [](const Adoption& left, const Adoption& right) { return left.handle < right.handle; });
    if (defaultHandle_ && !defaultKept_) {
      untracked_.push_back({table_.defaultMatchSpec(), *defaultHandle_});
    }
  }

  void applyVerdicts() {
    for (const RecordCheck& check : checks_) {
      const Vrell::EntryKey key = check.record.key();
      const U32 handle = check.record.sdkEntryHandle();
      switch (check.verdict) {
        case Verdict::keep:
          if (!check.learnt) learn(key, check.match, handle);
          break;
        case Verdict::keepDefault:
          // The table reads the default entry back like any other entry, under a match of its
          // own; it goes back under the table's default match, so that setting or resetting the
          // default finds its handle.
          if (check.match && handles_.entryFound(check.match) == handle) {
            handles_.entryDel(check.match);
          }
          learn(key, table_.defaultMatchSpec(), handle);
          break;
        case Verdict::contradicts:
          ++report_.damaged;
          report_.notes.push_back(fmt::format(
              "dropped the record of key {}: {}; the chip's entry is adopted", key, check.reason));
          [[fallthrough]];
        case Verdict::removed:
          report_.dropped += check.verdict == Verdict::removed;
          if (check.learnt && check.match && handles_.entryFound(check.match) == handle) {
            handles_.entryDel(check.match);
          }
          agent_.records().recordDel(key);
          agent_.keys()->free(key);
          break;
      }
    }
  }

  void learn(Vrell::EntryKey key, const MatchPtr& match, U32 handle) {
    handles_.entryIs(match, handle);
    agent_.keys()->populate(key, match);
  }

  void adoptUntracked() {
    for (const Adoption& adoption : untracked_) {
      handles_.entryIs(adoption.match, adoption.handle);
      bool isDefault = adoption.match == table_.defaultMatchSpec();
      Vrell::EntryKey key = agent_.keys()->alloc(adoption.match, false);
      agent_.records().recordIs(
          Vrell::EntryConfig(key, 0, adoption.handle,
                             isDefault ? Vrell::EntryKind::defaultEntry : Vrell::EntryKind::entry,
                             adoption.match->priority()));
    }
    report_.adopted = static_cast<U32>(untracked_.size());
  }

  AgentTable& agent_;
  StartReport& report_;
  const IngressTrafficClassTable& table_;
  IngressTrafficClassTableHandles& handles_;
  const bool adopting_;
  std::unordered_set<U32> onChip_;
  std::optional<U32> defaultHandle_;
  std::vector<RecordCheck> checks_;
  std::unordered_map<U32, Vrell::EntryKey> owners_;  // handle: the key of its kept record
  bool defaultKept_ = false;
  std::vector<Adoption> untracked_;
};

}  // namespace

ReadBackRefusal::ReadBackRefusal(const char* call, U32 handle)
    : std::runtime_error(fmt::format("the chip holds entry {:#010x}, but the driver refused to "
                                     "read it back ({}); nothing was changed",
                                     handle, call)) {}

void checkStart(AgentTable& agent, StartReport& report) {
  Check(agent, report).run();
}

}  // namespace TcAgent
