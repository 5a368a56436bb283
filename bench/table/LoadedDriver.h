// The driver library loaded by path with a driver session open: the library's tables are made
// over it, and the PD functions and BF Runtime tables found in it by name let a benchmark make
// the same driver calls directly, through the same library.
#pragma once

#include <string>

#include "bench/table/Backend.h"
#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"
#include "platform/bfrt/ZorvikSwitchProgram.h"

namespace TableBench {

// The PD functions that the benchmarks call directly.
struct DirectPd {
  BfPdIngressTrafficClass::PdTableAdd tableAdd;
  BfPdIngressTrafficClass::PdTableModify tableModify;
  BfPdIngressTrafficClass::PdTableDelete tableDelete;
  BfPdIngressTrafficClass::PdSetDefaultAction setDefaultAction;
  BfPdIngressTrafficClass::PdTableResetDefault tableResetDefault;
  BfPdIngressTrafficClass::PdTableGetEntry tableGetEntry;
};

class LoadedDriver {
 public:
  // Loads the library for the tables of `backend` on `device`, whose chip is attached. A library
  // that can be told whether to offer its BF Runtime tables (the driver that does nothing) is
  // told. Raises std::runtime_error when the library cannot be loaded, lacks a function, does
  // not program the table through `backend` or refuses a session.
  LoadedDriver(const std::string& path, Backend backend, U32 device);
  ~LoadedDriver();
  LoadedDriver(const LoadedDriver&) = delete;
  LoadedDriver& operator=(const LoadedDriver&) = delete;

  const std::string& path() const noexcept { return path_; }
  void* handle() const noexcept { return handle_; }
  U32 session() const noexcept { return session_; }
  const DirectPd& pd() const noexcept { return pd_; }
  // The library's BF Runtime tables on `device`, or null when it offers none.
  const bfrt::BfRtInfo* bfRtInfo(U32 device) const;

 private:
  std::string path_;
  void* handle_;
  U32 session_ = 0;
  DirectPd pd_;
  BfRtInfoGet bfRtInfoGet_;
  BfPdIngressTrafficClass::PdClientCleanup sessionClose_;
};

}  // namespace TableBench
