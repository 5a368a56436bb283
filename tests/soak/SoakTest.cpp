// A seeded random soak of the table on each backend: adds (also of twins and beyond capacity),
// modifications, removals, default sets and resets, lookups and restarts, a third of them with a
// driver call failing. After every step the chip holds what the steps that went through
// programmed, and chip, handle map, keys, records and statuses agree. A failure names its replay.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <sstream>

#include "sim/chip/Devices.h"
#include "sim/chip/Faults.h"
#include "sim/support/CallLog.h"
#include "support/AgentState.h"
#include "support/AgentTest.h"
#include "tests/soak/RunFlags.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using SimSupport::CallLog;

constexpr U32 shortRunSteps = 10000;
constexpr U32 chipCapacity = 40;
constexpr U32 entryIds = 56;  // more than the chip holds, so that it fills up

// Every driver call of the table and the agent's start, as the call log names them (from a text
// of names separated by spaces); those from `startOnly` on only at a start, whose walk uses the
// PD functions of either library.
struct FaultSites {
  FaultSites(const std::string& text, std::size_t startOnly) : startOnly(startOnly) {
    std::istringstream words(text + walkSites);
    for (std::string word; words >> word;)
      names.push_back(word);
  }
  static constexpr const char* walkSites =
      " pd.get_first_entry_handle pd.get_next_entry_handles pd.table_get_default_entry_handle";
  std::vector<std::string> names;
  std::size_t startOnly;
};
const FaultSites pdSites(
    "pd.table_add_with_setTrafficClassAndEgressQid pd.table_modify_with_setTrafficClassAndEgressQid"
    " pd.set_default_action_setTrafficClassAndEgressQid pd.table_delete"
    " pd.table_reset_default_entry pd.get_entry pd.set_property",
    6);
const FaultSites bfrtSites(
    "bfrt.tableEntryAdd bfrt.tableEntryMod bfrt.tableDefaultEntrySet bfrt.tableEntryDel"
    " bfrt.tableDefaultEntryReset bfrt.tableEntryGet bfrt.keyReset bfrt.keySetValue"
    " bfrt.keySetValueandMask bfrt.keyGetValue bfrt.keyGetValueandMask bfrt.dataAllocate"
    " bfrt.dataReset bfrt.dataResetWithAction bfrt.dataSetValue bfrt.dataGetValue"
    " bfrt.dataActionIdGet bfrt.keyAllocate bfrt.tableTypeGet bfrt.targetSet"
    " bfrt.attributeAllocate bfrt.entryScopeParamsSet bfrt.tableAttributesSet",
    17);
constexpr DriverStatus statuses[] = {9, 2, 17, 10, 4, 6, 30, -1};

using Action = std::pair<U8, U8>;       // tc and qid
using Actions = std::map<U32, Action>;  // by entry id, which is the priority

// Runs `operation`; false when a table exception, or a failed start, refused it.
template <class Operation>
bool tryRun(Operation&& operation) {
  try {
    operation();
    return true;
  } catch (const BfTable::BfTableException&) {
  } catch (const BfTable::BfNotSupported&) {
  } catch (const BfTable::BfDuplicateEntry&) {
  } catch (const BfTable::BfTryAgain&) {
  } catch (const std::runtime_error&) {
  }
  return false;
}

class SoakTest : public BackendTest {
 protected:
  enum Step { add, modify, remove, setDefault, resetDefault, lookup, restart };
  struct Fault {
    std::string site;
    DriverStatus status;
    unsigned nth;  // 0: every call of the step
  };

  const FaultSites& sites() const { return &backend == &pdBackend ? pdSites : bfrtSites; }
  // Entries are numbered from 1: the default match has priority 0.
  U32 anyId() { return 1 + random_() % entryIds; }
  U32 liveId() { return std::next(live_.begin(), random_() % live_.size())->first; }

  TcAgent::AgentOptions soakOptions() const {
    TcAgent::AgentOptions options = AgentTest::options();
    options.capacity = chipCapacity;
    options.adoptUntracked = true;
    return options;
  }

  void runStep() {
    static constexpr std::pair<U32, Step> weights[] = {
        {30, add},          {45, modify}, {65, remove},  {73, setDefault},
        {78, resetDefault}, {92, lookup}, {100, restart}};
    static constexpr const char* stepNames[] = {"add",           "modify", "remove", "set default",
                                                "reset default", "lookup", "restart"};
    const U32 draw = random_() % 100;
    Step step = std::find_if(std::begin(weights), std::end(weights), [draw](const auto& weight) {
                  return draw < weight.first;
                })->second;
    fault_.reset();
    fired_ = false;
    if (random_() % 3 == 0) {
      const std::size_t site = random_() % sites().names.size();
      if (site >= sites().startOnly) step = restart;
      fault_ = Fault{sites().names[site], statuses[random_() % std::size(statuses)],
                     static_cast<unsigned>(random_() % 3)};
      SimChip::Faults::faultIs(fault_->site.substr(fault_->site.find('.') + 1), fault_->status,
                               fault_->nth);
      CallLog::clear();
      CallLog::enabledIs(true);
      ++faults_;
    }
    if (live_.empty() && (step == modify || step == remove)) step = add;
    if (!expectedDefault_ && step == resetDefault) step = setDefault;
    const Action action(static_cast<U8>(random_() % 8), static_cast<U8>(random_() % 32));
    const U32 id = step == modify || step == remove ? liveId() : anyId();
    stepText_ = Kiv::_fmt("%s of entry %u", stepNames[step], id);
    if (fault_) {
      stepText_ += Kiv::_fmt(", fault %s:%d:%u", fault_->site.c_str(), fault_->status, fault_->nth);
    }
    const Match::PtrConst match = step == add                                  ? numberedMatch(id)
                                  : step == setDefault || step == resetDefault ? defaultMatch()
                                  : live_.contains(id)                         ? live_[id]
                                                                               : numberedMatch(id);
    switch (step) {
      case add:
      case modify:
      case setDefault:
        if (tryOperation([&] { program(match, action.first, action.second); },
                         step == add && (live_.contains(id) || expected_.size() == chipCapacity))) {
          if (step == setDefault) {
            expectedDefault_ = action;
          } else {
            expected_[id] = action;
            live_[id] = match;
          }
          programmed_.insert(step == setDefault ? 0 : id);
        }
        break;
      case remove:
      case resetDefault:
        if (tryOperation([&] { agent().entryDel(match); }, false)) {
          if (step == remove) {
            expected_.erase(id);
            live_.erase(id);
          } else {
            expectedDefault_.reset();
          }
          programmed_.erase(step == remove ? id : 0);
        }
        break;
      case lookup:
        lookupOf(id, match);
        break;
      case restart:
        restartAgent();
        break;
    }
    SimChip::Faults::clear();
    CallLog::enabledIs(false);
    expectAgreement();
  }

  // Runs `operation`; true when it went through, else `natural` or the fault must have refused it.
  // A fault fired when the step made the call that it names (the nth one, for an nth fault).
  template <class Operation>
  bool tryOperation(Operation&& operation, bool natural) {
    const bool wasRefused = !tryRun(operation);
    if (fault_) {
      const std::vector<std::string> calls = CallLog::calls();
      fired_ = std::count_if(calls.begin(), calls.end(), [&](const std::string& call) {
                 return call.starts_with(fault_->site + "(");
               }) >= std::max(1u, fault_->nth);
      if (fired_) {
        ++firedFaults_;
        firedPairs_.emplace(fault_->site, fault_->status);
      }
    }
    EXPECT_TRUE(!wasRefused || natural || (fault_ && fired_)) << "refused without a cause";
    EXPECT_TRUE(wasRefused || !natural) << "went through where the chip must refuse";
    refusals_ += wasRefused;
    return !wasRefused;
  }

  // The entry's action, or the empty entry for an id not programmed or a failed read-back.
  void lookupOf(U32 id, const Match::PtrConst& match) {
    IngressTrafficClassTableEntry entry;
    tryOperation([&] { entry = table().entry(match); }, false);
    if (fault_ && fired_ && !entry.match()) return;
    if (!live_.contains(id)) {
      EXPECT_EQ(entry, IngressTrafficClassTableEntry());
      return;
    }
    ASSERT_TRUE(entry.match() && entry.action()) << "entry " << id << " read back empty";
    EXPECT_TRUE(sameFields(*entry.match(), *match));
    EXPECT_EQ(Action(entry.action()->tc(), entry.action()->qid()), expected_[id]);
  }

  // A new agent over the chip's state file and the records. A start that a fault refused, or in
  // which every read-back failed (keeping keys without matches), is followed by a fault-free one,
  // which programs nothing.
  void restartAgent() {
    ++restarts_;
    stop();
    SimChip::deviceDetach(0);
    if (!tryOperation([&] { start(soakOptions()); }, false) || (fired_ && fault_->nth == 0)) {
      SimChip::Faults::clear();
      start(soakOptions());
    }
    EXPECT_EQ(agent().start().programmed, 0u);
    live_.clear();
    programmed_.clear();
    for (auto node = handles().entryIter(); !node.atEnd(); ++node) {
      if (node->key != defaultMatch()) live_[node->key->priority()] = node->key;
    }
  }

  void expectAgreement() {
    Actions chip;
    for (U32 handle : chipHandles(agent().chip())) {
      SimChip::Entry entry;
      agent().chip().entry(handle, &entry);
      chip[entry.priority] = {entry.action.tc, entry.action.qid};
      const SimChip::Key key = chipKeyOf(*numberedMatch(entry.priority));
      EXPECT_TRUE(entry.key.value == key.value && entry.key.mask == key.mask) << entry.priority;
    }
    EXPECT_EQ(chip, expected_);
    const std::optional<SimChip::Action> chipDefault = agent().chip().defaultAction();
    EXPECT_EQ(chipDefault ? std::optional(Action(chipDefault->tc, chipDefault->qid)) : std::nullopt,
              expectedDefault_);
    EXPECT_TRUE(agreement(agent(), StatusCheck::skip));
    for (U32 id : programmed_) {
      const Match::PtrConst& match = id ? live_[id] : defaultMatch();
      EXPECT_TRUE(agent().statuses()->statusHas(match.ptr())) << "no status for entry " << id;
    }
  }

  std::mt19937 random_;
  std::string stepText_;
  std::optional<Fault> fault_;
  bool fired_ = false;
  Actions expected_;
  std::optional<Action> expectedDefault_;
  std::map<U32, Match::PtrConst> live_;  // the handle map's match of each entry
  std::set<U32> programmed_;             // ids programmed in this agent lifetime; 0 the default
  unsigned long long faults_ = 0, firedFaults_ = 0, refusals_ = 0, restarts_ = 0;
  std::set<std::pair<std::string, DriverStatus>> firedPairs_;
};

TEST_P(SoakTest, EveryStepLeavesTheChipAsProgrammedAndEveryHolderAgreeing) {
  const U32 seed = runSeed(), steps = runFlags.steps.value_or(shortRunSteps);
  random_.seed(seed);
  start(soakOptions());
  U32 step = 0;
  for (; step < steps && !HasFailure(); ++step)
    runStep();
  if (HasFailure()) {
    ADD_FAILURE() << "seed " << seed << " failed at step " << step - 1 << " (" << stepText_ << ")"
                  << "; replay: " << replayCommand(seed, step);
  }
  std::printf(
      "%s, seed %u: %u steps, %llu restarts, %llu faults injected, %llu fired (%zu of %zu site and "
      "status pairs), %llu refusals\n",
      backend.name, seed, step, restarts_, faults_, firedFaults_, firedPairs_.size(),
      sites().names.size() * std::size(statuses), refusals_);
}

INSTANTIATE_TEST_SUITE_P(Backends, SoakTest, ::testing::ValuesIn(backends), backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
