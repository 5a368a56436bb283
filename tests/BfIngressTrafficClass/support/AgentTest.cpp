#include "support/AgentTest.h"

#include "sim/bfrt/Schema.h"
#include "sim/chip/Devices.h"
#include "sim/chip/Faults.h"
#include "sim/support/CallLog.h"

namespace BfIngressTrafficClass::Testing {

AgentTest::~AgentTest() {
  agent_.reset();
  SimChip::Faults::clear();
  SimSupport::CallLog::enabledIs(false);
  SimSupport::CallLog::clear();
  SimBfRt::schemaIs({});
  SimChip::deviceDetach(0);
}

void AgentTest::start(const TcAgent::AgentOptions& options) {
  agent_.reset();
  agent_ = std::make_unique<TcAgent::AgentTable>(options);
}

std::vector<std::string> AgentTest::callsOf(const std::function<void()>& operation) {
  SimSupport::CallLog::clear();
  SimSupport::CallLog::enabledIs(true);
  operation();
  SimSupport::CallLog::enabledIs(false);
  return SimSupport::CallLog::calls();
}

}  // namespace BfIngressTrafficClass::Testing
