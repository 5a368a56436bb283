// tcagent run as a separate process, the way a user runs it.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <string>
#include <vector>

namespace TcAgentTesting {

// How a run ended: its exit status (128 and the signal's number if a signal ended it), and its
// standard output and standard error, each on its own.
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// What a run starts with besides its arguments.
struct Launch {
  std::string input = "/dev/null";         // the file of its standard input; "" closes it
  std::vector<std::string> environment{};  // NAME=VALUE set
  std::string output{};                    // the file of its standard output, if not its own
  bool outputClosed = false;               // standard output closed, as by `>&-`
  bool outputReaderGone = false;  // standard output a pipe whose reader has gone, as `| head -1`
                                  // leaves it once it has read its line
  bool errorClosed = false;       // standard error closed, as by `2>&-`
  unsigned descriptorsMax = 0;    // its limit of open files (ulimit -n), when not 0
};

// Starts tcagent with `arguments`, its standard output and error going to files in `directory`;
// a process still running when this ends is killed and reaped.
class TcAgentProcess {
 public:
  TcAgentProcess(const std::vector<std::string>& arguments, const std::string& directory,
                 const Launch& launch = {});
  ~TcAgentProcess();
  TcAgentProcess(const TcAgentProcess&) = delete;
  TcAgentProcess& operator=(const TcAgentProcess&) = delete;

  void kill(int signal = SIGKILL) const;
  Outcome wait();  // waits for the end

 private:
  pid_t pid_ = -1;
  std::string outPath_, errPath_;
};

}  // namespace TcAgentTesting
