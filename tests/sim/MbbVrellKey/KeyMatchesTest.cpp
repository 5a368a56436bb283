// The key manager's keys and matches against a model, through random assignments and erasures of
// dense and far keys, key 0, keys without a match and matches given a second key.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "sim/MbbVrellKey/KeyMatches.h"

namespace {

using MbbVrellKey::KeyMatches;
using Key = KeyMatches::Key;
using Match = BfIngressTrafficClass::IngressTrafficClassMatchSpec;

TEST(KeyMatchesTest, KeysAndMatchesFollowAModelThroughRandomChanges) {
  std::vector<Match::Ptr> matches;
  for (int made = 0; made < 300; ++made)
    matches.push_back(BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory());
  // Far keys, beyond the dense ones or never dense, and every key that may be held.
  const std::vector<Key> farKeys{0, (Key{1} << 22) - 1, Key{1} << 22, Key{1} << 40, ~Key{0}};
  std::vector<Key> candidates = farKeys;
  for (Key key = 1; key <= 20'000; ++key)
    candidates.push_back(key);

  // What the keys should hold: each key's match, and each match's key (the last it was given,
  // while that key still holds it).
  KeyMatches keys;
  std::map<Key, const Match*> held;
  std::map<const Match*, Key> keyOf;
  auto forget = [&](Key key) {
    auto found = held.find(key);
    if (found == held.end()) return;
    if (found->second && keyOf[found->second] == key) keyOf.erase(found->second);
    held.erase(found);
  };
  std::mt19937 random(7);
  for (int step = 0; step < 40'000; ++step) {
    if (step == 20'000) keys.reserve(5000);
    // Keys mostly near the top of those held, as they are handed out, some anywhere, a few far.
    const unsigned kind = random() % 16;
    const Key key = kind == 0   ? farKeys[random() % farKeys.size()]
                    : kind == 1 ? candidates[random() % candidates.size()]
                                : 1 + random() % (2 * held.size() + 8);
    forget(key);
    if (random() % 3 == 0) {
      keys.erase(key);
    } else {
      const Match* match = random() % 16 == 0 ? nullptr : matches[random() % matches.size()].ptr();
      keys.assign(key, Match::PtrConst(match));
      if (match) keyOf[match] = key;
      held[key] = match;
    }
    if (step % 500 != 0 && step <= 39'900) continue;
    SCOPED_TRACE(step);
    ASSERT_EQ(keys.size(), held.size());
    for (Key candidate : candidates) {
      auto found = held.find(candidate);
      ASSERT_EQ(keys.held(candidate), found != held.end()) << "key " << candidate;
      ASSERT_EQ(keys.match(candidate).ptr(), found != held.end() ? found->second : nullptr)
          << "key " << candidate;
    }
    for (const Match::Ptr& match : matches) {
      auto found = keyOf.find(match.ptr());
      ASSERT_EQ(keys.key(match.ptr()), found != keyOf.end() ? found->second : 0) << match.ptr();
    }
  }
  // Each match stays referenced while a key holds it, and no longer.
  for (const auto& [key, match] : held)
    keys.erase(key);
  for (const Match::Ptr& match : matches)
    EXPECT_EQ(match->references(), 1u);
}

}  // namespace
