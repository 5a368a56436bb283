// Sorting of the agent's large vectors (a million entries and rows) on both of a small machine's
// cores.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <future>

namespace TcAgent {

// Sorts [first, last) by `less` as std::sort does. A large range is split at its middle element
// (found in linear time), and the halves are sorted at once, one on a thread of its own; the
// elements must be plain values that the two threads may move independently.
template <class RandomIt, class Less>
void sortInParallel(RandomIt first, RandomIt last, Less less) {
  // Below this, a thread costs more than it saves.
  constexpr std::ptrdiff_t parallelMin = 1 << 16;
  if (last - first < parallelMin) {
    std::sort(first, last, less);
    return;
  }
  const RandomIt middle = first + (last - first) / 2;
  std::nth_element(first, middle, last, less);
  // Run here instead when no thread can be had.
  std::future<void> lower = std::async(std::launch::async | std::launch::deferred,
                                       [first, middle, less] { std::sort(first, middle, less); });
  std::sort(middle, last, less);
  lower.get();
}

template <class RandomIt>
void sortInParallel(RandomIt first, RandomIt last) {
  sortInParallel(first, last, std::less<>());
}

}  // namespace TcAgent
