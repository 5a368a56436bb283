// The match and action specifications: new objects and their attributes as reflection reaches
// them by id.
#include <gtest/gtest.h>

#include <string>

#include "BfIngressTrafficClass/IngressTrafficClassActionSpec.h"
#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "LeakCheckedTest.h"
#include "ReflectionAccess.h"
#include "platform/Kiv/Exception.h"

namespace BfIngressTrafficClass {
namespace {

using Testing::readAttribute;
using Testing::writeAttribute;
using Match = IngressTrafficClassMatchSpec;

template <auto Reader>
U32 read(const Match& match) {
  return (match.*Reader)();
}

struct MatchAttribute {
  U32 id;
  const char* name;
  U32 (*read)(const Match&);
  U32 sample;  // distinct in every row, so that a writer of the wrong field shows
};

constexpr MatchAttribute matchAttributes[] = {
    {130, "zorvikCpuHdrTc", read<&Match::zorvikCpuHdrTc>, 1},
    {131, "zorvikCpuHdrTcMask", read<&Match::zorvikCpuHdrTcMask>, 2},
    {132, "zorvikCpuHdrTrustMode", read<&Match::zorvikCpuHdrTrustMode>, 3},
    {133, "zorvikCpuHdrTrustModeMask", read<&Match::zorvikCpuHdrTrustModeMask>, 4},
    {134, "egrMdDecapType", read<&Match::egrMdDecapType>, 5},
    {135, "egrMdDecapTypeMask", read<&Match::egrMdDecapTypeMask>, 6},
    {136, "priority", read<&Match::priority>, 4000000000},
    {137, "qosMdCos", read<&Match::qosMdCos>, 7},
    {138, "qosMdCosMask", read<&Match::qosMdCosMask>, 8},
    {139, "qosMdDefaultCos", read<&Match::qosMdDefaultCos>, 9},
    {140, "qosMdDefaultCosMask", read<&Match::qosMdDefaultCosMask>, 10},
    {141, "qosMdDscp", read<&Match::qosMdDscp>, 46},
    {142, "qosMdDscpMask", read<&Match::qosMdDscpMask>, 255},
    {143, "qosMdHighPriority", read<&Match::qosMdHighPriority>, 11},
    {144, "qosMdHighPriorityMask", read<&Match::qosMdHighPriorityMask>, 12},
    {145, "qosMdTrustMode", read<&Match::qosMdTrustMode>, 13},
    {146, "qosMdTrustModeMask", read<&Match::qosMdTrustModeMask>, 14},
};

class MatchAndActionSpecTest : public Testing::LeakCheckedTest {};

TEST_F(MatchAndActionSpecTest, MatchStartsAsWildcardAndReflectionSetsEachFieldById) {
  Match::Ptr match = ingressTrafficClassMatchSpecFactory();
  EXPECT_TRUE(match->hasNotificationActive());
  for (const MatchAttribute& attribute : matchAttributes) {
    EXPECT_EQ(attribute.read(*match), 0u) << attribute.name;
    EXPECT_EQ(writeAttribute(*match, attribute.id, std::to_string(attribute.sample)), 0);
  }
  for (const MatchAttribute& attribute : matchAttributes) {
    SCOPED_TRACE(attribute.name);
    EXPECT_EQ(attribute.read(*match), attribute.sample);
    EXPECT_EQ(readAttribute(*match, attribute.id).text, std::to_string(attribute.sample));
    EXPECT_EQ(Kiv::attributeWithId(kivTypeMatchSpec, attribute.id),
              Kiv::attributeNamed(kivTypeMatchSpec, attribute.name));
  }
  for (U32 id : {2u, 129u, 147u, 258u}) {
    EXPECT_EQ(readAttribute(*match, id).answer, 2) << id;
  }
}

// The concrete action answers through the description of its base class.
TEST_F(MatchAndActionSpecTest, BothActionClassesStartEmptyAndAnswerTheBaseAttributes) {
  for (const IngressTrafficClassBaseActionSpec::Ptr& action :
       {ingressTrafficClassBaseActionSpecFactory(),
        IngressTrafficClassBaseActionSpec::Ptr(setTrafficClassAndEgressQidActionSpecFactory())}) {
    SCOPED_TRACE(Kiv::typeOf(*action).name);
    EXPECT_TRUE(action->hasNotificationActive());
    EXPECT_EQ(readAttribute(*action, 130).text, "setTrafficClassAndEgressQidActionSpec");
    EXPECT_EQ(readAttribute(*action, 131).text, "0");
    EXPECT_EQ(readAttribute(*action, 132).text, "0");
    EXPECT_EQ(readAttribute(*action, 133).answer, 2);
    EXPECT_EQ(writeAttribute(*action, 131, "7"), 0);
    EXPECT_EQ(writeAttribute(*action, 132, "3"), 0);
    EXPECT_EQ(action->qid(), 7);
    EXPECT_EQ(action->tc(), 3);

    const U8 notAnEnumerator = 1;
    const void* in[] = {&notAnEnumerator};
    EXPECT_THROW(Kiv::attributeOp(*action, 130, Kiv::AttributeCode::write, in, nullptr),
                 Kiv::RangeException);
  }
}

}  // namespace
}  // namespace BfIngressTrafficClass
