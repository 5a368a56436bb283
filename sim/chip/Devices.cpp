#include "sim/chip/Devices.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "sim/chip/TernaryTable.h"

namespace SimChip {

namespace {

std::mutex devicesMutex;
std::map<U32, std::unique_ptr<TernaryTable>> devices;
std::set<U32> sessions;
U32 lastSession = 0;

}  // namespace

TernaryTable& deviceAttach(U32 device, const std::string& stateDirectory, U32 capacityIfNew) {
  std::lock_guard lock(devicesMutex);
  std::unique_ptr<TernaryTable>& table = devices[device];
  if (!table) {
    try {
      table = std::make_unique<TernaryTable>(stateDirectory, device, capacityIfNew);
    } catch (...) {
      devices.erase(device);
      throw;
    }
  }
  return *table;
}

void deviceDetach(U32 device) {
  std::lock_guard lock(devicesMutex);
  devices.erase(device);
}

TernaryTable* deviceTable(U32 device) noexcept {
  std::lock_guard lock(devicesMutex);
  auto it = devices.find(device);
  return it == devices.end() ? nullptr : it->second.get();
}

U32 sessionOpen() {
  std::lock_guard lock(devicesMutex);
  sessions.insert(++lastSession);
  return lastSession;
}

bool sessionIsOpen(U32 session) noexcept {
  std::lock_guard lock(devicesMutex);
  return sessions.contains(session);
}

void sessionClose(U32 session) {
  std::lock_guard lock(devicesMutex);
  sessions.erase(session);
}

}  // namespace SimChip
