// The catalogue of the eight ternary key fields of a match, in the order in which the driver
// takes them: trust mode, default class of service, class of service, DSCP, high-priority flag,
// decapsulation type, CPU trust mode, CPU traffic class. Each has its attribute name, the short
// name by which operators write it, and the match's accessors of its value and mask.
#pragma once

#include <cstddef>

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"

namespace BfIngressTrafficClass {

struct KeyField {
  using Match = IngressTrafficClassMatchSpec;
  const char* attribute;  // "qosMdDscp"
  const char* shortName;  // "dscp"
  U8 (Match::*value)() const noexcept;
  U8 (Match::*mask)() const noexcept;
  void (Match::*valueIs)(U8) noexcept;
  void (Match::*maskIs)(U8) noexcept;
};

inline constexpr std::size_t keyFieldCount = 8;

#define BF_ITC_KEY_FIELD(attribute, shortName)                                             \
  KeyField {                                                                               \
#attribute, shortName, &KeyField::Match::attribute, &KeyField::Match::attribute##Mask, \
        &KeyField::Match::attribute##Is, &KeyField::Match::attribute##MaskIs               \
  }

inline constexpr KeyField keyFields[keyFieldCount] = {
    BF_ITC_KEY_FIELD(qosMdTrustMode, "trust-mode"),
    BF_ITC_KEY_FIELD(qosMdDefaultCos, "default-cos"),
    BF_ITC_KEY_FIELD(qosMdCos, "cos"),
    BF_ITC_KEY_FIELD(qosMdDscp, "dscp"),
    BF_ITC_KEY_FIELD(qosMdHighPriority, "high-priority"),
    BF_ITC_KEY_FIELD(egrMdDecapType, "decap-type"),
    BF_ITC_KEY_FIELD(zorvikCpuHdrTrustMode, "cpu-trust-mode"),
    BF_ITC_KEY_FIELD(zorvikCpuHdrTc, "cpu-tc"),
};

#undef BF_ITC_KEY_FIELD

}  // namespace BfIngressTrafficClass
