#include "TcAgentProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/ArgumentVector.h"

namespace TcAgentTesting {

namespace {

std::string fileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// This process's environment with `changes` made.
std::vector<std::string> environmentWith(const std::vector<std::string>& changes) {
  std::vector<std::string> variables;
  for (char** variable = environ; *variable; ++variable)
    variables.emplace_back(*variable);
  for (const std::string& change : changes) {
    const std::string name = change.substr(0, change.find('=') + 1);
    std::erase_if(variables,
                  [&name](const std::string& variable) { return variable.starts_with(name); });
    variables.push_back(change);
  }
  return variables;
}

// Each run's output files have names of their own, so that runs may overlap.
std::string outputPath(const std::string& directory, const char* stream) {
  static std::atomic<unsigned> runs{0};
  return directory + "/tcagent-" + std::to_string(::getpid()) + "-" + std::to_string(runs++) + "." +
         stream;
}

}  // namespace

TcAgentProcess::TcAgentProcess(const std::vector<std::string>& arguments,
                               const std::string& directory, const Launch& launch)
    : outPath_(outputPath(directory, "out")), errPath_(outputPath(directory, "err")) {
  std::vector<char*> argv = TestSupport::argumentVector(TCAGENT_PROGRAM, arguments);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Each stream to its file, or closed for "".
  auto streamTo = [&actions](int descriptor, const std::string& path, int flags) {
    if (path.empty()) return posix_spawn_file_actions_addclose(&actions, descriptor);
    return posix_spawn_file_actions_addopen(&actions, descriptor, path.c_str(), flags, 0600);
  };
  constexpr int written = O_WRONLY | O_CREAT | O_TRUNC;
  streamTo(STDIN_FILENO, launch.input, O_RDONLY);
  int readerGone[2] = {-1, -1};
  if (launch.outputReaderGone) {
    if (::pipe2(readerGone, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
    ::close(readerGone[0]);
    posix_spawn_file_actions_adddup2(&actions, readerGone[1], STDOUT_FILENO);
  } else {
    streamTo(STDOUT_FILENO,
             launch.outputClosed     ? ""
             : launch.output.empty() ? outPath_
                                     : launch.output,
             written);
  }
  streamTo(STDERR_FILENO, launch.errorClosed ? "" : errPath_, written);
  // Only the three standard streams go to the run, whatever this process holds open.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  std::vector<std::string> variables = environmentWith(launch.environment);
  std::vector<char*> environment;
  for (std::string& variable : variables)
    environment.push_back(variable.data());
  environment.push_back(nullptr);
  // The run inherits this process's limit of open files, lowered for the spawn only.
  rlimit before{};
  const bool limited = launch.descriptorsMax && ::getrlimit(RLIMIT_NOFILE, &before) == 0;
  if (limited) {
    const rlimit lowered{launch.descriptorsMax, before.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &lowered);
  }
  const int error =
      ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environment.data());
  if (limited) ::setrlimit(RLIMIT_NOFILE, &before);
  posix_spawn_file_actions_destroy(&actions);
  if (launch.outputReaderGone) ::close(readerGone[1]);
  if (error) {
    pid_ = -1;
    throw std::runtime_error(std::string("cannot start tcagent: ") + std::strerror(error));
  }
}

TcAgentProcess::~TcAgentProcess() {
  if (pid_ <= 0) return;
  kill();
  ::waitpid(pid_, nullptr, 0);
}

void TcAgentProcess::kill(int signal) const {
  if (pid_ > 0) ::kill(pid_, signal);
}

Outcome TcAgentProcess::wait() {
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("cannot wait for tcagent");
  }
  pid_ = -1;
  Outcome outcome{WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status),
                  fileText(outPath_), fileText(errPath_)};
  ::unlink(outPath_.c_str());
  ::unlink(errPath_.c_str());
  return outcome;
}

}  // namespace TcAgentTesting
