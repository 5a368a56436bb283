#include "sim/bfrt/Program.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/bfrt/ZorvikSwitchProgram.h"
#include "sim/bfrt/Schema.h"
#include "sim/bfrt/Table.h"
#include "sim/chip/ChipStatus.h"
#include "sim/chip/Devices.h"
#include "sim/chip/TernaryTable.h"

namespace SimBfRt {

namespace {

using TableType = bfrt::BfRtTable::TableType;

class Program final : public bfrt::BfRtInfo {
 public:
  void tableIs(std::unique_ptr<Table> table) { tables_.push_back(std::move(table)); }

  bfrt::bf_status_t bfrtTableFromNameGet(const std::string& name,
                                         const bfrt::BfRtTable** table) const override {
    if (!table) return SimChip::StatusCode::invalidArguments;
    for (const auto& candidate : tables_) {
      std::string candidateName;
      candidate->tableNameGet(&candidateName);
      if (candidateName == name) {
        *table = candidate.get();
        return SimChip::StatusCode::success;
      }
    }
    return SimChip::StatusCode::objectNotFound;
  }

 private:
  std::vector<std::unique_ptr<Table>> tables_;
};

// The ingress table: eight 8-bit ternary fields in the PD record's order, then the 32-bit match
// priority if the schema has it; the action with its two 8-bit parameters, tc first.
TableDescription ingressTable(const Schema& schema) {
  TableDescription table;
  table.name = ZorvikSwitchProgram::ingressTrafficClassTable;
  table.type = TableType::MATCH_DIRECT;
  bfrt::bf_rt_id_t id = schema.firstId;
  for (unsigned field = 0; field < 8; ++field) {
    unsigned order = schema.shuffledIds ? 7 - field : field;
    table.keyFields.push_back({ZorvikSwitchProgram::keyFields[field], {id + order, 8, true}});
  }
  if (schema.priorityField) {
    table.keyFields.push_back({ZorvikSwitchProgram::priorityField, {id + 8, 32, false}});
  }
  table.actionName = ZorvikSwitchProgram::action;
  table.actionId = id + 9;
  bfrt::bf_rt_id_t tcId = id + (schema.shuffledIds ? 11 : 10);
  bfrt::bf_rt_id_t qidId = id + (schema.shuffledIds ? 10 : 11);
  table.dataFields = {{ZorvikSwitchProgram::trafficClassField, {tcId, 8, false}},
                      {ZorvikSwitchProgram::queueField, {qidId, 8, false}}};
  return table;
}

// A table beside the ingress table, keyed by a member id; it holds no entries of its own here.
TableDescription memberTable(const Schema& schema, const char* name, TableType type) {
  TableDescription table;
  table.name = name;
  table.type = type;
  table.keyFields = {{"$ACTION_MEMBER_ID", {schema.firstId + 12, 32, false}}};
  return table;
}

std::unique_ptr<Program> programOf(U32 device, const Schema& schema) {
  auto program = std::make_unique<Program>();
  program->tableIs(std::make_unique<Table>(device, ingressTable(schema)));
  if (schema.actionProfileTable) {
    program->tableIs(std::make_unique<Table>(
        device,
        memberTable(schema, ZorvikSwitchProgram::actionProfileTable, TableType::ACTION_PROFILE)));
  }
  if (schema.selectorTable) {
    program->tableIs(std::make_unique<Table>(
        device, memberTable(schema, ZorvikSwitchProgram::selectorTable, TableType::SELECTOR)));
  }
  return program;
}

std::mutex programsMutex;
Schema currentSchema;
// Every program ever described stays, so that tables handed out never dangle; the map names
// each device's current one.
std::vector<std::unique_ptr<Program>> described;
std::map<U32, const Program*> programs;

}  // namespace

void schemaIs(const Schema& schema) {
  std::lock_guard lock(programsMutex);
  currentSchema = schema;
  programs.clear();
}

Schema schema() {
  std::lock_guard lock(programsMutex);
  return currentSchema;
}

const bfrt::BfRtInfo* programInfo(U32 device) {
  if (!SimChip::deviceTable(device)) return nullptr;
  std::lock_guard lock(programsMutex);
  const Program*& program = programs[device];
  if (!program) {
    described.push_back(programOf(device, currentSchema));
    program = described.back().get();
  }
  return program;
}

}  // namespace SimBfRt
