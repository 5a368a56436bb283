#include "tools/tcagent/PathTrust.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "tools/tcagent/Quoted.h"

namespace TcAgent {

namespace {

// As many as the kernel follows in one path.
constexpr int linksMax = 40;

bool trustedOwner(uid_t owner) noexcept {
  return owner == 0 || owner == ::geteuid();
}

// The components of `path` still to walk, pushed so that the first is at the back.
void componentsPush(std::string_view path, std::vector<std::string>& pending) {
  std::vector<std::string> components;
  for (std::size_t at = 0; at < path.size();) {
    const std::size_t end = std::min(path.find('/', at), path.size());
    if (end > at) components.emplace_back(path.substr(at, end - at));
    at = end + 1;
  }
  pending.insert(pending.end(), components.rbegin(), components.rend());
}

// Another user's file or directory, or one that others may write; a directory that others may
// write but is sticky lets no one else move what is the user's.
std::optional<std::string> ownerOrModeHazard(const std::string& path, const struct stat& status) {
  const std::string shown = escapedPath(path.empty() ? "/" : path);
  if (!trustedOwner(status.st_uid)) {
    return fmt::format("{} is owned by user {}", shown, status.st_uid);
  }
  const bool directory = S_ISDIR(status.st_mode);
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) && !(directory && (status.st_mode & S_ISVTX))) {
    return fmt::format("{} is writable by {} (mode {:04o}){}", shown,
                       status.st_mode & S_IWOTH ? "others" : "its group", status.st_mode & 07777,
                       directory ? " and not sticky" : "");
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> pathRedirectableAt(const std::string& path, PathUse use) {
  std::vector<std::string> pending;
  if (path.empty() || path.front() != '/') {
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd) return std::nullopt;  // the path's own open or mkdir tells what is wrong
    componentsPush(path, pending);
    componentsPush(cwd.get(), pending);
  } else {
    componentsPush(path, pending);
  }
  std::string reached;  // resolved so far, without links; empty: the root
  struct stat status {};
  if (use == PathUse::write && ::stat("/", &status) == 0) {
    if (auto hazard = ownerOrModeHazard(reached, status)) return hazard;
  }
  int links = 0;
  while (pending.size() > 1) {
    const std::string component = std::move(pending.back());
    pending.pop_back();
    if (component == ".") continue;
    if (component == "..") {
      reached.erase(std::min(reached.rfind('/'), reached.size()));
      continue;
    }
    const std::string next = reached + "/" + component;
    if (::lstat(next.c_str(), &status) != 0) return std::nullopt;
    if (S_ISLNK(status.st_mode)) {
      if (!trustedOwner(status.st_uid)) {
        return fmt::format("{} is a symbolic link of user {}", escapedPath(next), status.st_uid);
      }
      // Beyond these, the path's own open or mkdir fails and tells why.
      std::string target(PATH_MAX, '\0');
      const ssize_t length = ::readlink(next.c_str(), target.data(), target.size());
      if (length < 0 || length == PATH_MAX || ++links > linksMax) return std::nullopt;
      target.resize(static_cast<std::size_t>(length));
      if (target.starts_with('/')) reached.clear();
      componentsPush(target, pending);
      continue;
    }
    if (use == PathUse::write && S_ISDIR(status.st_mode)) {
      if (auto hazard = ownerOrModeHazard(next, status)) return hazard;
    }
    reached = next;
  }
  return std::nullopt;
}

std::optional<std::string> codeReplaceableAt(const std::string& path) {
  if (auto hazard = pathRedirectableAt(path, PathUse::write)) return hazard;
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return std::nullopt;  // loading it tells why
  if (S_ISLNK(status.st_mode)) {
    if (!trustedOwner(status.st_uid)) {
      return fmt::format("{} is a symbolic link of user {}", escapedPath(path), status.st_uid);
    }
    // And where it leads.
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                               &std::free);
    return resolved ? codeReplaceableAt(resolved.get()) : std::nullopt;
  }
  return ownerOrModeHazard(path, status);
}

}  // namespace TcAgent
