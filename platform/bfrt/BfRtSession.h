// A BF Runtime driver session.
#pragma once

#include <memory>

#include "platform/bfrt/BfRtTypes.h"

namespace bfrt {

class BfRtSession {
 public:
  // A new session; null if the driver cannot open one.
  static std::shared_ptr<BfRtSession> sessionCreate();
  virtual ~BfRtSession() = default;
  virtual bf_rt_id_t sessHandleGet() const = 0;
};

}  // namespace bfrt
