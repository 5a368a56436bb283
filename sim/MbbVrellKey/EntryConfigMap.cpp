#include <atomic>
#include <cstring>
#include <stdexcept>

#include "platform/Kiv/Exception.h"
#include "platform/MbbVrellKey/Vrell.h"
#include "sim/MbbVrellKey/StoreLayout.h"
#include "sim/support/MappedFile.h"

namespace Vrell {

using namespace StoreLayout;

namespace {

U32 checkedCapacity(U32 capacity) {
  if (capacity == 0 || capacity > maxRecords) {
    throw std::invalid_argument("key store capacity must be from 1 to " +
                                std::to_string(maxRecords));
  }
  return capacity;
}

void writeFresh(void* data, U32 capacity) noexcept {
  static_cast<Header*>(data)->file = format.header(capacity);
}

bool intact(const Record& record) noexcept {
  return record.used == recordUsed && record.kind <= EntryKind::defaultEntry &&
         record.checksum == checksumOf(record);
}

EntryConfig configOf(const Record& stored) noexcept {
  return EntryConfig(stored.key, stored.opId, stored.sdkEntryHandle, stored.kind, stored.priority);
}

}  // namespace

// The store's file, with room for at least the records it was opened for.
struct EntryConfigMap::Store {
  Store(const std::string& path, U32 capacity)
      : file(path, format.kind(), format.fileBytes(capacity),
             [capacity](void* data, std::size_t) { writeFresh(data, capacity); }) {
    validate();
    if (this->capacity() < capacity) grow(capacity);
  }

  U32 capacity() const noexcept { return header().file.capacity; }
  Record* records() const noexcept { return reinterpret_cast<Record*>(&header() + 1); }
  void usedIs(U32 slot, U16 used) noexcept {
    std::atomic_ref<U16>(records()[slot].used).store(used, std::memory_order_release);
  }

  SimSupport::MappedFile file;

 private:
  Header& header() const noexcept { return *static_cast<Header*>(file.data()); }

  void validate() const {
    format.validHeader(file);
    if (header().reserved != 0) file.refuseAsDamaged("reserved header field set");
  }

  // Every record stays in its slot; the grown file, written whole, replaces the old one, so that
  // a process killed while growing leaves one or the other.
  void grow(U32 capacity) {
    file.replace(format.fileBytes(capacity), [this, capacity](void* data, std::size_t) {
      std::memcpy(data, file.data(), file.size());
      static_cast<Header*>(data)->file.capacity = capacity;
    });
  }
};

EntryConfigMap::EntryConfigMap(const std::string& stateDirectory, U32 device,
                               const std::string& table, U32 capacity)
    : store_(std::make_unique<Store>(
          stateDirectory + "/keys-dev" + std::to_string(device) + "-" + table + ".state",
          checkedCapacity(capacity))) {
  // Records are indexed by the key they hold; one that is damaged is found out when a lookup
  // reaches it, and one that repeats a key or has no valid state is damaged already.
  for (U32 slot = 0; slot < store_->capacity(); ++slot) {
    const Record& record = store_->records()[slot];
    if (record.used == 0) {
      freeSlots_.push_back(slot);
    } else if (record.used != recordUsed || !index_.emplace(record.key, slot).second) {
      damagedSlots_.push_back(slot);
    }
  }
}

EntryConfigMap::~EntryConfigMap() = default;

bool EntryConfigMap::firstRecord(EntryConfig* record, IterHint& hint) const {
  return recordAt(index_.begin(), record, hint);
}

bool EntryConfigMap::nextRecord(const EntryKey& key, EntryConfig* record, IterHint& hint) const {
  bool hintHolds = hint.map_ == this && hint.mapVersion_ == version_ &&
                   hint.position_ != index_.end() && hint.position_->first == key;
  return recordAt(hintHolds ? std::next(hint.position_) : index_.upper_bound(key), record, hint);
}

bool EntryConfigMap::recordAt(std::map<EntryKey, U32>::const_iterator position, EntryConfig* record,
                              IterHint& hint) const {
  auto corruption = [this](U32 slot) {
    return Kiv::CorruptionDetectedException(
        Kiv::_fmt("%s: record %u is damaged", store_->file.path().c_str(), slot));
  };
  if (!damagedSlots_.empty()) throw corruption(damagedSlots_.front());
  if (position == index_.end()) return false;
  const Record& stored = store_->records()[position->second];
  if (!intact(stored)) {
    damagedSlots_.push_back(position->second);
    throw corruption(position->second);
  }
  *record = configOf(stored);
  hint.map_ = this;
  hint.mapVersion_ = version_;
  hint.position_ = position;
  return true;
}

void EntryConfigMap::doCorruptionDetected(const Kiv::String& message) {
  messages_.push_back(message);
  std::erase_if(index_,
                [this](const auto& item) { return !intact(store_->records()[item.second]); });
  // Every record in use that the index does not hold is damaged or repeats a key: dropped.
  for (U32 slot = 0; slot < store_->capacity(); ++slot) {
    const Record& record = store_->records()[slot];
    if (record.used == 0) continue;
    auto indexed = index_.find(record.key);
    if (indexed != index_.end() && indexed->second == slot) continue;
    store_->usedIs(slot, 0);
    freeSlots_.push_back(slot);
  }
  damagedSlots_.clear();
  ++version_;
}

void EntryConfigMap::recordIs(const EntryConfig& record) {
  recordDel(record.key());
  if (freeSlots_.empty()) {
    throw std::runtime_error(store_->file.path() + ": no room for another record");
  }
  U32 slot = freeSlots_.back();
  freeSlots_.pop_back();
  Record filled{record.key(),
                record.opId(),
                record.sdkEntryHandle(),
                record.priority(),
                record.kind(),
                recordUsed,
                0,
                0};
  filled.checksum = checksumOf(filled);
  filled.used = 0;
  store_->records()[slot] = filled;
  store_->usedIs(slot, recordUsed);
  index_.emplace(record.key(), slot);
  ++version_;
}

std::optional<EntryConfig> EntryConfigMap::record(const EntryKey& key) const {
  auto it = index_.find(key);
  if (it == index_.end() || !intact(store_->records()[it->second])) return std::nullopt;
  const Record& stored = store_->records()[it->second];
  return configOf(stored);
}

void EntryConfigMap::recordDel(const EntryKey& key) {
  auto it = index_.find(key);
  if (it == index_.end()) return;
  store_->usedIs(it->second, 0);
  freeSlots_.push_back(it->second);
  index_.erase(it);
  ++version_;
}

}  // namespace Vrell
