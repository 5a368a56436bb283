#include "sim/support/CallLog.h"

#include <mutex>

namespace SimSupport {

namespace {

std::mutex logMutex;
std::vector<std::string> log;

}  // namespace

std::atomic<bool> CallLog::enabled_{false};

void CallLog::callIs(std::string call) {
  std::lock_guard lock(logMutex);
  log.push_back(std::move(call));
}

std::vector<std::string> CallLog::calls() {
  std::lock_guard lock(logMutex);
  return log;
}

void CallLog::clear() {
  std::lock_guard lock(logMutex);
  log.clear();
}

}  // namespace SimSupport
