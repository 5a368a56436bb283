// tcagent's main job at ten thousand, a hundred thousand and a million entries, each command a
// whole run as a user starts it: reading and checking a policy (check), a fresh apply, a no-op
// apply (a restart that finds the table already holds the policy), and show as JSON and as a
// table. Each reports the wall time and the peak memory per entry of the run.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>

#include "bench/agent/AgentRun.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using AgentBench::AgentRun;

// A chip made with room for the policy.
std::string capacityFor(unsigned entries) {
  return std::to_string(entries);
}

// A scratch folder with a policy of each size, written once.
const std::string& policyOf(unsigned entries) {
  static const TestSupport::TemporaryDirectory scratch("tcagent-scale");
  static std::map<unsigned, std::string> policies;
  std::string& path = policies[entries];
  if (path.empty()) {
    path = scratch.path() + "/policy-" + std::to_string(entries) + ".txt";
    AgentBench::writePolicy(path, entries);
  }
  return path;
}

// A state directory holding the applied policy of `entries` entries.
const std::string& appliedState(unsigned entries) {
  static const TestSupport::TemporaryDirectory scratch("tcagent-scale-state");
  static std::map<unsigned, std::string> states;
  std::string& path = states[entries];
  if (path.empty()) {
    path = scratch.path() + "/state-" + std::to_string(entries);
    AgentBench::runAgent(
        {"--state", path, "--capacity", capacityFor(entries), "apply", policyOf(entries)},
        "/dev/null");
  }
  return path;
}

void report(benchmark::State& state, const AgentRun& run, unsigned entries) {
  if (run.status != 0) state.SkipWithError("tcagent failed");
  state.SetIterationTime(run.seconds);
  state.counters["bytesPerEntry"] = static_cast<double>(run.peakBytes) / entries;
}

void Check(benchmark::State& state) {
  const auto entries = static_cast<unsigned>(state.range(0));
  for (auto _ : state)
    report(state, AgentBench::runAgent({"check", policyOf(entries)}, "/dev/null"), entries);
}

void FreshApply(benchmark::State& state) {
  const auto entries = static_cast<unsigned>(state.range(0));
  const TestSupport::TemporaryDirectory scratch("tcagent-scale-fresh");
  for (auto _ : state) {
    const std::string fresh = scratch.path() + "/state";
    std::filesystem::remove_all(fresh);
    report(state,
           AgentBench::runAgent(
               {"--state", fresh, "--capacity", capacityFor(entries), "apply", policyOf(entries)},
               "/dev/null"),
           entries);
  }
}

// Runs tcagent over the state that holds the applied policy, with `command` after the state.
void runOnAppliedState(benchmark::State& state, std::vector<std::string> command) {
  const auto entries = static_cast<unsigned>(state.range(0));
  command.insert(command.begin(), {"--state", appliedState(entries)});
  for (auto _ : state)
    report(state, AgentBench::runAgent(command, "/dev/null"), entries);
}

void NoOpApply(benchmark::State& state) {
  runOnAppliedState(state, {"apply", policyOf(static_cast<unsigned>(state.range(0)))});
}

void ShowJson(benchmark::State& state) {
  runOnAppliedState(state, {"show", "--format", "json"});
}

void ShowTable(benchmark::State& state) {
  runOnAppliedState(state, {"show"});
}

void sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgName("entries")
      ->Arg(10'000)
      ->Arg(100'000)
      ->Arg(1'000'000)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
}

BENCHMARK(Check)->Apply(sizes);
BENCHMARK(FreshApply)->Apply(sizes);
BENCHMARK(NoOpApply)->Apply(sizes);
BENCHMARK(ShowJson)->Apply(sizes);
BENCHMARK(ShowTable)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
