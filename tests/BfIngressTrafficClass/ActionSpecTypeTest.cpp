// The enumeration of action kinds: lookups by number and name, and the parser, refuse anything
// but the one enumerator.
#include <gtest/gtest.h>

#include "BfIngressTrafficClass/IngressTrafficClassActionSpecType.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "platform/Kiv/Exception.h"

namespace BfIngressTrafficClass {
namespace {

constexpr auto setAction = IngressTrafficClassActionSpecType::setTrafficClassAndEgressQidActionSpec;
constexpr const char* setActionName = "setTrafficClassAndEgressQidActionSpec";

TEST(ActionSpecTypeTest, LookupsAndTheParserFindOnlyTheWholeEnumerator) {
  EXPECT_EQ(IngressTrafficClassActionSpecTypeInstance(U32{0}), setAction);
  EXPECT_EQ(IngressTrafficClassActionSpecTypeInstance(Kiv::String(setActionName)), setAction);
  for (U32 number : {1u, 256u}) {  // 256 is 0 if cut to 8 bits
    EXPECT_THROW(IngressTrafficClassActionSpecTypeInstance(number), Kiv::RangeException) << number;
  }
  EXPECT_THROW(IngressTrafficClassActionSpecTypeInstance(Kiv::String("setTrafficClass")),
               Kiv::RangeException);
  Kiv::CharRange text("setTrafficClassAndEgressQidActionSpec, 'qid': 1");
  auto value = static_cast<IngressTrafficClassActionSpecType>(7);
  sequenceToValue(text, &value);
  EXPECT_EQ(value, setAction);
  EXPECT_EQ(text.rest(), ", 'qid': 1");
  for (const char* input : {"", "42", "setTrafficClassAndEgressQidActionSpec2"}) {
    Kiv::CharRange refused(input);
    EXPECT_THROW(sequenceToValue(refused, &value), Kiv::ParseException) << input;
  }
}

}  // namespace
}  // namespace BfIngressTrafficClass
