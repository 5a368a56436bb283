// BF Runtime sessions, one driver session each.
#include "platform/bfrt/BfRtSession.h"
#include "sim/chip/Devices.h"

namespace bfrt {

namespace {

class Session final : public BfRtSession {
 public:
  Session() : handle_(SimChip::sessionOpen()) {}
  ~Session() override { SimChip::sessionClose(handle_); }
  bf_rt_id_t sessHandleGet() const override { return handle_; }

 private:
  bf_rt_id_t handle_;
};

}  // namespace

std::shared_ptr<BfRtSession> BfRtSession::sessionCreate() {
  return std::make_shared<Session>();
}

}  // namespace bfrt
