// Policy files as tcagent reads them: lines in the compact form or the entry's string form, or a
// JSON document. Each is taken or refused with a PolicyError whose message is one line; a taken
// policy has its entries in key order, one of each key, none with a value outside its mask, each
// naming a line of the file.
#include <algorithm>
#include <cstdlib>

#include "fuzz/StateFile.h"
#include "tools/tcagent/Policy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzStateDirectory() + "/policy";
  fileBytesAre(path, data, size);
  const auto lines = static_cast<unsigned>(std::count(data, data + size, '\n')) + 1;
  try {
    const TcAgent::Policy policy = TcAgent::readPolicy(path);
    for (std::size_t at = 0; at < policy.entries.size(); ++at) {
      const TcAgent::PolicyEntry& entry = policy.entries[at];
      if (at && !(policy.entries[at - 1].key < entry.key)) std::abort();
      if (entry.line == 0 || entry.line > lines) std::abort();
      for (std::size_t field = 0; field < entry.key.value.size(); ++field) {
        if (entry.key.value[field] & ~entry.key.mask[field]) std::abort();
      }
    }
  } catch (const TcAgent::PolicyError& error) {
    if (std::string_view(error.what()).find('\n') != std::string_view::npos) std::abort();
  }
  return 0;
}
