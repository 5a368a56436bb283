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

StopSignalsHeldBack::StopSignalsHeldBack() {
  for (int signal : stopSignals)
    std::signal(signal, stopAsked);
}

StopSignalsHeldBack::~StopSignalsHeldBack() {
  for (int signal : stopSignals)
    std::signal(signal, SIG_DFL);
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
