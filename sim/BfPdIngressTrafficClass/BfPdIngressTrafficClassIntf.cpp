#include "platform/BfPdIngressTrafficClass/BfPdIngressTrafficClassIntf.h"

#include <dlfcn.h>

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/Exception.h"

namespace BfPdIngressTrafficClass {

namespace {

const Kiv::TypeDescriptor* const types[] = {&bfPdIngressTrafficClassIntfType};
constinit const Kiv::ModuleDescriptor module = {"BfPdIngressTrafficClass", types};
[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(module), true);

template <class Function>
void find(Function* function, Kiv::VoidPtr dlHandle, const char* name, const Kiv::String& library) {
  void* symbol = ::dlsym(dlHandle, name);
  if (!symbol) {
    throw Kiv::InternalException(
        Kiv::_fmt("driver library '%s' does not export %s", library.c_str(), name));
  }
  *function = reinterpret_cast<Function>(symbol);
}

PdFunctions pdFunctionsOf(Kiv::VoidPtr dlHandle, const Kiv::String& library) {
  if (!dlHandle) {
    throw Kiv::InternalException(
        Kiv::_fmt("driver library '%s' is not loaded: no handle", library.c_str()));
  }
  PdFunctions pd;
  find(&pd.setProperty, dlHandle, PdFunctionName::setProperty, library);
  find(&pd.tableAdd, dlHandle, PdFunctionName::tableAdd, library);
  find(&pd.tableModify, dlHandle, PdFunctionName::tableModify, library);
  find(&pd.setDefaultAction, dlHandle, PdFunctionName::setDefaultAction, library);
  find(&pd.tableDelete, dlHandle, PdFunctionName::tableDelete, library);
  find(&pd.tableResetDefault, dlHandle, PdFunctionName::tableResetDefault, library);
  find(&pd.tableGetEntry, dlHandle, PdFunctionName::tableGetEntry, library);
  return pd;
}

}  // namespace

KIV_HEAP_OBJECT_DEFINITIONS(BfPdIngressTrafficClassIntf,
                            "BfPdIngressTrafficClass::BfPdIngressTrafficClassIntf")

constinit const Kiv::TypeDescriptor bfPdIngressTrafficClassIntfType = {
    "BfPdIngressTrafficClass::BfPdIngressTrafficClassIntf",
    Kiv::TypeKind::object,
    0,
    &Kiv::ptrInterfaceType,
    {},
    {},
    Kiv::describedAttributeOp,
    nullptr,
    nullptr,
    nullptr,
    {}};

BfPdIngressTrafficClassIntf::BfPdIngressTrafficClassIntf(U8 deviceId, const Kiv::String& pdLibName,
                                                         Kiv::VoidPtr dlHandle, U32 sessionId)
    : deviceId_(deviceId),
      pdLibName_(pdLibName),
      dlHandle_(dlHandle),
      sessionId_(sessionId),
      pd_(pdFunctionsOf(dlHandle, pdLibName)) {}

void BfPdIngressTrafficClassIntf::dlHandleIs(Kiv::VoidPtr dlHandle) {
  if (dlHandle == dlHandle_) return;
  pd_ = pdFunctionsOf(dlHandle, pdLibName_);
  dlHandle_ = dlHandle;
}

Kiv::FwkType BfPdIngressTrafficClassIntf::fwkType() const noexcept {
  return {&module, bfPdIngressTrafficClassIntfType.index};
}

BfPdIngressTrafficClassIntf::~BfPdIngressTrafficClassIntf() {
  hasNotificationActiveIs(false);
}

}  // namespace BfPdIngressTrafficClass
