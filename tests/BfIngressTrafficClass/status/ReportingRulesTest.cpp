// The three reporting rules: the exception class, status and message that each chooses, and
// which handlers catch the exceptions.
#include <gtest/gtest.h>

#include <exception>
#include <string>

#include "BfIngressTrafficClass/status/BfTableException.h"
#include "BfIngressTrafficClass/status/ReportingRules.h"

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
const Rule bfRtCall = throwBfRtCallError;

template <class Exception>
std::string describe(const char* exceptionClass, const Exception& e) {
  return std::string(exceptionClass) + " " + std::to_string(e.status()) + ": " + e.what();
}

// The class, status and message of what the rule raised for `status`.
std::string raisedBy(Rule rule, DriverStatus status) {
  try {
    rule(status);
  } catch (const BfTable::BfTableFull& e) {
    return describe("BfTableFull", e);
  } catch (const BfTable::BfNoSysResources& e) {
    return describe("BfNoSysResources", e);
  } catch (const BfTable::BfNotSupported& e) {
    return describe("BfNotSupported", e);
  } catch (const BfTable::BfDuplicateEntry& e) {
    return describe("BfDuplicateEntry", e);
  } catch (const BfTable::BfTryAgain& e) {
    return describe("BfTryAgain", e);
  } catch (const BfTable::BfTableException& e) {
    return describe("BfTableException", e);
  }
  return "nothing";
}

TEST(ReportingRulesTest, EachRuleChoosesTheClassByStatusAndQuotesTheText) {
  const std::string pd = std::string(pdAddFunction) + "() failed: ";
  const std::string op = "ingressTrafficClass_tableEntryAdd() failed: ";
  const std::string call = "BFRT call failed: ";
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
      {pdAdd, 10, "BfTableException 10: " + pd + tryAgain},
      {pdAdd, -1, "BfTableException -1: " + pd + "Unknown error"},
      {bfRtAdd, 9, "BfTableFull 9: " + op + "Not enough space"},
      {bfRtAdd, 2, "BfNoSysResources 2: " + op + "No system resources"},
      {bfRtAdd, 17, "BfNotSupported 17: " + op + "Operation not supported"},
      {bfRtAdd, 4, "BfDuplicateEntry 4: " + op + "Already exists"},
      {bfRtAdd, 10, "BfTableException 10: " + op + tryAgain},
      {bfRtAdd, 27, "BfTableException 27: " + op + "Unknown error"},
      {bfRtCall, 10, "BfTryAgain 10: " + call + tryAgain},
      {bfRtCall, 9, "BfTableException 9: " + call + "Not enough space"},
      {bfRtCall, 4, "BfTableException 4: " + call + "Already exists"},
      {bfRtCall, 1000, "BfTableException 1000: " + call + "Unknown error"},
  };
  for (const auto& [rule, status, raised] : cases) {
    EXPECT_EQ(raisedBy(rule, status), raised);
  }
}

template <class Handler>
bool caughtAs(Rule rule, DriverStatus status) {
  try {
    rule(status);
  } catch (const Handler&) {
    return true;
  } catch (...) {
  }
  return false;
}

TEST(ReportingRulesTest, OnlyPubliclyDerivedClassesReachHandlersOfTheirBases) {
  const struct {
    Rule rule;
    DriverStatus status;
    bool caught;
  } cases[] = {
      {pdAdd, 9, true},       // BfTableFull
      {pdAdd, 2, true},       // BfNoSysResources
      {pdAdd, 17, false},     // BfNotSupported
      {bfRtAdd, 4, false},    // BfDuplicateEntry
      {bfRtCall, 10, false},  // BfTryAgain
  };
  for (const auto& [rule, status, caught] : cases) {
    SCOPED_TRACE(status);
    EXPECT_EQ(caughtAs<BfTable::BfTableException>(rule, status), caught);
    EXPECT_EQ(caughtAs<Kiv::InternalException>(rule, status), caught);
    EXPECT_EQ(caughtAs<std::exception>(rule, status), caught);
  }
}

}  // namespace
}  // namespace BfIngressTrafficClass
