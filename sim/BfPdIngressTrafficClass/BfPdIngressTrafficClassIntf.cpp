#include "platform/BfPdIngressTrafficClass/BfPdIngressTrafficClassIntf.h"

#include <dlfcn.h>

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/Exception.h"
#include "platform/bfrt/ZorvikSwitchProgram.h"

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

// The library's BF Runtime tables, found by the names the program gives them; an empty binding
// for a library that offers none.
BfRtBinding bfRtBindingOf(Kiv::VoidPtr dlHandle, U8 device, const Kiv::String& library) {
  namespace Program = ZorvikSwitchProgram;
  BfRtBinding binding;
  auto infoGet = reinterpret_cast<BfRtInfoGet>(::dlsym(dlHandle, bfRtInfoGetName));
  const bfrt::BfRtInfo* info = infoGet ? infoGet(device) : nullptr;
  if (!info) return binding;
  auto tableNamed = [info](const char* name) -> BfRt::BfRtTablePtr {
    const bfrt::BfRtTable* table = nullptr;
    if (info->bfrtTableFromNameGet(name, &table) != 0) return nullptr;
    return const_cast<bfrt::ZorvikBfRtTable*>(dynamic_cast<const bfrt::ZorvikBfRtTable*>(table));
  };
  BfRt::BfRtTablePtr table = tableNamed(Program::ingressTrafficClassTable);
  if (!table) return binding;
  auto require = [&](bfrt::bf_status_t status, const char* what) {
    if (status) {
      throw Kiv::InternalException(Kiv::_fmt("driver library '%s': table %s has no %s",
                                             library.c_str(), Program::ingressTrafficClassTable,
                                             what));
    }
  };
  for (std::size_t field = 0; field < std::size(binding.keyFieldIds); ++field) {
    require(table->keyFieldIdGet(Program::keyFields[field], &binding.keyFieldIds[field]),
            Program::keyFields[field]);
  }
  binding.hasPriorityField =
      table->keyFieldIdGet(Program::priorityField, &binding.priorityFieldId) == 0;
  require(table->actionIdGet(Program::action, &binding.actionId), Program::action);
  require(
      table->dataFieldIdGet(Program::trafficClassField, binding.actionId, &binding.dataFieldIds[0]),
      Program::trafficClassField);
  require(table->dataFieldIdGet(Program::queueField, binding.actionId, &binding.dataFieldIds[1]),
          Program::queueField);
  std::shared_ptr<bfrt::BfRtSession> session = bfrt::BfRtSession::sessionCreate();
  if (!session) {
    throw Kiv::InternalException(
        Kiv::_fmt("driver library '%s': cannot open a BF Runtime session", library.c_str()));
  }
  binding.tableIntf = Kiv::newObject<BfRt::BfRtTableIntf>(std::move(session));
  binding.tables[0] = table;
  binding.tables[1] = tableNamed(Program::actionProfileTable);
  binding.tables[2] = tableNamed(Program::selectorTable);
  return binding;
}

}  // namespace

KIV_HEAP_OBJECT_DEFINITIONS(BfPdIngressTrafficClassIntf,
                            "BfPdIngressTrafficClass::BfPdIngressTrafficClassIntf")

constinit const Kiv::TypeDescriptor bfPdIngressTrafficClassIntfType = {
    .name = "BfPdIngressTrafficClass::BfPdIngressTrafficClassIntf",
    .kind = Kiv::TypeKind::object,
    .index = 0,
    .base = &Kiv::ptrInterfaceType,
    .attributeOp = Kiv::describedAttributeOp,
};

BfPdIngressTrafficClassIntf::BfPdIngressTrafficClassIntf(U8 deviceId, const Kiv::String& pdLibName,
                                                         Kiv::VoidPtr dlHandle, U32 sessionId)
    : deviceId_(deviceId),
      pdLibName_(pdLibName),
      dlHandle_(dlHandle),
      sessionId_(sessionId),
      pd_(pdFunctionsOf(dlHandle, pdLibName)),
      bfRtBinding_(bfRtBindingOf(dlHandle, deviceId, pdLibName)) {}

void BfPdIngressTrafficClassIntf::dlHandleIs(Kiv::VoidPtr dlHandle) {
  if (dlHandle == dlHandle_) return;
  PdFunctions pd = pdFunctionsOf(dlHandle, pdLibName_);
  bfRtBinding_ = bfRtBindingOf(dlHandle, deviceId_, pdLibName_);
  pd_ = pd;
  dlHandle_ = dlHandle;
}

Kiv::FwkType BfPdIngressTrafficClassIntf::fwkType() const noexcept {
  return {&module, bfPdIngressTrafficClassIntfType.index};
}

BfPdIngressTrafficClassIntf::~BfPdIngressTrafficClassIntf() {
  hasNotificationActiveIs(false);
}

}  // namespace BfPdIngressTrafficClass
