// The eight ternary fields of a match, in the order in which the driver takes them: trust mode,
// default class of service, class of service, DSCP, high-priority flag, decapsulation type, CPU
// trust mode, CPU traffic class.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"

namespace BfIngressTrafficClass {

struct TernaryField {
  using Match = IngressTrafficClassMatchSpec;
  U8 (Match::*value)() const noexcept;
  U8 (Match::*mask)() const noexcept;
  void (Match::*valueIs)(U8) noexcept;
  void (Match::*maskIs)(U8) noexcept;
};

inline constexpr TernaryField ternaryFields[8] = {
    {&TernaryField::Match::qosMdTrustMode, &TernaryField::Match::qosMdTrustModeMask,
     &TernaryField::Match::qosMdTrustModeIs, &TernaryField::Match::qosMdTrustModeMaskIs},
    {&TernaryField::Match::qosMdDefaultCos, &TernaryField::Match::qosMdDefaultCosMask,
     &TernaryField::Match::qosMdDefaultCosIs, &TernaryField::Match::qosMdDefaultCosMaskIs},
    {&TernaryField::Match::qosMdCos, &TernaryField::Match::qosMdCosMask,
     &TernaryField::Match::qosMdCosIs, &TernaryField::Match::qosMdCosMaskIs},
    {&TernaryField::Match::qosMdDscp, &TernaryField::Match::qosMdDscpMask,
     &TernaryField::Match::qosMdDscpIs, &TernaryField::Match::qosMdDscpMaskIs},
    {&TernaryField::Match::qosMdHighPriority, &TernaryField::Match::qosMdHighPriorityMask,
     &TernaryField::Match::qosMdHighPriorityIs, &TernaryField::Match::qosMdHighPriorityMaskIs},
    {&TernaryField::Match::egrMdDecapType, &TernaryField::Match::egrMdDecapTypeMask,
     &TernaryField::Match::egrMdDecapTypeIs, &TernaryField::Match::egrMdDecapTypeMaskIs},
    {&TernaryField::Match::zorvikCpuHdrTrustMode, &TernaryField::Match::zorvikCpuHdrTrustModeMask,
     &TernaryField::Match::zorvikCpuHdrTrustModeIs,
     &TernaryField::Match::zorvikCpuHdrTrustModeMaskIs},
    {&TernaryField::Match::zorvikCpuHdrTc, &TernaryField::Match::zorvikCpuHdrTcMask,
     &TernaryField::Match::zorvikCpuHdrTcIs, &TernaryField::Match::zorvikCpuHdrTcMaskIs},
};

}  // namespace BfIngressTrafficClass
