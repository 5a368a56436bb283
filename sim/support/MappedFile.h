// A file of the state directory mapped into memory and locked for this process, so that state
// kept in it outlives the process and no second process works on it at the same time.
#pragma once

#include <cstddef>
#include <string>

namespace SimSupport {

class MappedFile {
 public:
  // Opens `path`, making it with `sizeIfNew` zero bytes (mode 0600) if it does not exist.
  // Raises std::runtime_error naming the file when it cannot be opened, mapped or locked.
  MappedFile(const std::string& path, std::size_t sizeIfNew);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  void* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }
  // Whether this open made the file.
  bool created() const noexcept { return created_; }
  const std::string& path() const noexcept { return path_; }

 private:
  std::string path_;
  int descriptor_ = -1;
  void* data_ = nullptr;
  std::size_t size_ = 0;
  bool created_ = false;
};

}  // namespace SimSupport
