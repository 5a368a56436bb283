// A driver library loaded by path, as the agent loads it, and the functions that it exports.
#pragma once

#include <dlfcn.h>

#include <stdexcept>

namespace SimTesting {

class DriverLibrary {
 public:
  explicit DriverLibrary(const char* path) : handle_(::dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) throw std::runtime_error(::dlerror());
  }
  ~DriverLibrary() { ::dlclose(handle_); }
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  void* handle() const noexcept { return handle_; }

  template <class Function>
  Function function(const char* name) const {
    if (void* symbol = ::dlsym(handle_, name)) return reinterpret_cast<Function>(symbol);
    throw std::runtime_error(::dlerror());
  }

 private:
  void* handle_;
};

}  // namespace SimTesting
