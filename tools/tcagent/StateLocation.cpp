#include "tools/tcagent/StateLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fmt/format.h>

#include "tools/tcagent/PathTrust.h"
#include "tools/tcagent/Quoted.h"

namespace TcAgent {

namespace {

// A directory that the state is kept in or under, as its refusals name it and say what to do.
struct DirectoryRole {
  // "state directory", "XDG_RUNTIME_DIR"
  const char* name;
  // How to do without it: "give another --state".
  const char* instead;
  // tcagent's own name for it, the default state directory: another user's directory there is
  // to be removed.
  bool ownName;
  // A directory under which the state directory is (XDG_RUNTIME_DIR) may be reached through a
  // link, which is then on the way to the state directory and checked as the way's links are.
  bool reachedThroughLink = false;
};

[[noreturn]] void refuseDirectory(const char* name, const std::string& path,
                                  const std::string& problem) {
  throw UsageError(fmt::format("{} {}: {}", name, escapedText(path), problem));
}

[[noreturn]] void refuse(const std::string& path, const std::string& problem) {
  refuseDirectory("state directory", path, problem);
}

// Refuses anything at `path` but a directory of the user's own that no one else may write. A
// shared directory (sticky, as /tmp is) is not one to make private, nor one that someone else
// owns to remove, unless tcagent names it.
void checkOwnDirectory(const std::string& path, const DirectoryRole& role) {
  struct stat status {};
  const int got =
      role.reachedThroughLink ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
  if (got != 0) refuseDirectory(role.name, path, std::strerror(errno));
  if (S_ISLNK(status.st_mode)) {
    refuseDirectory(role.name, path,
                    "is a symbolic link; give the directory itself, or remove the link");
  }
  if (!S_ISDIR(status.st_mode)) refuseDirectory(role.name, path, "is not a directory");
  if (status.st_uid != ::geteuid()) {
    refuseDirectory(
        role.name, path,
        fmt::format("is owned by user {}, not by you (user {}); {}{}", status.st_uid, ::geteuid(),
                    role.ownName ? "have it removed, or " : "", role.instead));
  }
  if (status.st_mode & (S_IWGRP | S_IWOTH)) {
    refuseDirectory(
        role.name, path,
        fmt::format("is writable by {} (mode {:04o}); {}",
                    status.st_mode & S_IWOTH ? "others" : "its group", status.st_mode & 07777,
                    status.st_mode & S_ISVTX ? role.instead : "make it private with chmod 700"));
  }
}

// Refuses an absent directory that could not be made, as mkdir would: its parent is missing or
// not the user's to write in. A run that makes nothing says then what one that makes it would.
void checkMakeable(const std::string& directory) {
  std::string parent = std::filesystem::path(directory).parent_path().string();
  if (parent.empty()) parent = ".";
  if (::access(parent.c_str(), W_OK | X_OK) != 0) {
    refuse(directory, std::string("cannot be made: ") + std::strerror(errno));
  }
}

// The path without "." and ".." components or a trailing slash, so that its last component is
// the directory itself: "link/" and "link/." would name what a link points to.
std::string lexicallyNormal(const std::string& path) {
  std::string normal = std::filesystem::path(path).lexically_normal().string();
  if (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string defaultDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return fmt::format("/tmp/tcagent-{}", ::geteuid());
  std::string directory = lexicallyNormal(runtime);
  if (directory.front() != '/') {
    throw UsageError("XDG_RUNTIME_DIR=" + quotedText(runtime) +
                     " is not an absolute path; unset it or give --state");
  }
  checkOwnDirectory(directory, {"XDG_RUNTIME_DIR", "unset it or give --state", false, true});
  return directory + "/tcagent";
}

}  // namespace

std::string prepareStateDirectory(const std::string& requested, bool given, StateDirectoryUse use) {
  if (given && requested.empty()) throw UsageError("--state: an empty path names no directory");
  std::string directory = given ? lexicallyNormal(requested) : defaultDirectory();
  if (auto hazard = pathRedirectableAt(directory, PathUse::write)) {
    refuse(directory, "another user could redirect it: " + *hazard + "; give another --state");
  }
  if (use == StateDirectoryUse::lookOnly) {
    struct stat status {};
    if (::lstat(directory.c_str(), &status) != 0 && errno == ENOENT) {
      checkMakeable(directory);
      return directory;
    }
  } else if (::mkdir(directory.c_str(), 0700) == 0) {
    // The umask may have taken bits that the directory needs.
    if (::chmod(directory.c_str(), 0700) != 0)
      refuse(directory, std::string("cannot be made private: ") + std::strerror(errno));
  } else if (errno != EEXIST) {
    refuse(directory, std::string("cannot be made: ") + std::strerror(errno));
  }
  checkOwnDirectory(directory,
                    {"state directory", given ? "give another --state" : "give --state", !given});
  return directory;
}

}  // namespace TcAgent
