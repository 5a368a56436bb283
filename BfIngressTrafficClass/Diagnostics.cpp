#include "BfIngressTrafficClass/Diagnostics.h"

namespace BfIngressTrafficClass {

Kiv::TraceHandle& traceHandle() {
  static Kiv::TraceHandle& handle = Kiv::TraceHandle::handle("BfIngressTrafficClass");
  return handle;
}

}  // namespace BfIngressTrafficClass
