// The agent's table-types module: what every table of the agent shares.
#pragma once

#include "platform/Kiv/PtrInterface.h"
#include "platform/Kiv/Reflection.h"

namespace BfnTable {

// The driver's handle of one programmed entry; 0 means no handle.
typedef U32 BfnSdkEntryHandle;

// The base class of all match keys; it has no data of its own.
class MatchSpecBase : public Kiv::PtrInterface {
 public:
  Kiv::FwkType fwkType() const noexcept override;

 protected:
  MatchSpecBase() noexcept = default;
};

extern const Kiv::TypeDescriptor bfnSdkEntryHandleType;
extern const Kiv::TypeDescriptor matchSpecBaseType;
extern const Kiv::ModuleDescriptor bfnTableModule;

}  // namespace BfnTable
