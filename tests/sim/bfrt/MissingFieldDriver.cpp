// A driver library with the PD functions and an ingress table that lacks the key field, action
// or action parameter that the test last named (none at first).
#include <memory>
#include <string>

#include "platform/bfrt/ZorvikSwitchProgram.h"
#include "sim/bfrt/Table.h"
#include "sim/chip/ChipStatus.h"

namespace {

namespace Program = ZorvikSwitchProgram;

std::string omitted;

SimBfRt::TableDescription ingressTable() {
  SimBfRt::TableDescription table;
  table.name = Program::ingressTrafficClassTable;
  table.type = bfrt::BfRtTable::TableType::MATCH_DIRECT;
  bfrt::bf_rt_id_t id = 1;
  for (const char* name : Program::keyFields) {
    if (name != omitted) table.keyFields.push_back({name, {id++, 8, true}});
  }
  if (omitted != Program::action) {
    table.actionName = Program::action;
    table.actionId = id++;
  }
  for (const char* name : {Program::trafficClassField, Program::queueField}) {
    if (name != omitted) table.dataFields.push_back({name, {id++, 8, false}});
  }
  return table;
}

class IngressTableOnly final : public bfrt::BfRtInfo {
 public:
  explicit IngressTableOnly(U32 device) : table_(device, ingressTable()) {}
  bfrt::bf_status_t bfrtTableFromNameGet(const std::string& name,
                                         const bfrt::BfRtTable** table) const override {
    if (name != Program::ingressTrafficClassTable) return SimChip::StatusCode::objectNotFound;
    *table = &table_;
    return SimChip::StatusCode::success;
  }

 private:
  SimBfRt::Table table_;
};

// The tables of the last bf_rt_info_get; those handed out before it are gone.
std::unique_ptr<IngressTableOnly> program;

}  // namespace

extern "C" void missing_field_driver_omit(const char* name) {
  omitted = name;
}

extern "C" const bfrt::BfRtInfo* bf_rt_info_get(U32 device) {
  program = std::make_unique<IngressTableOnly>(device);
  return program.get();
}
