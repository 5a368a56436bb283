// A refused driver call as the library reports it: the exception class, status and message, with
// the driver's text of the status, that each of the three reporting rules chooses.
#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <type_traits>

#include "BfIngressTrafficClass/status/ReportingRules.h"
#include "support/RaisedBy.h"

namespace BfIngressTrafficClass {
namespace {

// A reporting rule as a table operation calls it.
using Rule = void (*)(DriverStatus);
constexpr const char* pdAddFunction =
    "p4_pd_zorvik_switch_ingressTrafficClass_table_add_with_setTrafficClassAndEgressQid";
const Rule pdAdd = [](DriverStatus status) { throwPdCallError(pdAddFunction, status); };
const Rule bfRtAdd = [](DriverStatus status) {
  throwBfRtTableOpError("ingressTrafficClass_tableEntryAdd", status);
};

// Only the classes that derive publicly from BfTableException reach a handler of a base class.
static_assert(std::is_convertible_v<BfTable::BfTableFull*, std::exception*> &&
              std::is_convertible_v<BfTable::BfNoSysResources*, std::exception*>);
static_assert(!std::is_convertible_v<BfTable::BfNotSupported*, BfTable::BfTableException*> &&
              !std::is_convertible_v<BfTable::BfDuplicateEntry*, BfTable::BfTableException*> &&
              !std::is_convertible_v<BfTable::BfTryAgain*, BfTable::BfTableException*>);

TEST(RefusalReportingTest, EachRuleChoosesTheClassByStatusAndQuotesTheText) {
  const std::string pd = std::string(pdAddFunction) + "() failed: ";
  const std::string op = "ingressTrafficClass_tableEntryAdd() failed: ";
  const std::string tryAgain = "Resource temporarily not available, try again later";
  const struct {
    Rule rule;
    DriverStatus status;
    std::string raised;
  } cases[] = {
      {pdAdd, 9, "BfTableFull 9: " + pd + "Not enough space"},
      {pdAdd, 2, "BfNoSysResources 2: " + pd + "No system resources"},
      {pdAdd, 17, "BfNotSupported 17: " + pd + "Operation not supported"},
      {pdAdd, 4, "BfTableException 4: " + pd + "Already exists"},
      {pdAdd, -1, "BfTableException -1: " + pd + "Unknown error"},
      {pdAdd, 27, "BfTableException 27: " + pd + "Unknown error"},
      {bfRtAdd, 4, "BfDuplicateEntry 4: " + op + "Already exists"},
      {bfRtAdd, 10, "BfTableException 10: " + op + tryAgain},
      {throwBfRtCallError, 10, "BfTryAgain 10: BFRT call failed: " + tryAgain},
      {throwBfRtCallError, 9, "BfTableException 9: BFRT call failed: Not enough space"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Testing::raisedBy([&c] { c.rule(c.status); }), c.raised);
}

}  // namespace
}  // namespace BfIngressTrafficClass
