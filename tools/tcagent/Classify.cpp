#include "tools/tcagent/Classify.h"

#include <sstream>
#include <stdexcept>

#include "tools/tcagent/Policy.h"

namespace TcAgent {

namespace {

// A packet is an entry line without a priority or masks: every given field is exact.
SimChip::KeyFields packetOf(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    if (word.find('/') != std::string::npos || word.starts_with("prio")) {
      throw std::invalid_argument("a packet field is FIELD=VALUE, not '" + word + "'");
    }
    line += word + " ";
  }
  std::istringstream text(line + "-> tc=0 qid=0");
  try {
    Policy policy = policyParsed(text, "packet");
    return policy.entries.begin()->first.value;
  } catch (const PolicyError& error) {
    std::string reason = error.what();
    throw std::invalid_argument(reason.substr(reason.find(": ") + 2));
  }
}

}  // namespace

void packetClassified(const AgentTable& agent, const std::vector<std::string>& fields,
                      ClassifyFormat format, std::ostream& out) {
  SimChip::Classification result = agent.chip().classify(packetOf(fields));
  if (format == ClassifyFormat::json) {
    out << "{\"hit\": " << (result.hit ? "true" : "false");
    if (result.hit)
      out << ", \"handle\": " << result.handle << ", \"priority\": " << result.priority;
    if (result.action) {
      out << ", \"tc\": " << unsigned(result.action->tc)
          << ", \"qid\": " << unsigned(result.action->qid);
    }
    out << "}\n";
    return;
  }
  if (result.hit) {
    out << "entry 0x" << std::hex << result.handle << std::dec << " (priority " << result.priority
        << ") applies: ";
  } else if (result.action) {
    out << "no entry applies; the default action: ";
  } else {
    out << "no entry applies and no default action is set\n";
    return;
  }
  out << "traffic class " << unsigned(result.action->tc) << ", queue "
      << unsigned(result.action->qid) << "\n";
}

}  // namespace TcAgent
