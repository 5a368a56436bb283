// The fixture of the end-to-end tests: a fresh state directory for the chip and the key store,
// and agent lifetimes over it, each with the driver library loaded by path and the table made
// by the library's entry point. When the test ends, faults are cleared, the call log is off and
// empty, the chip is detached and the directory is removed; no object of the entry model may be
// left alive.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LeakCheckedTest.h"
#include "support/Entries.h"
#include "tools/tcagent/AgentTable.h"

namespace BfIngressTrafficClass::Testing {

inline constexpr const char* pdDriverPath = BFITC_PD_DRIVER;

// A directory of its own, made empty and removed with everything in it.
class StateDirectory {
 public:
  StateDirectory();
  ~StateDirectory();
  StateDirectory(const StateDirectory&) = delete;
  StateDirectory& operator=(const StateDirectory&) = delete;
  const std::string& path() const noexcept { return path_; }

 private:
  std::string path_;
};

class AgentTest : public LeakCheckedTest {
 protected:
  ~AgentTest() override;

  TcAgent::AgentOptions options() const { return {state_.path(), pdDriverPath}; }
  // Starts an agent lifetime over the test's state, ending the one before.
  void start(const TcAgent::AgentOptions& options);
  void start() { start(options()); }
  // Ends the agent lifetime; the chip and the records stay.
  void stop() { agent_.reset(); }

  TcAgent::AgentTable& agent() const { return *agent_; }
  IngressTrafficClassTable& table() const { return *agent_->table(); }
  IngressTrafficClassTableHandles& handles() const { return *table().helper()->sdkHandles(); }
  const IngressTrafficClassMatchSpec::Ptr& defaultMatch() const {
    return table().defaultMatchSpec();
  }

  // Programs `match` with the action (tc, qid) as the agent does.
  void program(const Match::PtrConst& match, U8 tc, U8 qid) {
    agent_->entryIs(entryOf(match, tc, qid));
  }
  // The outside calls that `operation` makes, from the call log.
  static std::vector<std::string> callsOf(const std::function<void()>& operation);

  StateDirectory state_;
  std::unique_ptr<TcAgent::AgentTable> agent_;
};

}  // namespace BfIngressTrafficClass::Testing
