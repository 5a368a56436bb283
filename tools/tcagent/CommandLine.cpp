#include "tools/tcagent/CommandLine.h"

#include <charconv>
#include <limits>

namespace TcAgent {

const char* const usage = R"(usage: tcagent [OPTIONS] COMMAND [ARGS]

Each run is one agent lifetime: it attaches the chip and the key store in the state directory,
loads the driver library and the plug-in, reconciles with what the chip holds, does the command
and exits.

commands:
  apply FILE                       make the table hold exactly the policy in FILE
  show [--format table|entry|json] the table as read back from the chip
  classify FIELD=VALUE... [--format text|json]
                                   what the chip does with a packet with these key fields
  clear                            remove every entry and reset the default action
  demo                             the whole life of the table, narrated, in a fresh state
  help                             this text

options:
  --state DIR          state directory (default: $XDG_RUNTIME_DIR/tcagent or /tmp/tcagent-UID)
  --driver pd|bfrt|PATH
                       the driver library: PD functions only, or with BF Runtime tables
  --device N           device number (default 0)
  --pipe N             pipe (default 65535: all pipes)
  --capacity N         entries of the chip's table when its state is first made (default 512)
  --trace              trace the library at level 9 on standard error
  --fail OP:STATUS[:N] make the Nth call (or every call) of driver operation OP fail with
                       STATUS; may be given more than once

policy file: one entry per line, '#' starts a comment:
  prio=10 dscp=46 trust-mode=2/0x3 -> tc=5 qid=5
  default -> tc=0 qid=0
key fields: trust-mode default-cos cos dscp high-priority decap-type cpu-trust-mode cpu-tc
(or their attribute names); V is an exact match, V/M a value and mask, an omitted field a
wildcard; numbers are decimal or 0x hex. A line may also be an entry as 'show --format entry'
prints it.
)";

namespace {

template <class Number>
Number numberOf(const std::string& text, const std::string& option, long long low = 0) {
  long long value = 0;
  int base = text.starts_with("0x") ? 16 : 10;
  const char* start = text.data() + (base == 16 ? 2 : 0);
  auto [end, error] = std::from_chars(start, text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
      value > static_cast<long long>(std::numeric_limits<Number>::max())) {
    throw UsageError(option + ": bad number '" + text + "'");
  }
  return static_cast<Number>(value);
}

Fault faultOf(const std::string& text) {
  std::size_t first = text.find(':');
  if (first == std::string::npos || first == 0) {
    throw UsageError("--fail: expected OP:STATUS[:N], got '" + text + "'");
  }
  std::size_t second = text.find(':', first + 1);
  std::string status =
      text.substr(first + 1, second == std::string::npos ? second : second - first - 1);
  Fault fault{text.substr(0, first), numberOf<std::int32_t>(status, "--fail", -(1ll << 31)), 0};
  if (second != std::string::npos) {
    fault.nth = numberOf<unsigned>(text.substr(second + 1), "--fail", 1);
  }
  return fault;
}

}  // namespace

CommandLine commandLineOf(const std::vector<std::string>& words) {
  CommandLine line;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (!line.command.empty()) {
      line.arguments.push_back(word);
      continue;
    }
    auto value = [&]() -> const std::string& {
      if (i + 1 == words.size()) throw UsageError(word + " needs a value");
      return words[++i];
    };
    if (word == "--state") {
      line.stateDirectory = value();
    } else if (word == "--driver") {
      line.driver = value();
    } else if (word == "--device") {
      line.device = numberOf<U8>(value(), word);
    } else if (word == "--pipe") {
      line.pipe = numberOf<U16>(value(), word);
    } else if (word == "--capacity") {
      line.capacity = numberOf<U32>(value(), word, 1);
    } else if (word == "--trace") {
      line.trace = true;
    } else if (word == "--fail") {
      line.faults.push_back(faultOf(value()));
    } else if (word.starts_with("-")) {
      throw UsageError("unknown option " + word);
    } else {
      line.command = word;
    }
  }
  if (line.command.empty()) throw UsageError("no command given");
  return line;
}

}  // namespace TcAgent
