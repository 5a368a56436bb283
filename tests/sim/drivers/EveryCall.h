// Every driver call that the simulated driver libraries gate, made once on device 0, each
// answering its status: the PD functions, and the BF Runtime table's calls and those of its key,
// data and attribute objects.
#pragma once

#include <memory>
#include <vector>

#include "platform/bfrt/ZorvikBfRtTable.h"
#include "tests/sim/drivers/LoadedDriver.h"

namespace SimTesting {

std::vector<int> everyPdCall(const LoadedDriver& driver);

class EveryBfRtCall {
 public:
  // Finds the ingress table of the library's BF Runtime program and makes the objects that the
  // calls work on.
  explicit EveryBfRtCall(const LoadedDriver& driver);
  std::vector<int> statuses();

  const bfrt::ZorvikBfRtTable& table() const noexcept { return *table_; }
  const bfrt::BfRtSession& session() const noexcept { return *session_; }

 private:
  bfrt::ZorvikBfRtTable* table_ = nullptr;
  std::shared_ptr<bfrt::BfRtSession> session_;
  std::unique_ptr<bfrt::BfRtTableKey> key_;
  std::unique_ptr<bfrt::BfRtTableData> data_;
  std::unique_ptr<bfrt::BfRtTableAttributes> attributes_;
  bfrt::bf_rt_id_t dscpId_ = 0, priorityId_ = 0, actionId_ = 0, tcId_ = 0;
};

}  // namespace SimTesting
