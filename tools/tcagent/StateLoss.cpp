#include "tools/tcagent/StateLoss.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <stdexcept>

#include <fmt/format.h>

#include "sim/support/MappedFile.h"
#include "tools/tcagent/Quoted.h"

namespace TcAgent {

namespace {

void written(const char* text, std::size_t size) noexcept {
  // Nothing is left to do about a message that could not be written.
  [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, text, size);
}

void written(const char* text) noexcept {
  written(text, std::strlen(text));
}

// As messages write a path, escaped.
void pathWritten(const char* path) noexcept {
  for (const char* at = path; *at; ++at) {
    EscapedByte escaped;
    written(escaped.text, escaped.of(static_cast<unsigned char>(*at), true));
  }
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
  pathWritten(path);
  written(
      ": cut short by another process while this run used it; the run stops part-way, and "
      "the next apply or clear sets the file aside\n");
  ::_exit(1);
}

}  // namespace

void checkStateFilesWhole() {
  const std::optional<SimSupport::ResizedStateFile> resized = SimSupport::resizedStateFile();
  if (!resized) return;
  throw std::runtime_error(fmt::format(
      "{}: {} by another process while this run used it ({} bytes, where it mapped {}): what the "
      "run did or read there is lost or wrong, and the next apply or clear sets the file aside",
      escapedPath(resized->path), resized->size < resized->mappedSize ? "cut short" : "grown",
      resized->size, resized->mappedSize));
}

void stateFileLossReported() {
  struct sigaction action {};
  action.sa_sigaction = stateFileCut;
  action.sa_flags = SA_SIGINFO | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace TcAgent
