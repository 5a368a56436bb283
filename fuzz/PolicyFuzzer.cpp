// Policy files, whose lines are in the compact form or the entry's string form: each is taken
// or refused with a PolicyError; no value of a taken entry has bits outside its mask.
#include <cstdlib>
#include <sstream>

#include "tools/tcagent/Policy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
  try {
    const TcAgent::Policy policy = TcAgent::policyParsed(text, "fuzzed");
    for (const auto& [key, action] : policy.entries) {
      for (std::size_t field = 0; field < key.value.size(); ++field) {
        if (key.value[field] & ~key.mask[field]) std::abort();
      }
    }
  } catch (const TcAgent::PolicyError&) {
  }
  return 0;
}
