// A policy that cannot be taken: a file that cannot be read, or a line that is not an entry.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace TcAgent {

class PolicyError : public std::runtime_error {
 public:
  // "<file>: <reason>"
  PolicyError(const std::string& file, const std::string& reason)
      : std::runtime_error(file + ": " + reason), file_(file), reason_(reason) {}
  // "<file>:<line>: <reason>"
  PolicyError(const std::string& file, unsigned line, const std::string& reason)
      : std::runtime_error(file + ":" + std::to_string(line) + ": " + reason),
        file_(file),
        line_(line),
        reason_(reason) {}

  const std::string& file() const noexcept { return file_; }
  std::optional<unsigned> line() const noexcept { return line_; }
  const std::string& reason() const noexcept { return reason_; }

 private:
  std::string file_;
  std::optional<unsigned> line_;
  std::string reason_;
};

}  // namespace TcAgent
