// The driver library loaded by path with a driver session open: the library's tables are made
// over it, and the PD functions found in it by name let a benchmark make the same driver calls
// directly, through the same library and session.
#pragma once

#include <string>

#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"

namespace PdTableBench {

// The PD functions that the benchmarks call directly.
struct DirectPd {
  BfPdIngressTrafficClass::PdTableAdd tableAdd;
  BfPdIngressTrafficClass::PdTableModify tableModify;
  BfPdIngressTrafficClass::PdTableDelete tableDelete;
  BfPdIngressTrafficClass::PdTableGetEntry tableGetEntry;
};

class LoadedDriver {
 public:
  // Raises std::runtime_error when the library cannot be loaded, lacks a function or refuses a
  // session.
  explicit LoadedDriver(const std::string& path);
  ~LoadedDriver();
  LoadedDriver(const LoadedDriver&) = delete;
  LoadedDriver& operator=(const LoadedDriver&) = delete;

  const std::string& path() const noexcept { return path_; }
  void* handle() const noexcept { return handle_; }
  U32 session() const noexcept { return session_; }
  const DirectPd& pd() const noexcept { return pd_; }

 private:
  std::string path_;
  void* handle_;
  U32 session_ = 0;
  DirectPd pd_;
  BfPdIngressTrafficClass::PdClientCleanup sessionClose_;
};

}  // namespace PdTableBench
