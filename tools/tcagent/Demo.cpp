#include "tools/tcagent/Demo.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

#include "tools/tcagent/DemoPolicy.h"
#include "tools/tcagent/Quoted.h"
#include "tools/tcagent/ScratchDirectory.h"
#include "tools/tcagent/StopSignals.h"

namespace TcAgent {

namespace {

struct Run {
  int status;
  std::string output;
};

// Runs this program with `arguments` in `directory`; standard output and error together.
Run agentRun(const std::string& directory, const std::vector<std::string>& arguments) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {-1, "cannot make a pipe"};
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeEnds[1], STDOUT_FILENO);
    ::dup2(pipeEnds[1], STDERR_FILENO);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    if (::chdir(directory.c_str()) != 0) ::_exit(126);
    std::signal(SIGPIPE, SIG_DFL);
    std::vector<char*> argv{const_cast<char*>("tcagent")};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv("/proc/self/exe", argv.data());
    ::_exit(127);
  }
  ::close(pipeEnds[1]);
  Run run{-1, ""};
  std::array<char, 4096> buffer;
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer.data(), buffer.size())) > 0;) {
    run.output.append(buffer.data(), static_cast<std::size_t>(got));
  }
  ::close(pipeEnds[0]);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    run.status = WEXITSTATUS(status);
  }
  return run;
}

std::string indented(const std::string& text) {
  return std::regex_replace(text, std::regex("(^|\n)(?=.)"), "$1    ");
}

// The narration stops before its next step: its reader has gone (`tcagent demo | head`), or a
// signal asked the demo to stop.
struct NarrationStopped {};

class Narration {
 public:
  explicit Narration(std::string directory) : directory_(std::move(directory)) {}

  void section(const std::string& title) {
    if (stopSignalAsked() || !std::cout) throw NarrationStopped();
    std::cout << "\n== " << title << " ==\n";
  }
  void say(const std::string& text) { std::cout << text << "\n"; }

  // Writes `text` to the file `name` of the demo's directory, where tcagent runs, and gives
  // the name; a file that could not be written whole (a full disk) ends the demo.
  std::string file(const std::string& name, const std::string& text) {
    const std::string path = directory_ + "/" + name;
    std::ofstream written(path);
    if (!(written << text) || !written.flush()) {
      throw std::runtime_error("the demo's file " + path +
                               " could not be written: " + std::strerror(errno));
    }
    return name;
  }
  // The same, shown.
  std::string shownFile(const std::string& name, const std::string& text) {
    std::cout << "$ cat " << name << "\n" << indented(text);
    return file(name, text);
  }

  // Runs tcagent with `words`, shows the command and what it printed, and checks its exit
  // status and that its output holds each of `expected`.
  void step(const std::vector<std::string>& words, int expectedStatus,
            const std::vector<std::string>& expected = {}) {
    std::string command = "$ tcagent";
    for (const std::string& word : words)
      command += " " + word;
    std::cout << command << "\n";
    Run run = agentRun(directory_, words);
    // The run was likely ended by the same signal: it failed nothing.
    if (stopSignalAsked()) throw NarrationStopped();
    std::cout << indented(run.output);
    check(run.status == expectedStatus, "exit status " + std::to_string(run.status) +
                                            ", expected " + std::to_string(expectedStatus));
    for (const std::string& text : expected)
      check(run.output.find(text) != std::string::npos, "output says \"" + text + "\"");
  }

  void check(bool held, const std::string& what) {
    if (!held) {
      std::cout << "  FAILED: " << what << "\n";
      ++failures_;
    }
  }
  int failures() const noexcept { return failures_; }

 private:
  std::string directory_;
  int failures_ = 0;
};

// The demo policy with voice moved to traffic class 6, one assured-forwarding entry gone and
// one entry added for DSCP 40.
std::string changedPolicy() {
  std::string policy =
      std::regex_replace(demoPolicy, std::regex("dscp=46 -> tc=5 qid=5"), "dscp=46 -> tc=6 qid=6");
  policy = std::regex_replace(policy, std::regex("prio=50 dscp=14 -> tc=1 qid=1\n"), "");
  return std::regex_replace(policy, std::regex("(prio=20 dscp=38 -> tc=4 qid=4\n)"),
                            "$1prio=20 dscp=40 -> tc=4 qid=4\n");
}

// `count` entries from DSCP `first` on, each at a priority of its own.
std::string numberedPolicy(int first, int count) {
  std::string policy;
  for (int dscp = first; dscp < first + count; ++dscp) {
    policy += "prio=" + std::to_string(dscp) + " dscp=" + std::to_string(dscp) + " -> tc=1 qid=1\n";
  }
  return policy;
}

void lifeOfTheTable(Narration& narration) {
  narration.section("A DSCP policy");
  narration.say("Each line is an entry: key fields and a priority, '->', and the traffic class");
  narration.say("and egress queue that a matching packet gets. Lower priority values win.");
  std::string policy = narration.shownFile("policy.txt", demoPolicy);
  narration.step({"check", policy}, 0, {"no findings"});

  narration.section("Program it: first the plan, then the apply");
  narration.say("The state of the simulated chip and of the agent's records is kept in 'pd'.");
  narration.step({"--state", "pd", "apply", "--dry-run", policy}, 0, {"16 to add", "default set"});
  narration.step({"--state", "pd", "apply", policy}, 0,
                 {"16 added, 0 modified, 0 removed, default set"});

  narration.section("The table as read back from the chip");
  narration.step({"--state", "pd", "show"}, 0, {"16 entries and the default action"});

  narration.section("What the chip does with a few packets, and why");
  narration.step({"--state", "pd", "classify", "dscp=46"}, 0, {"traffic class 5, queue 5"});
  narration.step({"--state", "pd", "classify", "dscp=7"}, 0,
                 {"the default action: traffic class 0"});
  narration.step({"--state", "pd", "show", "cpu-trust-mode=1", "cpu-tc=6", "dscp=46"}, 0,
                 {"2 entries match the packet"});

  narration.section("Restart: a new agent finds every entry without programming any");
  narration.step({"--state", "pd", "apply", policy}, 0, {"the table already holds the policy"});

  narration.section("A hitless change");
  narration.say("changed.txt is policy.txt with voice moved to traffic class 6, DSCP 14 gone and");
  narration.say("DSCP 40 added. New entries go first, highest precedence first; then changed");
  narration.say("actions; removals last, lowest precedence first: every packet meets the old");
  narration.say("policy or the new one at every step, even if the apply stops part-way.");
  std::string changed = narration.file("changed.txt", changedPolicy());
  narration.step({"--state", "pd", "apply", "--dry-run", changed}, 0,
                 {"1 to add, 1 to modify, 1 to remove"});
  narration.step({"--state", "pd", "apply", changed}, 0, {"1 added, 1 modified, 1 removed"});
  narration.step({"--state", "pd", "classify", "dscp=46", "--format", "json"}, 0, {"\"tc\":6"});
}

void roomOfTheTable(Narration& narration) {
  narration.section("Room: a table of 16 entries");
  narration.say("first.txt has 12 entries, applied to a chip made with room for 16:");
  narration.step({"--state", "small", "--capacity", "16", "apply",
                  narration.file("first.txt", numberedPolicy(0, 12))},
                 0, {"12 added"});
  narration.say(
      "twenty.txt has 20 entries: the table cannot hold them, and nothing is programmed.");
  std::string twenty = narration.file("twenty.txt", numberedPolicy(0, 20));
  narration.step({"--state", "small", "apply", twenty}, 1,
                 {"the policy needs 20 entries; the table holds 16"});
  narration.say("other.txt has 12 entries that first.txt does not. Swapping them hitlessly needs");
  narration.say("room for 24 entries at the peak:");
  std::string other = narration.file("other.txt", numberedPolicy(20, 12));
  narration.step({"--state", "small", "apply", other}, 1,
                 {"needs room for 24 entries at its peak"});
  narration.say("--allow-disruption removes as many old entries as it must before adding:");
  narration.step({"--state", "small", "apply", "--dry-run", "--allow-disruption", other}, 0,
                 {"8 removed before adding"});
  narration.step({"--state", "small", "apply", "--allow-disruption", other}, 0,
                 {"12 added, 0 modified, 12 removed"});
}

void otherDriver(Narration& narration) {
  narration.section("The same table through the BF Runtime driver");
  narration.step({"--state", "bfrt", "--driver", "bfrt", "apply", "policy.txt"}, 0, {"16 added"});
  narration.step({"--state", "bfrt", "--driver", "bfrt", "classify", "dscp=12", "cos=3"}, 0,
                 {"traffic class 1, queue 1"});
  narration.step({"--state", "bfrt", "--driver", "bfrt", "clear"}, 0,
                 {"0 added, 0 modified, 16 removed, default reset"});
}

}  // namespace

int runDemo() {
  // Before the directory is made, so that it is never left behind: the demo stops at its next
  // step, removes its directory, and then ends as the signal would have ended it.
  const StopSignalsHeldBack heldBack;
  ScratchDirectory scratch("tcagent-demo-", "the demo's directory");
  const std::string directory = scratch.path();
  // A reader that stops early makes the narration's writes fail instead of ending the run, so
  // that the directory is still removed; main says that the output could not be written.
  std::signal(SIGPIPE, SIG_IGN);
  Narration narration(directory);
  narration.say("tcagent demo: the ingress traffic-class table of a simulated switching chip.");
  narration.say("Each command below is a run of tcagent of its own, as an operator types it, in");
  narration.say(escapedPath(directory) + ".");
  const bool narrated = [&narration] {
    try {
      lifeOfTheTable(narration);
      roomOfTheTable(narration);
      otherDriver(narration);
      return true;
    } catch (const NarrationStopped&) {
      return false;
    }
  }();
  scratch.remove();
  endIfStopSignalAsked();
  if (!narrated) return 1;
  if (narration.failures()) {
    narration.section("The demo FAILED");
    std::cout << narration.failures() << " step(s) did not do what they said\n";
    return 1;
  }
  narration.section("The demo ran to its end");
  narration.say(
      "You saw a policy checked, planned and programmed; the table read back from the chip;\n"
      "packets classified, and the entries that decided them; a restart that reprogrammed\n"
      "nothing; a change made hitlessly, new entries first and old ones last; a policy refused\n"
      "before anything was programmed because the table could not hold it; and the same table\n"
      "through the second driver interface. 'tcagent --help' lists the commands; the README\n"
      "says what each guarantees.");
  return 0;
}

}  // namespace TcAgent
