// The catalogue of the eight ternary key fields of a match, in the order in which the driver
// takes them: trust mode, default class of service, class of service, DSCP, high-priority flag,
// decapsulation type, CPU trust mode, CPU traffic class. Each has the short name by which
// operators write it, its attribute name and the match's accessors of its value and mask.
#pragma once

#include <cstddef>

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"

namespace BfIngressTrafficClass {

struct KeyField {
  using Match = IngressTrafficClassMatchSpec;
  const char* shortName;  // "dscp"
  const char* attribute;  // "qosMdDscp"
  U8 (Match::*value)() const noexcept;
  U8 (Match::*mask)() const noexcept;
  void (Match::*valueIs)(U8) noexcept;
  void (Match::*maskIs)(U8) noexcept;
};

inline constexpr std::size_t keyFieldCount = 8;

#define BF_ITC_KEY_FIELD(shortName, attribute)                                             \
  {                                                                                        \
    shortName, #attribute, &KeyField::Match::attribute, &KeyField::Match::attribute##Mask, \
        &KeyField::Match::attribute##Is, &KeyField::Match::attribute##MaskIs               \
  }

inline constexpr KeyField keyFields[keyFieldCount] = {
    BF_ITC_KEY_FIELD("trust-mode", qosMdTrustMode),
    BF_ITC_KEY_FIELD("default-cos", qosMdDefaultCos),
    BF_ITC_KEY_FIELD("cos", qosMdCos),
    BF_ITC_KEY_FIELD("dscp", qosMdDscp),
    BF_ITC_KEY_FIELD("high-priority", qosMdHighPriority),
    BF_ITC_KEY_FIELD("decap-type", egrMdDecapType),
    BF_ITC_KEY_FIELD("cpu-trust-mode", zorvikCpuHdrTrustMode),
    BF_ITC_KEY_FIELD("cpu-tc", zorvikCpuHdrTc),
};

#undef BF_ITC_KEY_FIELD

}  // namespace BfIngressTrafficClass
