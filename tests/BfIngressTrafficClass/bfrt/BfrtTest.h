// The fixture of the tests of what only the BF Runtime backend does, with the binding that the
// driver library offers it: the tables, and the ids of their fields and action.
#pragma once

#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {

class BfrtTest : public AgentTest {
 protected:
  BfrtTest() : AgentTest(bfrtBackend) {}
  const BfPdIngressTrafficClass::BfRtBinding& binding() const {
    return table().helper()->pdLib()->bfRtBinding();
  }
};

}  // namespace BfIngressTrafficClass::Testing
