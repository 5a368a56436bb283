// The whole life of the table, narrated: each step runs tcagent as its own process over a fresh
// state directory, shows what it printed, and checks that it did what it said.
#pragma once

namespace TcAgent {

// 0 when every step did what it said, 1 otherwise.
int runDemo();

}  // namespace TcAgent
