// What the chip does with a packet: the entry that applies, or the default action.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/tcagent/AgentTable.h"

namespace TcAgent {

enum class ClassifyFormat { text, json };

// `fields` are FIELD=VALUE words (a field by its short or attribute name, a value 0 to 255);
// fields not given are 0. Raises std::invalid_argument for a word that is not one.
void packetClassified(const AgentTable& agent, const std::vector<std::string>& fields,
                      ClassifyFormat format, std::ostream& out);

}  // namespace TcAgent
