// Tracing: named handles with levels 0 to 9. A trace is written only when its level is on for
// its handle, and its text is not built otherwise. Levels are switched by the framework: with
// traceLevelIs, or at start from the environment, for example KIV_TRACE=BfIngressTrafficClass/9
// (several as a comma-separated list; "*" names every handle).
#pragma once

#include <atomic>
#include <functional>
#include <sstream>
#include <string_view>

#include "platform/Kiv/String.h"
#include "platform/Kiv/Types.h"

namespace Kiv {

inline constexpr int traceLevelOff = -1;
inline constexpr int traceLevelMax = 9;

class TraceHandle {
 public:
  // The handle of this name, made on first use; it lives as long as the process.
  static TraceHandle& handle(std::string_view name);

  const String& name() const noexcept { return name_; }
  int level() const noexcept { return level_.load(std::memory_order_relaxed); }
  bool enabled(int level) const noexcept { return level <= this->level(); }

 private:
  friend void traceLevelIs(std::string_view handleName, int level);
  TraceHandle(std::string_view name, int level) : name_(name), level_(level) {}

  String name_;
  std::atomic<int> level_;
};

// Turns levels 0 to `level` on for the named handle ("*": every handle), now and for handles
// made later; traceLevelOff turns them all off.
void traceLevelIs(std::string_view handleName, int level);

struct TraceRecord {
  const TraceHandle& handle;
  int level;
  const char* file;
  U32 line;
  const char* operation;
  std::string_view text;
};
using TraceSink = std::function<void(const TraceRecord&)>;

// Where traces go; an empty sink restores the default, one line each on standard error.
void traceSinkIs(TraceSink sink);

// Collects the text of one trace and hands it to the sink when it goes out of scope.
class TraceHelper {
 public:
  TraceHelper(const TraceHandle& handle, int level, const char* file, U32 line,
              const char* operation)
      : handle_(handle), level_(level), file_(file), line_(line), operation_(operation) {}
  ~TraceHelper();
  TraceHelper(const TraceHelper&) = delete;
  TraceHelper& operator=(const TraceHelper&) = delete;

  std::ostream& stream() noexcept { return text_; }

 private:
  const TraceHandle& handle_;
  int level_;
  const char* file_;
  U32 line_;
  const char* operation_;
  std::ostringstream text_;
};

}  // namespace Kiv

// Writes `text` (anything that streams) at `level` of `handle` with the location file, line and
// operation; evaluates `text` only when the level is on.
#define KIV_TRACE(handle, level, file, line, operation, text)                             \
  do {                                                                                    \
    if ((handle).enabled(level)) {                                                        \
      ::Kiv::TraceHelper kivTraceHelper_((handle), (level), (file), (line), (operation)); \
      kivTraceHelper_.stream() << text;                                                   \
    }                                                                                     \
  } while (false)
