// One entry of the table as the agent hands it in and the table reads it back: a match and an
// action. The empty entry, with neither, stands for the absence of an entry.
#pragma once

#include <ostream>
#include <utility>

#include "BfIngressTrafficClass/IngressTrafficClassActionSpec.h"
#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "platform/Kiv/CharRange.h"
#include "platform/Kiv/String.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassTableEntry {
 public:
  IngressTrafficClassTableEntry() noexcept = default;
  // The references are taken by value: a caller that hands over its own moves them in, and
  // no count changes.
  explicit IngressTrafficClassTableEntry(IngressTrafficClassMatchSpec::PtrConst match) noexcept
      : match_(std::move(match)) {}
  IngressTrafficClassTableEntry(IngressTrafficClassMatchSpec::PtrConst match,
                                IngressTrafficClassBaseActionSpec::PtrConst action) noexcept
      : match_(std::move(match)), action_(std::move(action)) {}
  // Parses the string form from the front of the text; text after it is left unread.
  explicit IngressTrafficClassTableEntry(Kiv::CharRange& text);

  const IngressTrafficClassMatchSpec::PtrConst& match() const noexcept { return match_; }
  const IngressTrafficClassBaseActionSpec::PtrConst& action() const noexcept { return action_; }
  void actionIs(const IngressTrafficClassBaseActionSpec::PtrConst& action) noexcept {
    action_ = action;
  }

  // Equal when both refer to the same match object and the same action object.
  static bool isEq(const void* left, const void* right) noexcept;
  bool operator==(const IngressTrafficClassTableEntry& other) const noexcept = default;

 private:
  IngressTrafficClassMatchSpec::PtrConst match_;
  IngressTrafficClassBaseActionSpec::PtrConst action_;
};

// The string form:
// Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {'match': M, 'action': A})
// with M and A in the framework's text form of an object reference.
Kiv::String valueToStrep(const IngressTrafficClassTableEntry& entry);
std::ostream& operator<<(std::ostream& out, const IngressTrafficClassTableEntry& entry);

}  // namespace BfIngressTrafficClass
