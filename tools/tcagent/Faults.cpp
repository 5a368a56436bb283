#include "tools/tcagent/Faults.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include <fmt/format.h>

#include "BfIngressTrafficClass/status/DriverStatus.h"
#include "sim/chip/Faults.h"
#include "sim/drivers/FaultOperations.h"
#include "tools/tcagent/Numbers.h"
#include "tools/tcagent/Quoted.h"
#include "tools/tcagent/UsageError.h"

namespace TcAgent {

namespace {

// The driver's statuses with a text of their own, 1 to 26.
constexpr std::int32_t namedStatuses = 27;

// "Not enough space" as "not-enough-space".
std::string statusName(std::int32_t status) {
  std::string name;
  for (char c : std::string_view(BfIngressTrafficClass::driverStatusText(status))) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!name.empty() && name.back() != '-') {
      name += '-';
    }
  }
  while (name.ends_with('-'))
    name.pop_back();
  return name;
}

std::int32_t statusOf(const std::string& text) {
  ParsedNumber number = numberParsed(text, 0x7FFFFFFF);
  if (!number.error && number.value > 0) return static_cast<std::int32_t>(number.value);
  // A status text written any way: "Not enough space", "not-enough-space", "NOT_ENOUGH_SPACE".
  std::string name;
  for (char c : text) {
    name += std::isalnum(static_cast<unsigned char>(c))
                ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
                : '-';
  }
  for (std::int32_t status = 1; status < namedStatuses; ++status) {
    if (statusName(status) == name) return status;
  }
  std::string names;
  for (std::int32_t status = 1; status < namedStatuses; ++status)
    names += fmt::format("{}{} {}", status == 1 ? "" : ", ", status, statusName(status));
  throw std::invalid_argument(
      fmt::format("{} is not a failing driver status: give a number from 1, or one of {}",
                  quotedText(text), names));
}

}  // namespace

FaultRequest faultRequestOf(const std::string& text) {
  std::size_t first = text.find(':');
  if (first == std::string::npos || first == 0) {
    throw std::invalid_argument("expected OP:STATUS[:N], got " + quotedText(text));
  }
  std::size_t second = text.find(':', first + 1);
  FaultRequest fault{
      text.substr(0, first),
      statusOf(text.substr(first + 1,
                           second == std::string::npos ? std::string::npos : second - first - 1)),
      0};
  if (second != std::string::npos) {
    ParsedNumber nth = numberParsed(std::string_view(text).substr(second + 1), 0xFFFFFFFF);
    if (nth.error || nth.value == 0) {
      throw std::invalid_argument("the call to fail, N, counts from 1, not " +
                                  quotedText(text.substr(second + 1)));
    }
    fault.nth = static_cast<unsigned>(nth.value);
  }
  return fault;
}

void injectFaults(void* driverLibrary, const std::vector<FaultRequest>& faults) {
  if (faults.empty()) return;
  auto operationsOf = reinterpret_cast<SimDriverFaultOperations>(
      ::dlsym(driverLibrary, simDriverFaultOperationsName));
  if (!operationsOf) {
    throw UsageError("--fail: the driver library takes no injected faults");
  }
  const char* const* operations = operationsOf();
  for (const FaultRequest& fault : faults) {
    bool offered = false;
    std::string names;
    for (const char* const* operation = operations; *operation; ++operation) {
      offered = offered || fault.operation == *operation;
      names += (names.empty() ? "" : ", ") + std::string(*operation);
    }
    if (!offered) {
      throw UsageError(fmt::format("--fail: the driver library has no operation {}; it has {}",
                                   quotedText(fault.operation), names));
    }
    if (std::count_if(faults.begin(), faults.end(), [&](const FaultRequest& other) {
          return other.operation == fault.operation;
        }) > 1) {
      throw UsageError(fmt::format("--fail: {} is given more than once; one fault an operation",
                                   quotedText(fault.operation)));
    }
  }
  for (const FaultRequest& fault : faults)
    SimChip::Faults::faultIs(fault.operation, fault.status, fault.nth);
}

std::vector<std::string> unfiredFaultNotes(const std::vector<FaultRequest>& faults) {
  const std::vector<std::string> unfired = SimChip::Faults::unfired();
  std::vector<std::string> notes;
  for (const FaultRequest& fault : faults) {
    if (std::find(unfired.begin(), unfired.end(), fault.operation) == unfired.end()) continue;
    notes.push_back(
        fault.nth
            ? fmt::format("--fail {}: this run made fewer than {} calls of it, so none failed",
                          fault.operation, fault.nth)
            : fmt::format("--fail {}: this run made no call of it, so none failed",
                          fault.operation));
  }
  return notes;
}

}  // namespace TcAgent
