// Carrying out the plan of an apply on the table, in its order, each change recorded as it is
// made.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "tools/tcagent/AgentTable.h"
#include "tools/tcagent/Plan.h"

namespace TcAgent {

struct ApplyReport {
  U32 added = 0;
  U32 modified = 0;
  U32 removed = 0;
  U32 removedForRoom = 0;  // of `removed`, before the additions
  DefaultChange defaultChange = DefaultChange::unchanged;

  bool changedAnything() const noexcept {
    return added || modified || removed || defaultChange != DefaultChange::unchanged;
  }
  // "3 added, 1 modified, 2 removed, default unchanged"
  std::string description() const;
};

const char* defaultChangeName(DefaultChange change);  // "set", "changed", "reset", "unchanged"

// Told after each change: how many of how many are done.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// A change that the driver refused, or a stop signal between two changes. The message names the
// policy's file and line of the entry (or the entry, for a removal), says what the driver said,
// and what was done before it.
class ApplyRefusal : public std::runtime_error {
 public:
  ApplyRefusal(const std::string& message, std::string file, std::optional<unsigned> line,
               ApplyReport done);
  const std::string& file() const noexcept { return file_; }
  std::optional<unsigned> line() const noexcept { return line_; }
  const ApplyReport& done() const noexcept { return done_; }

 private:
  std::string file_;
  std::optional<unsigned> line_;
  ApplyReport done_;
};

// Reads the table, plans and programs `policy` in one; raises RoomError and ApplyRefusal.
ApplyReport applyPolicy(AgentTable& agent, const Policy& policy, const Progress& progress = {});

// Programs `plan`, made for `policy` over the table's `rows`; raises ApplyRefusal. What was done
// before a refusal stays done and recorded.
ApplyReport applyPlan(AgentTable& agent, const Plan& plan, const Policy& policy,
                      const TableRows& rows, const Progress& progress = {});

}  // namespace TcAgent
