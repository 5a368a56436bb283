// Packets that tell two policies apart, and the class each policy gives them: for checking that
// a table on its way from one policy to the other gives every packet the old class or the new.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

#include "sim/chip/TernaryTable.h"
#include "tools/tcagent/Policy.h"

namespace TcAgentTesting {

// The class a policy gives a packet: its entry of the lowest priority value, else its default.
std::optional<U8> classOf(const TcAgent::Policy& policy, const TcAgent::KeyBytes& packet);

// Each entry's value with its masked-out bits all 0 and all 1, of both policies, and 16 random
// packets.
std::vector<TcAgent::KeyBytes> probesOf(const TcAgent::Policy& before, const TcAgent::Policy& after,
                                        std::mt19937& random);

// Whether the chip gives every probe the class that `before` or `after` gives it.
::testing::AssertionResult everyProbeGetsTheOldOrTheNewClass(
    const SimChip::TernaryTable& chip, const TcAgent::Policy& before, const TcAgent::Policy& after,
    const std::vector<TcAgent::KeyBytes>& probes);

}  // namespace TcAgentTesting
