#include "bench/agent/AgentRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "tests/support/ArgumentVector.h"

extern char** environ;

namespace AgentBench {

AgentRun runAgent(const std::vector<std::string>& arguments, const std::string& output) {
  std::vector<char*> argv = TestSupport::argumentVector(TCAGENT_PROGRAM, arguments);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  int error = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error) throw std::runtime_error("cannot start tcagent");
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  AgentRun run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakBytes = usage.ru_maxrss * 1024;
  return run;
}

void writePolicy(const std::string& path, unsigned entries) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (!file) throw std::runtime_error("cannot write " + path);
  // Fields of 4 to 64 values, so that a million entries have keys of their own.
  for (unsigned entry = 0; entry < entries; ++entry) {
    std::fprintf(file,
                 "prio=%u trust-mode=%u default-cos=%u cos=%u dscp=%u decap-type=%u cpu-tc=%u "
                 "-> tc=%u qid=%u\n",
                 entry, entry % 4, entry / 4 % 8, entry / 32 % 8, entry / 256 % 64,
                 entry / 16384 % 8, entry / 131072 % 8, entry % 8, entry % 32);
  }
  std::fclose(file);
}

}  // namespace AgentBench
