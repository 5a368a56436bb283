#include "support/AgentTest.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "sim/chip/Devices.h"
#include "sim/chip/Faults.h"
#include "sim/support/CallLog.h"

namespace BfIngressTrafficClass::Testing {

StateDirectory::StateDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "bfitc-pd-tests-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
  path_ = pattern;
}

StateDirectory::~StateDirectory() {
  std::filesystem::remove_all(path_);
}

AgentTest::~AgentTest() {
  agent_.reset();
  SimChip::Faults::clear();
  SimSupport::CallLog::enabledIs(false);
  SimSupport::CallLog::clear();
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
