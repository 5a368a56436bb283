// What an operation raised, as text: the table exception's class, its status and its message.
// BfNotSupported derives privately, so it is caught by its own class; the PD backend raises no
// other class.
#pragma once

#include <functional>
#include <string>

#include "BfIngressTrafficClass/status/BfTableException.h"

namespace BfIngressTrafficClass::Testing {

template <class Exception>
std::string exceptionText(const char* exceptionClass, const Exception& e) {
  return std::string(exceptionClass) + " " + std::to_string(e.status()) + ": " + e.what();
}

inline std::string raisedBy(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const BfTable::BfTableFull& e) {
    return exceptionText("BfTableFull", e);
  } catch (const BfTable::BfNoSysResources& e) {
    return exceptionText("BfNoSysResources", e);
  } catch (const BfTable::BfNotSupported& e) {
    return exceptionText("BfNotSupported", e);
  } catch (const BfTable::BfTableException& e) {
    return exceptionText("BfTableException", e);
  } catch (...) {
    return "an exception of another class";
  }
  return "nothing";
}

}  // namespace BfIngressTrafficClass::Testing
