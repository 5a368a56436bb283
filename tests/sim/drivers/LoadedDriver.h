// A simulated driver library loaded by path, with a driver session open, and its functions found
// by name.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"
#include "sim/drivers/FaultOperations.h"

namespace SimTesting {

class LoadedDriver {
 public:
  explicit LoadedDriver(const std::string& path)
      : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) throw std::runtime_error(::dlerror());
    function<BfPdIngressTrafficClass::PdClientInit>(
        BfPdIngressTrafficClass::PdFunctionName::clientInit)(&session_);
  }
  ~LoadedDriver() {
    function<BfPdIngressTrafficClass::PdClientCleanup>(
        BfPdIngressTrafficClass::PdFunctionName::clientCleanup)(session_);
    ::dlclose(handle_);
  }
  LoadedDriver(const LoadedDriver&) = delete;
  LoadedDriver& operator=(const LoadedDriver&) = delete;

  template <class Function>
  Function function(const char* name) const {
    auto found = reinterpret_cast<Function>(::dlsym(handle_, name));
    if (!found) throw std::runtime_error(std::string("the driver library lacks ") + name);
    return found;
  }
  U32 session() const noexcept { return session_; }
  // The operations that faults can fail, as the library lists them.
  std::vector<std::string> faultOperations() const {
    std::vector<std::string> names;
    for (auto listed = function<SimDriverFaultOperations>(simDriverFaultOperationsName)(); *listed;
         ++listed)
      names.emplace_back(*listed);
    return names;
  }

 private:
  void* handle_;
  U32 session_ = 0;
};

}  // namespace SimTesting
