// The agent's BF Runtime table interface: where the BF Runtime backend gets its driver session.
#pragma once

#include <memory>

#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"
#include "platform/bfrt/BfRtSession.h"

namespace BfRt {

class BfRtTableIntf : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<BfRtTableIntf>;

  // Keeps `session` alive for as long as the interface lives.
  explicit BfRtTableIntf(std::shared_ptr<bfrt::BfRtSession> session) noexcept
      : session_(std::move(session)) {}
  std::shared_ptr<bfrt::BfRtSession> bfRtSessionGet() const { return session_; }

  Kiv::FwkType fwkType() const noexcept override;
  ~BfRtTableIntf() override;

 private:
  std::shared_ptr<bfrt::BfRtSession> session_;
};

}  // namespace BfRt
