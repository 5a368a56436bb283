// A simulated BF Runtime table: its name, type, key fields, action and data fields, and the
// objects to program it with. A match table keeps its entries in the device's chip model, the
// same that the PD functions program; other tables refuse entry operations as not supported.
#pragma once

#include <string>
#include <vector>

#include "platform/bfrt/ZorvikBfRtTable.h"
#include "sim/bfrt/Fields.h"
#include "sim/bfrt/Operations.h"
#include "sim/chip/TernaryTable.h"

namespace SimBfRt {

struct NamedField {
  std::string name;
  FieldInfo info;
};

struct TableDescription {
  std::string name;
  bfrt::BfRtTable::TableType type = bfrt::BfRtTable::TableType::INVALID;
  std::vector<NamedField> keyFields;
  std::string actionName;
  bfrt::bf_rt_id_t actionId = Data::noAction;
  std::vector<NamedField> dataFields;
};

class Table : public bfrt::ZorvikBfRtTable {
 public:
  Table(U32 device, TableDescription description);

  bfrt::bf_status_t tableNameGet(std::string* name) const override;
  bfrt::bf_status_t tableTypeGet(TableType* type) const override;
  bfrt::bf_status_t keyFieldIdGet(const std::string& name,
                                  bfrt::bf_rt_id_t* fieldId) const override;
  bfrt::bf_status_t actionIdGet(const std::string& name, bfrt::bf_rt_id_t* actionId) const override;
  bfrt::bf_status_t dataFieldIdGet(const std::string& name, const bfrt::bf_rt_id_t& actionId,
                                   bfrt::bf_rt_id_t* fieldId) const override;

  bfrt::bf_status_t keyAllocate(std::unique_ptr<bfrt::BfRtTableKey>* key) const override;
  bfrt::bf_status_t keyReset(bfrt::BfRtTableKey* key) const override;
  bfrt::bf_status_t dataAllocate(std::unique_ptr<bfrt::BfRtTableData>* data) const override;
  bfrt::bf_status_t dataReset(bfrt::BfRtTableData* data) const override;
  bfrt::bf_status_t dataReset(const bfrt::bf_rt_id_t& actionId,
                              bfrt::BfRtTableData* data) const override;
  bfrt::bf_status_t attributeAllocate(
      const bfrt::TableAttributesType& type,
      std::unique_ptr<bfrt::BfRtTableAttributes>* attributes) const override;
  bfrt::bf_status_t tableAttributesSet(const bfrt::BfRtSession& session,
                                       const bfrt::bf_rt_target_t& target,
                                       const bfrt::BfRtTableAttributes& attributes) const override;
  bfrt::bf_status_t tableSizeGet(const bfrt::BfRtSession& session,
                                 const bfrt::bf_rt_target_t& target, const U64& flags,
                                 size_t* size) const override;
  bfrt::bf_status_t tableUsageGet(const bfrt::BfRtSession& session,
                                  const bfrt::bf_rt_target_t& target, const U64& flags,
                                  U32* count) const override;

  bfrt::bf_status_t tableEntryAdd(const bfrt::BfRtSession& session,
                                  const bfrt::bf_rt_target_t& target, const bfrt::BfRtTableKey& key,
                                  const bfrt::BfRtTableData& data,
                                  bfrt::bf_rt_handle_t* entryHandle) const override;
  bfrt::bf_status_t tableEntryMod(const bfrt::BfRtSession& session,
                                  const bfrt::bf_rt_target_t& target, const U64& flags,
                                  const bfrt::bf_rt_handle_t& entryHandle,
                                  const bfrt::BfRtTableData& data) const override;
  bfrt::bf_status_t tableDefaultEntrySet(const bfrt::BfRtSession& session,
                                         const bfrt::bf_rt_target_t& target, const U64& flags,
                                         const bfrt::BfRtTableData& data,
                                         bfrt::bf_rt_handle_t* entryHandle) const override;
  bfrt::bf_status_t tableEntryDel(const bfrt::BfRtSession& session,
                                  const bfrt::bf_rt_target_t& target,
                                  const bfrt::bf_rt_handle_t& entryHandle) const override;
  bfrt::bf_status_t tableDefaultEntryReset(const bfrt::BfRtSession& session,
                                           const bfrt::bf_rt_target_t& target) const override;
  bfrt::bf_status_t tableEntryGet(const bfrt::BfRtSession& session,
                                  const bfrt::bf_rt_target_t& target, const U64& flags,
                                  const bfrt::bf_rt_handle_t& entryHandle, bfrt::BfRtTableKey* key,
                                  bfrt::BfRtTableData* data) const override;
  bfrt::bf_status_t targetSet(const bfrt::bf_rt_target_t& target) override;

 private:
  bool isMatchTable() const noexcept;
  bool targetKnown(const bfrt::bf_rt_target_t& target) const noexcept;
  // The key or data of this table, or null for an object of another table.
  const Key* ownKey(const bfrt::BfRtTableKey& key) const noexcept;
  const Data* ownData(const bfrt::BfRtTableData& data) const noexcept;
  // A question about the table's entries: its gate, the checks of chipFor, then the chip's
  // answer.
  template <class Answer, class Ask>
  bfrt::bf_status_t chipAnswer(Operation operation, const bfrt::BfRtSession& session,
                               const bfrt::bf_rt_target_t& target, const U64& flags, Answer* answer,
                               Ask ask) const;
  // The checks every call on entries makes after its gate: an open session and the device's
  // chip attached.
  bfrt::bf_status_t chipFor(const bfrt::BfRtSession& session, const bfrt::bf_rt_target_t& target,
                            SimChip::TernaryTable** chip) const;

  U32 device_;
  TableDescription description_;
  std::vector<FieldInfo> keyInfos_;
  std::vector<FieldInfo> dataInfos_;
};

}  // namespace SimBfRt
