#include "sim/chip/TernaryTable.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace SimChip {

using namespace StateLayout;

namespace {

constexpr U32 noIndex = std::numeric_limits<U32>::max();
static_assert(sizeof(Slot::value) == keyFieldCount && sizeof(Slot::mask) == keyFieldCount);

template <class T>
void publish(T& field, T value) noexcept {
  std::atomic_ref<T>(field).store(value, std::memory_order_release);
}

U32 packAction(Action action) noexcept {
  return action.tc | (U32{action.qid} << 8);
}
Action unpackAction(U64 packed) noexcept {
  return {static_cast<U8>(packed), static_cast<U8>(packed >> 8)};
}
U64 readAll(const U8 (&bytes)[keyFieldCount]) noexcept {
  U64 all;
  std::memcpy(&all, bytes, sizeof all);
  return all;
}

U32 checkedCapacity(U32 capacity) {
  if (capacity == 0 || capacity > TernaryTable::maxCapacity) {
    throw std::invalid_argument("chip capacity must be from 1 to " +
                                std::to_string(TernaryTable::maxCapacity));
  }
  return capacity;
}

}  // namespace

U32 TernaryTable::hashOf(const KeyId& id) noexcept {
  U64 mixed = (id.maskedValues * 0x9E3779B97F4A7C15ull) ^ (id.masks + 0x632BE59BD9B4E019ull) ^
              (U64{id.priority} << 17);
  return SimSupport::hash32(mixed ^ (mixed >> 29));
}

TernaryTable::TernaryTable(const std::string& directory, U32 device, U32 capacityIfNew)
    : file_(statePath(directory, device), format.kind(),
            format.fileBytes(checkedCapacity(capacityIfNew)),
            [=](void* data, std::size_t) { writeFresh(data, device, capacityIfNew); }),
      header_(static_cast<Header*>(file_.data())),
      slots_(reinterpret_cast<Slot*>(header_ + 1)) {
  validateHeader(device);
  index();
  file_.blocksReserve();
}

TernaryTable::~TernaryTable() = default;

std::string TernaryTable::statePath(const std::string& directory, U32 device) {
  return directory + "/chip-dev" + std::to_string(device) + ".state";
}

U32 TernaryTable::device() const noexcept {
  return header_->device;
}
U32 TernaryTable::capacity() const noexcept {
  return header_->file.capacity;
}
U32 TernaryTable::entryScope() const noexcept {
  return header_->entryScope;
}

bool TernaryTable::holdsNothing() const noexcept {
  return entryCount() == 0 && !defaultAction();
}

bool TernaryTable::remakeIfEmpty(U32 capacity) {
  if (!holdsNothing()) return false;
  const U32 device = header_->device;
  file_.replace(format.fileBytes(checkedCapacity(capacity)),
                [=](void* data, std::size_t) { writeFresh(data, device, capacity); });
  header_ = static_cast<Header*>(file_.data());
  slots_ = reinterpret_cast<Slot*>(header_ + 1);
  index();
  return true;
}

void TernaryTable::writeFresh(void* data, U32 device, U32 capacity) noexcept {
  auto& header = *static_cast<Header*>(data);
  header.file = format.header(capacity);
  header.device = device;
  // The default entry's handle: generation 0 of the slot number after the last slot's.
  header.defaultWord = U64{capacity} + 1;
}

void TernaryTable::validateHeader(U32 device) const {
  format.validHeader(file_);
  const Header& header = *header_;
  const U32 capacity = header.file.capacity;
  if (header.device != device) {
    file_.refuseAsDamaged("holds the state of device " + std::to_string(header.device));
  }
  if (header.entryScope > 1) {
    file_.refuseAsDamaged("entry scope " + std::to_string(header.entryScope));
  }
  if (header.pipeTaken > pipes) {
    file_.refuseAsDamaged("pipe " + std::to_string(header.pipeTaken - 1));
  }
  if (header.nextSequence >= sequenceLimit) {
    file_.refuseAsDamaged("sequence " + std::to_string(header.nextSequence));
  }
  const U32 defaultHandle = static_cast<U32>(header.defaultWord);
  const U32 slotNumberMask = (U32{1} << indexBits(capacity)) - 1;
  if ((defaultHandle & slotNumberMask) != capacity + 1 || (header.defaultWord >> 49) != 0) {
    file_.refuseAsDamaged("default entry");
  }
}

// Checks every slot, and indexes the entries by key and the free slots.
void TernaryTable::index() {
  const U32 capacity = header_->file.capacity;
  indexBits_ = indexBits(capacity);
  maxGeneration_ = static_cast<U32>((U64{1} << (32 - indexBits_)) - 1);
  auto damagedSlot = [this](U32 index, const char* what) {
    file_.refuseAsDamaged("slot " + std::to_string(index) + " " + what);
  };
  keys_.reserve(capacity);
  freeSlots_ = FreeSlots(capacity);
  U32 freeFrom = capacity;  // where the free slots at the end begin
  while (freeFrom > 0 && (slots_[freeFrom - 1].state & slotStateBits) == slotFree)
    --freeFrom;
  for (U32 index = 0; index < capacity; ++index) {
    const Slot& slot = slots_[index];
    U64 state = slot.state & slotStateBits;
    if ((slot.state & 0xFFFFFFFFull & ~slotStateBits) != 0 || state > slotRetired ||
        (slot.state >> 32) > maxGeneration_) {
      damagedSlot(index, "state");
    }
    if (state == slotFree && index < freeFrom) freeSlots_.add(index);
    if (state != slotUsed) continue;
    if (slot.sequence >= header_->nextSequence || (slot.action >> 16) != 0) {
      damagedSlot(index, "data");
    }
    const KeyId id = keyIdAt(index);
    const U32 hash = hashOf(id);
    if (indexedKey(id, hash)) damagedSlot(index, "repeats the key of another entry");
    keys_.insert({hash, index + 1});
  }
  freeSlots_.unusedFromIs(freeFrom);
}

TernaryTable::KeyId TernaryTable::keyId(const Key& key, U32 priority) noexcept {
  U64 values, masks;
  std::memcpy(&values, key.value.data(), sizeof values);
  std::memcpy(&masks, key.mask.data(), sizeof masks);
  return {values & masks, masks, priority};
}

TernaryTable::KeyId TernaryTable::keyIdAt(U32 index) const noexcept {
  const Slot& slot = slots_[index];
  U64 masks = readAll(slot.mask);
  return {readAll(slot.value) & masks, masks, slot.priority};
}

TernaryTable::IndexedKey* TernaryTable::indexedKey(const KeyId& id, U32 hash) const noexcept {
  return keys_.find(hash, [this, &id, hash](const IndexedKey& indexed) {
    return indexed.hash == hash && keyIdAt(indexed.slotNumber - 1) == id;
  });
}

U32 TernaryTable::handleOf(U32 index, U32 generation) const noexcept {
  return (generation << indexBits_) | (index + 1);
}

U32 TernaryTable::indexOf(U32 handle) const noexcept {
  U32 slotNumber = handle & ((U32{1} << indexBits_) - 1);
  if (slotNumber == 0 || slotNumber > header_->file.capacity + 1) return noIndex;
  return slotNumber - 1;
}

const TernaryTable::Slot* TernaryTable::usedSlot(U32 handle) const noexcept {
  U32 index = indexOf(handle);
  if (index >= header_->file.capacity) return nullptr;
  const Slot& slot = slots_[index];
  bool current =
      (slot.state & slotStateBits) == slotUsed && (slot.state >> 32) == generationOf(handle);
  return current ? &slot : nullptr;
}

Status TernaryTable::add(const Key& key, U32 priority, Action action, U32* handle) {
  const KeyId id = keyId(key, priority);
  const U32 hash = hashOf(id);
  if (indexedKey(id, hash)) return StatusCode::alreadyExists;
  if (freeSlots_.empty()) return StatusCode::notEnoughSpace;
  U32 index = freeSlots_.nextTaken();
  // The index has room for every slot, so this allocates nothing.
  keys_.insert({hash, index + 1});
  Slot& slot = slots_[index];
  U32 generation = static_cast<U32>(slot.state >> 32);
  U64 sequence = header_->nextSequence;
  publish(header_->nextSequence, sequence + 1);
  slot.sequence = sequence;
  std::memcpy(slot.value, key.value.data(), keyFieldCount);
  std::memcpy(slot.mask, key.mask.data(), keyFieldCount);
  slot.priority = priority;
  slot.action = packAction(action);
  publish(slot.state, (U64{generation} << 32) | slotUsed);
  *handle = handleOf(index, generation);
  ++changes_;
  return StatusCode::success;
}

Status TernaryTable::modify(U32 handle, Action action) {
  const Slot* slot = usedSlot(handle);
  if (!slot) return StatusCode::objectNotFound;
  publish(const_cast<Slot*>(slot)->action, packAction(action));
  ++changes_;
  return StatusCode::success;
}

Status TernaryTable::remove(U32 handle) {
  Slot* slot = const_cast<Slot*>(usedSlot(handle));
  if (!slot) return StatusCode::objectNotFound;
  U32 index = indexOf(handle);
  keys_.erase(keys_.find(hashOf(keyIdAt(index)), [index](const IndexedKey& indexed) {
    return indexed.slotNumber == index + 1;
  }));
  U32 generation = generationOf(handle);
  // A slot whose generations are spent is retired, so that no handle ever names two entries.
  if (generation == maxGeneration_) {
    publish(slot->state, (U64{generation} << 32) | slotRetired);
  } else {
    publish(slot->state, (U64{generation + 1} << 32) | slotFree);
    freeSlots_.add(index);
  }
  ++changes_;
  return StatusCode::success;
}

Status TernaryTable::entry(U32 handle, Entry* entry) const {
  if (indexOf(handle) == header_->file.capacity) {
    U64 defaultWord = header_->defaultWord;
    if (!(defaultWord & defaultSetBit) || static_cast<U32>(defaultWord) != handle) {
      return StatusCode::objectNotFound;
    }
    *entry = Entry{handle, Key{}, 0, unpackAction(defaultWord >> 32)};
    return StatusCode::success;
  }
  const Slot* slot = usedSlot(handle);
  if (!slot) return StatusCode::objectNotFound;
  entry->handle = handle;
  std::memcpy(entry->key.value.data(), slot->value, keyFieldCount);
  std::memcpy(entry->key.mask.data(), slot->mask, keyFieldCount);
  entry->priority = slot->priority;
  entry->action = unpackAction(slot->action);
  return StatusCode::success;
}

Status TernaryTable::defaultActionIs(Action action, U32* handle) {
  U32 defaultHandle = static_cast<U32>(header_->defaultWord);
  publish(header_->defaultWord, defaultHandle | (U64{packAction(action)} << 32) | defaultSetBit);
  *handle = defaultHandle;
  ++changes_;
  return StatusCode::success;
}

Status TernaryTable::defaultActionReset() {
  U64 defaultWord = header_->defaultWord;
  if (!(defaultWord & defaultSetBit)) return StatusCode::success;
  U32 generation = generationOf(static_cast<U32>(defaultWord));
  publish(header_->defaultWord,
          U64{handleOf(header_->file.capacity, generation == maxGeneration_ ? 0 : generation + 1)});
  ++changes_;
  return StatusCode::success;
}

std::optional<Action> TernaryTable::defaultAction() const noexcept {
  U64 defaultWord = header_->defaultWord;
  if (!(defaultWord & defaultSetBit)) return std::nullopt;
  return unpackAction(defaultWord >> 32);
}

U32 TernaryTable::defaultHandle() const noexcept {
  U64 defaultWord = header_->defaultWord;
  return defaultWord & defaultSetBit ? static_cast<U32>(defaultWord) : 0;
}

Status TernaryTable::pipeTargeted(U16 pipe) {
  if (header_->entryScope != 1 || pipe == std::numeric_limits<U16>::max()) {
    return StatusCode::success;
  }
  std::optional<U16> held = pipeHeld();
  if (held && *held != pipe) return StatusCode::invalidArguments;
  publish(header_->pipeTaken, static_cast<U16>(pipe + 1));
  return StatusCode::success;
}

std::optional<U16> TernaryTable::pipeHeld() const noexcept {
  if (header_->entryScope != 1 || header_->pipeTaken == 0 || holdsNothing()) return std::nullopt;
  return static_cast<U16>(header_->pipeTaken - 1);
}

// All pipes (0) or a single pipe (1): the model keeps no pipe groups (2), and so never holds them.
Status TernaryTable::entryScopeIs(U32 scope) {
  if (scope == 2) return StatusCode::notSupported;
  if (scope > 2 || (scope != header_->entryScope && !holdsNothing())) {
    return StatusCode::invalidArguments;
  }
  // Stored only when it changes: a store dirties the page, and so the file's modified time.
  if (scope != header_->entryScope) publish(header_->entryScope, static_cast<U16>(scope));
  return StatusCode::success;
}

Classification TernaryTable::classify(const KeyFields& packet) const {
  U64 packetBits;
  std::memcpy(&packetBits, packet.data(), sizeof packetBits);
  const Slot* best = nullptr;
  for (U32 index = 0; index < header_->file.capacity; ++index) {
    const Slot& slot = slots_[index];
    if ((slot.state & slotStateBits) != slotUsed) continue;
    U64 mask = readAll(slot.mask);
    if ((packetBits & mask) != (readAll(slot.value) & mask)) continue;
    if (!best || slot.priority < best->priority ||
        (slot.priority == best->priority && slot.sequence < best->sequence)) {
      best = &slot;
    }
  }
  if (best) {
    U32 index = static_cast<U32>(best - slots_);
    return {true, handleOf(index, static_cast<U32>(best->state >> 32)), best->priority,
            unpackAction(best->action)};
  }
  return {false, defaultHandle(), 0, defaultAction()};
}

U32 TernaryTable::firstHandle() const noexcept {
  return scanFrom(0);
}

U32 TernaryTable::nextHandle(U32 handle) const noexcept {
  U32 index = indexOf(handle);
  return index < header_->file.capacity ? scanFrom(index + 1) : 0;
}

U32 TernaryTable::scanFrom(U32 index) const noexcept {
  for (; index < header_->file.capacity; ++index) {
    const Slot& slot = slots_[index];
    if ((slot.state & slotStateBits) == slotUsed) {
      return handleOf(index, static_cast<U32>(slot.state >> 32));
    }
  }
  return 0;
}

}  // namespace SimChip
