#include "tools/tcagent/PolicySource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "tools/tcagent/PathTrust.h"
#include "tools/tcagent/Quoted.h"

namespace TcAgent {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t readBytes = std::size_t{1} << 20;

std::string fileKind(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// Opens the policy file at `path`, which messages call `name`.
int openPolicyFile(const std::string& path, const std::string& name) {
  if (auto hazard = pathRedirectableAt(path, PathUse::read))
    throw PolicyError(name, "another user could redirect it: " + *hazard);
  int descriptor = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    if (errno == ELOOP) {
      // /dev/stdin and a shell's <(...) name a process's open files, not a file to name instead.
      const bool openFile = path == "/dev/stdin" || path.starts_with("/dev/fd/") ||
                            path.starts_with("/proc/self/fd/");
      throw PolicyError(name, openFile ? "is a link to an open file; give - and the policy on "
                                         "standard input"
                                       : "is a symbolic link; name the file it points to");
    }
    throw PolicyError(name, std::string("cannot be read: ") + std::strerror(errno));
  }
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    std::string kind = fileKind(status.st_mode);
    ::close(descriptor);
    throw PolicyError(name, "cannot be read: " + kind + ", not a policy file");
  }
  // Reads of a regular file do not block; the flag only kept the open from waiting on a pipe.
  ::fcntl(descriptor, F_SETFL, 0);
  return descriptor;
}

}  // namespace

PolicySource::PolicySource(const std::string& path)
    : name_(path == "-" ? "<stdin>" : escapedPath(path)), buffer_(readBytes + lineBytesMax) {
  if (path.empty()) throw PolicyError("''", "cannot be read: no file named");
  if (path == "-") {
    descriptor_ = STDIN_FILENO;
  } else {
    descriptor_ = openPolicyFile(path, name_);
    ownsDescriptor_ = true;
  }
  opened_ = regularFileVersion(descriptor_);
}

std::optional<PolicySource::Version> PolicySource::regularFileVersion(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return Version{status.st_size, status.st_mtim, status.st_ctim};
}

PolicySource::~PolicySource() {
  if (ownsDescriptor_) ::close(descriptor_);
}

bool PolicySource::readMore() {
  if (atEnd_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  ssize_t got;
  do {
    got = ::read(descriptor_, buffer_.data() + end_, buffer_.size() - end_);
  } while (got < 0 && errno == EINTR);
  if (got < 0) throw PolicyError(name_, std::string("read error: ") + std::strerror(errno));
  if (got == 0) {
    // A generator that rewrites the file while it is read would leave a part of it read as the
    // whole policy.
    if (opened_ && regularFileVersion(descriptor_) != opened_) {
      throw PolicyError(name_, "changed while it was read; give it again once it is written whole");
    }
    atEnd_ = true;
    return false;
  }
  sourceBytes_ += static_cast<std::size_t>(got);
  if (sourceBytes_ > sourceBytesMax) {
    throw PolicyError(name_, fmt::format("larger than {} GiB", sourceBytesMax >> 30));
  }
  end_ += static_cast<std::size_t>(got);
  return true;
}

void PolicySource::skipByteOrderMark() {
  if (markSkipped_) return;
  markSkipped_ = true;
  while (end_ - begin_ < byteOrderMark.size() && readMore()) {
  }
  if (std::string_view(buffer_.data() + begin_, end_ - begin_).starts_with(byteOrderMark)) {
    begin_ += byteOrderMark.size();
  }
}

bool PolicySource::holdsJsonDocument() {
  skipByteOrderMark();
  std::size_t searched = 0;
  while (true) {
    std::string_view unread(buffer_.data() + begin_, end_ - begin_);
    std::size_t first = unread.find_first_not_of(" \t\r\n", searched);
    if (first != std::string_view::npos) return unread[first] == '{';
    searched = unread.size();
    if (!readMore()) return false;
  }
}

bool PolicySource::readLine(std::string_view& line) {
  skipByteOrderMark();
  std::size_t searched = 0;  // bytes of the unread part known to hold no line feed
  while (true) {
    const char* start = buffer_.data() + begin_;
    std::size_t unread = end_ - begin_;
    const char* feed =
        static_cast<const char*>(std::memchr(start + searched, '\n', unread - searched));
    std::size_t length = feed ? static_cast<std::size_t>(feed - start) : unread;
    // The bound is on the line without its end, which may be a carriage return and a line feed.
    const bool endsWithReturn = length > 0 && start[length - 1] == '\r';
    if (length > lineBytesMax + endsWithReturn) {
      throw PolicyError(name_, lineNumber_ + 1, "line too long");
    }
    if (!feed) {
      searched = unread;
      if (readMore()) continue;
      if (unread == 0) return false;
    }
    // From where the line is now: a read that found the end may have moved it to the front.
    line = std::string_view(buffer_.data() + begin_, length);
    begin_ += length + (feed ? 1 : 0);
    if (line.ends_with('\r')) line.remove_suffix(1);
    ++lineNumber_;
    return true;
  }
}

std::string_view PolicySource::readPiece() {
  skipByteOrderMark();
  if (begin_ == end_ && !readMore()) return {};
  const std::string_view piece(buffer_.data() + begin_, end_ - begin_);
  begin_ = end_;
  return piece;
}

}  // namespace TcAgent
