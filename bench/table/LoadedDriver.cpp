#include "bench/table/LoadedDriver.h"

#include <dlfcn.h>

#include <stdexcept>

namespace TableBench {

namespace {

using namespace BfPdIngressTrafficClass;

// Exported by the driver that does nothing: whether it offers its BF Runtime table.
using BfRtOfferedIs = void (*)(bool offered);
constexpr const char* bfRtOfferedIsName = "null_driver_bf_rt_offered_is";

template <class Function>
Function found(void* library, const char* name) {
  void* symbol = ::dlsym(library, name);
  if (!symbol) throw std::runtime_error(std::string("driver library lacks ") + name);
  return reinterpret_cast<Function>(symbol);
}

void* load(const std::string& path) {
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) throw std::runtime_error("cannot load " + path + ": " + ::dlerror());
  return library;
}

}  // namespace

LoadedDriver::LoadedDriver(const std::string& path, Backend backend, U32 device)
    : path_(path), handle_(load(path)) {
  try {
    pd_ = {found<PdTableAdd>(handle_, PdFunctionName::tableAdd),
           found<PdTableModify>(handle_, PdFunctionName::tableModify),
           found<PdTableDelete>(handle_, PdFunctionName::tableDelete),
           found<PdSetDefaultAction>(handle_, PdFunctionName::setDefaultAction),
           found<PdTableResetDefault>(handle_, PdFunctionName::tableResetDefault),
           found<PdTableGetEntry>(handle_, PdFunctionName::tableGetEntry)};
    bfRtInfoGet_ = reinterpret_cast<BfRtInfoGet>(::dlsym(handle_, bfRtInfoGetName));
    if (auto offeredIs = reinterpret_cast<BfRtOfferedIs>(::dlsym(handle_, bfRtOfferedIsName)))
      offeredIs(backend == Backend::bfRt);
    if ((bfRtInfo(device) != nullptr) != (backend == Backend::bfRt)) {
      throw std::runtime_error(path + " does not program the table through " +
                               backendName(backend));
    }
    sessionClose_ = found<PdClientCleanup>(handle_, PdFunctionName::clientCleanup);
    if (found<PdClientInit>(handle_, PdFunctionName::clientInit)(&session_)) {
      throw std::runtime_error("driver library refuses a session");
    }
  } catch (...) {
    ::dlclose(handle_);
    throw;
  }
}

LoadedDriver::~LoadedDriver() {
  sessionClose_(session_);
  ::dlclose(handle_);
}

const bfrt::BfRtInfo* LoadedDriver::bfRtInfo(U32 device) const {
  return bfRtInfoGet_ ? bfRtInfoGet_(device) : nullptr;
}

}  // namespace TableBench
