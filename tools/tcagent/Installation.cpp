#include "tools/tcagent/Installation.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include <fmt/format.h>

#include "tools/tcagent/PathTrust.h"
#include "tools/tcagent/Quoted.h"
#include "tools/tcagent/UsageError.h"

namespace TcAgent {

namespace {

// The linkage name of ingressTrafficClassTableFactory(MbbVrellKey::VrellKeyManager::Ptr,
// BfnTableStatusManager::StatusManager::Ptr, Kiv::VoidPtr, U32, U8, U16, Kiv::String).
constexpr const char* entryPointName =
    "_Z31ingressTrafficClassTableFactoryN3Kiv3PtrIN11MbbVrellKey15VrellKeyManagerEEENS0_IN21Bfn"
    "TableStatusManager13StatusManagerEEEPvjhtNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIc"
    "EEE";

constexpr const char* pluginFile = "libBfIngressTrafficClass.so";

}  // namespace

std::string libraryDirectory() {
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  // Installed: bin/tcagent beside lib/; in the build tree: tools/tcagent/tcagent under lib/'s
  // parent.
  for (const char* relative : {"../lib", "../../lib"}) {
    std::filesystem::path candidate = program / relative;
    if (std::filesystem::exists(candidate / pluginFile)) {
      return std::filesystem::canonical(candidate).string();
    }
  }
  throw std::runtime_error("cannot find " + std::string(pluginFile) + " beside " +
                           program.string());
}

std::string driverPath(const std::string& driver) {
  if (driver == "pd") return libraryDirectory() + "/libsimdriver_pd.so";
  if (driver == "bfrt") return libraryDirectory() + "/libsimdriver_bfrt.so";
  if (auto hazard = codeReplaceableAt(driver)) {
    throw UsageError(fmt::format("--driver {}: another user could put code of theirs there: {}",
                                 escapedPath(driver), *hazard));
  }
  // Loaded from where its links lead, as checked; one that does not resolve is left to the load
  // to refuse.
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(driver.c_str(), nullptr),
                                                             &std::free);
  return resolved ? resolved.get() : driver;
}

TableFactory loadPluginEntryPoint() {
  std::string path = libraryDirectory() + "/" + pluginFile;
  void* plugin = ::dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!plugin) throw std::runtime_error("cannot load the plug-in: " + std::string(::dlerror()));
  void* entryPoint = ::dlsym(plugin, entryPointName);
  if (!entryPoint)
    throw std::runtime_error(path + " has no entry point ingressTrafficClassTableFactory");
  return reinterpret_cast<TableFactory>(entryPoint);
}

}  // namespace TcAgent
