// The library's level-9 traces on each backend: what each operation and each programming path
// traces, at which line of the library's source.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "platform/Kiv/Trace.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class TableTraceTest : public BackendTest {
 protected:
  void SetUp() override { start(); }

  // The library's traces of `operation`, each as "LINE OPERATION: TEXT", with level 9 on.
  static std::vector<std::string> tracesOf(const std::function<void()>& operation) {
    std::vector<std::string> traces;
    Kiv::traceSinkIs([&traces](const Kiv::TraceRecord& record) {
      EXPECT_EQ(record.level, 9);
      EXPECT_STREQ(record.file, "bf_zorvik_switch/kiv/BfIngressTrafficClass/BfIngressTrafficClass");
      traces.push_back(Kiv::_fmt("%u %s: ", record.line, record.operation) +
                       std::string(record.text));
    });
    Kiv::traceLevelIs("BfIngressTrafficClass", Kiv::traceLevelMax);
    operation();
    Kiv::traceLevelIs("BfIngressTrafficClass", Kiv::traceLevelOff);
    Kiv::traceSinkIs({});
    return traces;
  }
  // A line's trace of the backend's `operation` with its parameters, and the match's address.
  std::string signatureTrace(unsigned line, const char* operation, const char* parameters,
                             const Match::PtrConst& match) const {
    std::ostringstream address;
    address << static_cast<const void*>(match.ptr());
    return Kiv::_fmt("%u %s: virtual void %s::%s(%s), matchSpec: ", line, operation,
                     backend.tableType->name, operation, parameters) +
           address.str();
  }
  std::string entryIsTrace(const Match::PtrConst& match) const {
    return signatureTrace(backend.traceLines[0], "entryIs",
                          "const BfIngressTrafficClass::IngressTrafficClassTableEntry&", match) +
           ", action: setTrafficClassAndEgressQidActionSpec";
  }
  std::string pathTrace(unsigned path, const char* text) const {
    return Kiv::_fmt("%u entryIs: %s", backend.traceLines[path], text);
  }
};

TEST_P(TableTraceTest, EachOperationTracesItsSignatureAndItsPathAtTheirLines) {
  const Match::Ptr match = numberedMatch(1);
  const unsigned* lines = backend.traceLines;
  EXPECT_THAT(tracesOf([&] { program(match, 1, 2); }),
              ElementsAre(entryIsTrace(match), pathTrace(3, "Adding new entry")));
  EXPECT_THAT(tracesOf([&] { program(match, 3, 4); }),
              ElementsAre(entryIsTrace(match), pathTrace(2, "Modifying existing entry")));
  EXPECT_THAT(tracesOf([&] { program(defaultMatch(), 5, 6); }),
              ElementsAre(entryIsTrace(defaultMatch()), pathTrace(1, "Setting default action")));
  EXPECT_THAT(tracesOf([&] { table().entry(match); }),
              ElementsAre("202 entry: BfIngressTrafficClass::IngressTrafficClassTableEntry "
                          "BfIngressTrafficClass::IngressTrafficClassTable::entry(const "
                          "PtrConst&) const",
                          Kiv::_fmt("%u entryByHandle: entryByHandle", lines[5])));
  EXPECT_THAT(tracesOf([&] { table().entryDel(match); }),
              ElementsAre(signatureTrace(lines[4], "entryDel", "const PtrConst&", match)));
  // The BF Runtime backend prepares each of its binding's tables, here the one match table.
  std::vector<std::string> initialisation = {
      Kiv::_fmt("%u initializeTable: initializeTable", lines[6])};
  if (&backend == &bfrtBackend) initialisation.push_back("33 initBfRtTable: initBfRtTable");
  EXPECT_THAT(tracesOf([&] { table().initializeTable(table().helper()); }),
              ElementsAreArray(initialisation));
}

INSTANTIATE_TEST_SUITE_P(Backends, TableTraceTest, ::testing::ValuesIn(backends), backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
