// BF Runtime tables and the key, data and attribute objects through which they are programmed.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/bfrt/BfRtSession.h"
#include "platform/bfrt/BfRtTypes.h"

namespace bfrt {

// The key of an entry: exact fields (the match priority among them) set as a 64-bit value,
// ternary fields as a value and a mask. A value wider than its field is refused.
class BfRtTableKey {
 public:
  virtual ~BfRtTableKey() = default;
  virtual bf_status_t setValue(const bf_rt_id_t& fieldId, const U64& value) = 0;
  virtual bf_status_t setValueandMask(const bf_rt_id_t& fieldId, const U64& value,
                                      const U64& mask) = 0;
  virtual bf_status_t getValue(const bf_rt_id_t& fieldId, U64* value) const = 0;
  virtual bf_status_t getValueandMask(const bf_rt_id_t& fieldId, U64* value, U64* mask) const = 0;
};

// The data of an entry: an action and its parameters.
class BfRtTableData {
 public:
  virtual ~BfRtTableData() = default;
  virtual bf_status_t setValue(const bf_rt_id_t& fieldId, const U64& value) = 0;
  virtual bf_status_t getValue(const bf_rt_id_t& fieldId, U64* value) const = 0;
  // The action the data is bound to; an invalid id for data reset without an action.
  virtual bf_status_t actionIdGet(bf_rt_id_t* actionId) const = 0;
};

enum class TableEntryScope : U32 {
  ENTRY_SCOPE_ALL_PIPELINES = 0,
  ENTRY_SCOPE_SINGLE_PIPELINE = 1,
  ENTRY_SCOPE_USER_DEFINED = 2,
};

enum class TableAttributesType : U32 {
  ENTRY_SCOPE = 0,
  DYNAMIC_KEY_MASK = 1,
  IDLE_TABLE_RUNTIME = 2,
};

class BfRtTableAttributes {
 public:
  virtual ~BfRtTableAttributes() = default;
  virtual bf_status_t entryScopeParamsSet(const TableEntryScope& scope) = 0;
  virtual bf_status_t entryScopeParamsGet(TableEntryScope* scope) const = 0;
};

class BfRtTable {
 public:
  enum class TableType : U32 {
    MATCH_DIRECT = 0,
    MATCH_INDIRECT = 1,
    MATCH_INDIRECT_SELECTOR = 2,
    ACTION_PROFILE = 3,
    SELECTOR = 4,
    COUNTER = 5,
    METER = 6,
    REGISTER = 7,
    INVALID = 79,
  };

  virtual ~BfRtTable() = default;

  virtual bf_status_t tableNameGet(std::string* name) const = 0;
  virtual bf_status_t tableTypeGet(TableType* type) const = 0;
  virtual bf_status_t keyFieldIdGet(const std::string& name, bf_rt_id_t* fieldId) const = 0;
  virtual bf_status_t actionIdGet(const std::string& name, bf_rt_id_t* actionId) const = 0;
  virtual bf_status_t dataFieldIdGet(const std::string& name, const bf_rt_id_t& actionId,
                                     bf_rt_id_t* fieldId) const = 0;

  virtual bf_status_t keyAllocate(std::unique_ptr<BfRtTableKey>* key) const = 0;
  virtual bf_status_t keyReset(BfRtTableKey* key) const = 0;
  // Data bound to no action, for reading an entry whose action is not known.
  virtual bf_status_t dataAllocate(std::unique_ptr<BfRtTableData>* data) const = 0;
  virtual bf_status_t dataReset(BfRtTableData* data) const = 0;
  virtual bf_status_t dataReset(const bf_rt_id_t& actionId, BfRtTableData* data) const = 0;
  virtual bf_status_t attributeAllocate(const TableAttributesType& type,
                                        std::unique_ptr<BfRtTableAttributes>* attributes) const = 0;
  virtual bf_status_t tableAttributesSet(const BfRtSession& session, const bf_rt_target_t& target,
                                         const BfRtTableAttributes& attributes) const = 0;

  // How many entries the table can hold, and how many it holds.
  virtual bf_status_t tableSizeGet(const BfRtSession& session, const bf_rt_target_t& target,
                                   const U64& flags, size_t* size) const = 0;
  virtual bf_status_t tableUsageGet(const BfRtSession& session, const bf_rt_target_t& target,
                                    const U64& flags, U32* count) const = 0;
};

// The program's tables, found by name.
class BfRtInfo {
 public:
  virtual ~BfRtInfo() = default;
  virtual bf_status_t bfrtTableFromNameGet(const std::string& name,
                                           const BfRtTable** table) const = 0;
};

}  // namespace bfrt
