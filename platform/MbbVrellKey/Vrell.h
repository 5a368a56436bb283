// The key manager's keys and persisted entry records.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Kiv/Ptr.h"
#include "platform/Kiv/String.h"
#include "platform/Kiv/Types.h"

namespace Vrell {

// The key of one entry; keys compare as unsigned numbers.
typedef U64 EntryKey;
// An operation id kept in a record.
typedef U32 OpId;

// What a record says of its entry.
namespace EntryKind {
inline constexpr U16 entry = 0;
inline constexpr U16 defaultEntry = 1;
}  // namespace EntryKind

// One persisted record: an entry's key and the driver's handle of the entry.
class EntryConfig {
 public:
  EntryConfig(EntryKey key, OpId opId, U32 sdkEntryHandle, U16 kind, U32 priority) noexcept
      : key_(key), opId_(opId), sdkEntryHandle_(sdkEntryHandle), kind_(kind), priority_(priority) {}

  EntryKey key() const noexcept { return key_; }
  OpId opId() const noexcept { return opId_; }
  U32 sdkEntryHandle() const noexcept { return sdkEntryHandle_; }
  U16 kind() const noexcept { return kind_; }
  U32 priority() const noexcept { return priority_; }

 private:
  EntryKey key_;
  OpId opId_;
  U32 sdkEntryHandle_;
  U16 kind_;
  U32 priority_;
};

class EntryConfigMap;

// Where a walk through a record map is, so that the next record is found in constant time
// while the map does not change.
class IterHint {
 public:
  IterHint() noexcept = default;

 private:
  friend class EntryConfigMap;
  const EntryConfigMap* map_ = nullptr;
  U64 mapVersion_ = 0;
  U64 position_ = 0;  // of the record last found, in the map's index
};

// The persisted records of one table, in a file of the state directory, in key order. Each
// record is checksummed; a lookup that meets a damaged record raises
// Kiv::CorruptionDetectedException.
class EntryConfigMap {
 public:
  // Opens the records of `table` on `device` with room for at least `capacity` records: makes
  // the store if there is none, and grows one with less room, keeping every record. Raises
  // std::runtime_error for a store that cannot be used, saying which file to remove.
  EntryConfigMap(const std::string& stateDirectory, U32 device, const std::string& table,
                 U32 capacity);
  ~EntryConfigMap();
  EntryConfigMap(const EntryConfigMap&) = delete;
  EntryConfigMap& operator=(const EntryConfigMap&) = delete;

  // The record of the smallest key, or of the smallest key after `key`, into *record; false
  // when there is none.
  bool firstRecord(EntryConfig* record, IterHint& hint) const;
  bool nextRecord(const EntryKey& key, EntryConfig* record, IterHint& hint) const;

  // Sets the store right after a lookup reported corruption: drops every damaged record and
  // keeps the message.
  void doCorruptionDetected(const Kiv::String& message);
  const std::vector<Kiv::String>& corruptionMessages() const noexcept { return messages_; }
  // The damaged records dropped since the store was opened.
  U32 damagedRecordsDropped() const noexcept { return damagedRecordsDropped_; }

  // Writes the record of its key, replacing the one there was; raises std::runtime_error when
  // the store is full.
  void recordIs(const EntryConfig& record);
  void recordDel(const EntryKey& key);
  // The intact record of `key`, if there is one.
  std::optional<EntryConfig> record(const EntryKey& key) const;
  U32 records() const noexcept;

 private:
  struct Store;
  struct Index;
  bool recordAt(std::optional<U64> position, EntryConfig* record, IterHint& hint) const;
  std::optional<U32> freeSlotTaken() noexcept;

  std::unique_ptr<Store> store_;
  std::unique_ptr<Index> index_;  // key: slot, in key order
  // The free slots: those given back and those before `unusedFrom_` when the store was opened,
  // the lowest last, then from `unusedFrom_` on, the slots after the last one then in use.
  std::vector<U32> freeSlots_;
  U32 unusedFrom_ = 0;
  mutable std::vector<U32> damagedSlots_;
  std::vector<Kiv::String> messages_;
  U32 damagedRecordsDropped_ = 0;
  U64 version_ = 1;
};

// A table's configuration in the key manager: its persisted records.
class TableConfig : public Kiv::PtrInterface {
 public:
  using Ptr = Kiv::Ptr<TableConfig>;

  explicit TableConfig(std::unique_ptr<EntryConfigMap> records) noexcept
      : records_(std::move(records)) {}
  EntryConfigMap& entryConfigMap() const noexcept { return *records_; }

 private:
  std::unique_ptr<EntryConfigMap> records_;
};

}  // namespace Vrell
