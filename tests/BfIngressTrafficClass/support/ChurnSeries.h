// A reproducible series of table operations that a child agent runs and its parent checks:
// adds of new entries, and modifications and removals of live ones, with at most
// `churnMaxLive` entries programmed at once.
#pragma once

#include <map>
#include <random>
#include <utility>
#include <vector>

#include "support/Entries.h"

namespace BfIngressTrafficClass::Testing {

inline constexpr std::size_t churnMaxLive = 64;

struct ChurnStep {
  enum class Kind : U8 { add, modify, remove };
  Kind kind;
  U32 id;  // of the entry: step `id` adds it, with match numberedMatch(id)
  U8 tc;
  U8 qid;
};

inline std::vector<ChurnStep> churnSeries(U32 seed, U32 steps) {
  std::mt19937 random(seed);
  std::vector<ChurnStep> series;
  std::vector<U32> live;
  for (U32 id = 0; id < steps; ++id) {
    U32 choice = random() % 4;
    auto tc = static_cast<U8>(random() % 8), qid = static_cast<U8>(random() % 32);
    if (live.empty() || (choice < 2 && live.size() < churnMaxLive)) {
      series.push_back({ChurnStep::Kind::add, id, tc, qid});
      live.push_back(id);
      continue;
    }
    std::size_t at = random() % live.size();
    if (choice == 2) {
      series.push_back({ChurnStep::Kind::modify, live[at], tc, qid});
      continue;
    }
    series.push_back({ChurnStep::Kind::remove, live[at], 0, 0});
    live[at] = live.back();
    live.pop_back();
  }
  return series;
}

// The entries that the first `steps` steps leave programmed: id to (tc, qid).
inline std::map<U32, std::pair<U8, U8>> churnLive(const std::vector<ChurnStep>& series,
                                                  std::size_t steps) {
  std::map<U32, std::pair<U8, U8>> live;
  for (std::size_t index = 0; index < steps; ++index) {
    const ChurnStep& step = series[index];
    if (step.kind == ChurnStep::Kind::remove) {
      live.erase(step.id);
    } else {
      live[step.id] = {step.tc, step.qid};
    }
  }
  return live;
}

}  // namespace BfIngressTrafficClass::Testing
