#include "PacketProbes.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

namespace TcAgentTesting {

using TcAgent::KeyBytes;
using TcAgent::Policy;
using TcAgent::PolicyEntry;

std::optional<U8> classOf(const Policy& policy, const KeyBytes& packet) {
  const PolicyEntry* best = nullptr;
  for (const PolicyEntry& entry : policy.entries) {
    bool matches = true;
    for (std::size_t field = 0; field < packet.size(); ++field)
      matches = matches && (packet[field] & entry.key.mask[field]) == entry.key.value[field];
    if (matches && (!best || entry.key.priority < best->key.priority)) best = &entry;
  }
  if (best) return best->action.tc;
  if (policy.defaultAction) return policy.defaultAction->tc;
  return std::nullopt;
}

std::vector<KeyBytes> probesOf(const Policy& before, const Policy& after, std::mt19937& random) {
  std::vector<KeyBytes> probes;
  for (const Policy* policy : {&before, &after}) {
    for (const PolicyEntry& entry : policy->entries) {
      KeyBytes low = entry.key.value;
      KeyBytes high = entry.key.value;
      for (std::size_t field = 0; field < high.size(); ++field)
        high[field] |= static_cast<U8>(~entry.key.mask[field]);
      probes.push_back(low);
      probes.push_back(high);
    }
  }
  std::uniform_int_distribution<int> byte(0, 255);
  for (int count = 0; count < 16; ++count) {
    KeyBytes packet{};
    for (U8& field : packet)
      field = static_cast<U8>(byte(random));
    probes.push_back(packet);
  }
  return probes;
}

::testing::AssertionResult everyProbeGetsTheOldOrTheNewClass(const SimChip::TernaryTable& chip,
                                                             const Policy& before,
                                                             const Policy& after,
                                                             const std::vector<KeyBytes>& probes) {
  for (const KeyBytes& probe : probes) {
    SimChip::Classification result = chip.classify(probe);
    std::optional<U8> given;
    if (result.action) given = result.action->tc;
    const std::optional<U8> old = classOf(before, probe), wanted = classOf(after, probe);
    if (given != old && given != wanted) {
      auto text = [](std::optional<U8> tc) { return tc ? fmt::format("tc={}", *tc) : "none"; };
      return ::testing::AssertionFailure()
             << "packet " << fmt::format("{}", fmt::join(probe, ".")) << " got " << text(given)
             << ", the old policy gives " << text(old) << " and the new " << text(wanted);
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace TcAgentTesting
