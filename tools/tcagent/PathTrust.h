// Whether another user could redirect a path: what the kernel goes through to reach it, checked
// the way ssh checks the path to a user's keys.
#pragma once

#include <optional>
#include <string>

namespace TcAgent {

enum class PathUse {
  read,   // only the links on the way matter: the file is read and validated
  write,  // the directories on the way matter too: state is kept there
};

// The first place on the way to `path`'s last component that someone other than the user or
// root could change to send the path elsewhere, as a sentence ("/tmp/x is a symbolic link of user
// 1001"), or nullopt. Such a place is a symbolic link of another user, or, for a path to write,
// a directory of another user or one that its group or others may write without its sticky bit
// (a sticky directory, as /tmp is, lets no one else move what is the user's). The last component
// is the caller's to check; the walk stops at a component that does not exist.
std::optional<std::string> pathRedirectableAt(const std::string& path, PathUse use);

// Where someone other than the user or root could put code of theirs at `path`, a file the
// program runs (a library it loads), as a sentence, or nullopt: the file, a directory on the way
// or a symbolic link that leads to it is another user's, or its group or others may write it (a
// directory unless it is sticky).
std::optional<std::string> codeReplaceableAt(const std::string& path);

}  // namespace TcAgent
