// A policy file, or standard input, read as hostile input: a regular file named by a path that
// is not a symbolic link, read in bounded pieces, never more than a bounded size, lines no
// longer than a bound, a read error an error, never the end of the file, and a file that changed
// while it was read refused, never taken for the part read.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/tcagent/PolicyError.h"

namespace TcAgent {

class PolicySource {
 public:
  static constexpr std::size_t lineBytesMax = 64 * 1024;
  // Room for any document that show writes of a full table: its entry form takes about 700
  // bytes an entry.
  static constexpr std::size_t sourceBytesMax = std::size_t{1} << 30;

  // Opens `path`, or standard input for "-". Raises PolicyError when it is not a regular
  // readable file.
  explicit PolicySource(const std::string& path);
  ~PolicySource();
  PolicySource(const PolicySource&) = delete;
  PolicySource& operator=(const PolicySource&) = delete;

  // The path, or "<stdin>".
  const std::string& name() const noexcept { return name_; }

  // Whether the source is a JSON document: its first byte other than white space is '{'.
  bool holdsJsonDocument();
  // The next line, without its end (a line feed, or a carriage return and a line feed) and
  // without a UTF-8 byte-order mark at the start of the source; false at the end. The line
  // stays valid until the next read. Raises PolicyError for a line longer than the bound.
  bool readLine(std::string_view& line);
  // The number of the line read last.
  unsigned lineNumber() const noexcept { return lineNumber_; }
  // The next piece of what is left of the source, empty at its end. The piece stays valid until
  // the next read.
  std::string_view readPiece();

 private:
  // Reads more into the buffer; false at the end of the source.
  bool readMore();
  void skipByteOrderMark();

  // A regular file's size and the times of its last write and of its last change of any kind
  // (which no one can set back, as a tool may set back the write's).
  struct Version {
    off_t size;
    timespec modified;
    timespec changed;

    bool operator==(const Version& other) const noexcept {
      auto same = [](const timespec& one, const timespec& another) {
        return one.tv_sec == another.tv_sec && one.tv_nsec == another.tv_nsec;
      };
      return size == other.size && same(modified, other.modified) && same(changed, other.changed);
    }
  };
  static std::optional<Version> regularFileVersion(int descriptor);

  std::string name_;
  int descriptor_ = -1;
  std::optional<Version> opened_;
  bool ownsDescriptor_ = false;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // of what is not yet taken
  std::size_t end_ = 0;    // of what was read
  std::size_t sourceBytes_ = 0;
  bool atEnd_ = false;
  bool markSkipped_ = false;
  unsigned lineNumber_ = 0;
};

}  // namespace TcAgent
