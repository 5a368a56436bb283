// The fixture of the end-to-end tests: agent lifetimes over a fresh state directory, each loading
// the backend's driver library and making the table through the entry point. Afterwards faults,
// call log and BF Runtime schema are reset, the chip detached and no model object left alive.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LeakCheckedTest.h"
#include "support/Backend.h"
#include "support/Entries.h"
#include "tests/support/TemporaryDirectory.h"
#include "tools/tcagent/AgentTable.h"

namespace BfIngressTrafficClass::Testing {

class AgentTest : public LeakCheckedTest {
 protected:
  explicit AgentTest(const Backend& backend) : backend(backend) {}
  ~AgentTest() override;

  TcAgent::AgentOptions options() const {
    TcAgent::AgentOptions options;
    options.stateDirectory = state_.path();
    options.driverPath = backend.driverPath;
    return options;
  }
  // Starts an agent lifetime over the test's state, ending the one before.
  void start(const TcAgent::AgentOptions& options);
  void start() { start(options()); }
  // Ends the agent lifetime; the chip and the records stay.
  void stop() { agent_.reset(); }

  TcAgent::AgentTable& agent() const { return *agent_; }
  IngressTrafficClassTable& table() const { return *agent_->table(); }
  IngressTrafficClassTableHandles& handles() const { return *table().helper()->sdkHandles(); }
  const Match::Ptr& defaultMatch() const { return table().defaultMatchSpec(); }
  // The match that the key manager holds for `key`.
  Match::PtrConst matchOfKey(Vrell::EntryKey key) const {
    return Kiv::ptrDynamicCast<const Match>(agent().keys()->match(key));
  }

  // Programs `match` with the action (tc, qid) as the agent does.
  void program(const Match::PtrConst& match, U8 tc, U8 qid) {
    agent_->entryIs(entryOf(match, tc, qid));
  }
  // The outside calls that `operation` makes, from the call log.
  static std::vector<std::string> callsOf(const std::function<void()>& operation);

  const Backend& backend;
  const TestSupport::TemporaryDirectory state_{"bfitc-agenttest"};
  std::unique_ptr<TcAgent::AgentTable> agent_;
};

// A test that runs on each backend.
class BackendTest : public AgentTest, public ::testing::WithParamInterface<const Backend*> {
 protected:
  BackendTest() : AgentTest(*GetParam()) {}
};

}  // namespace BfIngressTrafficClass::Testing
