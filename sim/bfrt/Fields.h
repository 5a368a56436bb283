// The key and data objects of the simulated BF Runtime tables: a set of fields, each with an
// id, a width and (for keys) a match kind.
#pragma once

#include <span>
#include <vector>

#include "platform/bfrt/BfRtTable.h"

namespace SimBfRt {

struct FieldInfo {
  bfrt::bf_rt_id_t id;
  unsigned widthBits;
  bool ternary;
};

// Values of a set of fields, with the checks every field access makes.
class FieldValues {
 public:
  explicit FieldValues(std::span<const FieldInfo> fields)
      : fields_(fields), values_(fields.size()), masks_(fields.size()) {}

  bfrt::bf_status_t valueIs(const bfrt::bf_rt_id_t& id, U64 value, U64 mask, bool ternary);
  bfrt::bf_status_t value(const bfrt::bf_rt_id_t& id, U64* value, U64* mask, bool ternary) const;
  void clear() noexcept;
  std::span<const FieldInfo> fields() const noexcept { return fields_; }
  // Value and mask of the field at a position of the field list.
  U64 valueAt(std::size_t position) const noexcept { return values_[position]; }
  U64 maskAt(std::size_t position) const noexcept { return masks_[position]; }
  void valueAtIs(std::size_t position, U64 value, U64 mask) noexcept;

 private:
  const FieldInfo* field(const bfrt::bf_rt_id_t& id, std::size_t* position) const noexcept;

  std::span<const FieldInfo> fields_;
  std::vector<U64> values_;
  std::vector<U64> masks_;
};

class Table;

class Key final : public bfrt::BfRtTableKey {
 public:
  Key(const Table& table, std::span<const FieldInfo> fields) : table_(&table), fields_(fields) {}
  bfrt::bf_status_t setValue(const bfrt::bf_rt_id_t& fieldId, const U64& value) override;
  bfrt::bf_status_t setValueandMask(const bfrt::bf_rt_id_t& fieldId, const U64& value,
                                    const U64& mask) override;
  bfrt::bf_status_t getValue(const bfrt::bf_rt_id_t& fieldId, U64* value) const override;
  bfrt::bf_status_t getValueandMask(const bfrt::bf_rt_id_t& fieldId, U64* value,
                                    U64* mask) const override;

  const Table& table() const noexcept { return *table_; }
  FieldValues& fields() noexcept { return fields_; }
  const FieldValues& fields() const noexcept { return fields_; }

 private:
  const Table* table_;
  FieldValues fields_;
};

// Data bound to an action (whose parameters are its fields) or to none.
class Data final : public bfrt::BfRtTableData {
 public:
  static constexpr bfrt::bf_rt_id_t noAction = 0;

  explicit Data(const Table& table) : table_(&table), fields_({}) {}
  bfrt::bf_status_t setValue(const bfrt::bf_rt_id_t& fieldId, const U64& value) override;
  bfrt::bf_status_t getValue(const bfrt::bf_rt_id_t& fieldId, U64* value) const override;
  bfrt::bf_status_t actionIdGet(bfrt::bf_rt_id_t* actionId) const override;

  const Table& table() const noexcept { return *table_; }
  bfrt::bf_rt_id_t action() const noexcept { return action_; }
  void actionIs(bfrt::bf_rt_id_t action, std::span<const FieldInfo> parameters);
  FieldValues& fields() noexcept { return fields_; }
  const FieldValues& fields() const noexcept { return fields_; }

 private:
  const Table* table_;
  bfrt::bf_rt_id_t action_ = noAction;
  FieldValues fields_;
};

}  // namespace SimBfRt
