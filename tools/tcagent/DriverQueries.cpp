#include "tools/tcagent/DriverQueries.h"

#include <dlfcn.h>

#include <cstring>

#include <fmt/format.h>

namespace TcAgent {

using namespace BfIngressTrafficClass;
using namespace BfPdIngressTrafficClass;

namespace {

// How many handles one call of the walk asks for.
constexpr U32 handlesPerCall = 64;

const BfRtBinding& bindingOf(const IngressTrafficClassTable& table) {
  return table.helper()->pdLib()->bfRtBinding();
}

}  // namespace

DriverRefusal::DriverRefusal(const std::string& call, std::int32_t status)
    : std::runtime_error(fmt::format("{}() failed: {}", call, driverStatusText(status))),
      status_(status) {}

DriverQueries::DriverQueries(void* library, U32 session, U8 device, U16 pipe)
    : library_(library), session_(session), target_{device, pipe, 0} {
  if (library_) getEntry_ = function<PdTableGetEntry>(PdFunctionName::tableGetEntry);
}

template <class Function>
Function DriverQueries::function(const char* name) const {
  void* symbol = ::dlsym(library_, name);
  if (!symbol) throw std::runtime_error(fmt::format("the driver library lacks {}()", name));
  return reinterpret_cast<Function>(symbol);
}

std::vector<U32> DriverQueries::entryHandles() const {
  auto count = function<PdGetEntryCount>(PdFunctionName::getEntryCount);
  auto first = function<PdGetFirstEntryHandle>(PdFunctionName::getFirstEntryHandle);
  auto next = function<PdGetNextEntryHandles>(PdFunctionName::getNextEntryHandles);
  // The first handle of an empty table is "not found": the count says when that is the answer.
  U32 entries = 0;
  if (PdStatus status = count(session_, target_, &entries)) {
    throw DriverRefusal(PdFunctionName::getEntryCount, status);
  }
  std::vector<U32> handles;
  if (entries == 0) return handles;
  handles.reserve(entries);
  U32 handle = 0;
  if (PdStatus status = first(session_, target_, &handle)) {
    throw DriverRefusal(PdFunctionName::getFirstEntryHandle, status);
  }
  U32 following[handlesPerCall];
  while (handle) {
    handles.push_back(handle);
    if (PdStatus status = next(session_, target_, handle, handlesPerCall, following)) {
      throw DriverRefusal(PdFunctionName::getNextEntryHandles, status);
    }
    U32 taken = 0;
    for (; taken + 1 < handlesPerCall && following[taken]; ++taken)
      handles.push_back(following[taken]);
    handle = following[taken];
  }
  if (handles.size() != entries) {
    throw std::runtime_error(fmt::format(
        "the driver counts {} entries but its walk of the table gave {}", entries, handles.size()));
  }
  return handles;
}

ChipEntry DriverQueries::entry(U32 handle) const {
  PdMatchSpecRecord match{};
  ChipEntry entry;
  char actionName[pdActionNameCapacity] = {};
  U8 actionData[pdActionDataCapacity] = {};
  if (PdStatus status = getEntry_(session_, target_.deviceId, handle, false, &match,
                                  &entry.key.priority, actionName, actionData, nullptr, nullptr)) {
    throw DriverRefusal(PdFunctionName::tableGetEntry, status);
  }
  // The record interleaves each field's value and mask.
  U8 bytes[sizeof match];
  std::memcpy(bytes, &match, sizeof match);
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    entry.key.value[field] = bytes[2 * field];
    entry.key.mask[field] = bytes[2 * field + 1];
  }
  entry.action = {actionData[0], actionData[1]};
  return entry;
}

std::optional<U32> DriverQueries::defaultEntryHandle() const {
  auto get = function<PdGetDefaultEntryHandle>(PdFunctionName::getDefaultEntryHandle);
  U32 handle = 0;
  PdStatus status = get(session_, target_, &handle);
  if (status == DriverStatusCode::objectNotFound) return std::nullopt;
  if (status) throw DriverRefusal(PdFunctionName::getDefaultEntryHandle, status);
  return handle;
}

TableRoom DriverQueries::room(const IngressTrafficClassTable& table) const {
  TableRoom room;
  const BfRtBinding& binding = bindingOf(table);
  if (binding.tables[0]) {
    const bfrt::BfRtSession& session = *binding.tableIntf->bfRtSessionGet();
    bfrt::bf_rt_target_t target;
    target.dev_id = target_.deviceId;
    target.pipe_id = target_.devPipeId;
    const U64 flags = 0;
    std::size_t size = 0;
    if (bfrt::bf_status_t status = binding.tables[0]->tableSizeGet(session, target, flags, &size)) {
      throw DriverRefusal("tableSizeGet", status);
    }
    if (bfrt::bf_status_t status =
            binding.tables[0]->tableUsageGet(session, target, flags, &room.used)) {
      throw DriverRefusal("tableUsageGet", status);
    }
    room.size = static_cast<U32>(size);
    return room;
  }
  auto size = function<PdGetTableSize>(PdFunctionName::getTableSize);
  auto count = function<PdGetEntryCount>(PdFunctionName::getEntryCount);
  if (PdStatus status = size(session_, target_, &room.size)) {
    throw DriverRefusal(PdFunctionName::getTableSize, status);
  }
  if (PdStatus status = count(session_, target_, &room.used)) {
    throw DriverRefusal(PdFunctionName::getEntryCount, status);
  }
  return room;
}

U32 DriverQueries::activePipes() const {
  auto get = function<PdGetNumActivePipes>(PdFunctionName::getNumActivePipes);
  U32 pipes = 0;
  if (PdStatus status = get(target_.deviceId, &pipes)) {
    throw DriverRefusal(PdFunctionName::getNumActivePipes, status);
  }
  return pipes;
}

const char* DriverQueries::readBackCall(const IngressTrafficClassTable& table) {
  return bindingOf(table).tables[0] ? "tableEntryGet" : PdFunctionName::tableGetEntry;
}

}  // namespace TcAgent
