#include "tools/tcagent/ScratchDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

#include "tools/tcagent/PathTrust.h"

namespace TcAgent {

ScratchDirectory::ScratchDirectory(const std::string& prefix, const std::string& purpose) {
  const char* temporary = std::getenv("TMPDIR");
  const bool temporaryGiven = temporary && *temporary;
  const std::string place = temporaryGiven ? temporary : "/tmp";
  const std::string placeName = temporaryGiven ? "TMPDIR=" + place : place;
  std::string pattern = place + "/" + prefix + "XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    throw std::runtime_error(
        fmt::format("cannot make {} in {}: {}", purpose, placeName, std::strerror(errno)));
  }
  path_ = pattern;
  if (auto hazard = pathRedirectableAt(path_, PathUse::write)) {
    remove();
    throw std::runtime_error(fmt::format("cannot make {} in {}: another user could redirect it: {}",
                                         purpose, placeName, *hazard));
  }
}

void ScratchDirectory::remove() noexcept {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  path_.clear();
}

}  // namespace TcAgent
