// Entries for the end-to-end tests: numbered matches whose sixteen fields and priority differ
// from every other number's, and entries of the table's one action.
#pragma once

#include <iterator>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/Kiv/Reflection.h"
#include "sim/chip/TernaryTable.h"

namespace BfIngressTrafficClass::Testing {

using Match = IngressTrafficClassMatchSpec;

// The match's fields in the order of the driver's match record: value, then mask, of each key
// field.
struct MatchField {
  U8 (Match::*read)() const noexcept;
  void (Match::*write)(U8) noexcept;
};
inline constexpr MatchField matchFields[] = {
    {&Match::qosMdTrustMode, &Match::qosMdTrustModeIs},
    {&Match::qosMdTrustModeMask, &Match::qosMdTrustModeMaskIs},
    {&Match::qosMdDefaultCos, &Match::qosMdDefaultCosIs},
    {&Match::qosMdDefaultCosMask, &Match::qosMdDefaultCosMaskIs},
    {&Match::qosMdCos, &Match::qosMdCosIs},
    {&Match::qosMdCosMask, &Match::qosMdCosMaskIs},
    {&Match::qosMdDscp, &Match::qosMdDscpIs},
    {&Match::qosMdDscpMask, &Match::qosMdDscpMaskIs},
    {&Match::qosMdHighPriority, &Match::qosMdHighPriorityIs},
    {&Match::qosMdHighPriorityMask, &Match::qosMdHighPriorityMaskIs},
    {&Match::egrMdDecapType, &Match::egrMdDecapTypeIs},
    {&Match::egrMdDecapTypeMask, &Match::egrMdDecapTypeMaskIs},
    {&Match::zorvikCpuHdrTrustMode, &Match::zorvikCpuHdrTrustModeIs},
    {&Match::zorvikCpuHdrTrustModeMask, &Match::zorvikCpuHdrTrustModeMaskIs},
    {&Match::zorvikCpuHdrTc, &Match::zorvikCpuHdrTcIs},
    {&Match::zorvikCpuHdrTcMask, &Match::zorvikCpuHdrTcMaskIs},
};

// A new match with priority `number`; two calls with one number give equal-valued matches.
inline Match::Ptr numberedMatch(U32 number) {
  Match::Ptr match = ingressTrafficClassMatchSpecFactory();
  for (U32 field = 0; field < std::size(matchFields); ++field) {
    (match.ptr()->*matchFields[field].write)(static_cast<U8>(number * 17 + field + 1));
  }
  match->priorityIs(number);
  return match;
}

// The chip model's key of a match.
inline SimChip::Key chipKeyOf(const Match& match) {
  SimChip::Key key;
  for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
    key.value[field] = (match.*matchFields[2 * field].read)();
    key.mask[field] = (match.*matchFields[2 * field + 1].read)();
  }
  return key;
}

// Whether two matches have the same values, masks and priority.
inline bool sameFields(const Match& left, const Match& right) {
  return Kiv::objectToStrep(&left) == Kiv::objectToStrep(&right);
}

inline IngressTrafficClassTableEntry entryOf(const Match::PtrConst& match, U8 tc, U8 qid) {
  SetTrafficClassAndEgressQidActionSpec::Ptr action =
      setTrafficClassAndEgressQidActionSpecFactory();
  action->tcIs(tc);
  action->qidIs(qid);
  return IngressTrafficClassTableEntry(match, action);
}

}  // namespace BfIngressTrafficClass::Testing
