// tcagent's main job at ten thousand, a hundred thousand and a million entries, each command a
// whole run as a user starts it: reading and checking a policy (check), and the JSON document and
// the entry string form that show writes of it; a fresh apply, a no-op apply (a restart that
// finds the table already holds the policy), and show as JSON, as a table and in the entry
// string form. Each reports the wall time and the peak
// memory per entry of the run.
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

// A file or directory of each size in a scratch folder of its own, made by `make` once. Each
// caller's `make` is a type of its own, and so has its own folder.
template <class Make>
const std::string& madeOnce(const char* name, unsigned entries, Make make) {
  static const TestSupport::TemporaryDirectory scratch(std::string("tcagent-scale-") + name);
  static std::map<unsigned, std::string> made;
  std::string& path = made[entries];
  if (path.empty()) {
    path = scratch.path() + "/" + name + "-" + std::to_string(entries);
    make(path, entries);
  }
  return path;
}

const std::string& policyOf(unsigned entries) {
  return madeOnce("policy", entries, AgentBench::writePolicy);
}

// A state directory holding the applied policy of `entries` entries.
const std::string& appliedState(unsigned entries) {
  return madeOnce("state", entries, [](const std::string& path, unsigned entries) {
    AgentBench::runAgent(
        {"--state", path, "--capacity", capacityFor(entries), "apply", policyOf(entries)},
        "/dev/null");
  });
}

// The JSON document that show writes of the applied policy, which is a policy file too.
const std::string& documentOf(unsigned entries) {
  return madeOnce("document", entries, [](const std::string& path, unsigned entries) {
    AgentBench::runAgent({"--state", appliedState(entries), "show", "--format", "json"}, path);
  });
}

// The entries in their string form, as show writes them; a policy file too.
const std::string& entryFormOf(unsigned entries) {
  return madeOnce("entries", entries, [](const std::string& path, unsigned entries) {
    AgentBench::runAgent({"--state", appliedState(entries), "show", "--format", "entry"}, path);
  });
}

void report(benchmark::State& state, const AgentRun& run, unsigned entries) {
  if (run.status != 0) state.SkipWithError("tcagent failed");
  state.SetIterationTime(run.seconds);
  state.counters["bytesPerEntry"] = static_cast<double>(run.peakBytes) / entries;
}

// Reads and checks the policy file that `file` gives for the size.
void checkFile(benchmark::State& state, const std::string& (*file)(unsigned)) {
  const auto entries = static_cast<unsigned>(state.range(0));
  for (auto _ : state)
    report(state, AgentBench::runAgent({"check", file(entries)}, "/dev/null"), entries);
}

void Check(benchmark::State& state) {
  checkFile(state, policyOf);
}

void CheckJsonDocument(benchmark::State& state) {
  checkFile(state, documentOf);
}

void CheckEntryForm(benchmark::State& state) {
  checkFile(state, entryFormOf);
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

void ShowEntryForm(benchmark::State& state) {
  runOnAppliedState(state, {"show", "--format", "entry"});
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
BENCHMARK(CheckJsonDocument)->Apply(sizes);
BENCHMARK(CheckEntryForm)->Apply(sizes);
BENCHMARK(FreshApply)->Apply(sizes);
BENCHMARK(NoOpApply)->Apply(sizes);
BENCHMARK(ShowJson)->Apply(sizes);
BENCHMARK(ShowTable)->Apply(sizes);
BENCHMARK(ShowEntryForm)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
