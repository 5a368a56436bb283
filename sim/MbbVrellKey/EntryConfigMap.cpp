#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>
#include <tuple>

#include "platform/Kiv/Exception.h"
#include "platform/MbbVrellKey/Vrell.h"
#include "sim/MbbVrellKey/StoreLayout.h"
#include "sim/support/MappedFile.h"
#include "sim/support/OrderedMap.h"

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

namespace {

// A key in two 32-bit halves, so that an item of the index (a key and its slot) takes 12 bytes
// instead of the 16 that a 64-bit key's alignment makes of it.
struct IndexKey {
  U32 high = 0;
  U32 low = 0;

  IndexKey() noexcept = default;
  IndexKey(EntryKey key) noexcept : high(static_cast<U32>(key >> 32)), low(static_cast<U32>(key)) {}
  friend auto operator<=>(const IndexKey&, const IndexKey&) = default;  // the keys' order
};

using IndexItem = SimSupport::OrderedMap<IndexKey, U32>::Item;
static_assert(sizeof(IndexItem) == 12);

// Sorts the records' keys and slots by key, and by slot within a key: a store whose records were
// written in key order is sorted already. Keeps the first slot of each key and moves the slots
// that repeat its key into `repeats`.
void sortKeepingFirstOfEachKey(std::vector<IndexItem>& items, std::vector<U32>& repeats) {
  auto bySlotWithinKey = [](const IndexItem& left, const IndexItem& right) {
    return std::tie(left.key, left.value) < std::tie(right.key, right.value);
  };
  if (!std::is_sorted(items.begin(), items.end(), bySlotWithinKey)) {
    std::sort(items.begin(), items.end(), bySlotWithinKey);
  }
  std::size_t kept = 0;
  for (const IndexItem& item : items) {
    if (kept > 0 && items[kept - 1].key == item.key) {
      repeats.push_back(item.value);
    } else {
      items[kept++] = item;
    }
  }
  items.resize(kept);
}

}  // namespace

// The store's file, with room for at least the records it was opened for.
struct EntryConfigMap::Store {
  Store(const std::string& path, U32 capacity)
      : file(path, format.kind(), format.fileBytes(capacity), freshOf(capacity)) {
    validate();
    file.blocksReserve();
    if (this->capacity() < capacity) {
      grow(capacity);
    } else if (this->capacity() > capacity && holdsNoRecord()) {
      // The store of a chip made again smaller, which would map records it can never use. A
      // store left larger (a full disk has no room for the smaller one) serves as well.
      try {
        file.replace(format.fileBytes(capacity), freshOf(capacity));
      } catch (const std::runtime_error&) {
      }
    }
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

  // What writes a store of `capacity` records, none of them used.
  static SimSupport::MappedFile::Writer freshOf(U32 capacity) {
    return [capacity](void* data, std::size_t) { writeFresh(data, capacity); };
  }

  bool holdsNoRecord() const noexcept {
    return std::all_of(records(), records() + capacity(),
                       [](const Record& record) { return record.used == 0; });
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

struct EntryConfigMap::Index : SimSupport::OrderedMap<IndexKey, U32> {
  using OrderedMap::OrderedMap;
};

EntryConfigMap::EntryConfigMap(const std::string& stateDirectory, U32 device,
                               const std::string& table, U32 capacity)
    : store_(std::make_unique<Store>(
          stateDirectory + "/keys-dev" + std::to_string(device) + "-" + table + ".state",
          checkedCapacity(capacity))) {
  // Records are indexed by the key they hold; one that is damaged is found out when a lookup
  // reaches it, and one that repeats a key or has no valid state is damaged already.
  std::vector<IndexItem> indexed;
  indexed.reserve(store_->capacity());
  unusedFrom_ = store_->capacity();
  while (unusedFrom_ > 0 && store_->records()[unusedFrom_ - 1].used == 0)
    --unusedFrom_;
  for (U32 slot = 0; slot < store_->capacity(); ++slot) {
    const Record& record = store_->records()[slot];
    if (record.used == 0) {
      if (slot < unusedFrom_) freeSlots_.push_back(slot);
    } else if (record.used != recordUsed) {
      damagedSlots_.push_back(slot);
    } else {
      indexed.push_back({record.key, slot});
    }
  }
  // The lowest free slot is taken first, so that records written in key order lie in slot order.
  std::reverse(freeSlots_.begin(), freeSlots_.end());
  sortKeepingFirstOfEachKey(indexed, damagedSlots_);
  std::sort(damagedSlots_.begin(), damagedSlots_.end());
  index_ = std::make_unique<Index>(indexed);
}

EntryConfigMap::~EntryConfigMap() = default;

bool EntryConfigMap::firstRecord(EntryConfig* record, IterHint& hint) const {
  return recordAt(index_->first(), record, hint);
}

bool EntryConfigMap::nextRecord(const EntryKey& key, EntryConfig* record, IterHint& hint) const {
  bool hintHolds =
      hint.map_ == this && hint.mapVersion_ == version_ && index_->at(hint.position_).key == key;
  return recordAt(hintHolds ? index_->next(hint.position_) : index_->after(key), record, hint);
}

bool EntryConfigMap::recordAt(std::optional<U64> position, EntryConfig* record,
                              IterHint& hint) const {
  auto corruption = [this](U32 slot) {
    return Kiv::CorruptionDetectedException(
        Kiv::_fmt("%s: record %u is damaged", store_->file.path().c_str(), slot));
  };
  if (!damagedSlots_.empty()) throw corruption(damagedSlots_.front());
  if (!position) return false;
  const U32 slot = index_->at(*position).value;
  const Record& stored = store_->records()[slot];
  if (!intact(stored)) {
    damagedSlots_.push_back(slot);
    throw corruption(slot);
  }
  *record = configOf(stored);
  hint.map_ = this;
  hint.mapVersion_ = version_;
  hint.position_ = *position;
  return true;
}

void EntryConfigMap::doCorruptionDetected(const Kiv::String& message) {
  messages_.push_back(message);
  index_->eraseIf([this](const IndexItem& item) { return !intact(store_->records()[item.value]); });
  // Every record in use that the index does not hold is damaged or repeats a key: dropped.
  for (U32 slot = 0; slot < store_->capacity(); ++slot) {
    const Record& record = store_->records()[slot];
    if (record.used == 0) continue;
    const U32* indexed = index_->find(record.key);
    if (indexed && *indexed == slot) continue;
    store_->usedIs(slot, 0);
    freeSlots_.push_back(slot);
    ++damagedRecordsDropped_;
  }
  damagedSlots_.clear();
  ++version_;
}

void EntryConfigMap::recordIs(const EntryConfig& record) {
  recordDel(record.key());
  const std::optional<U32> free = freeSlotTaken();
  if (!free) throw std::runtime_error(store_->file.path() + ": no room for another record");
  const U32 slot = *free;
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
  index_->insert(record.key(), slot);
  ++version_;
}

std::optional<U32> EntryConfigMap::freeSlotTaken() noexcept {
  if (!freeSlots_.empty()) {
    const U32 slot = freeSlots_.back();
    freeSlots_.pop_back();
    return slot;
  }
  if (unusedFrom_ < store_->capacity()) return unusedFrom_++;
  return std::nullopt;
}

std::optional<EntryConfig> EntryConfigMap::record(const EntryKey& key) const {
  const U32* slot = index_->find(key);
  if (!slot || !intact(store_->records()[*slot])) return std::nullopt;
  return configOf(store_->records()[*slot]);
}

void EntryConfigMap::recordDel(const EntryKey& key) {
  U32 slot;
  if (!index_->erase(key, &slot)) return;
  store_->usedIs(slot, 0);
  freeSlots_.push_back(slot);
  ++version_;
}

U32 EntryConfigMap::records() const noexcept {
  return static_cast<U32>(index_->size());
}

}  // namespace Vrell
