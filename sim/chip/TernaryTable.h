// The software model of the chip's ingressTrafficClass table: ternary entries of eight value
// and mask pairs at a priority, each with an action that gives a traffic class and a queue, and
// a default action. Its state lives in a file of the state directory, mapped into memory, so
// that it outlives the process as the chip outlives an agent restart.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "platform/Kiv/Types.h"
#include "sim/chip/ChipStatus.h"
#include "sim/chip/FreeSlots.h"
#include "sim/chip/StateLayout.h"
#include "sim/support/FlatTable.h"
#include "sim/support/MappedFile.h"

namespace SimChip {

inline constexpr std::size_t keyFieldCount = 8;

// Key fields in the order of the driver's match record: trust mode, default class of service,
// class of service, DSCP, high-priority flag, decapsulation type, CPU trust mode, CPU traffic
// class.
using KeyFields = std::array<U8, keyFieldCount>;

struct Key {
  KeyFields value{};
  KeyFields mask{};
};

struct Action {
  U8 tc = 0;
  U8 qid = 0;
};

struct Entry {
  U32 handle = 0;
  Key key;
  U32 priority = 0;
  Action action;
};

// What the table does with a packet: the entry that applies, or the default action.
struct Classification {
  bool hit = false;  // an entry applies
  U32 handle = 0;    // of that entry, else of the default entry if one is set
  U32 priority = 0;
  std::optional<Action> action;  // none when no entry applies and no default action is set
};

class TernaryTable {
 public:
  static constexpr U32 defaultCapacity = 512;
  static constexpr U32 maxCapacity = StateLayout::maxCapacity;
  // The device's pipes, 0 to 3.
  static constexpr U16 pipes = 4;

  // Attaches the state of `device` in `directory`, making it with `capacityIfNew` entries if
  // there is none. Raises std::runtime_error for a state file that another process holds, or
  // that is damaged or of another device, saying which file to remove.
  TernaryTable(const std::string& directory, U32 device, U32 capacityIfNew);
  ~TernaryTable();
  TernaryTable(const TernaryTable&) = delete;
  TernaryTable& operator=(const TernaryTable&) = delete;

  static std::string statePath(const std::string& directory, U32 device);

  U32 device() const noexcept;
  U32 capacity() const noexcept;
  // Makes the table's state again with room for `capacity` entries, in one step, if the table
  // holds no entry and no default action, so that nothing is lost; false if it holds one.
  bool remakeIfEmpty(U32 capacity);
  // Neither an entry nor a default action.
  bool holdsNothing() const noexcept;
  // Whether this attachment made the table's state, there being none to attach.
  bool madeAfresh() const noexcept { return file_.madeHere(); }
  U32 entryCount() const noexcept { return static_cast<U32>(keys_.size()); }
  // How many times this attachment changed the table's entries or default action.
  U64 changes() const noexcept { return changes_; }

  // Adds an entry: 4 for a key and priority already present, 9 when the table is full.
  Status add(const Key& key, U32 priority, Action action, U32* handle);
  // Changes an entry's action: 6 for a handle that names no entry.
  Status modify(U32 handle, Action action);
  // Removes an entry; its handle then names nothing, ever again.
  Status remove(U32 handle);
  // Reads an entry, or the default entry by its handle.
  Status entry(U32 handle, Entry* entry) const;

  // Sets the default action; the default entry keeps its handle until it is reset.
  Status defaultActionIs(Action action, U32* handle);
  Status defaultActionReset();
  std::optional<Action> defaultAction() const noexcept;
  // The default entry's handle while a default action is set, else 0.
  U32 defaultHandle() const noexcept;

  // The entry-scope property: 0 all pipelines, 1 a single pipeline, 2 user-defined groups. It
  // changes only while the table holds no entry and no default action.
  Status entryScopeIs(U32 scope);
  U32 entryScope() const noexcept;
  // The model holds the table of one pipe: of a single-pipe scope, the pipe whose entry or
  // default action the empty table took first, until it is empty again. The drivers target it
  // before they add or set the default; 3 for another pipe while the table holds one's.
  Status pipeTargeted(U16 pipe);
  std::optional<U16> pipeHeld() const noexcept;

  Classification classify(const KeyFields& packet) const;

  // The entries by handle, in the table's order: the first, and the one after a handle; 0 at
  // the end.
  U32 firstHandle() const noexcept;
  U32 nextHandle(U32 handle) const noexcept;

 private:
  using Header = StateLayout::Header;
  using Slot = StateLayout::Slot;
  struct KeyId {
    U64 maskedValues;
    U64 masks;
    U32 priority;
    bool operator==(const KeyId&) const = default;
  };
  // An entry in the key index: the hash of its key, and its slot's index plus one (0: none). The
  // key itself is read from the slot.
  struct IndexedKey {
    U32 hash = 0;
    U32 slotNumber = 0;
  };
  struct IndexedKeyTraits {
    static bool isFree(const IndexedKey& indexed) noexcept { return indexed.slotNumber == 0; }
    static U32 hashOf(const IndexedKey& indexed) noexcept { return indexed.hash; }
  };

  static void writeFresh(void* data, U32 device, U32 capacity) noexcept;
  void validateHeader(U32 device) const;
  void index();
  static KeyId keyId(const Key& key, U32 priority) noexcept;
  KeyId keyIdAt(U32 index) const noexcept;
  static U32 hashOf(const KeyId& id) noexcept;
  // The index's entry of the slot that holds `id`, or null.
  IndexedKey* indexedKey(const KeyId& id, U32 hash) const noexcept;
  U32 handleOf(U32 index, U32 generation) const noexcept;
  // The slot index of a handle, or the capacity when the handle cannot name a slot.
  U32 indexOf(U32 handle) const noexcept;
  U32 generationOf(U32 handle) const noexcept { return handle >> indexBits_; }
  const Slot* usedSlot(U32 handle) const noexcept;
  U32 scanFrom(U32 index) const noexcept;

  SimSupport::MappedFile file_;
  Header* header_;
  Slot* slots_;
  unsigned indexBits_ = 0;
  U32 maxGeneration_ = 0;
  SimSupport::FlatTable<IndexedKey, IndexedKeyTraits> keys_;  // of every entry, with room for all
  FreeSlots freeSlots_;
  U64 changes_ = 0;
};

}  // namespace SimChip
