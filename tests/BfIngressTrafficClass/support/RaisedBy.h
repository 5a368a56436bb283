// What an operation raised, as text: the table exception's class, its status and its message.
// The classes that derive privately are caught by their own class.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <type_traits>

#include "BfIngressTrafficClass/status/BfTableException.h"

namespace BfIngressTrafficClass::Testing {

// Only the classes that derive publicly from BfTableException reach a handler of a base class.
static_assert(std::is_convertible_v<BfTable::BfTableFull*, std::exception*> &&
              std::is_convertible_v<BfTable::BfNoSysResources*, std::exception*>);
static_assert(!std::is_convertible_v<BfTable::BfNotSupported*, BfTable::BfTableException*> &&
              !std::is_convertible_v<BfTable::BfDuplicateEntry*, BfTable::BfTableException*> &&
              !std::is_convertible_v<BfTable::BfTryAgain*, BfTable::BfTableException*>);

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
  } catch (const BfTable::BfDuplicateEntry& e) {
    return exceptionText("BfDuplicateEntry", e);
  } catch (const BfTable::BfTryAgain& e) {
    return exceptionText("BfTryAgain", e);
  } catch (const BfTable::BfTableException& e) {
    return exceptionText("BfTableException", e);
  } catch (...) {
    return "an exception of another class";
  }
  return "nothing";
}

}  // namespace BfIngressTrafficClass::Testing
