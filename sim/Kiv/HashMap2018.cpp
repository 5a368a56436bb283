#include "platform/Kiv/HashMap2018.h"

namespace Kiv {

MemAllocationTracker hashMap2018BucketTracker{"Kiv::HashMap2018 buckets"};

}  // namespace Kiv
