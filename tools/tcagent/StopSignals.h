// Ctrl-C, a hang-up or kill (SIGINT, SIGHUP, SIGTERM), held back while the program finishes a
// step: the work asked to stop sees it before its next step and says what it did, and the
// program then ends as the signal would have ended it, as a shell expects of it.
#pragma once

namespace TcAgent {

// For its lifetime a stop signal is held back, and stopSignalAsked() tells of it; then one ends
// the program at once again, and one held back stays asked. One that the program was started
// ignoring stays ignored.
class StopSignalsHeldBack {
 public:
  StopSignalsHeldBack();
  ~StopSignalsHeldBack();
  StopSignalsHeldBack(const StopSignalsHeldBack&) = delete;
  StopSignalsHeldBack& operator=(const StopSignalsHeldBack&) = delete;
};

// The stop signal that came while held back, or 0.
int stopSignalAsked() noexcept;

// Ends the program by the stop signal that came while held back, its output written, if one did.
void endIfStopSignalAsked();

}  // namespace TcAgent
