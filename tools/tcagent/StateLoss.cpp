#include "tools/tcagent/StateLoss.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "sim/support/MappedFile.h"

namespace TcAgent {

namespace {

void written(const char* text) noexcept {
  // Nothing is left to do about a message that could not be written.
  [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
}

// Only async-signal-safe calls: the path was kept by the mapping's owner.
extern "C" void stateFileCut(int, siginfo_t* info, void*) {
  const char* path = SimSupport::stateFileMappedAt(info->si_addr);
  // The handler was reset as it began: the signal, raised again (a fault would come again too),
  // ends the program once the handler returns.
  if (!path) {
    ::raise(SIGBUS);
    return;
  }
  written("tcagent: ");
  written(path);
  written(
      ": cut short by another process while this run used it; the run stops part-way, and "
      "the next apply or clear sets the file aside\n");
  ::_exit(1);
}

}  // namespace

void stateFileLossReported() {
  struct sigaction action {};
  action.sa_sigaction = stateFileCut;
  action.sa_flags = SA_SIGINFO | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace TcAgent
