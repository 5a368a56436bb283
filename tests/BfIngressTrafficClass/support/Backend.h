// What differs between the table's two backends as the end-to-end tests see them: the driver
// library, the names of its operations in faults, call-log lines and messages, and its lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BfIngressTrafficClass/status/DriverStatus.h"
#include "platform/Kiv/Reflection.h"

namespace BfIngressTrafficClass::Testing {

struct Backend {
  const char* name;
  const char* driverPath;
  const Kiv::TypeDescriptor* tableType;  // of the backend's table class
  // The driver's entry operations, as faults name them.
  const char* add;
  const char* modify;
  const char* setDefault;
  const char* remove;
  const char* resetDefault;
  const char* readBack;
  const char* logPrefix;       // of a call-log line, before the operation's name
  const char* labelPrefix;     // of a refusal's message, before the operation's name
  const char* duplicateClass;  // the exception of a refused duplicate entry
  const char* entryFlags;      // in the call-log lines of a modify and a default set
  // Of the checks: entryIs's action and match, the default, modify and add paths' action,
  // entryDel's match; of the traces: entryIs's, its default, modify and add paths', entryDel's, the
  // read-back's and initializeTable's.
  unsigned checkLines[6], traceLines[7];

  // The beginnings of the call-log lines of `operation`, and of the entry operations.
  std::string call(const char* operation) const { return std::string(logPrefix) + operation + "("; }
  std::vector<std::string> entryOperationCalls() const {
    return {call(add), call(modify), call(setDefault), call(remove), call(resetDefault)};
  }
  // The calls that change entries: the driver's entry operations, and reserving and giving back
  // their keys and starting their statuses afresh. A start reconciles without any of them.
  std::vector<std::string> programmingCalls() const {
    std::vector<std::string> calls = entryOperationCalls();
    calls.insert(calls.end(),
                 {"keyManager.alloc(", "keyManager.free(", "statusManager.initStatus("});
    return calls;
  }
  // What raisedBy reports when the driver refuses the entry operation `operation` with `status`.
  std::string refusal(const char* operation, DriverStatus status) const;
};

extern const Backend pdBackend;
extern const Backend bfrtBackend;
inline const Backend* const backends[] = {&pdBackend, &bfrtBackend};

inline const Backend& otherBackend(const Backend& backend) {
  return &backend == &pdBackend ? bfrtBackend : pdBackend;
}

inline std::string backendName(const ::testing::TestParamInfo<const Backend*>& info) {
  return info.param->name;
}

// A test of a backend is shown by the backend's name, never by the address of its description.
inline void PrintTo(const Backend* backend, std::ostream* out) {
  *out << backend->name;
}

}  // namespace BfIngressTrafficClass::Testing
