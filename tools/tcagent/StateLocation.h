// Where tcagent keeps the chip's and the key store's state: a directory of the user's own.
#pragma once

#include <string>

#include "tools/tcagent/UsageError.h"

namespace TcAgent {

// Whether the state directory is made when it does not exist: a run that only looks may find it
// absent and make nothing.
enum class StateDirectoryUse { make, lookOnly };

// The state directory to use: `requested`, or with none the per-user default
// ($XDG_RUNTIME_DIR/tcagent, else /tmp/tcagent-UID), made with mode 0700 if it does not exist
// and `use` is to make it.
// Like ssh and tmux with theirs, it takes only a real directory (not a symbolic link) owned by
// the user and not writable by group or others, on a path that no one else could redirect (see
// PathTrust.h); raises UsageError naming the path and the problem otherwise.
std::string prepareStateDirectory(const std::string& requested, bool given, StateDirectoryUse use);

}  // namespace TcAgent
