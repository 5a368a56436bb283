#include "tools/tcagent/Classify.h"

#include <fmt/format.h>

#include "tools/tcagent/EntryText.h"
#include "tools/tcagent/Packet.h"
#include "tools/tcagent/PolicyDocument.h"
#include "tools/tcagent/StateLoss.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

void classifyPacket(const AgentTable& agent, const KeyBytes& packet, Format format,
                    std::ostream& out) {
  SimChip::Classification result = agent.chip().classify(packet);
  std::optional<EntryKey> key;
  if (result.hit) key = agent.driverQueries().entry(result.handle).key;
  std::optional<EntryAction> action;
  if (result.action) action = EntryAction{result.action->tc, result.action->qid};
  // An answer read from a chip state cut short under the run is none.
  checkStateFilesWhole();

  if (format == Format::json) {
    Json packetFields = Json::object();
    for (std::size_t field = 0; field < keyFieldCount; ++field)
      packetFields[keyFields[field].shortName] = packet[field];
    Json answer = {{"packet", std::move(packetFields)}, {"hit", result.hit}, {"entry", nullptr}};
    if (key) {
      answer["entry"] = {
          {"handle", result.handle}, {"priority", key->priority}, {"match", matchJson(*key)}};
    }
    answer["action"] = action ? actionJson(*action) : Json(nullptr);
    out << answer.dump() << "\n";
    return;
  }
  if (key) {
    out << fmt::format("entry {:#010x} ({}) applies: ", result.handle, keyText(*key));
  } else if (action) {
    out << "no entry applies; the default action: ";
  } else {
    out << "no entry applies and no default action is set\n";
    return;
  }
  out << fmt::format("traffic class {}, queue {}\n", action->tc, action->qid);
}

}  // namespace TcAgent
