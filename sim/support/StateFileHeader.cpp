#include "sim/support/StateFileHeader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace SimSupport {

StateFileHeader StateFileFormat::header(U32 capacity) const noexcept {
  StateFileHeader fresh{};
  std::copy_n(magic.begin(), std::min(magic.size(), sizeof fresh.magic), fresh.magic);
  fresh.version = version;
  fresh.headerBytes = headerBytes;
  fresh.itemBytes = itemBytes;
  fresh.capacity = capacity;
  return fresh;
}

const StateFileHeader& StateFileFormat::validHeader(const MappedFile& file) const {
  const std::size_t size = file.size();
  if (size < headerBytes) {
    file.refuseAsDamaged("the file of " + std::to_string(size) + " bytes is shorter than a header");
  }
  const auto& header = *static_cast<const StateFileHeader*>(file.data());
  // At its own path, a file that does not begin as one of its kind is damaged (zeroed, say).
  if (std::string_view(header.magic, sizeof header.magic) != magic) {
    file.refuseAsDamaged("the header does not begin with " + std::string(magic));
  }
  // No program writes version 0: it is a zeroed field, not a newer format. Another version may be
  // a newer program's or a damaged field: either way this program cannot use the file, and a
  // command that sets the whole table sets it aside, kept, rather than stop every command.
  if (header.version == 0) file.refuseAsDamaged("version 0");
  if (header.version != version) {
    file.refuseAsDamaged("version " + std::to_string(header.version) +
                         ", which this program does not know (a newer one's, or damage)");
  }
  if (header.headerBytes != headerBytes || header.itemBytes != itemBytes) {
    file.refuseAsDamaged("a header of " + std::to_string(header.headerBytes) + " bytes and " +
                         std::string(itemsName) + " of " + std::to_string(header.itemBytes) +
                         " bytes");
  }
  if (header.capacity == 0 || header.capacity > maxCapacity || size != fileBytes(header.capacity)) {
    file.refuseAsDamaged("capacity " + std::to_string(header.capacity) +
                         " does not fit the file of " + std::to_string(size) + " bytes");
  }
  return header;
}

std::optional<U32> StateFileFormat::capacityRecorded(const std::string& path) const noexcept {
  const int file = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (file < 0) return std::nullopt;
  struct stat status {};
  StateFileHeader header{};
  const bool read = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode) &&
                    ::pread(file, &header, sizeof header, 0) == sizeof header;
  ::close(file);
  if (!read) return std::nullopt;
  auto mayHave = [this](U64 capacity) { return capacity >= 1 && capacity <= maxCapacity; };
  std::optional<U32> ofSize, ofHeader;
  const auto size = static_cast<U64>(status.st_size);
  if (size > headerBytes && (size - headerBytes) % itemBytes == 0 &&
      mayHave((size - headerBytes) / itemBytes)) {
    ofSize = static_cast<U32>((size - headerBytes) / itemBytes);
  }
  if (std::string_view(header.magic, sizeof header.magic) == magic && mayHave(header.capacity)) {
    ofHeader = header.capacity;
  }
  if (ofSize && ofHeader) return std::min(*ofSize, *ofHeader);
  return ofSize ? ofSize : ofHeader;
}

}  // namespace SimSupport
