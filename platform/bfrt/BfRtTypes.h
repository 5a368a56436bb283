// The basic types of the driver's BF Runtime API: statuses, ids, handles and the device target.
#pragma once

#include <cstdint>

#include "platform/Kiv/Types.h"

namespace bfrt {

// Every call returns a status; 0 is success.
using bf_status_t = std::int32_t;
using bf_rt_id_t = U32;
using bf_rt_handle_t = U32;
using bf_dev_id_t = U32;
using bf_dev_pipe_t = U32;

inline constexpr bf_dev_pipe_t BF_DEV_PIPE_ALL = 0xFFFF;

enum bf_dev_direction_t : U32 {
  BF_DEV_DIR_INGRESS = 0,
  BF_DEV_DIR_EGRESS = 1,
  BF_DEV_DIR_ALL = 0xFF,
};

// Where a call applies: a device, a pipe (BF_DEV_PIPE_ALL: all), a direction and a parser.
struct bf_rt_target_t {
  bf_dev_id_t dev_id = 0;
  bf_dev_pipe_t pipe_id = 0;
  bf_dev_direction_t direction = BF_DEV_DIR_ALL;
  U8 prsr_id = 0xFF;
};

// Bits of the 64-bit flags word of the table operations.
namespace BfRtEntryFlag {
inline constexpr U64 readFromHw = 0x01;
inline constexpr U64 incrementalDelete = 0x02;
inline constexpr U64 skipTtlReset = 0x04;
inline constexpr U64 skipStatsReset = 0x08;
inline constexpr U64 idleTimeSimple = 0x10;
inline constexpr U64 ignoreNotFound = 0x20;
}  // namespace BfRtEntryFlag

}  // namespace bfrt
