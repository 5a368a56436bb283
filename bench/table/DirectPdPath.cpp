#include "bench/table/DirectPdPath.h"

namespace TableBench {

DirectPdPath::DirectPdPath(const LoadedTable& table)
    : DirectPath(table),
      pd_(table.driver().pd()),
      session_(table.driver().session()),
      devTarget_{LoadedTable::device, LoadedTable::pipe, 0} {}

}  // namespace TableBench
