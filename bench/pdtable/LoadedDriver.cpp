#include "bench/pdtable/LoadedDriver.h"

#include <dlfcn.h>

#include <stdexcept>

namespace PdTableBench {

namespace {

using namespace BfPdIngressTrafficClass;

template <class Function>
Function found(void* library, const char* name) {
  void* symbol = ::dlsym(library, name);
  if (!symbol) throw std::runtime_error(std::string("driver library lacks ") + name);
  return reinterpret_cast<Function>(symbol);
}

void* loaded(const std::string& path) {
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) throw std::runtime_error("cannot load " + path + ": " + ::dlerror());
  return library;
}

}  // namespace

LoadedDriver::LoadedDriver(const std::string& path) : path_(path), handle_(loaded(path)) {
  try {
    pd_ = {found<PdTableAdd>(handle_, PdFunctionName::tableAdd),
           found<PdTableModify>(handle_, PdFunctionName::tableModify),
           found<PdTableDelete>(handle_, PdFunctionName::tableDelete),
           found<PdTableGetEntry>(handle_, PdFunctionName::tableGetEntry)};
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

}  // namespace PdTableBench
