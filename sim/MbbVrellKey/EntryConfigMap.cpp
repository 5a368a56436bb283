#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>

#include "platform/Kiv/Exception.h"
#include "platform/MbbVrellKey/Vrell.h"
#include "sim/support/MappedFile.h"

namespace Vrell {

namespace {

constexpr char storeMagic[8] = {'T', 'C', 'K', 'E', 'Y', 'S', '0', '1'};
constexpr U32 storeVersion = 1;

struct StoreHeader {
  char magic[8];
  U32 version;
  U32 headerBytes;
  U32 recordBytes;
  U32 capacity;
  U64 reserved;
};

// A record is written with its checksum while unused, then put in use by one 2-byte store, so
// that a process killed while writing leaves no half-written record in use. The checksum covers
// the record as it is in use.
struct StoredRecord {
  U64 key;
  U32 opId;
  U32 sdkEntryHandle;
  U32 priority;
  U16 kind;
  U16 used;
  U32 checksum;
  U32 reserved;
};

constexpr U16 recordUsed = 1;

// FNV-1a over the fields before the checksum.
U32 checksumOf(const StoredRecord& record) noexcept {
  U8 bytes[offsetof(StoredRecord, checksum)];
  std::memcpy(bytes, &record, sizeof bytes);
  U32 hash = 2166136261u;
  for (U8 byte : bytes)
    hash = (hash ^ byte) * 16777619u;
  return hash;
}

bool intact(const StoredRecord& record) noexcept {
  return record.used == recordUsed && record.kind <= EntryKind::defaultEntry &&
         record.checksum == checksumOf(record);
}

EntryConfig configOf(const StoredRecord& stored) noexcept {
  return EntryConfig(stored.key, stored.opId, stored.sdkEntryHandle, stored.kind, stored.priority);
}

}  // namespace

struct EntryConfigMap::Store {
  Store(const std::string& path, U32 capacity)
      : file(path, sizeof(StoreHeader) + std::size_t{capacity} * sizeof(StoredRecord)),
        header(static_cast<StoreHeader*>(file.data())),
        records(reinterpret_cast<StoredRecord*>(header + 1)) {}

  U32 capacity() const noexcept { return header->capacity; }
  void usedIs(U32 slot, U16 used) noexcept {
    std::atomic_ref<U16>(records[slot].used).store(used, std::memory_order_release);
  }

  SimSupport::MappedFile file;
  StoreHeader* header;
  StoredRecord* records;
};

EntryConfigMap::EntryConfigMap(const std::string& stateDirectory, U32 device,
                               const std::string& table, U32 capacity)
    : store_(std::make_unique<Store>(
          stateDirectory + "/keys-dev" + std::to_string(device) + "-" + table + ".state",
          capacity)) {
  StoreHeader& header = *store_->header;
  const std::string& path = store_->file.path();
  if (std::all_of(std::begin(header.magic), std::end(header.magic), [](char c) { return !c; })) {
    if (store_->file.size() < sizeof(StoreHeader) + std::size_t{capacity} * sizeof(StoredRecord)) {
      throw std::runtime_error(path + ": incomplete key store; remove it to start afresh");
    }
    header.version = storeVersion;
    header.headerBytes = sizeof(StoreHeader);
    header.recordBytes = sizeof(StoredRecord);
    header.capacity = capacity;
    std::memset(static_cast<void*>(store_->records), 0,
                std::size_t{capacity} * sizeof(StoredRecord));
    std::atomic_thread_fence(std::memory_order_release);
    std::memcpy(header.magic, storeMagic, sizeof storeMagic);
  }
  if (std::memcmp(header.magic, storeMagic, sizeof storeMagic) != 0 ||
      header.version != storeVersion || header.headerBytes != sizeof(StoreHeader) ||
      header.recordBytes != sizeof(StoredRecord) ||
      store_->file.size() <
          sizeof(StoreHeader) + std::size_t{header.capacity} * sizeof(StoredRecord)) {
    throw std::runtime_error(path + ": not a key store of this version");
  }
  // Records are indexed by the key they hold; one that is damaged is found out when a lookup
  // reaches it, and one that repeats a key or has no valid state is damaged already.
  for (U32 slot = 0; slot < header.capacity; ++slot) {
    const StoredRecord& record = store_->records[slot];
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
  const StoredRecord& stored = store_->records[position->second];
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
  std::erase_if(index_, [this](const auto& item) { return !intact(store_->records[item.second]); });
  // Every record in use that the index does not hold is damaged or repeats a key: dropped.
  for (U32 slot = 0; slot < store_->capacity(); ++slot) {
    const StoredRecord& record = store_->records[slot];
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
  StoredRecord filled{record.key(),
                      record.opId(),
                      record.sdkEntryHandle(),
                      record.priority(),
                      record.kind(),
                      recordUsed,
                      0,
                      0};
  filled.checksum = checksumOf(filled);
  filled.used = 0;
  store_->records[slot] = filled;
  store_->usedIs(slot, recordUsed);
  index_.emplace(record.key(), slot);
  ++version_;
}

std::optional<EntryConfig> EntryConfigMap::record(const EntryKey& key) const {
  auto it = index_.find(key);
  if (it == index_.end() || !intact(store_->records[it->second])) return std::nullopt;
  const StoredRecord& stored = store_->records[it->second];
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
