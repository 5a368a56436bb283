#include "tools/tcagent/StopSignals.h"

#include <csignal>
#include <iostream>

namespace TcAgent {

namespace {

constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t askedSignal = 0;

extern "C" void stopAsked(int signal) {
  askedSignal = signal;
}

}  // namespace

// A signal that the caller had the program ignore (nohup, a script's `cmd &`) stays ignored.
StopSignalsHeldBack::StopSignalsHeldBack() {
  for (int signal : stopSignals) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    if (current.sa_handler == SIG_DFL) std::signal(signal, stopAsked);
  }
}

StopSignalsHeldBack::~StopSignalsHeldBack() {
  for (int signal : stopSignals) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    if (current.sa_handler == stopAsked) std::signal(signal, SIG_DFL);
  }
}

int stopSignalAsked() noexcept {
  return askedSignal;
}

void endIfStopSignalAsked() {
  if (!askedSignal) return;
  std::cout.flush();
  std::cerr.flush();
  std::signal(askedSignal, SIG_DFL);
  std::raise(askedSignal);
}

}  // namespace TcAgent
