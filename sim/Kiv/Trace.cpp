#include "platform/Kiv/Trace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Kiv/CharRange.h"

namespace Kiv {

namespace {

constexpr std::string_view everyHandle = "*";

struct Registry {
  std::mutex mutex;
  std::map<String, std::unique_ptr<TraceHandle>, std::less<>> handles;
  std::map<String, int, std::less<>> levels;  // what traceLevelIs set, also for handles to come
  std::mutex sinkMutex;                       // apart, so that a sink may use trace handles
  TraceSink sink;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

int configuredLevel(const Registry& r, std::string_view name) {
  if (auto it = r.levels.find(name); it != r.levels.end()) return it->second;
  if (auto it = r.levels.find(everyHandle); it != r.levels.end()) return it->second;
  return traceLevelOff;
}

void writeToStandardError(const TraceRecord& record) {
  std::fprintf(stderr, "%s/%d %s:%u %s: %.*s\n", record.handle.name().c_str(), record.level,
               record.file, record.line, record.operation, static_cast<int>(record.text.size()),
               record.text.data());
}

// Says that an item of KIV_TRACE is ignored, on one line of printable text however long or
// odd the item.
void warnIgnored(std::string_view item) {
  constexpr std::size_t shownMax = 64;
  std::fprintf(stderr, "KIV_TRACE: ignoring %s%s (expected handle/level, level -1 to 9)\n",
               quoted(item.substr(0, shownMax)).c_str(), item.size() > shownMax ? "..." : "");
}

// Reads KIV_TRACE, a comma-separated list of handle/level, when the framework starts.
void configureFromEnvironment() {
  const char* setting = std::getenv("KIV_TRACE");
  if (!setting) return;
  std::string_view rest = setting;
  while (!rest.empty()) {
    std::string_view item = rest.substr(0, rest.find(','));
    rest.remove_prefix(std::min(rest.size(), item.size() + 1));
    std::size_t slash = item.rfind('/');
    char* end = nullptr;
    String levelText(slash == std::string_view::npos ? "" : item.substr(slash + 1));
    long level = std::strtol(levelText.c_str(), &end, 10);
    if (slash == 0 || levelText.empty() || *end != '\0' || level < traceLevelOff ||
        level > traceLevelMax) {
      warnIgnored(item);
      continue;
    }
    traceLevelIs(item.substr(0, slash), static_cast<int>(level));
  }
}

[[maybe_unused]] const bool environmentRead = (configureFromEnvironment(), true);

}  // namespace

TraceHandle& TraceHandle::handle(std::string_view name) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.handles.find(name);
  if (it == r.handles.end()) {
    it = r.handles
             .emplace(String(name),
                      std::unique_ptr<TraceHandle>(new TraceHandle(name, configuredLevel(r, name))))
             .first;
  }
  return *it->second;
}

void traceLevelIs(std::string_view handleName, int level) {
  if (level < traceLevelOff) level = traceLevelOff;
  if (level > traceLevelMax) level = traceLevelMax;
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  if (handleName == everyHandle) r.levels.clear();
  r.levels.insert_or_assign(String(handleName), level);
  for (auto& [name, handle] : r.handles) {
    if (handleName == everyHandle || handleName == name) {
      handle->level_.store(level, std::memory_order_relaxed);
    }
  }
}

void traceSinkIs(TraceSink sink) {
  Registry& r = registry();
  std::lock_guard lock(r.sinkMutex);
  r.sink = std::move(sink);
}

TraceHelper::~TraceHelper() {
  String text = text_.str();
  TraceRecord record{handle_, level_, file_, line_, operation_, text};
  Registry& r = registry();
  std::lock_guard lock(r.sinkMutex);
  if (r.sink) {
    r.sink(record);
  } else {
    writeToStandardError(record);
  }
}

}  // namespace Kiv
