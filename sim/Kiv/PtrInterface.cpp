#include "platform/Kiv/PtrInterface.h"

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/Entity.h"

namespace Kiv {

void PtrInterface::zeroReferencesIs() {
  delete this;
}

FwkType PtrInterface::fwkType() const noexcept {
  return {&kivModule, ptrInterfaceType.index};
}

FwkType Entity::fwkType() const noexcept {
  return {&kivModule, entityType.index};
}

String Entity::nameString() const {
  return typeOf(*this).name;
}

void Entity::handleParent(Entity*) noexcept {}

}  // namespace Kiv
