#include "TcAgentProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace TcAgentTesting {

namespace {

std::string fileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

TcAgentProcess::TcAgentProcess(const std::vector<std::string>& arguments,
                               const std::string& directory)
    : outPath_(directory + "/tcagent.out"), errPath_(directory + "/tcagent.err") {
  std::vector<char*> argv{const_cast<char*>(TCAGENT_PROGRAM)};
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  for (auto [descriptor, path] :
       {std::pair{STDOUT_FILENO, &outPath_}, {STDERR_FILENO, &errPath_}}) {
    posix_spawn_file_actions_addopen(&actions, descriptor, path->c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  const int error = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
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

void TcAgentProcess::kill() const {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
}

Outcome TcAgentProcess::wait() {
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("cannot wait for tcagent");
  }
  pid_ = -1;
  return {WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status), fileText(outPath_),
          fileText(errPath_)};
}

}  // namespace TcAgentTesting
