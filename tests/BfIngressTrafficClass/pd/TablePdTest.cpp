// What only the PD backend does: it reports a refused entry scope under the PD function's name,
// and it reads back no entry whose action name the driver leaves unterminated.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "sim/chip/Faults.h"
#include "support/AgentState.h"
#include "support/AgentTest.h"
#include "support/RaisedBy.h"

namespace BfIngressTrafficClass::Testing {
namespace {

class TablePdTest : public AgentTest {
 protected:
  TablePdTest() : AgentTest(pdBackend) {}
  void SetUp() override {
    start();
    program(match, 3, 4);
  }

  const Match::Ptr match = numberedMatch(1);
};

TEST_F(TablePdTest, ARefusedEntryScopeFailsTheStartAndTheNextStartReconciles) {
  const std::string before = stateOf(agent());
  SimChip::Faults::faultIs("set_property", 9, 1);
  EXPECT_EQ(raisedBy([&] { start(); }),
            "BfTableFull 9: p4_pd_zorvik_switch_ingressTrafficClass_set_property() failed: Not "
            "enough space");
  start();
  EXPECT_EQ(stateOf(agent()), before);
}

// The chip model's driver always ends the action's name within the buffer. A driver that fills
// the whole buffer is played by the real read-back followed by filler up to the buffer's end.
BfPdIngressTrafficClass::PdTableGetEntry realGetEntry = nullptr;
BfPdIngressTrafficClass::PdStatus getEntryFillingTheName(
    U32 session, U8 device, U32 handle, bool fromHardware,
    BfPdIngressTrafficClass::PdMatchSpecRecord* match, U32* priority, char* name, U8* data,
    void* reserved, U8* valid) {
  auto status = realGetEntry(session, device, handle, fromHardware, match, priority, name, data,
                             reserved, valid);
  std::size_t length = std::strlen(name);
  std::memset(name + length, 'x', BfPdIngressTrafficClass::pdActionNameCapacity - length);
  return status;
}

TEST_F(TablePdTest, ReadBackOfAnActionNameThatFillsItsBufferGivesTheEmptyEntry) {
  auto& pd = const_cast<BfPdIngressTrafficClass::PdFunctions&>(table().helper()->pdLib()->pd());
  realGetEntry = std::exchange(pd.tableGetEntry, getEntryFillingTheName);
  EXPECT_EQ(table().entry(match), IngressTrafficClassTableEntry());
  pd.tableGetEntry = realGetEntry;
  EXPECT_TRUE(table().entry(match).action());
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
