// One section of an instruction count under callgrind, for a program run with instrumentation
// and collection off at start: only the work inside `counted` is instrumented and collected, so
// that work between counted parts (setting an operation up, undoing it) costs nothing in the
// count and cannot reach a function that callgrind toggles collection on. When the section ends
// its count goes out as a dump named "NAME OPERATIONS". Outside callgrind, the work just runs.
#pragma once

#include <valgrind/callgrind.h>

#include <cstddef>
#include <string>

namespace TableInstructions {

class CountedSection {
 public:
  CountedSection(std::string name, std::size_t operations)
      : label_(std::move(name) + " " + std::to_string(operations)) {
    CALLGRIND_ZERO_STATS;
  }
  ~CountedSection() { CALLGRIND_DUMP_STATS_AT(label_.c_str()); }
  CountedSection(const CountedSection&) = delete;
  CountedSection& operator=(const CountedSection&) = delete;

  template <class Work>
  void count(Work&& work) {
    CALLGRIND_START_INSTRUMENTATION;
    CALLGRIND_TOGGLE_COLLECT;
    work();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_STOP_INSTRUMENTATION;
  }

 private:
  std::string label_;
};

}  // namespace TableInstructions
