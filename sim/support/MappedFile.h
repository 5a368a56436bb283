// A file of the state directory mapped into memory and locked for this process, so that state
// kept in it outlives the process and no second process works on it at the same time.
//
// Every file there is hostile input: it is opened without following a symbolic link and must be
// a regular file of this process's effective user. A file appears at its path only whole: it is
// written under a name of its own beside it (the path and ".new", locked while written) and then
// renamed into place, so that a process killed at any point leaves the old file or the new one,
// and two processes making the same file at once never both write it.
//
// A process that must change nothing on disk keeps its changes private: while a
// PrivateStateChanges lives, files are opened and locked as ever but mapped copy-on-write, and a
// file that is not there is made in memory only.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace SimSupport {

// What opening a state file raises when the file is of its kind and version but what it holds
// cannot be right: a program that makes the file afresh may set this one aside. The file stays
// locked for this process while the refusal lives, so that it is this file, still at its path,
// that is set aside, and no other process sets aside the file made in its place.
class DamagedFile : public std::runtime_error {
 public:
  DamagedFile(const std::string& message, std::string path, std::string problem,
              std::shared_ptr<const void> lock)
      : std::runtime_error(message),
        path_(std::move(path)),
        problem_(std::move(problem)),
        lock_(std::move(lock)) {}
  const std::string& path() const noexcept { return path_; }
  // "damaged KIND: REASON"
  const std::string& problem() const noexcept { return problem_; }

 private:
  std::string path_;
  std::string problem_;
  std::shared_ptr<const void> lock_;
};

class MappedFile {
 public:
  // A kind of state file: its name in messages, and the largest size that one has.
  struct Kind {
    std::string_view name;
    std::size_t maxSize;
  };
  // Writes a file's contents into its mapping of `size` bytes, all zero before.
  using Writer = std::function<void(void* data, std::size_t size)>;

  // Opens the file at `path`. When there is none, or an empty one (left by an older program
  // killed while making it), makes it of `sizeIfNew` bytes that `initialize` writes; a process
  // that loses a race to make it opens the winner's file instead. While a PrivateStateChanges
  // lives, the file on disk stays as it is (and absent if it is). Raises std::runtime_error
  // naming the file when it is a link, not a regular file, another user's, larger than `kind`
  // allows, held by another process, or cannot be opened, made or mapped.
  MappedFile(const std::string& path, const Kind& kind, std::size_t sizeIfNew,
             const Writer& initialize);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Gives every byte of an opened file a block, so that writing through the mapping never meets
  // a full disk (which would end the process with SIGBUS): called once the contents are found
  // whole, so that a damaged file, grown with a hole, is not grown on disk too. A file made here
  // has its blocks already.
  void blocksReserve() const;

  void* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }
  const std::string& path() const noexcept { return path_; }
  // Whether this object made the file, there being none (or an empty one) to open.
  bool madeHere() const noexcept { return madeHere_; }

  // Replaces the file by one of `size` bytes that `write` fills while the old contents are
  // still mapped; data() then maps the new one. A file opened to keep its changes private is
  // replaced in memory only.
  void replace(std::size_t size, const Writer& write);

  // Raise std::runtime_error "PATH: PROBLEM; remove PATH to start afresh", the second a
  // DamagedFile with "damaged KIND: REASON" as the problem.
  [[noreturn]] void refuse(std::string_view problem) const;
  [[noreturn]] void refuseAsDamaged(std::string_view reason) const;

 private:
  enum class Placing { beside, over };

  // Makes the file under its temporary name and renames it into place, beside nothing or over
  // what is there; false when the temporary name or the path changed hands meanwhile.
  bool made(std::size_t size, const Writer& write, Placing placing);
  // Maps in place of the file's contents `size` bytes that `write` fills, backed by no file.
  void mapInMemory(std::size_t size, const Writer& write);
  void adopt(int descriptor, void* data, std::size_t size) noexcept;
  void unmap() noexcept;
  std::string refusal(std::string_view problem) const;
  // Raises the DamagedFile, which keeps the file open at `descriptor` locked while it lives.
  [[noreturn]] void refuseAsDamaged(std::string_view reason, int descriptor) const;

  std::string path_;
  Kind kind_;
  bool changesPrivate_;
  int descriptor_ = -1;
  void* data_ = nullptr;
  std::size_t size_ = 0;
  bool madeHere_ = false;
};

// The path of the state file whose mapping holds `address`, or null. Another process that cuts a
// file short under this one makes a read or write of the lost part raise SIGBUS; a handler of it
// learns here that a state file was lost, not that the program went wrong. Safe in a signal
// handler.
const char* stateFileMappedAt(const void* address) noexcept;

// A state file that this process has mapped and another process has since cut short or grown.
// A cut within the last page mapped raises no SIGBUS: what this process wrote past the new end
// is lost, and what it read there was zeros.
struct ResizedStateFile {
  std::string path;
  std::size_t mappedSize;
  std::size_t size;  // now
};
// The first such file mapped now, else the first found resized as it was unmapped, if any.
std::optional<ResizedStateFile> resizedStateFile();

// While one lives, the state files that this process opens keep its changes to themselves.
class PrivateStateChanges {
 public:
  PrivateStateChanges() noexcept;
  ~PrivateStateChanges();
  PrivateStateChanges(const PrivateStateChanges&) = delete;
  PrivateStateChanges& operator=(const PrivateStateChanges&) = delete;

  // Takes the file at `path` for absent from now on, as if it had been set aside: opened, it is
  // made afresh in memory, and the file stays as it is.
  void takeAsAbsent(const std::string& path) { absent_.push_back(path); }
  bool takenAsAbsent(const std::string& path) const noexcept;

 private:
  std::vector<std::string> absent_;
};

}  // namespace SimSupport
