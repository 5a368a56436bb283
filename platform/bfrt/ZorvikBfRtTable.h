// The agent's BF Runtime table class: a BF Runtime table whose entries are programmed, removed
// and read back by their driver handles.
#pragma once

#include "platform/bfrt/BfRtTable.h"

namespace bfrt {

class ZorvikBfRtTable : public BfRtTable {
 public:
  virtual bf_status_t tableEntryAdd(const BfRtSession& session, const bf_rt_target_t& target,
                                    const BfRtTableKey& key, const BfRtTableData& data,
                                    bf_rt_handle_t* entryHandle) const = 0;
  virtual bf_status_t tableEntryMod(const BfRtSession& session, const bf_rt_target_t& target,
                                    const U64& flags, const bf_rt_handle_t& entryHandle,
                                    const BfRtTableData& data) const = 0;
  virtual bf_status_t tableDefaultEntrySet(const BfRtSession& session, const bf_rt_target_t& target,
                                           const U64& flags, const BfRtTableData& data,
                                           bf_rt_handle_t* entryHandle) const = 0;
  virtual bf_status_t tableEntryDel(const BfRtSession& session, const bf_rt_target_t& target,
                                    const bf_rt_handle_t& entryHandle) const = 0;
  virtual bf_status_t tableDefaultEntryReset(const BfRtSession& session,
                                             const bf_rt_target_t& target) const = 0;
  virtual bf_status_t tableEntryGet(const BfRtSession& session, const bf_rt_target_t& target,
                                    const U64& flags, const bf_rt_handle_t& entryHandle,
                                    BfRtTableKey* key, BfRtTableData* data) const = 0;
  // Tells the table the target of the calls to come.
  virtual bf_status_t targetSet(const bf_rt_target_t& target) = 0;
};

}  // namespace bfrt

namespace BfRt {
using BfRtTablePtr = bfrt::ZorvikBfRtTable*;
}
