// tcagent: a small forwarding agent around the ingress traffic-class table.
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <new>
#include <optional>

#include "tools/tcagent/Apply.h"
#include "tools/tcagent/Commands.h"
#include "tools/tcagent/PolicyDocument.h"
#include "tools/tcagent/Quoted.h"
#include "tools/tcagent/StateLoss.h"
#include "tools/tcagent/StopSignals.h"
#include "tools/tcagent/UsageError.h"

using namespace TcAgent;

namespace {

// Writes an error as one line on standard error, or as a JSON object on standard output when
// the run was asked for JSON, and gives the exit status. A failed run that a stop signal asked to
// stop ends by the signal, which a shell sees as 128 and its number: so does the JSON.
int failed(int status, const std::string& message, bool json, const std::string& file = "",
           std::optional<unsigned> line = std::nullopt) {
  if (json) {
    const int signal = stopSignalAsked();
    const Json error = {{"error",
                         {{"message", lineText(message)},
                          {"status", signal ? 128 + signal : status},
                          {"file", file.empty() ? Json(nullptr) : fileJson(file)},
                          {"line", line ? Json(*line) : Json(nullptr)}}}};
    std::cout << error.dump() << "\n";
  } else {
    std::cerr << "tcagent: " << lineText(message) << "\n";
  }
  return status;
}

// Runs the command; the table exceptions of the driver, three of which no handler of their
// base class catches, each end the run with status 1.
int run(const CommandLine& line) {
  bool json = line.format == Format::json;
  try {
    return runCommand(line, std::cout, std::cerr);
  } catch (const UsageError& error) {
    return failed(2, error.what(), json);
  } catch (const PolicyError& error) {
    return failed(2, error.what(), json, error.file(), error.line());
  } catch (const ApplyRefusal& error) {
    return failed(1, error.what(), json, error.file(), error.line());
  } catch (const BfTable::BfNotSupported& error) {
    return failed(1, error.what(), json);
  } catch (const BfTable::BfDuplicateEntry& error) {
    return failed(1, error.what(), json);
  } catch (const BfTable::BfTryAgain& error) {
    return failed(1, error.what(), json);
  } catch (const std::bad_alloc&) {
    return failed(1, "out of memory", json);
  } catch (const std::exception& error) {
    return failed(1, error.what(), json);
  }
}

// The standard streams that the caller left closed.
struct ClosedStreams {
  bool input = false;
  bool output = false;
};

// Opens /dev/null on each of standard input, output and error that the caller left closed, so
// that no state file opened later takes its number and receives the run's output; none when
// that cannot be done.
std::optional<ClosedStreams> standardStreamsOpened() {
  ClosedStreams closed;
  for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
    if (::fcntl(stream, F_GETFD) >= 0 || errno != EBADF) continue;
    if (::open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY) != stream) {
      return std::nullopt;
    }
    closed.input |= stream == STDIN_FILENO;
    closed.output |= stream == STDOUT_FILENO;
  }
  return closed;
}

// A run whose output could not be written has failed, whatever else it did, which it says.
int withOutputWritten(int status) {
  if (std::cout.flush()) return status;
  std::cerr << "tcagent: standard output could not be written: the report is lost, not what the "
               "command did (show reads the table back)\n";
  return status ? status : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<ClosedStreams> closed = standardStreamsOpened();
  if (!closed) return 1;
  // What the run answers would be lost: it does nothing.
  if (closed->output) {
    std::cerr << "tcagent: standard output is closed; nothing was done\n";
    return 1;
  }
  // A state file that would pass the file size limit fails to grow with a message, instead of
  // the signal ending the run.
  ::signal(SIGXFSZ, SIG_IGN);
  stateFileLossReported();
  // Arrays past 128 KiB (the maps and lists of a large table) are mapped from the kernel and
  // given back when freed. Left to itself, glibc raises that threshold once such an array is
  // freed, and the next ones come from the heap, where a freed one stays resident.
  ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  try {
    const CommandLine line = commandLineOf(argc, argv);
    // A closed input is not an empty policy.
    if (closed->input && line.policyPath == "-") {
      return failed(2, "<stdin>: standard input is closed", line.format == Format::json);
    }
    const int status = run(line);
    // A run that a stop signal came too late to stop has done what it said, and exits so.
    if (status != 0) endIfStopSignalAsked();
    return withOutputWritten(status);
  } catch (const CommandLineExit& exit) {
    std::cout << exit.out;
    if (exit.status == 0) return withOutputWritten(0);
    return failed(exit.status, escapedText(exit.err, 1024) + " (see tcagent --help)", exit.json);
  }
}
