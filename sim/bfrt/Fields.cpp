#include "sim/bfrt/Fields.h"

#include "sim/bfrt/Gate.h"
#include "sim/chip/ChipStatus.h"

namespace SimBfRt {

namespace {

using SimChip::StatusCode::invalidArguments;
using SimChip::StatusCode::success;

U64 maxOf(const FieldInfo& field) noexcept {
  return field.widthBits >= 64 ? ~U64{0} : (U64{1} << field.widthBits) - 1;
}

}  // namespace

const FieldInfo* FieldValues::field(const bfrt::bf_rt_id_t& id,
                                    std::size_t* position) const noexcept {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].id == id) {
      *position = i;
      return &fields_[i];
    }
  }
  return nullptr;
}

bfrt::bf_status_t FieldValues::valueIs(const bfrt::bf_rt_id_t& id, U64 value, U64 mask,
                                       bool ternary) {
  std::size_t position;
  const FieldInfo* info = field(id, &position);
  if (!info || info->ternary != ternary || value > maxOf(*info) || mask > maxOf(*info)) {
    return invalidArguments;
  }
  valueAtIs(position, value, mask);
  return success;
}

bfrt::bf_status_t FieldValues::value(const bfrt::bf_rt_id_t& id, U64* value, U64* mask,
                                     bool ternary) const {
  std::size_t position;
  const FieldInfo* info = field(id, &position);
  if (!info || info->ternary != ternary || !value) return invalidArguments;
  *value = values_[position];
  if (mask) *mask = masks_[position];
  return success;
}

void FieldValues::clear() noexcept {
  std::fill(values_.begin(), values_.end(), 0);
  std::fill(masks_.begin(), masks_.end(), 0);
}

void FieldValues::valueAtIs(std::size_t position, U64 value, U64 mask) noexcept {
  values_[position] = value;
  masks_[position] = mask;
}

bfrt::bf_status_t Key::setValue(const bfrt::bf_rt_id_t& fieldId, const U64& value) {
  if (auto status = gate("keySetValue", "field %u, value %#llx", fieldId,
                         static_cast<unsigned long long>(value))) {
    return status;
  }
  return fields_.valueIs(fieldId, value, 0, false);
}

bfrt::bf_status_t Key::setValueandMask(const bfrt::bf_rt_id_t& fieldId, const U64& value,
                                       const U64& mask) {
  if (auto status =
          gate("keySetValueandMask", "field %u, value %#llx, mask %#llx", fieldId,
               static_cast<unsigned long long>(value), static_cast<unsigned long long>(mask))) {
    return status;
  }
  return fields_.valueIs(fieldId, value, mask, true);
}

bfrt::bf_status_t Key::getValue(const bfrt::bf_rt_id_t& fieldId, U64* value) const {
  if (auto status = gate("keyGetValue", "field %u", fieldId)) return status;
  return fields_.value(fieldId, value, nullptr, false);
}

bfrt::bf_status_t Key::getValueandMask(const bfrt::bf_rt_id_t& fieldId, U64* value,
                                       U64* mask) const {
  if (auto status = gate("keyGetValueandMask", "field %u", fieldId)) return status;
  if (!mask) return invalidArguments;
  return fields_.value(fieldId, value, mask, true);
}

bfrt::bf_status_t Data::setValue(const bfrt::bf_rt_id_t& fieldId, const U64& value) {
  if (auto status = gate("dataSetValue", "field %u, value %#llx", fieldId,
                         static_cast<unsigned long long>(value))) {
    return status;
  }
  return fields_.valueIs(fieldId, value, 0, false);
}

bfrt::bf_status_t Data::getValue(const bfrt::bf_rt_id_t& fieldId, U64* value) const {
  if (auto status = gate("dataGetValue", "field %u", fieldId)) return status;
  return fields_.value(fieldId, value, nullptr, false);
}

bfrt::bf_status_t Data::actionIdGet(bfrt::bf_rt_id_t* actionId) const {
  if (auto status = gate("dataActionIdGet")) return status;
  if (!actionId) return invalidArguments;
  *actionId = action_;
  return success;
}

void Data::actionIs(bfrt::bf_rt_id_t action, std::span<const FieldInfo> parameters) {
  action_ = action;
  fields_ = FieldValues(parameters);
}

}  // namespace SimBfRt
