// Uses the installed library as an agent would: makes an entry, prints its string form, reads
// it back, and records a driver handle for its match; then, given a driver library and a state
// directory, attaches the simulated chip, makes the table through the plug-in's entry point,
// programs an entry and reads it back, as in a second agent lifetime after a restart.
#include <dlfcn.h>

#include <iostream>
#include <string>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"
#include "platform/Kiv/CharRange.h"
#include "sim/chip/Devices.h"

using namespace BfIngressTrafficClass;

namespace {

IngressTrafficClassTableEntry dscpEntry(U8 dscp, U8 tc) {
  IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  match->qosMdDscpIs(dscp);
  match->qosMdDscpMaskIs(0xFF);
  SetTrafficClassAndEgressQidActionSpec::Ptr action =
      setTrafficClassAndEgressQidActionSpecFactory();
  action->tcIs(tc);
  action->qidIs(tc);
  return IngressTrafficClassTableEntry(match, action);
}

bool objectsWork() {
  const IngressTrafficClassTableEntry entry = dscpEntry(46, 5);
  Kiv::String text = valueToStrep(entry);
  Kiv::CharRange range(text);
  IngressTrafficClassTableEntry parsed(range);
  IngressTrafficClassTableHandles::Ptr handles = ingressTrafficClassTableHandlesFactory();
  handles->entryIs(entry.match(), 7);
  std::cout << text << "\n";
  return parsed.match()->qosMdDscp() == 46 && parsed.action()->tc() == 5 &&
         handles->entry(entry.match()) == 7 && valueToStrep(parsed) == text;
}

// One agent lifetime over the state in `directory`: the entry point reconciles with what the
// chip holds; the first lifetime programs an entry, and every one reads it back by its match.
bool tableWorks(const char* driverPath, const std::string& directory, bool first) {
  SimChip::deviceAttach(0, directory, 512);
  void* driver = ::dlopen(driverPath, RTLD_NOW | RTLD_LOCAL);
  auto init = driver ? reinterpret_cast<BfPdIngressTrafficClass::PdClientInit>(
                           ::dlsym(driver, BfPdIngressTrafficClass::PdFunctionName::clientInit))
                     : nullptr;
  U32 session = 0;
  if (!init || init(&session)) return false;
  auto keys =
      MbbVrellKey::VrellKeyManager::VrellKeyManagerIs(directory, 0, "ingressTrafficClass", 513);
  IngressTrafficClassTable::Ptr table =
      ingressTrafficClassTableFactory(keys, BfnTableStatusManager::StatusManager::StatusManagerIs(),
                                      driver, session, 0, 0xFFFF, driverPath);
  if (first) {
    // The table takes the match's key; the agent records the entry under it.
    const IngressTrafficClassTableEntry entry = dscpEntry(46, 5);
    table->entryIs(entry);
    keys->mbbVrellTableConfig()->entryConfigMap().recordIs(Vrell::EntryConfig(
        keys->key(entry.match().ptr()), 0, table->helper()->sdkHandles()->entry(entry.match()),
        Vrell::EntryKind::entry, entry.match()->priority()));
  }
  // The restarted table knows the entry by the match it read back.
  auto held = table->helper()->sdkHandles()->entryIter();
  if (held.atEnd()) return false;
  IngressTrafficClassTableEntry readBack = table->entry(held->key);
  return readBack.match() && readBack.match()->qosMdDscp() == 46 && readBack.action()->tc() == 5;
}

}  // namespace

int main(int argc, char** argv) {
  bool ok = objectsWork();
  if (argc == 3) {
    for (bool first : {true, false})
      ok = ok && tableWorks(argv[1], argv[2], first);
  }
  std::cout << (ok ? "consumer: ok" : "consumer: FAILED") << "\n";
  return ok ? 0 : 1;
}
