// Entities: framework objects with a name and a place in the agent's object tree.
#pragma once

#include "platform/Kiv/PtrInterface.h"
#include "platform/Kiv/String.h"

namespace Kiv {

class Entity : public PtrInterface {
 public:
  FwkType fwkType() const noexcept override;

  // The entity's name; an entity without a name attribute is named by its type.
  virtual String nameString() const;
  // Told when the entity is placed under a parent; an entity without a parent ignores it.
  virtual void handleParent(Entity* parent) noexcept;

 protected:
  Entity() noexcept = default;
};

}  // namespace Kiv
