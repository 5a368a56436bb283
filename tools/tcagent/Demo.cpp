#include "tools/tcagent/Demo.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

#include "tools/tcagent/DemoPolicy.h"

namespace TcAgent {

namespace {

struct Run {
  int status;
  std::string output;
};

// Runs this program with `arguments`; standard output and error together.
Run agentRun(const std::vector<std::string>& arguments) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {-1, "cannot make a pipe"};
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeEnds[1], STDOUT_FILENO);
    ::dup2(pipeEnds[1], STDERR_FILENO);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
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

class Narration {
 public:
  void section(const std::string& title) { std::cout << "\n== " << title << " ==\n"; }
  void say(const std::string& text) { std::cout << text << "\n"; }

  // Runs tcagent, shows what it printed, and checks its exit status and that its output
  // contains each of `expected`.
  Run step(const std::vector<std::string>& arguments, int expectedStatus,
           const std::vector<std::string>& expected = {}) {
    std::string command = "$ tcagent";
    for (const std::string& argument : arguments)
      command += " " + argument;
    std::cout << command << "\n";
    Run run = agentRun(arguments);
    std::cout << std::regex_replace(run.output, std::regex("(^|\n)(?=.)"), "$1    ");
    check(run.status == expectedStatus, "exit status " + std::to_string(run.status) +
                                            ", expected " + std::to_string(expectedStatus));
    for (const std::string& text : expected) {
      check(run.output.find(text) != std::string::npos, "output says \"" + text + "\"");
    }
    return run;
  }

  void check(bool held, const std::string& what) {
    if (!held) {
      std::cout << "  FAILED: " << what << "\n";
      ++failures_;
    }
  }
  int failures() const noexcept { return failures_; }

 private:
  int failures_ = 0;
};

std::string fileWritten(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
  return path;
}

// The demo policy with voice moved to traffic class 6 and one assured-forwarding entry gone.
std::string changedPolicy() {
  std::string policy =
      std::regex_replace(demoPolicy, std::regex("dscp=46 -> tc=5 qid=5"), "dscp=46 -> tc=6 qid=6");
  return std::regex_replace(policy, std::regex("prio=50 dscp=14 -> tc=1 qid=1\n"), "");
}

void lifeOfTheTable(Narration& narration, const std::string& directory, const std::string& driver) {
  std::vector<std::string> agent = {"--state", directory + "/state-" + driver, "--driver", driver};
  auto with = [&agent](std::vector<std::string> more) {
    more.insert(more.begin(), agent.begin(), agent.end());
    return more;
  };
  std::string policy = fileWritten(directory + "/policy.txt", demoPolicy);
  std::string changed = fileWritten(directory + "/changed-policy.txt", changedPolicy());

  narration.section("Program a DSCP policy (driver: " + driver + ")");
  narration.step(with({"apply", policy}), 0, {"16 added, 0 modified, 0 removed, default set"});
  narration.section("The table as read back from the chip");
  narration.step(with({"show"}), 0, {"16 entries and the default action"});
  narration.section("What the chip does with a few packets");
  narration.step(with({"classify", "dscp=46"}), 0, {"traffic class 5, queue 5"});
  narration.step(with({"classify", "dscp=12", "cos=3"}), 0, {"traffic class 1, queue 1"});
  narration.step(with({"classify", "dscp=7"}), 0, {"the default action: traffic class 0"});
  narration.section("Restart: a new agent finds every entry without programming any");
  narration.step(with({"show"}), 0,
                 {"at start 17 read back from records, 0 adopted, nothing programmed"});
  narration.step(with({"apply", policy}), 0, {"0 added, 0 modified, 0 removed, default unchanged"});
  narration.section("Change voice to traffic class 6 and drop one entry");
  narration.step(with({"apply", changed}), 0, {"0 added, 1 modified, 1 removed"});
  narration.step(with({"classify", "dscp=46", "--format", "json"}), 0, {"\"tc\": 6"});
  narration.section("Remove everything");
  narration.step(with({"clear"}), 0, {"0 added, 0 modified, 15 removed, default reset"});
}

void fullTable(Narration& narration, const std::string& directory) {
  std::string policy;
  for (int dscp = 0; dscp < 20; ++dscp) {
    policy += "prio=" + std::to_string(dscp) + " dscp=" + std::to_string(dscp) + " -> tc=1 qid=1\n";
  }
  std::vector<std::string> agent = {"--state", directory + "/state-small", "--capacity", "16"};
  auto with = [&agent](std::vector<std::string> more) {
    more.insert(more.begin(), agent.begin(), agent.end());
    return more;
  };
  narration.section("Fill a 16-entry table with 20 entries until the driver refuses");
  narration.step(with({"apply", fileWritten(directory + "/too-many.txt", policy)}), 1,
                 {"stopped after 16 added", "Not enough space"});
  narration.say("What was programmed before the refusal is recorded:");
  narration.step(with({"show"}), 0, {"16 entries", "at start 16 read back from records"});
}

}  // namespace

int demoRun() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tcagent-demo-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    std::cerr << "tcagent: cannot make a temporary directory\n";
    return 1;
  }
  const std::string directory = pattern;
  Narration narration;
  narration.say("tcagent demo: the ingress traffic-class table on a simulated chip, in " +
                directory);
  lifeOfTheTable(narration, directory, "pd");
  fullTable(narration, directory);
  lifeOfTheTable(narration, directory, "bfrt");
  std::filesystem::remove_all(directory);
  narration.section(narration.failures() ? "The demo FAILED" : "The demo ran to its end");
  if (narration.failures()) {
    std::cout << narration.failures() << " step(s) did not do what they said\n";
  }
  return narration.failures() ? 1 : 0;
}

}  // namespace TcAgent
