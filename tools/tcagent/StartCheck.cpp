#include "tools/tcagent/StartCheck.h"

#include <algorithm>
#include <map>

#include <fmt/format.h>

#include "tools/tcagent/ParallelSort.h"
#include "tools/tcagent/Progress.h"
#include "tools/tcagent/Records.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

namespace {

using MatchPtr = IngressTrafficClassMatchSpec::PtrConst;

enum class Verdict : U8 { keep, keepDefault, removed, contradicts };

// A record that the check changes something for: one to learn, to move under the default match,
// or to drop.
struct RecordCheck {
  Vrell::EntryKey key;
  U32 handle;
  Verdict verdict;
  bool learnt;  // by the entry point
};

// An entry record that names an entry the chip holds, as it should.
struct KeptRecord {
  Vrell::EntryKey key;
  U32 handle;
  bool learnt;
};

struct Adoption {
  MatchPtr match;
  U32 handle;
};

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
    checkRecords();
    sortOutSharedHandles();
    if (adopting_) findUntracked();
    // Nothing is changed before this point.
    applyVerdicts();
    adoptUntracked();
  }

 private:
  void readChip() {
    onChip_ = agent_.driverQueries().entryHandles();
    sortInParallel(onChip_.begin(), onChip_.end());
    defaultHandle_ = agent_.driverQueries().defaultEntryHandle();
  }

  bool listed(U32 handle) const {
    return std::binary_search(onChip_.begin(), onChip_.end(), handle);
  }

  // The read-back of an entry that the chip lists.
  MatchPtr readBack(U32 handle) const {
    IngressTrafficClassTableEntry entry;
    try {
      entry = table_.entryByHandle(handle);
    } catch (const BfTable::BfTableException& error) {
      throw ReadBackRefusal(DriverQueries::readBackCall(table_), handle, error.what());
    }
    if (!entry.match()) throw ReadBackRefusal(DriverQueries::readBackCall(table_), handle);
    return entry.match();
  }

  MatchPtr learntMatch(Vrell::EntryKey key) const {
    return Kiv::ptrDynamicCast<const IngressTrafficClassMatchSpec>(agent_.keys()->match(key));
  }

  // Checks every intact record; a damaged one is reported to the store, which drops it, and the
  // check starts again.
  void checkRecords() {
    ProgressPhase checking("checking the records", agent_.records().records());
    kept_.reserve(agent_.records().records());  // nearly every record, at a restart
    while (true) {
      try {
        std::size_t checked = 0;
        visitRecords(agent_.records(), [&](const Vrell::EntryConfig& record) {
          checkRecord(record);
          ProgressPhase::tick(++checked);
          return true;
        });
        return;
      } catch (const Kiv::CorruptionDetectedException& corruption) {
        agent_.records().doCorruptionDetected(corruption.what());
        checks_.clear();
        kept_.clear();
        reasons_.clear();
        readBacks_.clear();
        defaultKept_ = false;
      }
    }
  }

  void checkRecord(const Vrell::EntryConfig& record) {
    const Vrell::EntryKey key = record.key();
    const U32 handle = record.sdkEntryHandle();
    const bool learnt = agent_.keys()->held(key);
    // The entry point leaves the records after a damaged one unlearnt; an adopting agent learns
    // them itself.
    if (!learnt && !adopting_) return;
    MatchPtr match = learnt ? learntMatch(key) : nullptr;
    const bool isDefaultHandle = defaultHandle_ && handle == *defaultHandle_;
    const bool isListed = listed(handle);
    if (!match && (isListed || isDefaultHandle)) {
      if (learnt) throw ReadBackRefusal(DriverQueries::readBackCall(table_), handle);
      match = readBack(handle);
      readBacks_.emplace(key, match);
    }
    auto verdictIs = [&](Verdict verdict, std::string reason = {}) {
      checks_.push_back({key, handle, verdict, learnt});
      if (!reason.empty()) reasons_.emplace(key, std::move(reason));
    };
    if (record.kind() == Vrell::EntryKind::defaultEntry) {
      // A default entry that reads back is there, whatever else the driver says; one that does
      // not is gone, unless the driver names it as the default entry.
      if (!match) {
        verdictIs(Verdict::removed);
      } else if (isListed || (defaultHandle_ && !isDefaultHandle)) {
        verdictIs(Verdict::contradicts,
                  fmt::format("a default record names handle {:#x}, which is not the default "
                              "entry's",
                              handle));
      } else if (defaultKept_) {
        verdictIs(Verdict::contradicts, "a second default record");
      } else {
        verdictIs(Verdict::keepDefault);
        defaultKept_ = true;
      }
    } else if (isDefaultHandle) {
      verdictIs(Verdict::contradicts,
                fmt::format("an entry record names the default entry's handle {:#x}", handle));
    } else if (!isListed) {
      verdictIs(Verdict::removed);
    } else if (match->priority() != record.priority()) {
      verdictIs(Verdict::contradicts,
                fmt::format("the record says priority {}, its entry {:#x} has {}",
                            record.priority(), handle, match->priority()));
    } else {
      kept_.push_back({key, handle, learnt});
    }
  }

  // Of the records that name one handle, the one of the smallest key is kept.
  void sortOutSharedHandles() {
    sortInParallel(kept_.begin(), kept_.end(), [](const KeptRecord& left, const KeptRecord& right) {
      return std::tie(left.handle, left.key) < std::tie(right.handle, right.key);
    });
    for (std::size_t at = 0, first = 0; at < kept_.size(); ++at) {
      const KeptRecord& record = kept_[at];
      if (record.handle != kept_[first].handle) first = at;
      if (at != first) {
        checks_.push_back({record.key, record.handle, Verdict::contradicts, record.learnt});
        reasons_.emplace(record.key,
                         fmt::format("handle {:#x} is named by the record of key {} too",
                                     record.handle, kept_[first].key));
      } else if (!record.learnt) {
        checks_.push_back({record.key, record.handle, Verdict::keep, false});
      }
    }
    std::erase_if(kept_,
                  [this](const KeptRecord& record) { return reasons_.contains(record.key); });
  }

  void findUntracked() {
    auto owned = kept_.begin();
    for (U32 handle : onChip_) {
      while (owned != kept_.end() && owned->handle < handle)
        ++owned;
      if (owned == kept_.end() || owned->handle != handle) {
        untracked_.push_back({readBack(handle), handle});
      }
    }
    if (defaultHandle_ && !defaultKept_) {
      untracked_.push_back({table_.defaultMatchSpec(), *defaultHandle_});
    }
  }

  void applyVerdicts() {
    for (const RecordCheck& check : checks_) {
      MatchPtr match = check.learnt ? learntMatch(check.key) : nullptr;
      switch (check.verdict) {
        case Verdict::keep:
          learn(check.key, readBacks_.at(check.key), check.handle);
          ++report_.reconciled;
          break;
        case Verdict::keepDefault:
          // The table reads the default entry back like any other entry, under a match of its
          // own; it goes back under the table's default match, so that setting or resetting the
          // default finds its handle.
          if (match && handles_.entryFound(match) == check.handle) handles_.entryDel(match);
          learn(check.key, table_.defaultMatchSpec(), check.handle);
          report_.reconciled += !check.learnt;
          break;
        case Verdict::contradicts:
          ++report_.damaged;
          agent_.options().noted(
              fmt::format("dropped the record of key {}: {}; the chip's entry "
                          "is adopted",
                          check.key, reasons_.at(check.key)));
          [[fallthrough]];
        case Verdict::removed:
          report_.dropped += check.verdict == Verdict::removed;
          if (match && handles_.entryFound(match) == check.handle) handles_.entryDel(match);
          agent_.records().recordDel(check.key);
          agent_.keys()->free(check.key);
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
      agent_.recordIs(agent_.keys()->alloc(adoption.match, false), adoption.match, adoption.handle);
    }
    report_.adopted = static_cast<U32>(untracked_.size());
  }

  AgentTable& agent_;
  StartReport& report_;
  const IngressTrafficClassTable& table_;
  IngressTrafficClassTableHandles& handles_;
  const bool adopting_;
  std::vector<U32> onChip_;  // sorted
  std::optional<U32> defaultHandle_;
  std::vector<RecordCheck> checks_;
  std::vector<KeptRecord> kept_;                    // by handle once sorted out
  std::map<Vrell::EntryKey, std::string> reasons_;  // of the records that contradict
  std::map<Vrell::EntryKey, MatchPtr> readBacks_;   // of the records the entry point left
  bool defaultKept_ = false;
  std::vector<Adoption> untracked_;
};

}  // namespace

ReadBackRefusal::ReadBackRefusal(const char* call, U32 handle, const std::string& said)
    : std::runtime_error(fmt::format("the chip holds entry {:#010x}, but the driver refused to "
                                     "read it back ({}{}{}); nothing was changed",
                                     handle, call, said.empty() ? "" : ": ", said)) {}

void checkStart(AgentTable& agent, StartReport& report) {
  Check(agent, report).run();
}

}  // namespace TcAgent
