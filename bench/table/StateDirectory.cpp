#include "bench/table/StateDirectory.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace TableBench {

StateDirectory::StateDirectory(const std::string& prefix) : path_("/tmp/" + prefix + ".XXXXXX") {
  if (!::mkdtemp(path_.data())) {
    throw std::runtime_error("cannot make " + path_ + ": " + std::strerror(errno));
  }
}

StateDirectory::~StateDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace TableBench
