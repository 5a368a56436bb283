// The argument vector of a program started with posix_spawn or exec: the program, its
// arguments, and the null that ends them. The strings stay owned by the caller.
#pragma once

#include <string>
#include <vector>

namespace TestSupport {

inline std::vector<char*> argumentVector(const char* program,
                                         const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program)};
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return argv;
}

}  // namespace TestSupport
